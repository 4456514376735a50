// The catalogue views: their columns as SQL Server's documentation lists them ("System Catalog
// Views (Transact-SQL)", "System Information Schema Views (Transact-SQL)") and the SQLite queries
// that compute their rows from the database's schema. Object ids are those OBJECT_ID answers (the
// row of the table in SQLite's schema, offset), so they stay the same while the table exists.
// The engine keeps no dates of its objects: create_date and modify_date are 1900-01-01.

#include "tsql/bind/SystemViews.h"

#include "tsql/bind/Binder.h"

#include <QVariant>

namespace tsql {

namespace {

// The tables and views of the database: object_id, name, kind ('table' or 'view').
const char* const kObjects =
    "(SELECT m.rowid + 1000000 AS object_id, m.name AS name, m.type AS kind FROM main.sqlite_master AS m "
    "WHERE m.type IN ('table','view') AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\')";

const char* const kNoDate = "'1900-01-01 00:00:00.000'";

// The columns of the tables and views: the object's fields, then table_info's (p.cid, p.name,
// p.type, p."notnull", p.dflt_value, p.pk).
QString columnsSource() {
    return QStringLiteral("%1 AS o JOIN pragma_table_info(o.name, 'main') AS p").arg(QLatin1String(kObjects));
}

QString nullableCase() {
    return QStringLiteral("(p.\"notnull\" = 0 AND p.pk = 0 AND tsql_coltype(p.type, 'is_identity') = 0)");
}

struct ColumnSpec {
    const char* name;
    const char* type; // as T-SQL writes it
};

SystemView view(const char* schema, const char* name, const std::vector<ColumnSpec>& columns, QString sql,
                bool listed = true) {
    SystemView v;
    v.schema = QString::fromLatin1(schema);
    v.name = QString::fromLatin1(name);
    for (const ColumnSpec& c : columns) {
        v.columns << QString::fromLatin1(c.name);
        v.types.push_back(parseTypeName(QString::fromLatin1(c.type)).value_or(SqlType::of(TypeId::Int)));
    }
    v.listed = listed;
    v.sql = std::move(sql);
    return v;
}

// The columns sys.objects shares with sys.tables and sys.views, and their values.
std::vector<ColumnSpec> objectColumns() {
    return {{"name", "nvarchar(128)"},     {"object_id", "int"},        {"principal_id", "int"},
            {"schema_id", "int"},          {"parent_object_id", "int"}, {"type", "char(2)"},
            {"type_desc", "nvarchar(60)"}, {"create_date", "datetime"}, {"modify_date", "datetime"},
            {"is_ms_shipped", "bit"},      {"is_published", "bit"},     {"is_schema_published", "bit"}};
}

QString objectValues() {
    return QStringLiteral(
               "o.name, o.object_id, NULL, 1, 0, CASE o.kind WHEN 'table' THEN 'U ' ELSE 'V ' END, "
               "CASE o.kind WHEN 'table' THEN 'USER_TABLE' ELSE 'VIEW' END, %1, %1, 0, 0, 0")
        .arg(QLatin1String(kNoDate));
}

std::vector<ColumnSpec> join(std::vector<ColumnSpec> a, const std::vector<ColumnSpec>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

SystemView sysObjects() {
    return view("sys", "objects", objectColumns(),
                QStringLiteral("SELECT %1 FROM %2 AS o").arg(objectValues(), QLatin1String(kObjects)));
}

SystemView sysTables() {
    const auto columns = join(objectColumns(), {{"lob_data_space_id", "int"},
                                                {"filestream_data_space_id", "int"},
                                                {"max_column_id_used", "int"},
                                                {"lock_on_bulk_load", "bit"},
                                                {"uses_ansi_nulls", "bit"},
                                                {"is_replicated", "bit"},
                                                {"has_replication_filter", "bit"},
                                                {"is_merge_published", "bit"},
                                                {"is_sync_tran_subscribed", "bit"},
                                                {"has_unchecked_assembly_data", "bit"},
                                                {"text_in_row_limit", "int"},
                                                {"large_value_types_out_of_row", "bit"},
                                                {"is_tracked_by_cdc", "bit"},
                                                {"lock_escalation", "tinyint"},
                                                {"lock_escalation_desc", "nvarchar(60)"},
                                                {"is_filetable", "bit"},
                                                {"is_memory_optimized", "bit"},
                                                {"durability", "tinyint"},
                                                {"durability_desc", "nvarchar(60)"},
                                                {"temporal_type", "tinyint"},
                                                {"temporal_type_desc", "nvarchar(60)"},
                                                {"history_table_id", "int"},
                                                {"is_remote_data_archive_enabled", "bit"},
                                                {"is_external", "bit"},
                                                {"history_retention_period", "int"},
                                                {"history_retention_period_unit", "int"},
                                                {"history_retention_period_unit_desc", "nvarchar(10)"},
                                                {"is_node", "bit"},
                                                {"is_edge", "bit"}});
    return view(
        "sys", "tables", columns,
        QStringLiteral("SELECT %1, 0, NULL, (SELECT COUNT(*) FROM pragma_table_info(o.name, 'main')), 0, "
                       "1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'TABLE', 0, 0, 0, 'SCHEMA_AND_DATA', 0, "
                       "'NON_TEMPORAL_TABLE', NULL, 0, 0, NULL, NULL, NULL, 0, 0 FROM %2 AS o "
                       "WHERE o.kind = 'table'")
            .arg(objectValues(), QLatin1String(kObjects)));
}

SystemView sysViews() {
    const auto columns = join(objectColumns(), {{"is_replicated", "bit"},
                                                {"has_replication_filter", "bit"},
                                                {"has_opaque_metadata", "bit"},
                                                {"has_unchecked_assembly_data", "bit"},
                                                {"with_check_option", "bit"},
                                                {"is_date_correlation_view", "bit"},
                                                {"is_tracked_by_cdc", "bit"}});
    return view("sys", "views", columns,
                QStringLiteral("SELECT %1, 0, 0, 0, 0, 0, 0, 0 FROM %2 AS o WHERE o.kind = 'view'")
                    .arg(objectValues(), QLatin1String(kObjects)));
}

SystemView sysColumns() {
    return view(
        "sys", "columns",
        {{"object_id", "int"},
         {"name", "nvarchar(128)"},
         {"column_id", "int"},
         {"system_type_id", "tinyint"},
         {"user_type_id", "int"},
         {"max_length", "smallint"},
         {"precision", "tinyint"},
         {"scale", "tinyint"},
         {"collation_name", "nvarchar(128)"},
         {"is_nullable", "bit"},
         {"is_ansi_padded", "bit"},
         {"is_rowguidcol", "bit"},
         {"is_identity", "bit"},
         {"is_computed", "bit"},
         {"is_filestream", "bit"},
         {"is_replicated", "bit"},
         {"is_non_sql_subscribed", "bit"},
         {"is_merge_published", "bit"},
         {"is_dts_replicated", "bit"},
         {"is_xml_document", "bit"},
         {"xml_collection_id", "int"},
         {"default_object_id", "int"},
         {"rule_object_id", "int"},
         {"is_sparse", "bit"},
         {"is_column_set", "bit"},
         {"generated_always_type", "tinyint"},
         {"generated_always_type_desc", "nvarchar(60)"},
         {"encryption_type", "int"},
         {"encryption_type_desc", "nvarchar(64)"},
         {"encryption_algorithm_name", "nvarchar(128)"},
         {"column_encryption_key_id", "int"},
         {"column_encryption_key_database_name", "nvarchar(128)"},
         {"is_hidden", "bit"},
         {"is_masked", "bit"},
         {"graph_type", "int"},
         {"graph_type_desc", "nvarchar(60)"}},
        QStringLiteral(
            "SELECT o.object_id, p.name, p.cid + 1, tsql_coltype(p.type, 'system_type_id'), "
            "tsql_coltype(p.type, 'system_type_id'), tsql_coltype(p.type, 'max_length'), "
            "tsql_coltype(p.type, 'precision'), tsql_coltype(p.type, 'scale'), "
            "CASE WHEN tsql_coltype(p.type, 'character') THEN 'SQL_Latin1_General_CP1_CI_AS' END, %1, "
            "tsql_coltype(p.type, 'character'), 0, tsql_coltype(p.type, 'is_identity'), 0, 0, 0, 0, 0, 0, 0, "
            "0, 0, "
            "0, 0, 0, 0, 'NOT_APPLICABLE', NULL, NULL, NULL, NULL, NULL, 0, 0, NULL, NULL FROM %2")
            .arg(nullableCase(), columnsSource()));
}

// The identity columns ("sys.identity_columns"): seed and increment are sql_variant on the
// server, bigint here (the engine has no sql_variant); last_value is not kept.
SystemView sysIdentityColumns() {
    return view("sys", "identity_columns",
                {{"object_id", "int"},
                 {"name", "nvarchar(128)"},
                 {"column_id", "int"},
                 {"system_type_id", "tinyint"},
                 {"user_type_id", "int"},
                 {"seed_value", "bigint"},
                 {"increment_value", "bigint"},
                 {"last_value", "bigint"},
                 {"is_not_for_replication", "bit"}},
                QStringLiteral(
                    "SELECT o.object_id, p.name, p.cid + 1, tsql_coltype(p.type, 'system_type_id'), "
                    "tsql_coltype(p.type, 'system_type_id'), CAST(tsql_coltype(p.type, 'seed') AS INTEGER), "
                    "CAST(tsql_coltype(p.type, 'increment') AS INTEGER), NULL, 0 FROM %1 WHERE "
                    "tsql_coltype(p.type, 'is_identity') = 1")
                    .arg(columnsSource()));
}

// The system types ("sys.types"), with sysname, and their sizes.
SystemView sysTypes() {
    static const char* const rows =
        "(34,'image',16,0,0),(35,'text',16,0,0),(36,'uniqueidentifier',16,0,0),(40,'date',3,10,0),"
        "(41,'time',5,16,7),(42,'datetime2',8,27,7),(43,'datetimeoffset',10,34,7),(48,'tinyint',1,3,0),"
        "(52,'smallint',2,5,0),(56,'int',4,10,0),(58,'smalldatetime',4,16,0),(59,'real',4,24,0),"
        "(60,'money',8,19,4),(61,'datetime',8,23,3),(62,'float',8,53,0),(98,'sql_variant',8016,0,0),"
        "(99,'ntext',16,0,0),(104,'bit',1,1,0),(106,'decimal',17,38,38),(108,'numeric',17,38,38),"
        "(122,'smallmoney',4,10,4),(127,'bigint',8,19,0),(165,'varbinary',8000,0,0),(167,'varchar',8000,0,0),"
        "(173,'binary',8000,0,0),(175,'char',8000,0,0),(189,'timestamp',8,0,0),(231,'nvarchar',8000,0,0),"
        "(239,'nchar',8000,0,0),(241,'xml',-1,0,0),(231,'sysname',256,0,0)";
    return view(
        "sys", "types",
        {{"name", "nvarchar(128)"},
         {"system_type_id", "tinyint"},
         {"user_type_id", "int"},
         {"schema_id", "int"},
         {"principal_id", "int"},
         {"max_length", "smallint"},
         {"precision", "tinyint"},
         {"scale", "tinyint"},
         {"collation_name", "nvarchar(128)"},
         {"is_nullable", "bit"},
         {"is_user_defined", "bit"},
         {"is_assembly_type", "bit"},
         {"default_object_id", "int"},
         {"rule_object_id", "int"},
         {"is_table_type", "bit"}},
        QStringLiteral(
            "SELECT t.column2, t.column1, CASE t.column2 WHEN 'sysname' THEN 256 ELSE t.column1 END, "
            "4, NULL, t.column3, t.column4, t.column5, CASE WHEN t.column2 IN ('char', 'varchar', "
            "'nchar', 'nvarchar', 'text', 'ntext', 'sysname') THEN 'SQL_Latin1_General_CP1_CI_AS' "
            "END, CASE t.column2 WHEN 'sysname' THEN 0 ELSE 1 END, 0, 0, 0, 0, 0 FROM (VALUES %1) AS t")
            .arg(QLatin1String(rows)));
}

SystemView sysSchemas() {
    return view(
        "sys", "schemas", {{"name", "nvarchar(128)"}, {"schema_id", "int"}, {"principal_id", "int"}},
        QStringLiteral("SELECT t.column1, t.column2, t.column3 FROM (VALUES ('dbo', 1, 1), ('guest', 2, 2), "
                       "('INFORMATION_SCHEMA', 3, 3), ('sys', 4, 4)) AS t"));
}

// The databases of the server: the four every server has and the file's own (none more when the
// database is in memory, which is master). tsql_db_name() is DB_NAME().
SystemView sysDatabases() {
    return view(
        "sys", "databases",
        {{"name", "nvarchar(128)"},
         {"database_id", "int"},
         {"source_database_id", "int"},
         {"create_date", "datetime"},
         {"compatibility_level", "tinyint"},
         {"collation_name", "nvarchar(128)"},
         {"user_access", "tinyint"},
         {"user_access_desc", "nvarchar(60)"},
         {"is_read_only", "bit"},
         {"is_auto_close_on", "bit"},
         {"is_auto_shrink_on", "bit"},
         {"state", "tinyint"},
         {"state_desc", "nvarchar(60)"},
         {"is_in_standby", "bit"},
         {"snapshot_isolation_state", "tinyint"},
         {"snapshot_isolation_state_desc", "nvarchar(60)"},
         {"is_read_committed_snapshot_on", "bit"},
         {"recovery_model", "tinyint"},
         {"recovery_model_desc", "nvarchar(60)"},
         {"page_verify_option", "tinyint"},
         {"page_verify_option_desc", "nvarchar(60)"},
         {"is_ansi_nulls_on", "bit"},
         {"is_ansi_padding_on", "bit"},
         {"is_ansi_warnings_on", "bit"},
         {"is_arithabort_on", "bit"},
         {"is_concat_null_yields_null_on", "bit"},
         {"is_quoted_identifier_on", "bit"}},
        QStringLiteral(
            "SELECT d.column1, d.column2, NULL, %1, 150, 'SQL_Latin1_General_CP1_CI_AS', 0, 'MULTI_USER', "
            "0, 0, 0, 0, 'ONLINE', 0, 0, 'OFF', 0, 3, 'SIMPLE', 2, 'CHECKSUM', 0, 0, 0, 0, 0, 0 FROM "
            "(VALUES ('master', 1), ('tempdb', 2), ('model', 3), ('msdb', 4), (tsql_db_name(), 5)) AS d "
            "WHERE d.column2 < 5 OR d.column1 <> 'master' COLLATE NOCASE")
            .arg(QLatin1String(kNoDate)));
}

// The indexes: the table itself as its clustered primary key (index 1) or as a heap (index 0,
// no name), then its other indexes and unique constraints from 2 on in the order they were made.
// SQLite keeps no constraint names: a primary key is PK_<table>, a unique constraint
// UQ_<table>_<n>.
SystemView sysIndexes() {
    const QString pk =
        QStringLiteral("EXISTS (SELECT 1 FROM pragma_table_info(o.name, 'main') WHERE pk > 0)");
    const QString heapOrKey =
        QStringLiteral(
            "SELECT o.object_id, CASE WHEN %1 THEN 'PK_' || o.name END, CASE WHEN %1 THEN 1 ELSE 0 END, "
            "CASE WHEN %1 THEN 1 ELSE 0 END, CASE WHEN %1 THEN 'CLUSTERED' ELSE 'HEAP' END, "
            "CASE WHEN %1 THEN 1 ELSE 0 END, CASE WHEN %1 THEN 1 ELSE 0 END, 0 FROM %2 AS o "
            "WHERE o.kind = 'table'")
            .arg(pk, QLatin1String(kObjects));
    const QString others =
        QStringLiteral(
            "SELECT o.object_id, CASE l.origin WHEN 'u' THEN 'UQ_' || o.name || '_' || (ROW_NUMBER() OVER "
            "(PARTITION BY o.object_id ORDER BY i.rowid) + 1) ELSE l.name END, ROW_NUMBER() OVER (PARTITION "
            "BY "
            "o.object_id ORDER BY i.rowid) + 1, 2, 'NONCLUSTERED', l.\"unique\", 0, l.origin = 'u' FROM %1 "
            "AS o "
            "JOIN pragma_index_list(o.name, 'main') AS l JOIN main.sqlite_master AS i ON i.type = 'index' "
            "AND "
            "i.name = l.name WHERE o.kind = 'table' AND l.origin <> 'pk'")
            .arg(QLatin1String(kObjects));
    return view("sys", "indexes",
                {{"object_id", "int"},
                 {"name", "nvarchar(128)"},
                 {"index_id", "int"},
                 {"type", "tinyint"},
                 {"type_desc", "nvarchar(60)"},
                 {"is_unique", "bit"},
                 {"is_primary_key", "bit"},
                 {"is_unique_constraint", "bit"},
                 {"data_space_id", "int"},
                 {"ignore_dup_key", "bit"},
                 {"fill_factor", "tinyint"},
                 {"is_padded", "bit"},
                 {"is_disabled", "bit"},
                 {"is_hypothetical", "bit"},
                 {"allow_row_locks", "bit"},
                 {"allow_page_locks", "bit"},
                 {"has_filter", "bit"}},
                QStringLiteral("SELECT x.*, 1, 0, 0, 0, 0, 0, 1, 1, 0 FROM (%1 UNION ALL %2) AS x")
                    .arg(heapOrKey, others));
}

SystemView informationTables() {
    return view("INFORMATION_SCHEMA", "TABLES",
                {{"TABLE_CATALOG", "nvarchar(128)"},
                 {"TABLE_SCHEMA", "nvarchar(128)"},
                 {"TABLE_NAME", "nvarchar(128)"},
                 {"TABLE_TYPE", "varchar(10)"}},
                QStringLiteral(
                    "SELECT tsql_db_name(), 'dbo', o.name, CASE o.kind WHEN 'table' THEN 'BASE TABLE' ELSE "
                    "'VIEW' END FROM %1 AS o")
                    .arg(QLatin1String(kObjects)));
}

SystemView informationColumns() {
    return view(
        "INFORMATION_SCHEMA", "COLUMNS",
        {{"TABLE_CATALOG", "nvarchar(128)"},
         {"TABLE_SCHEMA", "nvarchar(128)"},
         {"TABLE_NAME", "nvarchar(128)"},
         {"COLUMN_NAME", "nvarchar(128)"},
         {"ORDINAL_POSITION", "int"},
         {"COLUMN_DEFAULT", "nvarchar(4000)"},
         {"IS_NULLABLE", "varchar(3)"},
         {"DATA_TYPE", "nvarchar(128)"},
         {"CHARACTER_MAXIMUM_LENGTH", "int"},
         {"CHARACTER_OCTET_LENGTH", "int"},
         {"NUMERIC_PRECISION", "tinyint"},
         {"NUMERIC_PRECISION_RADIX", "smallint"},
         {"NUMERIC_SCALE", "int"},
         {"DATETIME_PRECISION", "smallint"},
         {"CHARACTER_SET_CATALOG", "nvarchar(128)"},
         {"CHARACTER_SET_SCHEMA", "nvarchar(128)"},
         {"CHARACTER_SET_NAME", "nvarchar(128)"},
         {"COLLATION_CATALOG", "nvarchar(128)"},
         {"COLLATION_SCHEMA", "nvarchar(128)"},
         {"COLLATION_NAME", "nvarchar(128)"},
         {"DOMAIN_CATALOG", "nvarchar(128)"},
         {"DOMAIN_SCHEMA", "nvarchar(128)"},
         {"DOMAIN_NAME", "nvarchar(128)"}},
        QStringLiteral(
            "SELECT tsql_db_name(), 'dbo', o.name, p.name, p.cid + 1, tsql_coldefault(p.dflt_value), CASE "
            "WHEN %1 "
            "THEN 'YES' ELSE 'NO' END, tsql_coltype(p.type, 'name'), tsql_coltype(p.type, 'char_length'), "
            "tsql_coltype(p.type, 'octet_length'), tsql_coltype(p.type, 'numeric_precision'), "
            "tsql_coltype(p.type, 'numeric_radix'), tsql_coltype(p.type, 'numeric_scale'), "
            "tsql_coltype(p.type, 'datetime_precision'), NULL, NULL, CASE WHEN tsql_coltype(p.type, "
            "'character') "
            "THEN CASE WHEN tsql_coltype(p.type, 'name') LIKE 'n%' THEN 'UNICODE' ELSE 'iso_1' END END, "
            "NULL, NULL, "
            "CASE WHEN tsql_coltype(p.type, 'character') THEN 'SQL_Latin1_General_CP1_CI_AS' END, NULL, "
            "NULL, NULL "
            "FROM %2")
            .arg(nullableCase(), columnsSource()));
}

// The rows of sp_columns ("sp_columns (Transact-SQL)"), for every column, before the procedure's
// filters.
SystemView spColumnsRows() {
    return view(
        "sys", "$sp_columns",
        {{"TABLE_QUALIFIER", "nvarchar(128)"},
         {"TABLE_OWNER", "nvarchar(128)"},
         {"TABLE_NAME", "nvarchar(128)"},
         {"COLUMN_NAME", "nvarchar(128)"},
         {"DATA_TYPE", "smallint"},
         {"TYPE_NAME", "nvarchar(128)"},
         {"PRECISION", "int"},
         {"LENGTH", "int"},
         {"SCALE", "smallint"},
         {"RADIX", "smallint"},
         {"NULLABLE", "smallint"},
         {"REMARKS", "varchar(254)"},
         {"COLUMN_DEF", "nvarchar(4000)"},
         {"SQL_DATA_TYPE", "smallint"},
         {"SQL_DATETIME_SUB", "smallint"},
         {"CHAR_OCTET_LENGTH", "int"},
         {"ORDINAL_POSITION", "int"},
         {"IS_NULLABLE", "varchar(254)"},
         {"SS_DATA_TYPE", "tinyint"}},
        QStringLiteral(
            "SELECT tsql_db_name(), 'dbo', o.name, p.name, tsql_coltype(p.type, 'odbc_type'), "
            "tsql_coltype(p.type, 'name') || CASE WHEN tsql_coltype(p.type, 'is_identity') THEN ' "
            "identity' ELSE '' "
            "END, tsql_coltype(p.type, 'odbc_precision'), tsql_coltype(p.type, 'odbc_length'), "
            "tsql_coltype(p.type, 'numeric_scale'), tsql_coltype(p.type, 'numeric_radix'), CASE "
            "WHEN %1 THEN 1 ELSE 0 "
            "END, NULL, tsql_coldefault(p.dflt_value), tsql_coltype(p.type, 'sql_data_type'), "
            "tsql_coltype(p.type, 'datetime_sub'), CASE tsql_coltype(p.type, 'octet_length') WHEN -1 THEN "
            "tsql_coltype(p.type, 'odbc_length') ELSE tsql_coltype(p.type, 'octet_length') END, p.cid + "
            "1, CASE WHEN %1 "
            "THEN 'YES' ELSE 'NO' END, tsql_coltype(p.type, 'ss_data_type') + CASE WHEN %1 THEN "
            "tsql_coltype(p.type, 'ss_nullable_offset') ELSE 0 END FROM %2")
            .arg(nullableCase(), columnsSource()),
        false);
}

// The rows of sp_tables: the database's tables and views, and the catalogue views as system
// tables of their schemas.
SystemView spTablesRows() {
    return view("sys", "$sp_tables",
                {{"TABLE_QUALIFIER", "nvarchar(128)"},
                 {"TABLE_OWNER", "nvarchar(128)"},
                 {"TABLE_NAME", "nvarchar(128)"},
                 {"TABLE_TYPE", "varchar(32)"},
                 {"REMARKS", "varchar(254)"}},
                QStringLiteral(
                    "SELECT tsql_db_name(), 'dbo', o.name, CASE o.kind WHEN 'table' THEN 'TABLE' ELSE 'VIEW' "
                    "END, NULL FROM %1 AS o")
                    .arg(QLatin1String(kObjects)),
                false);
}

std::vector<SystemView> makeViews() {
    std::vector<SystemView> views = {sysObjects(),        sysTables(),          sysViews(),
                                     sysColumns(),        sysIdentityColumns(), sysTypes(),
                                     sysSchemas(),        sysDatabases(),       sysIndexes(),
                                     informationTables(), informationColumns(), spColumnsRows()};
    SystemView tables = spTablesRows();
    QStringList system;
    for (const SystemView& v : views)
        if (v.listed)
            system << QStringLiteral("SELECT tsql_db_name(), '%1', '%2', 'SYSTEM TABLE', NULL")
                          .arg(v.schema, v.name);
    tables.sql += QStringLiteral(" UNION ALL ") + system.join(QStringLiteral(" UNION ALL "));
    views.push_back(std::move(tables));
    // The query's columns named as the view's: a query over the view reads them by name.
    for (SystemView& v : views) {
        QStringList names;
        for (const QString& c : v.columns)
            names << u'"' + c + u'"';
        v.sql = QStringLiteral("WITH v(%1) AS (%2) SELECT * FROM v").arg(names.join(u','), v.sql);
    }
    return views;
}

// ODBC 3 type codes (sql.h, sqlext.h, and the server's own for time and xml).
enum OdbcType {
    SqlChar = 1,
    SqlNumeric = 2,
    SqlDecimal = 3,
    SqlInteger = 4,
    SqlSmallInt = 5,
    SqlFloat = 6,
    SqlReal = 7,
    SqlVarChar = 12,
    SqlTypeDate = 91,
    SqlTypeTimestamp = 93,
    SqlBigInt = -5,
    SqlTinyInt = -6,
    SqlBit = -7,
    SqlWChar = -8,
    SqlWVarChar = -9,
    SqlGuid = -11,
    SqlSsTime2 = -154,
    SqlSsXml = -152,
};

void setBase(ColumnTypeFacts& f, const QString& name, int systemTypeId, int maxLength, int precision,
             int scale) {
    f.name = name;
    f.systemTypeId = systemTypeId;
    f.maxLength = maxLength;
    f.precision = precision;
    f.scale = scale;
}

void numeric(ColumnTypeFacts& f, int precision, int radix, std::optional<int> scale) {
    f.numericPrecision = precision;
    f.numericRadix = radix;
    f.numericScale = scale;
    f.odbcPrecision = precision;
}

// Bytes of a decimal of the precision ("decimal and numeric (Transact-SQL)").
int decimalBytes(int precision) {
    return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

// Bytes of time(n) and datetime2(n) beyond their date.
int fractionBytes(int scale) {
    return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

void characterFacts(ColumnTypeFacts& f, const SqlType& t) {
    const bool unicode = t.isUnicode();
    const bool fixed = t.id == TypeId::Char || t.id == TypeId::NChar;
    f.character = true;
    f.name = t.name();
    f.systemTypeId = t.id == TypeId::Char      ? 175
                     : t.id == TypeId::VarChar ? 167
                     : t.id == TypeId::NChar   ? 239
                                               : 231;
    f.maxLength = t.length < 0 ? -1 : t.length * (unicode ? 2 : 1);
    f.charLength = t.length < 0 ? -1 : t.length;
    f.octetLength = f.maxLength;
    f.odbcType = unicode ? (fixed ? SqlWChar : SqlWVarChar) : (fixed ? SqlChar : SqlVarChar);
    f.odbcPrecision = t.length < 0 ? (unicode ? 1073741823 : 2147483647) : t.length;
    f.odbcLength = t.length < 0 ? (unicode ? 2147483646 : 2147483647) : f.maxLength;
    f.ssDataType = fixed ? 47 : 39;
}

// The date and time types: ids, sizes and ODBC descriptions.
void dateFacts(ColumnTypeFacts& f, const SqlType& t) {
    switch (t.id) {
    case TypeId::Date:
        setBase(f, QStringLiteral("date"), 40, 3, 10, 0);
        f.datetimePrecision = 0;
        f.odbcType = SqlTypeDate;
        f.odbcPrecision = 10;
        f.odbcLength = 6;
        break;
    case TypeId::Time:
        setBase(f, QStringLiteral("time"), 41, fractionBytes(t.scale), t.scale > 0 ? 9 + t.scale : 8,
                t.scale);
        f.datetimePrecision = t.scale;
        f.odbcType = SqlSsTime2;
        f.odbcPrecision = f.precision;
        f.odbcLength = 12;
        break;
    case TypeId::SmallDateTime:
        setBase(f, QStringLiteral("smalldatetime"), 58, 4, 16, 0);
        f.datetimePrecision = 0;
        f.odbcType = SqlTypeTimestamp;
        f.odbcPrecision = 16;
        f.odbcLength = 16;
        f.ssDataType = 58;
        break;
    case TypeId::DateTime2:
        setBase(f, QStringLiteral("datetime2"), 42, 3 + fractionBytes(t.scale),
                t.scale > 0 ? 20 + t.scale : 19, t.scale);
        f.datetimePrecision = t.scale;
        f.odbcType = SqlTypeTimestamp;
        f.odbcPrecision = f.precision;
        f.odbcLength = 16;
        break;
    default:
        setBase(f, QStringLiteral("datetime"), 61, 8, 23, 3);
        f.datetimePrecision = 3;
        f.odbcType = SqlTypeTimestamp;
        f.odbcPrecision = 23;
        f.odbcLength = 16;
        f.ssDataType = 61;
        break;
    }
}

} // namespace

const std::vector<SystemView>& systemViews() {
    static const std::vector<SystemView> views = makeViews();
    return views;
}

const SystemView* findSystemView(const QString& schema, const QString& name) {
    for (const SystemView& v : systemViews())
        if (v.schema.compare(schema, Qt::CaseInsensitive) == 0 &&
            v.name.compare(name, Qt::CaseInsensitive) == 0)
            return &v;
    return nullptr;
}

ColumnTypeFacts columnTypeFacts(const QString& declaration) {
    ColumnRule rule;
    const SqlType t = declaredColumnType(declaration, rule);
    ColumnTypeFacts f;
    if (t.isString()) {
        characterFacts(f, t);
    } else if (t.isDate() || t.isTime()) {
        dateFacts(f, t);
    } else {
        switch (t.id) {
        case TypeId::Bit:
            setBase(f, QStringLiteral("bit"), 104, 1, 1, 0);
            f.odbcType = SqlBit;
            f.odbcPrecision = 1;
            f.odbcLength = 1;
            f.ssDataType = 50;
            break;
        case TypeId::TinyInt:
            setBase(f, QStringLiteral("tinyint"), 48, 1, 3, 0);
            numeric(f, 3, 10, 0);
            f.odbcType = SqlTinyInt;
            f.odbcLength = 1;
            f.ssDataType = 48;
            break;
        case TypeId::SmallInt:
            setBase(f, QStringLiteral("smallint"), 52, 2, 5, 0);
            numeric(f, 5, 10, 0);
            f.odbcType = SqlSmallInt;
            f.odbcLength = 2;
            f.ssDataType = 52;
            break;
        case TypeId::BigInt:
            setBase(f, QStringLiteral("bigint"), 127, 8, 19, 0);
            numeric(f, 19, 10, 0);
            f.odbcType = SqlBigInt;
            f.odbcLength = 8;
            f.ssDataType = 108;
            break;
        case TypeId::Money:
        case TypeId::SmallMoney: {
            const bool small = t.id == TypeId::SmallMoney;
            setBase(f, small ? QStringLiteral("smallmoney") : QStringLiteral("money"), small ? 122 : 60,
                    small ? 4 : 8, small ? 10 : 19, 4);
            numeric(f, f.precision, 10, 4);
            f.odbcType = SqlDecimal;
            f.odbcLength = f.precision + 2;
            f.ssDataType = small ? 122 : 60;
            break;
        }
        case TypeId::Decimal:
            setBase(f, t.numericName ? QStringLiteral("numeric") : QStringLiteral("decimal"),
                    t.numericName ? 108 : 106, decimalBytes(t.precision), t.precision, t.scale);
            numeric(f, t.precision, 10, t.scale);
            f.odbcType = t.numericName ? SqlNumeric : SqlDecimal;
            f.odbcLength = t.precision + 2;
            f.ssDataType = t.numericName ? 63 : 55;
            break;
        case TypeId::Real:
            setBase(f, QStringLiteral("real"), 59, 4, 24, 0);
            numeric(f, 24, 2, std::nullopt);
            f.odbcType = SqlReal;
            f.odbcLength = 4;
            f.ssDataType = 59;
            break;
        case TypeId::Float:
            setBase(f, QStringLiteral("float"), 62, 8, 53, 0);
            numeric(f, 53, 2, std::nullopt);
            f.odbcType = SqlFloat;
            f.odbcLength = 8;
            f.ssDataType = 62;
            break;
        case TypeId::UniqueIdentifier:
            setBase(f, QStringLiteral("uniqueidentifier"), 36, 16, 0, 0);
            f.odbcType = SqlGuid;
            f.odbcPrecision = 36;
            f.odbcLength = 16;
            break;
        case TypeId::Xml:
            setBase(f, QStringLiteral("xml"), 241, -1, 0, 0);
            f.odbcType = SqlSsXml;
            f.odbcPrecision = 0;
            f.odbcLength = 0;
            break;
        default: // int, and a declaration SQLite takes that names no T-SQL type
            setBase(f, QStringLiteral("int"), 56, 4, 10, 0);
            numeric(f, 10, 10, 0);
            f.odbcType = SqlInteger;
            f.odbcLength = 4;
            f.ssDataType = 56;
            break;
        }
    }
    f.identity = rule.identity;
    f.seed = rule.seed;
    f.increment = rule.increment;
    return f;
}

QVariant columnTypeFact(const QString& declaration, const QString& field) {
    const ColumnTypeFacts f = columnTypeFacts(declaration);
    const auto optional = [](const std::optional<int>& v) { return v ? QVariant(*v) : QVariant(); };
    if (field == u"name")
        return f.name;
    if (field == u"system_type_id")
        return f.systemTypeId;
    if (field == u"max_length")
        return f.maxLength;
    if (field == u"precision")
        return f.precision;
    if (field == u"scale")
        return f.scale;
    if (field == u"is_identity")
        return int(f.identity);
    if (field == u"seed")
        return QString::number(f.seed);
    if (field == u"increment")
        return QString::number(f.increment);
    if (field == u"character")
        return int(f.character);
    if (field == u"char_length")
        return optional(f.charLength);
    if (field == u"octet_length")
        return optional(f.octetLength);
    if (field == u"numeric_precision")
        return optional(f.numericPrecision);
    if (field == u"numeric_radix")
        return optional(f.numericRadix);
    if (field == u"numeric_scale")
        return optional(f.numericScale);
    if (field == u"datetime_precision")
        return optional(f.datetimePrecision);
    if (field == u"odbc_type")
        return f.odbcType;
    if (field == u"odbc_precision")
        return f.odbcPrecision;
    if (field == u"odbc_length")
        return f.odbcLength;
    // The date and time types are SQL_DATETIME (9) with a subcode in ODBC 3's SQL_DATA_TYPE.
    const bool datetime = f.odbcType == SqlTypeDate || f.odbcType == SqlTypeTimestamp;
    if (field == u"sql_data_type")
        return datetime ? 9 : f.odbcType;
    if (field == u"datetime_sub")
        return datetime ? QVariant(f.odbcType == SqlTypeDate ? 1 : 3) : QVariant();
    if (field == u"ss_data_type")
        return f.ssDataType;
    // The type codes of a nullable column: intn 38 for the integers, bitn, decimaln, numericn,
    // floatn, moneyn and datetimn.
    if (field == u"ss_nullable_offset") {
        switch (f.ssDataType) {
        case 48:
        case 52:
        case 56:
            return 38 - f.ssDataType;
        case 108:
            return 38 - 108;
        case 50:
            return 104 - 50;
        case 55:
            return 106 - 55;
        case 63:
            return 108 - 63;
        case 59:
        case 62:
            return 109 - f.ssDataType;
        case 60:
        case 122:
            return 110 - f.ssDataType;
        case 58:
        case 61:
            return 111 - f.ssDataType;
        default:
            return 0;
        }
    }
    return {};
}

QVariant defaultDefinition(const QVariant& sqliteDefault) {
    if (sqliteDefault.isNull())
        return {};
    const QString text = sqliteDefault.toString().trimmed();
    bool number = false;
    text.toDouble(&number);
    return number ? QStringLiteral("((%1))").arg(text) : QStringLiteral("(%1)").arg(text);
}

} // namespace tsql
