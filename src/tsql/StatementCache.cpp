#include "tsql/StatementCache.h"

#include "tsql/Transactions.h"

#include <sqlite3.h>

#include <QHash>

#include <algorithm>

namespace tsql {

ServerError insufficientMemory() {
    ServerError e;
    e.number = 701;
    e.level = 17;
    e.line = 0; // the statement that ran out tells its line
    e.message =
        QStringLiteral("There is insufficient system memory in resource pool 'default' to run this query.");
    return e;
}

StatementCache::StatementCache(QSqlDatabase db, BatchBudget& budget)
    : m_db(std::move(db))
    , m_budget(budget) {}

std::unique_ptr<Prepared> StatementCache::find(const QString& sql, std::size_t hash) {
    auto it = std::find_if(m_statements.begin(), m_statements.end(), [&](const CachedStatement& c) {
        return !c.inUse && c.hash == hash && c.sql == sql;
    });
    if (it != m_statements.end()) {
        m_statements.splice(m_statements.begin(), m_statements, it);
        return std::make_unique<Prepared>(m_statements.front().statement.get(), &m_statements.front().inUse);
    }
    auto statement = std::make_unique<SqliteStatement>(sqliteHandle(m_db), sql);
    if (!statement->prepared())
        failure(*statement);
    if (m_statements.size() >= kCachedStatements && m_statements.back().inUse) {
        // Every statement kept is under way (queries nested that deep): this one is not kept.
        return std::make_unique<Prepared>(std::move(statement));
    }
    if (m_statements.size() >= kCachedStatements)
        m_statements.pop_back();
    m_statements.push_front({sql, hash, std::move(statement), false});
    return std::make_unique<Prepared>(m_statements.front().statement.get(), &m_statements.front().inUse);
}

std::unique_ptr<Prepared> StatementCache::run(const QString& sql, const QVariantList& params) {
    if (!m_functionsRegistered) {
        registerSqliteFunctions(m_db);
        m_functionsRegistered = true;
    }
    std::unique_ptr<Prepared> p = find(sql, qHash(sql));
    if (const int rc = p->statement->bind(params); rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_TOOBIG)
            m_budget.memoryExceeded();
        raise(50000, 16, QStringLiteral("A value of the statement could not be bound."));
    }
    clearPendingError();
    p->state = p->statement->step();
    if (p->state != SQLITE_ROW && p->state != SQLITE_DONE)
        failure(*p->statement);
    return p;
}

void StatementCache::failure(const SqliteStatement& q) const {
    if (auto pending = takePendingError())
        throw SqlError{*pending};
    const int code = q.errorCode() & 0xff;
    if (code == SQLITE_INTERRUPT && m_budget.expired())
        BatchBudget::timeoutExpired();
    if (code == SQLITE_INTERRUPT && m_budget.diskExceeded())
        m_budget.diskLimitReached();
    if (isLockFailure(code))
        lockRequestTimedOut();
    if (code == SQLITE_TOOBIG)
        m_budget.memoryExceeded();
    if (code == SQLITE_NOMEM)
        throw SqlError{insufficientMemory()};
    QString text = q.errorText();
    // The text generated for an expression nests as deep as the expression: SQLite refuses one
    // deeper than its parser or its expression trees allow, as SQL Server would.
    if (text.contains(QStringLiteral("parser stack overflow")) ||
        text.contains(QStringLiteral("Expression tree is too large")))
        raise(191, 15,
              QStringLiteral("Some part of your SQL statement is nested too deeply. Rewrite the query or "
                             "break it up into smaller queries."));
    // A table a statement of the batch dropped (or never made) after the batch was compiled.
    if (text.startsWith(QStringLiteral("no such table: "))) {
        QString name = text.mid(15);
        if (name.startsWith(QStringLiteral("temp.")) || name.startsWith(QStringLiteral("main.")))
            name = name.mid(5);
        raise(208, 16, QStringLiteral("Invalid object name '%1'.").arg(name));
    }
    if (text.contains(QStringLiteral("UNIQUE constraint failed")) ||
        text.contains(QStringLiteral("PRIMARY KEY")))
        raise(2627, 14,
              QStringLiteral("Violation of PRIMARY KEY constraint. Cannot insert duplicate key. (%1)")
                  .arg(text));
    if (text.contains(QStringLiteral("NOT NULL constraint failed")))
        raise(515, 16,
              QStringLiteral("Cannot insert the value NULL into column '%1'; column does not allow nulls. "
                             "INSERT fails.")
                  .arg(text.section(u'.', -1)));
    raise(50000, 16, text.isEmpty() ? QStringLiteral("Unable to execute statement") : text);
}

} // namespace tsql
