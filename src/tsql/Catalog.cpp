// The catalogue of tables and columns the binder looks names up in, read from SQLite's schema.

#include "tsql/Binder.h"

#include "tsql/SqliteFunctions.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>

#include <sqlite3.h>

namespace tsql {

namespace {

// "INT IDENTITY(1,1)" and the like: SQLite keeps the declaration as written, the IDENTITY
// property (with its seed and increment) is taken out of it before the type is read.
SqlType declaredType(QString decl, ColumnRule& rule) {
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

// The columns of a table with their declared types and rules (PRAGMA table_info: name, type,
// notnull, default, pk). An INTEGER PRIMARY KEY of a table declared with AUTOINCREMENT counts
// as an identity column: SQLite numbers it as the server numbers those.
void readColumns(const QSqlDatabase& db, const QString& schema, TableInfo& t, bool autoIncrement) {
    QSqlQuery cols(db);
    QString quoted = t.name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    if (!cols.exec(QStringLiteral("PRAGMA %1.table_info(\"%2\")").arg(schema, quoted)))
        return;
    while (cols.next()) {
        ColumnRule rule;
        t.columns << cols.value(1).toString();
        t.types.push_back(declaredType(cols.value(2).toString(), rule));
        rule.notNull = rule.notNull || cols.value(3).toInt() != 0;
        rule.hasDefault = !cols.value(4).isNull();
        rule.defaultSql = cols.value(4).toString();
        if (autoIncrement && cols.value(5).toInt() == 1 &&
            cols.value(2).toString().compare(QStringLiteral("INTEGER"), Qt::CaseInsensitive) == 0) {
            rule.identity = true;
            rule.notNull = true;
        }
        t.rules.push_back(rule);
    }
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
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT name, sql FROM %1.sqlite_master WHERE type IN ('table','view') AND "
                             "name = ? COLLATE NOCASE")
                  .arg(schema));
    q.addBindValue(name);
    if (q.exec() && q.next()) {
        TableInfo t;
        t.name = q.value(0).toString();
        readColumns(m_db, schema, t,
                    q.value(1).toString().contains(QStringLiteral("AUTOINCREMENT"), Qt::CaseInsensitive));
        if (session)
            t.messageName = sessionMessageName(t.name);
        info = t;
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

namespace {
thread_local Catalog* g_catalog = nullptr;
} // namespace

Catalog* currentCatalog() {
    return g_catalog;
}

CurrentCatalog::CurrentCatalog(Catalog* catalog)
    : m_previous(g_catalog) {
    g_catalog = catalog;
}

CurrentCatalog::~CurrentCatalog() {
    g_catalog = m_previous;
}

QStringList splitObjectName(const QString& name) {
    QStringList parts;
    QString part;
    for (qsizetype k = 0; k < name.size(); ++k) {
        const QChar c = name[k];
        if (c == u'[' || c == u'"') {
            const QChar close = c == u'[' ? u']' : u'"';
            const qsizetype end = name.indexOf(close, k + 1);
            if (end < 0)
                return {};
            part += name.mid(k + 1, end - k - 1);
            k = end;
        } else if (c == u'.') {
            parts << part.trimmed();
            part.clear();
        } else {
            part += c;
        }
    }
    parts << part.trimmed();
    if (parts.last().isEmpty())
        return {};
    return parts;
}

// The database's name is its file's, as a server names a database after its files.
QString Catalog::qualifiedName(const QString& table) const {
    const QString file = QFileInfo(m_db.databaseName()).completeBaseName();
    const QString database = file.isEmpty() || file.startsWith(u':') ? QStringLiteral("master") : file;
    return database + QStringLiteral(".dbo.") + table;
}

Catalog::Catalog(QSqlDatabase db)
    : m_db(std::move(db)) {}

Catalog::~Catalog() = default;

namespace {

qint64 readVersion(std::unique_ptr<SqliteStatement>& query, const QSqlDatabase& db, const char* sql) {
    if (!query || !query->prepared())
        query = std::make_unique<SqliteStatement>(sqliteHandle(db), QString::fromLatin1(sql));
    const qint64 version = query->prepared() && query->step() == SQLITE_ROW ? query->column(0).i : -1;
    if (query->prepared())
        query->reset();
    return version;
}

} // namespace

void Catalog::refresh() {
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
