#include "tsql/sql/StatementCache.h"

#include "tsql/base/Messages.h"

#include "tsql/sql/Transactions.h"

#include <sqlite3.h>

#include <QHash>

#include <algorithm>

namespace tsql {

ServerError insufficientMemory() {
    return serverError<Msg::InsufficientMemory>(0, 0); // the statement that ran out tells its line
}

StatementCache::StatementCache(const QSqlDatabase& db, BatchBudget& budget)
    : m_db(db)
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
        raise<Msg::StatementValueNotBound>();
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
    // A cancel ends the wait for another connection's lock as it ends the batch.
    if (isLockFailure(code) && m_budget.cancelled())
        BatchBudget::timeoutExpired();
    if (isLockFailure(code))
        lockRequestTimedOut();
    if (code == SQLITE_TOOBIG)
        m_budget.memoryExceeded();
    if (code == SQLITE_NOMEM)
        throw SqlError{insufficientMemory()};
    raiseSqliteFailure(q.errorCode(), q.errorText());
}

void raiseSqliteFailure(int code, const QString& text) {
    // The file system, not the batch: said as such rather than in SQLite's words.
    if ((code & 0xff) == SQLITE_FULL)
        raise<Msg::DiskFull>();
    if ((code & 0xff) == SQLITE_READONLY)
        raise<Msg::DatabaseReadOnly>();
    // The text generated for an expression nests as deep as the expression: SQLite refuses one
    // deeper than its parser or its expression trees allow, as SQL Server would.
    if (text.contains(QStringLiteral("parser stack overflow")) ||
        text.contains(QStringLiteral("Expression tree is too large")))
        raise<Msg::NestedTooDeeply>();
    // A table a statement of the batch dropped (or never made) after the batch was compiled.
    if (text.startsWith(QStringLiteral("no such table: "))) {
        QString name = text.mid(15);
        if (name.startsWith(QStringLiteral("temp.")) || name.startsWith(QStringLiteral("main.")))
            name = name.mid(5);
        raise<Msg::InvalidObjectName>(name);
    }
    // SQLite names the table and column ("UNIQUE constraint failed: t.a"); the key's own name
    // is not known here.
    if (text.contains(QStringLiteral("UNIQUE constraint failed")) ||
        text.contains(QStringLiteral("PRIMARY KEY"))) {
        const QString table = text.section(u':', 1).trimmed().section(u'.', 0, 0);
        raise<Msg::ViolationPrimaryKeyConstraint>(
            table.startsWith(u'#') || table.startsWith(u'@') ? table : QStringLiteral("dbo.") + table);
    }
    if (text.contains(QStringLiteral("NOT NULL constraint failed")))
        raise<Msg::NullNotAllowedInInsert>(text.section(u'.', -1));
    // An aggregate where the server has a message of its own is refused when the batch is
    // compiled; any other misuse SQLite finds is named here, never in SQLite's words.
    if (text.contains(QStringLiteral("misuse of aggregate")) ||
        text.contains(QStringLiteral("aggregate functions are not allowed")) ||
        text.contains(QStringLiteral("misuse of window function")))
        raise<Msg::AggregateUseNotSupported>();
    // What SQLite cannot do that the server can: refused by name.
    if (text.contains(QStringLiteral("tables in a join")))
        raise<Msg::JoinTooManyTables>();
    if (text.contains(QStringLiteral("too many terms in compound SELECT")))
        raise<Msg::CompoundTooManyQueries>();
    if (text.contains(QStringLiteral("too many columns")))
        raise<Msg::QueryTooManyColumns>();
    if (text.contains(QStringLiteral("too many SQL variables")) ||
        text.contains(QStringLiteral("too many arguments")))
        raise<Msg::StatementTooManyValues>();
    // Anything else is the embedded server's own failure, named by its cause; SQLite's text
    // never reaches the client.
    QString cause;
    switch (code & 0xff) {
    case SQLITE_IOERR:
        cause = QStringLiteral("a read or write of the database file failed");
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        cause = QStringLiteral("the database file is damaged");
        break;
    case SQLITE_CANTOPEN:
        cause = QStringLiteral("a file of the database cannot be opened");
        break;
    default:
        cause = QStringLiteral("internal error %1").arg(code);
        break;
    }
    raise<Msg::EmbeddedServerFailure>(cause);
}

} // namespace tsql
