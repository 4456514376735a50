#pragma once

// The executor of a session: runs the statements of a compiled batch one by one (control of flow,
// assignments, queries, data changes, transaction statements, TRY ... CATCH). Not part of the
// engine's interface.

#include "tsql/Evaluator.h"

namespace tsql {

class Catalog;
class StatementCache;
class Transactions;

// How a statement ends: normally, or by BREAK, CONTINUE or RETURN, which the enclosing loop,
// block or batch handles.
enum class Flow { Normal, Break, Continue, Return };

class Executor {
public:
    Executor(BatchState& state, Evaluator& evaluator, StatementCache& statements, Transactions& transactions,
             BatchBudget& budget, Catalog& catalog)
        : m_state(state)
        , m_evaluator(evaluator)
        , m_statements(statements)
        , m_transactions(transactions)
        , m_budget(budget)
        , m_catalog(catalog) {}

    // Cap on WHILE iterations per batch (0 = none).
    void setLoopLimit(qint64 iterations) { m_loopLimit = iterations; }
    // A batch starts: no iteration counted yet.
    void startBatch() { m_loopCount = 0; }

    // Runs one statement; a failure is told the statement's line and thrown.
    Flow run(Stmt& s);

    // The table variables of the batch starting, and their end (TempTables.cpp).
    void createTableVariables(const std::vector<TableDef*>& tables);
    void dropTableVariables();

private:
    void enter(const Stmt& s);
    void failed(SqlError& e, const Stmt& s);
    Flow runInner(Stmt& s);
    Flow runIf(Stmt& first);
    Flow runWhile(Stmt& s);
    Flow runBlock(std::vector<StmtP>& body);
    Flow runTryCatch(Stmt& s);
    void runSelect(Stmt& s);
    void endTransaction(const Stmt& s);
    void assign(int slot, const QString& op, const Value& v);
    void resultSet(ResultSet rs);
    void print(const QString& text);

    // ---- data changes (Dml.cpp) ----
    void dml(Stmt& s);
    QString insertSql(Stmt& s, QVariantList& params);
    void write(const QString& sql, const QVariantList& params);
    QString insertValues(Stmt& s, const QString& head, const std::vector<SqlType>& types,
                         QVariantList& params);
    QString insertLocalRows(Stmt& s, const QString& head, const std::vector<SqlType>& types,
                            QVariantList& params);

    // ---- tables the batch makes (TempTables.cpp) ----
    static QString qualifiedName(const QString& schema, const QString& table);
    bool exists(const QString& schema, const QString& table);
    void makeTable(const TableDef& def, const QString& schema, bool newIdentity = true);
    void execute(const QString& sql, const QVariantList& params = {});
    void createTable(Stmt& s);
    void dropTables(Stmt& s);
    void rollbackKeepingTableVariables();

    BatchState& m_state;
    Evaluator& m_evaluator;
    StatementCache& m_statements;
    Transactions& m_transactions;
    BatchBudget& m_budget;
    Catalog& m_catalog;
    std::vector<const TableDef*> m_tableVariables; // of the batch running
    QStringList m_tableVariableNames;              // the same, for when the batch is gone
    qint64 m_loopLimit = 0;
    qint64 m_loopCount = 0;
};

} // namespace tsql
