// The catalogue of tables and columns the binder looks names up in, read from SQLite's schema.

#include "tsql/Binder.h"

#include "tsql/SqliteFunctions.h"

#include <QSqlQuery>

#include <sqlite3.h>

namespace tsql {

// A name that starts with # is a temporary table of the session, in SQLite's temp schema; any
// other name is looked for in the database's own schema only.
const TableInfo* Catalog::find(const QString& name) {
    QString key = name.toUpper();
    auto it = m_cache.find(key);
    if (it != m_cache.end())
        return it->has_value() ? &**it : nullptr;
    const bool temp = name.startsWith(u'#');
    const QString schema = temp ? QStringLiteral("temp") : QStringLiteral("main");
    std::optional<TableInfo> info;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type IN ('table','view') AND name = ? "
                             "COLLATE NOCASE")
                  .arg(schema));
    q.addBindValue(name);
    if (q.exec() && q.next()) {
        TableInfo t;
        t.name = q.value(0).toString();
        QSqlQuery cols(m_db);
        QString quoted = t.name;
        quoted.replace(u'"', QStringLiteral("\"\""));
        if (cols.exec(QStringLiteral("PRAGMA %1.table_info(\"%2\")").arg(schema, quoted))) {
            while (cols.next()) {
                t.columns << cols.value(1).toString();
                t.types.push_back(typeFromSqliteDecl(cols.value(2).toString()));
                t.notNull.push_back(cols.value(3).toInt() != 0);
            }
        }
        if (auto id = m_identities.constFind((schema + u'.' + t.name).toUpper());
            id != m_identities.constEnd()) {
            t.identityColumn = id->column;
            t.identitySeed = id->seed;
            t.identityIncrement = id->increment;
        }
        info = t;
    }
    auto ins = m_cache.insert(key, info);
    return ins->has_value() ? &**ins : nullptr;
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

void Catalog::setIdentity(const QString& table, const IdentityState& state) {
    m_identities.insert(table.toUpper(), state);
}

void Catalog::forgetIdentity(const QString& table) {
    m_identities.remove(table.toUpper());
}

qint64 Catalog::takeIdentity(const QString& table, qint64 rows) {
    IdentityState& s = m_identities[table.toUpper()];
    const qint64 first = s.last ? *s.last + s.increment : s.seed;
    if (rows > 0)
        s.last = first + (rows - 1) * s.increment;
    return first;
}

QString itemName(const SelectItem& item) {
    if (item.hasAlias)
        return item.alias;
    if (item.expr && item.expr->kind == EK::Column)
        return item.expr->parts.last();
    return QString();
}

} // namespace tsql
