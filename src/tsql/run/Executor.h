#pragma once

// The executor of a session: runs the statements of a compiled batch one by one (control of flow,
// assignments, queries, data changes, transaction statements, TRY ... CATCH). Not part of the
// engine's interface.

#include "tsql/run/Evaluator.h"

namespace tsql {

class Catalog;
class StatementCache;
class Transactions;
struct StoreTarget;

// How a statement ends: normally, or by BREAK, CONTINUE or RETURN, which the enclosing loop,
// block or batch handles, or by a GOTO, which the block holding its label handles.
enum class Flow { Normal, Break, Continue, Return, Goto };

// ---- the rules of statements, shared with the compiled evaluator ----

// SET @v = x and SET @v += x: the value a variable of type `t` that holds `current` takes, the
// value converted to its declared type (a char(n) variable cuts and pads, a decimal one rounds);
// `compound` is the operator of a compound assignment (+ of +=), none for =.
Value assignedValue(const Value& current, std::optional<ArithmeticOp> compound, const Value& v,
                    const SqlType& t);
// A variable takes its new value; its text is counted against the batch's memory before it
// replaces the old one.
void storeVariable(Value& variable, MemoryCharge& memory, Value v);
// One more round of a loop: counted against the loop limit (0: none), and the clock looked at.
void countIteration(qint64& count, qint64 limit, const BatchBudget& budget);

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
    void startBatch() {
        m_loopCount = 0;
        m_jump = nullptr;
        m_nesting = 0;
        m_xactAbort = false;
    }
    // Where a dynamic batch finds the tables it names, and a data change the defaults of a table
    // the batch made.
    void setCatalog(Catalog* catalog) { m_catalog = catalog; }
    // The connection's wait for other connections' locks, which SET LOCK_TIMEOUT shortens.
    void setLockWait(LockWait* wait) { m_lockWait = wait; }
    // The lock wait of the session: SET LOCK_TIMEOUT's (kept for the session, as on the server)
    // within the engine's own `limitMs`; the limit itself after SET LOCK_TIMEOUT -1 or none.
    int lockWaitMs(int limitMs) const {
        return m_lockTimeoutMs < 0 ? limitMs : std::min(limitMs, m_lockTimeoutMs);
    }

    // Runs the statements of a batch sent by the client.
    void runBatch(std::vector<StmtP>& statements);
    // Runs one statement; a failure is told the statement's line and thrown.
    Flow run(Stmt& s);

    // The table variables of the batch starting, and their end (TempTables.cpp).
    void createTableVariables(const std::vector<TableDef*>& tables);
    void dropTableVariables(size_t keep = 0);

private:
    void enter(const Stmt& s);
    void traceLine(int line);
    void failed(SqlError& e, const Stmt& s);
    Flow runInner(Stmt& s);
    Flow runIf(Stmt& first);
    Flow runWhile(Stmt& s, bool entering = false);
    Flow runBlock(std::vector<StmtP>& body, size_t from = 0);
    Flow runTryCatch(Stmt& s, size_t from = 0);
    void iteration();
    void runSelect(Stmt& s);
    void setOption(Stmt& s);
    void endTransaction(const Stmt& s);
    void assign(int slot, const QString& op, const Value& v);
    void resultSet(ResultSet rs);
    void print(InfoMessage message);

    // ---- GOTO (Jumps.cpp) ----
    Flow jump(const Stmt& s);
    Flow seek(Stmt& s);
    Flow seekIf(Stmt& first);
    size_t childHolding(const std::vector<StmtP>& body) const;
    bool holds(const Stmt& s) const { return m_jump->order >= s.order && m_jump->order <= s.orderEnd; }

    // ---- RAISERROR and THROW (RaisedErrors.cpp) ----
    void raiseError(Stmt& s);
    void throwError(Stmt& s);

    // ---- dynamic batches (DynamicBatches.cpp) ----
    void execString(Stmt& s);
    void execSql(Stmt& s);
    void runDynamic(const QString& text, std::vector<VarDecl> parameters, const std::vector<Value>& values);
    // The catalogue's procedures (SystemProcedures.cpp); false for a name that is none of them.
    bool systemProcedure(Stmt& s);
    void setLockTimeout(const Stmt& s);
    std::vector<std::optional<QString>> procedureArguments(Stmt& s, const QStringList& names);
    QString spTables(Stmt& s);
    QString spColumns(Stmt& s);
    void spHelp(Stmt& s);

    // ---- data changes (Dml.cpp) ----
    void dml(Stmt& s);
    QString insertSql(Stmt& s, QVariantList& params);
    std::vector<int> insertColumns(const Stmt& s) const;
    QString insertRowsSql(Stmt& s, const std::vector<int>& cols, int identity,
                          const std::vector<int>& required, QVariantList& params);
    qint64 nextIdentity(const TableSource& t, int column);
    QString defaultSql(const StoreTarget& target);
    void setIdentityInsert(const Stmt& s);
    void write(const QString& sql, const QVariantList& params);

    // ---- tables the batch makes (TempTables.cpp) ----
    static QString qualifiedName(const QString& schema, const QString& table);
    bool exists(const QString& schema, const QString& table);
    void makeTable(const TableDef& def, const QString& schema);
    void execute(const QString& sql, const QVariantList& params = {});
    void createTable(Stmt& s);
    void dropTables(Stmt& s);
    void createIndex(Stmt& s);
    void rollbackKeepingTableVariables();

    BatchState& m_state;
    Evaluator& m_evaluator;
    StatementCache& m_statements;
    Transactions& m_transactions;
    BatchBudget& m_budget;
    std::vector<const TableDef*> m_tableVariables; // of the batch running and the dynamic ones in it
    qint64 m_loopLimit = 0;
    qint64 m_loopCount = 0;
    Stmt* m_jump = nullptr; // the label a GOTO is on its way to
    Catalog* m_catalog = nullptr;
    int m_nesting = 0;             // dynamic batches running inside one another
    std::uintptr_t m_stackTop = 0; // where the batch sent by the client started on the stack
    bool m_errorFromInner = false; // the error on its way up comes from a dynamic batch
    LockWait* m_lockWait = nullptr;
    int m_lockTimeoutMs = -1; // SET LOCK_TIMEOUT of the session (-1: none)
    bool m_xactAbort = false; // SET XACT_ABORT ON in the batch running (OFF at its start)
};

} // namespace tsql
