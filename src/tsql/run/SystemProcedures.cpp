// The catalogue's stored procedures that drivers and tools call before anything else: sp_tables,
// sp_columns and sp_help ("sp_tables (Transact-SQL)", "sp_columns (Transact-SQL)", "sp_help
// (Transact-SQL)"). Each runs as a batch of its own over the catalogue views, with the caller's
// arguments written into it as literals, so that its result sets are those of a query.

#include "tsql/run/Executor.h"

#include "tsql/base/Messages.h"
#include "tsql/bind/Binder.h"

namespace tsql {

namespace {

// The procedure's name without the schema or database before it (sys.sp_tables,
// master.dbo.sp_columns).
QString procedureName(const QString& written) {
    return written.mid(written.lastIndexOf(u'.') + 1).toLower();
}

QString literal(const QString& text) {
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("N'") + quoted + u'\'';
}

// "'TABLE','VIEW'" as sp_tables takes @table_type: each type counts when the list holds its name
// in single quotation marks ("sp_tables (Transact-SQL)"); a name without them counts for none.
QStringList tableTypes(const QString& list) {
    QStringList types;
    for (const char* type : {"SYSTEM TABLE", "TABLE", "VIEW"})
        if (list.contains(u'\'' + QLatin1String(type) + u'\'', Qt::CaseInsensitive))
            types << literal(QLatin1String(type));
    return types;
}

} // namespace

// The arguments of a procedure call by the procedure's parameters (`names`, in order, lower
// case with their @): a named argument by its name, the others by position. Msg 8145 for a name
// the procedure has not; an argument given as NULL or not at all is missing.
std::vector<std::optional<QString>> Executor::procedureArguments(Stmt& s, const QStringList& names) {
    std::vector<std::optional<QString>> out(size_t(names.size()));
    for (size_t k = 0; k < s.args.size(); ++k) {
        const QString name = s.argNames.value(qsizetype(k)).toLower();
        const qsizetype at = name.isEmpty() ? qsizetype(k) : names.indexOf(name);
        if (at < 0 || at >= names.size())
            raise<Msg::NotParameterForProcedure>(name.isEmpty() ? QString::number(k + 1)
                                                                : s.argNames[qsizetype(k)],
                                                 procedureName(s.procName));
        const Value v = m_evaluator.eval(*s.args[k], nullptr);
        if (!v.null)
            out[size_t(at)] = toText(v);
    }
    return out;
}

bool Executor::systemProcedure(Stmt& s) {
    const QString name = procedureName(s.procName);
    if (name == u"sp_tables")
        runDynamic(spTables(s), {}, {});
    else if (name == u"sp_columns")
        runDynamic(spColumns(s), {}, {});
    else if (name == u"sp_help")
        spHelp(s);
    else
        return false;
    return true;
}

// sp_tables [@table_name] [, @table_owner] [, @table_qualifier] [, @table_type] [, @fUsePattern]:
// names as LIKE patterns (or exact with @fUsePattern 0), the types as a list of quoted words.
QString Executor::spTables(Stmt& s) {
    const auto a = procedureArguments(s, {QStringLiteral("@table_name"), QStringLiteral("@table_owner"),
                                          QStringLiteral("@table_qualifier"), QStringLiteral("@table_type"),
                                          QStringLiteral("@fusepattern")});
    const bool pattern = !a[4] || a[4]->trimmed() != u"0";
    QStringList where;
    const auto match = [&](const char* column, const std::optional<QString>& value) {
        if (value)
            where << QStringLiteral("%1 %2 %3")
                         .arg(QLatin1String(column), pattern ? QStringLiteral("LIKE") : QStringLiteral("="),
                              literal(*value));
    };
    match("TABLE_NAME", a[0]);
    match("TABLE_OWNER", a[1]);
    match("TABLE_QUALIFIER", a[2]);
    if (a[3]) {
        const QStringList types = tableTypes(*a[3]);
        where << (types.isEmpty()
                      ? QStringLiteral("1 = 0")
                      : QStringLiteral("TABLE_TYPE IN (%1)").arg(types.join(QStringLiteral(", "))));
    }
    return QStringLiteral(
               "SELECT TABLE_QUALIFIER, TABLE_OWNER, TABLE_NAME, TABLE_TYPE, REMARKS FROM sys.[$sp_tables]%1 "
               "ORDER BY TABLE_TYPE, TABLE_QUALIFIER, TABLE_OWNER, TABLE_NAME")
        .arg(where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")));
}

// sp_columns @table_name [, @table_owner] [, @table_qualifier] [, @column_name] [, @ODBCVer]:
// the table name and the column name as LIKE patterns; ODBC 2 (the default) names the date and
// time types by ODBC 2's codes.
QString Executor::spColumns(Stmt& s) {
    const auto a = procedureArguments(s, {QStringLiteral("@table_name"), QStringLiteral("@table_owner"),
                                          QStringLiteral("@table_qualifier"), QStringLiteral("@column_name"),
                                          QStringLiteral("@odbcver")});
    if (!a[0])
        raise<Msg::ProcedureExpectsParameter>(QStringLiteral("sp_columns"), QStringLiteral("@table_name"));
    QStringList where{QStringLiteral("TABLE_NAME LIKE %1").arg(literal(*a[0]))};
    if (a[1])
        where << QStringLiteral("TABLE_OWNER LIKE %1").arg(literal(*a[1]));
    if (a[2])
        where << QStringLiteral("TABLE_QUALIFIER LIKE %1").arg(literal(*a[2]));
    if (a[3])
        where << QStringLiteral("COLUMN_NAME LIKE %1").arg(literal(*a[3]));
    const bool odbc3 = a[4] && a[4]->trimmed() == u"3";
    const QString dataType =
        odbc3 ? QStringLiteral("DATA_TYPE")
              : QStringLiteral("CASE DATA_TYPE WHEN 93 THEN 11 WHEN 91 THEN 9 ELSE DATA_TYPE "
                               "END AS DATA_TYPE");
    const QString sqlDataType =
        odbc3 ? QStringLiteral("SQL_DATA_TYPE, SQL_DATETIME_SUB")
              : QStringLiteral(
                    "CASE DATA_TYPE WHEN 93 THEN 11 WHEN 91 THEN 9 ELSE DATA_TYPE END AS SQL_DATA_TYPE, "
                    "CAST(NULL AS smallint) AS SQL_DATETIME_SUB");
    return QStringLiteral(
               "SELECT TABLE_QUALIFIER, TABLE_OWNER, TABLE_NAME, COLUMN_NAME, %1, TYPE_NAME, [PRECISION], "
               "LENGTH, SCALE, RADIX, NULLABLE, REMARKS, COLUMN_DEF, %2, CHAR_OCTET_LENGTH, "
               "ORDINAL_POSITION, IS_NULLABLE, SS_DATA_TYPE FROM sys.[$sp_columns] WHERE %3 ORDER BY "
               "TABLE_QUALIFIER, TABLE_OWNER, TABLE_NAME, ORDINAL_POSITION")
        .arg(dataType, sqlDataType, where.join(QStringLiteral(" AND ")));
}

// sp_help: without a name, the database's objects (and its user types: none); with the name of
// a table or view, what it is, its columns, its identity column, its row GUID column and where
// its data lies (Msg 15009 for another name).
void Executor::spHelp(Stmt& s) {
    const auto a = procedureArguments(s, {QStringLiteral("@objname")});
    if (!a[0]) {
        runDynamic(
            QStringLiteral(
                "SELECT name AS Name, N'dbo' AS Owner, CASE type WHEN 'U' THEN N'user table' ELSE N'view' "
                "END AS Object_type FROM sys.objects ORDER BY Object_type, Name;\n"
                "SELECT CAST(NULL AS sysname) AS User_type, CAST(NULL AS sysname) AS Storage_type, "
                "CAST(NULL AS smallint) AS Length, CAST(NULL AS int) AS Prec, CAST(NULL AS int) AS Scale, "
                "CAST(NULL AS varchar(35)) AS Nullable, CAST(NULL AS sysname) AS Default_name, "
                "CAST(NULL AS sysname) AS Rule_name, CAST(NULL AS sysname) AS Collation WHERE 1 = 0"),
            {}, {});
        return;
    }
    const QStringList parts = splitObjectName(*a[0]);
    const bool dbo = parts.size() < 2 || parts[parts.size() - 2].isEmpty() ||
                     parts[parts.size() - 2].compare(u"dbo", Qt::CaseInsensitive) == 0;
    const std::optional<qint64> id =
        m_catalog && dbo && !parts.isEmpty() ? m_catalog->objectId(parts.last(), {}) : std::nullopt;
    if (!id)
        raise<Msg::ObjectNotInDatabase>(*a[0],
                                        m_catalog ? m_catalog->databaseName() : QStringLiteral("master"));
    const QString object = QString::number(*id);
    runDynamic(
        QStringLiteral(
            "SELECT name AS Name, N'dbo' AS Owner, CASE type WHEN 'U' THEN N'user table' ELSE N'view' END AS "
            "Type, "
            "create_date AS Created_datetime FROM sys.objects WHERE object_id = %1;\n"
            "SELECT c.name AS Column_name, t.name AS Type, 'no' AS Computed, c.max_length AS Length, "
            "CASE WHEN c.[precision] > 0 AND t.name NOT LIKE '%date%' AND t.name NOT LIKE '%time%' THEN "
            "CAST(c.[precision] AS char(5)) ELSE '' END AS Prec, CASE WHEN c.[precision] > 0 AND t.name NOT "
            "LIKE "
            "'%date%' AND t.name NOT LIKE '%time%' THEN CAST(c.scale AS char(5)) ELSE '' END AS Scale, CASE "
            "WHEN "
            "c.is_nullable = 1 THEN 'yes' ELSE 'no' END AS Nullable, CASE WHEN c.collation_name IS NULL THEN "
            "'(n/a)' ELSE 'no' END AS TrimTrailingBlanks, CASE WHEN c.collation_name IS NULL THEN '(n/a)' "
            "ELSE "
            "'no' END AS FixedLenNullInSource, c.collation_name AS Collation FROM sys.columns AS c JOIN "
            "sys.types "
            "AS t ON t.user_type_id = c.user_type_id WHERE c.object_id = %1 ORDER BY c.column_id;\n"
            "IF EXISTS (SELECT 1 FROM sys.identity_columns WHERE object_id = %1) SELECT name AS [Identity], "
            "seed_value AS Seed, increment_value AS Increment, 0 AS [Not For Replication] FROM "
            "sys.identity_columns WHERE object_id = %1 ELSE SELECT 'No identity column defined.' AS "
            "[Identity], NULL AS Seed, NULL "
            "AS Increment, NULL AS [Not For Replication];\n"
            "SELECT 'No rowguidcol column defined.' AS [RowGuidCol];\n"
            "SELECT 'PRIMARY' AS Data_located_on_filegroup;")
            .arg(object),
        {}, {});
}

} // namespace tsql
