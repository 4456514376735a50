// The catalogue of tables and columns the binder looks names up in, read from SQLite's schema.

#include "tsql/bind/Binder.h"

#include "tsql/values/SqliteStatement.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>

#include <sqlite3.h>

namespace tsql {

// "INT IDENTITY(1,1)" and the like: SQLite keeps the declaration as written, the IDENTITY
// property (with its seed and increment) is taken out of it before the type is read.
SqlType declaredColumnType(QString decl, ColumnRule& rule) {
    // Most columns have no IDENTITY: the expression (compiled on its first use) is not needed.
    if (!decl.contains(QLatin1String("IDENTITY"), Qt::CaseInsensitive))
        return typeFromSqliteDecl(decl.trimmed());
    static const QRegularExpression identity(
        QStringLiteral("\\bIDENTITY\\s*(\\(\\s*(-?\\d+)\\s*,\\s*(-?\\d+)\\s*\\))?"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = identity.match(decl);
    if (m.hasMatch()) {
        rule.identity = true;
        rule.notNull = true;
        if (m.hasCaptured(2)) {
            rule.seed = m.captured(2).toLongLong();
            rule.increment = m.captured(3).toLongLong();
        }
        decl.remove(m.capturedStart(), m.capturedLength());
    }
    return typeFromSqliteDecl(decl.trimmed());
}

namespace {

// A text column of SQLite's answer (numbers as their text, null as empty).
QString textOf(const Value& v) {
    if (v.null)
        return {};
    if (v.type.id == TypeId::BigInt)
        return QString::number(v.i);
    if (v.type.id == TypeId::Float)
        return QString::number(v.f);
    return v.s;
}

// A statement prepared on first use and kept; reset, ready to run again.
SqliteStatement& prepared(std::unique_ptr<SqliteStatement>& statement, const QSqlDatabase& db,
                          const QString& sql) {
    if (!statement || !statement->prepared())
        statement = std::make_unique<SqliteStatement>(sqliteHandle(db), sql);
    return *statement;
}

// Resets a kept statement when the scope ends, so that it holds no read of the database.
struct Resetting {
    SqliteStatement& statement;
    ~Resetting() {
        if (statement.prepared())
            statement.reset();
    }
};

// The table or view of a schema with its columns, one row per column in their order: name, sql
// of the table, then the column's name, type, notnull, default and pk (table_info's); the
// column's fields are null for a table of no columns.
QString tableQuery(const QString& schema) {
    return QStringLiteral(
               "SELECT m.name, m.sql, p.name, p.type, p.\"notnull\", p.dflt_value, p.pk FROM "
               "%1.sqlite_master "
               "AS m LEFT JOIN pragma_table_info(m.name, '%1') AS p WHERE m.type IN ('table','view') AND "
               "m.name = ?1 COLLATE NOCASE")
        .arg(schema);
}

// The column of the current row of a table query, with its declared type and rules. An INTEGER
// PRIMARY KEY of a table declared with AUTOINCREMENT counts as an identity column: SQLite
// numbers it as the server numbers those.
void addColumn(const SqliteStatement& row, TableInfo& t, bool autoIncrement) {
    ColumnRule rule;
    const QString declared = textOf(row.column(3));
    t.columns << textOf(row.column(2));
    t.types.push_back(declaredColumnType(declared, rule));
    rule.notNull = rule.notNull || row.column(4).i != 0;
    const Value defaultValue = row.column(5);
    rule.hasDefault = !defaultValue.null;
    rule.defaultSql = textOf(defaultValue);
    if (autoIncrement && row.column(6).i == 1 &&
        declared.compare(QStringLiteral("INTEGER"), Qt::CaseInsensitive) == 0) {
        rule.identity = true;
        rule.notNull = true;
    }
    t.rules.push_back(rule);
}

// A table of the session (a temporary table, a table variable) as the server's messages name
// it: a table variable by its name, a temporary table as one of tempdb (where the server adds to
// its name a padding and a number of its own, left out here).
QString sessionMessageName(const QString& name) {
    return name.startsWith(u'#') ? QStringLiteral("tempdb.dbo.") + name : name;
}

} // namespace

// A name that starts with # (a temporary table) or @ (a table variable) is a table of the
// session, in SQLite's temp schema; any other name is looked for in the database's own schema
// only.
const TableInfo* Catalog::find(const QString& name) {
    QString key = name.toUpper();
    auto it = m_cache.find(key);
    if (it != m_cache.end())
        return it->has_value() ? &**it : nullptr;
    const bool session = name.startsWith(u'#') || name.startsWith(u'@');
    const QString schema = session ? QStringLiteral("temp") : QStringLiteral("main");
    std::optional<TableInfo> info;
    SqliteStatement& table = session ? prepared(m_tempTableQuery, m_db, tableQuery(schema))
                                     : prepared(m_tableQuery, m_db, tableQuery(schema));
    const Resetting done{table};
    bool autoIncrement = false;
    if (table.prepared() && table.bind({name}) == SQLITE_OK) {
        for (int rc = table.step(); rc == SQLITE_ROW; rc = table.step()) {
            if (!info) {
                info.emplace();
                info->name = textOf(table.column(0));
                autoIncrement =
                    textOf(table.column(1)).contains(QStringLiteral("AUTOINCREMENT"), Qt::CaseInsensitive);
                if (session)
                    info->messageName = sessionMessageName(info->name);
            }
            if (!table.column(2).null)
                addColumn(table, *info, autoIncrement);
        }
    }
    auto ins = m_cache.insert(key, info);
    return ins->has_value() ? &**ins : nullptr;
}

// Ids are the rows of SQLite's schema table, offset so that they look like the server's; a
// temporary table's (#name) are those of the temp schema, offset further.
std::optional<qint64> Catalog::objectId(const QString& name, const QString& type) {
    if (!type.isEmpty() && type != u"U" && type != u"V")
        return std::nullopt;
    const bool temp = name.startsWith(u'#');
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT rowid, type FROM %1.sqlite_master WHERE type IN ('table','view') AND "
                             "name = ? COLLATE NOCASE AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'")
                  .arg(temp ? QStringLiteral("temp") : QStringLiteral("main")));
    q.addBindValue(name);
    if (!q.exec() || !q.next())
        return std::nullopt;
    const bool view = q.value(1).toString() == u"view";
    if ((type == u"U" && view) || (type == u"V" && !view))
        return std::nullopt;
    return (temp ? -1000000000 : 1000000) + q.value(0).toLongLong();
}

std::optional<QString> Catalog::objectName(qint64 id) {
    if (!m_db.isValid() || id <= 1000000)
        return std::nullopt;
    QSqlQuery q(m_db);
    q.prepare(
        QStringLiteral("SELECT name FROM main.sqlite_master WHERE type IN ('table','view') AND rowid = ? "
                       "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"));
    q.addBindValue(id - 1000000);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toString();
}

// The database's name is its file's, as a server names a database after its files.
QString Catalog::databaseName() const {
    const QString file = QFileInfo(m_db.databaseName()).completeBaseName();
    return file.isEmpty() || file.startsWith(u':') ? QStringLiteral("master") : file;
}

QString Catalog::qualifiedName(const QString& table) const {
    return databaseName() + QStringLiteral(".dbo.") + table;
}

Catalog::Catalog(const QSqlDatabase& db)
    : m_db(db) {}

Catalog::Catalog()
    : m_schemaVersion(0) {}

Catalog::~Catalog() = default;

namespace {

qint64 readVersion(std::unique_ptr<SqliteStatement>& query, const QSqlDatabase& db, const char* sql) {
    SqliteStatement& version = prepared(query, db, QString::fromLatin1(sql));
    const Resetting done{version};
    return version.prepared() && version.step() == SQLITE_ROW ? version.column(0).i : -1;
}

} // namespace

void Catalog::refresh() {
    if (!m_db.isValid())
        return;
    const qint64 main = readVersion(m_versionQuery, m_db, "PRAGMA main.schema_version");
    const qint64 temp = readVersion(m_tempVersionQuery, m_db, "PRAGMA temp.schema_version");
    // Both versions in one number: either changing changes it.
    const qint64 version = main < 0 || temp < 0 ? -1 : (main << 24) ^ temp;
    if (version < 0 || version != m_schemaVersion)
        m_cache.clear();
    m_schemaVersion = version;
}

TableInfo Catalog::definedTable(const TableDef& def) {
    TableInfo t;
    t.name = def.name;
    t.messageName = sessionMessageName(def.name);
    for (const ColumnDef& c : def.columns) {
        t.columns << c.name;
        t.types.push_back(c.type);
        ColumnRule rule;
        rule.notNull = c.notNull || c.identity;
        rule.hasDefault = c.defaultValue != nullptr;
        rule.identity = c.identity;
        rule.seed = c.seed;
        rule.increment = c.increment;
        t.rules.push_back(rule);
    }
    return t;
}

QString itemName(const SelectItem& item) {
    if (item.hasAlias)
        return item.alias;
    if (item.expr && item.expr->kind == EK::Column)
        return item.expr->parts.last();
    return QString();
}

} // namespace tsql
