#pragma once

// The executor of a session: runs the statements of a compiled batch one by one (control of flow,
// assignments, queries, data changes, transaction statements, TRY ... CATCH). Not part of the
// engine's interface.

#include "tsql/Evaluator.h"

namespace tsql {

class StatementCache;
class Transactions;
struct StoreTarget;

// How a statement ends: normally, or by BREAK, CONTINUE or RETURN, which the enclosing loop,
// block or batch handles.
enum class Flow { Normal, Break, Continue, Return };

class Executor {
public:
    Executor(BatchState& state, Evaluator& evaluator, StatementCache& statements, Transactions& transactions,
             BatchBudget& budget)
        : m_state(state)
        , m_evaluator(evaluator)
        , m_statements(statements)
        , m_transactions(transactions)
        , m_budget(budget) {}

    // Cap on WHILE iterations per batch (0 = none).
    void setLoopLimit(qint64 iterations) { m_loopLimit = iterations; }
    // A batch starts: no iteration counted yet.
    void startBatch() { m_loopCount = 0; }

    // Runs one statement; a failure is told the statement's line and thrown.
    Flow run(Stmt& s);

private:
    void enter(const Stmt& s);
    void failed(SqlError& e, const Stmt& s);
    Flow runInner(Stmt& s);
    Flow runIf(Stmt& first);
    Flow runWhile(Stmt& s);
    Flow runBlock(std::vector<StmtP>& body);
    Flow runTryCatch(Stmt& s);
    void runSelect(Stmt& s);
    void setOption(Stmt& s);
    void endTransaction(const Stmt& s);
    void assign(int slot, const QString& op, const Value& v);
    void resultSet(ResultSet rs);
    void print(const QString& text);

    // ---- data changes (Dml.cpp) ----
    void dml(Stmt& s);
    QString insertSql(Stmt& s, QVariantList& params);
    std::vector<int> insertColumns(const Stmt& s) const;
    QString insertRowsSql(Stmt& s, const std::vector<int>& cols, int identity,
                          const std::vector<int>& required, QVariantList& params);
    qint64 nextIdentity(const TableSource& t, int column);
    static QString defaultSql(const StoreTarget& target);
    void setIdentityInsert(const Stmt& s);
    void write(const QString& sql, const QVariantList& params);

    BatchState& m_state;
    Evaluator& m_evaluator;
    StatementCache& m_statements;
    Transactions& m_transactions;
    BatchBudget& m_budget;
    qint64 m_loopLimit = 0;
    qint64 m_loopCount = 0;
};

} // namespace tsql
