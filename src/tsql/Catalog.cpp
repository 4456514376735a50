// The catalogue of tables and columns the binder looks names up in, read from SQLite's schema.

#include "tsql/Binder.h"

#include "tsql/SqliteFunctions.h"

#include <QSqlQuery>

#include <sqlite3.h>

namespace tsql {

const TableInfo* Catalog::find(const QString& name) {
    QString key = name.toUpper();
    auto it = m_cache.find(key);
    if (it != m_cache.end())
        return it->has_value() ? &**it : nullptr;
    std::optional<TableInfo> info;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type IN ('table','view') AND name = ? COLLATE NOCASE"));
    q.addBindValue(name);
    if (q.exec() && q.next()) {
        TableInfo t;
        t.name = q.value(0).toString();
        QSqlQuery cols(m_db);
        QString quoted = t.name;
        quoted.replace(u'"', QStringLiteral("\"\""));
        if (cols.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(quoted))) {
            while (cols.next()) {
                t.columns << cols.value(1).toString();
                t.types.push_back(typeFromSqliteDecl(cols.value(2).toString()));
            }
        }
        info = t;
    }
    auto ins = m_cache.insert(key, info);
    return ins->has_value() ? &**ins : nullptr;
}

Catalog::Catalog(QSqlDatabase db)
    : m_db(std::move(db)) {}

Catalog::~Catalog() = default;

void Catalog::refresh() {
    if (!m_versionQuery || !m_versionQuery->prepared())
        m_versionQuery =
            std::make_unique<SqliteStatement>(sqliteHandle(m_db), QStringLiteral("PRAGMA schema_version"));
    const qint64 version =
        m_versionQuery->prepared() && m_versionQuery->step() == SQLITE_ROW ? m_versionQuery->column(0).i : -1;
    if (m_versionQuery->prepared())
        m_versionQuery->reset();
    if (version < 0 || version != m_schemaVersion)
        m_cache.clear();
    m_schemaVersion = version;
}

QString itemName(const SelectItem& item) {
    if (item.hasAlias)
        return item.alias;
    if (item.expr && item.expr->kind == EK::Column)
        return item.expr->parts.last();
    return QString();
}

} // namespace tsql
