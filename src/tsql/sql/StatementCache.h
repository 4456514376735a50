#pragma once

// The SQLite statements a session prepares for the text it generates, kept for the next time the
// same text comes. Not part of the engine's interface.

#include "tsql/base/Limits.h"
#include "tsql/sql/SqliteFunctions.h"

#include <QSqlDatabase>

#include <list>
#include <memory>

namespace tsql {

// A generated statement under way: its first step is taken when it is prepared, so that a
// failing statement raises there; `state` is the last step's answer. A statement from the cache
// is reset when this ends, which also ends its read of the database.
class Prepared {
public:
    Prepared(SqliteStatement* kept, bool* inUse)
        : statement(kept)
        , m_inUse(inUse) {
        *m_inUse = true;
    }
    explicit Prepared(std::unique_ptr<SqliteStatement> own)
        : statement(own.get())
        , m_own(std::move(own)) {}
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;
    ~Prepared() {
        if (m_inUse) {
            statement->reset();
            *m_inUse = false;
        }
    }
    SqliteStatement* statement;
    int state = 0;

private:
    bool* m_inUse = nullptr;
    std::unique_ptr<SqliteStatement> m_own; // a statement not kept in the cache
};

// Prepared statements of generated texts, the most recently used first: the editor sends the
// same look-ups and the same declarations over and over, and a statement found here is run again
// without being compiled again. SQLite compiles one anew by itself when the schema has changed.
class StatementCache {
public:
    StatementCache(const QSqlDatabase& db, BatchBudget& budget);

    // The statement of `sql` with its parameters bound and its first step taken.
    std::unique_ptr<Prepared> run(const QString& sql, const QVariantList& params);
    // The server's error for a statement SQLite refused or stopped: an error raised in one of the
    // engine's functions, the batch's limits (time, memory, locks), or the constraint violated.
    [[noreturn]] void failure(const SqliteStatement& q) const;
    const QSqlDatabase& database() const { return m_db; }

private:
    // Texts are told apart by their hash first: generated texts share long beginnings.
    struct CachedStatement {
        QString sql;
        std::size_t hash = 0;
        std::unique_ptr<SqliteStatement> statement;
        bool inUse = false;
    };
    static constexpr std::size_t kCachedStatements = 32;

    std::unique_ptr<Prepared> find(const QString& sql, std::size_t hash);

    QSqlDatabase m_db;
    BatchBudget& m_budget;
    std::list<CachedStatement> m_statements;
    bool m_functionsRegistered = false;
};

// Msg 701: the machine ran out of memory while the batch ran.
ServerError insufficientMemory();

// Throws the server's message for a failure SQLite reported (its extended result code and its
// text): SQL Server's own message where there is one, the construct refused by name where SQLite
// cannot do what the server does, else the embedded server's failure named by its cause. SQLite's
// text itself never becomes the message.
[[noreturn]] void raiseSqliteFailure(int code, const QString& text);

} // namespace tsql
