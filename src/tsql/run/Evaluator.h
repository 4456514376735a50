#pragma once

// The evaluator of a session: expressions, conditions and queries, on the values of the batch
// running. Expressions over the rows of tables are handed to SQLite as generated text (SqlText);
// everything else, queries without tables included, is evaluated here. Not part of the engine's
// interface.

#include "tsql/run/BatchCache.h"
#include "tsql/run/Results.h"
#include "tsql/sql/SqlText.h"

namespace tsql {

class StatementCache;
class Transactions;
struct XmlDoc;

// What the statements of the running batch share.
struct BatchState {
    std::vector<Value> vars;
    std::vector<SqlType> varTypes;
    std::vector<MemoryCharge> varMemory;    // what the value of each variable takes
    qint64 rowCount = 0;                    // @@ROWCOUNT
    std::optional<ServerError> caught;      // the error the innermost CATCH block running handles
    RunResult* out = nullptr;               // the result the batch builds
    CompiledBatch* compiled = nullptr;      // the batch running
    QString identityInsert;                 // the table whose IDENTITY_INSERT is ON (for the session)
    std::vector<bool>* lineTrace = nullptr; // traced batch: the lines on which a statement ran

    // The variables of a batch starting (one sent by the client, or a dynamic one) are NULLs of
    // their declared types.
    void startVariables(const std::vector<SqlType>& types) {
        varTypes = types;
        vars.clear();
        varMemory.clear();
        for (const SqlType& t : varTypes)
            vars.push_back(Value::nullOf(t));
        varMemory.resize(varTypes.size());
    }
};

// ---- the rules of expressions and conditions, shared with the compiled evaluator ----

// A truth value as a value (bit 1, 0 or NULL).
Value truthValue(Tri t);

// The comparison operators, read once from their text.
enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };
CompareOp compareOpOf(const QString& op);
// A comparison's truth from compareValues (nullopt: a NULL operand).
Tri compared(std::optional<int> c, CompareOp op);
// x [NOT] BETWEEN lo AND hi.
Tri betweenValues(const Value& v, const Value& lo, const Value& hi, bool negated);
// x [NOT] IN (list): the items compared in their order (a NULL one makes a miss unknown).
Tri inValues(const Value& v, const std::vector<Value>& list, bool negated, BatchBudget& budget);
// x [NOT] LIKE p [ESCAPE e]: the operands as evaluated, in that order (escape null: none).
Tri likeValues(const Value& v, const Value& p, const Value* escape, bool negated);
// A simple CASE's input matches a WHEN value (under the collation; NULL matches nothing).
inline bool caseMatches(const Value& input, const Value& when) {
    return compareValues(input, when).value_or(1) == 0;
}

// CAST, CONVERT, TRY_CAST and TRY_CONVERT of an evaluated value; `style` the evaluated style of
// CONVERT, null without one.
Value castWithStyle(const Value& v, const Value* style, const SqlType& to, bool tryCast);
// A style CONVERT does not have for the conversion (Msg 281, 9809), TRY_CONVERT's too.
void checkStyle(const SqlType& from, const SqlType& to, int style);
// CONVERT with a style (-1: none) once the style is known to exist.
Value castValue(const SqlType& t, const Value& v, int style);

// The value of an @@ variable the engine answers; `rowCount` is @@ROWCOUNT, `transactions`
// @@TRANCOUNT.
Value systemVariableValue(const QString& name, const SqlType& type, qint64 rowCount, int transactions);

class Evaluator final : public ValueSource {
public:
    Evaluator(BatchState& state, BatchBudget& budget, StatementCache& statements,
              const Transactions& transactions)
        : m_state(state)
        , m_budget(budget)
        , m_statements(statements)
        , m_transactions(transactions) {}

    // ---- expressions (Evaluator.cpp) ----

    Value eval(Expr& e, const RowCtx* ctx) override;

    // ---- conditions (Conditions.cpp) ----

    Tri condition(Expr& e, const RowCtx* ctx) override;

    // ---- rows of sources without tables (QuerySources.cpp) ----

    std::vector<std::vector<Value>> localRows(Select& sel, const RowCtx* ctx) override;
    std::vector<std::vector<Value>> localRows(TableSource& source, const RowCtx* ctx) override;

    // ---- queries (Queries.cpp) ----

    // The rows of a query; `limit` caps them (-1 none).
    ResultSet query(Select& sel, const RowCtx* outer, qint64 limit);
    // A query without tables, evaluated here.
    ResultSet localQuery(Select& sel, const RowCtx* outer, qint64 limit);
    // Msg 208 for a table of the query that does not exist (deferred name resolution).
    void checkTables(const Select& sel) const;
    // Msg 208 when the table does not exist: unknown when the batch was bound, or one the batch
    // may have created or dropped that is not there now.
    void checkTable(const TableSource& ts) const;
    // Whether a table the batch may have created or dropped exists now.
    bool tableExists(const TableSource& ts) const;

private:
    // ---- expressions ----
    Value systemVariable(const Expr& e);
    Value columnValue(const Expr& e, const RowCtx* ctx);
    Value unaryValue(Expr& e, const RowCtx* ctx);
    Value binaryValue(Expr& e, const RowCtx* ctx);
    Value castExpr(Expr& e, const RowCtx* ctx);
    Value functionValue(Expr& e, const RowCtx* ctx);
    Value aggregate(Expr& e, const RowCtx* ctx);
    Value orderedAggregate(Expr& e, const RowCtx* ctx, const std::vector<RowCtx>& group);
    Value caseValue(Expr& e, const RowCtx* ctx);
    Value scalarSubquery(Select& sub, const RowCtx* ctx, const SqlType& type);
    Value xmlMethod(Expr& e, const RowCtx* ctx);

    // ---- conditions ----
    Tri comparison(Expr& e, const RowCtx* ctx);
    Tri isNull(Expr& e, const RowCtx* ctx);
    Tri between(Expr& e, const RowCtx* ctx);
    Tri inList(Expr& e, const RowCtx* ctx);
    Tri like(Expr& e, const RowCtx* ctx);
    Tri exists(Expr& e, const RowCtx* ctx);
    Tri quantified(Expr& e, const RowCtx* ctx);

    // ---- queries ----
    struct OutRow {
        std::vector<Value> values;
        std::vector<Value> keys; // ORDER BY
    };
    ResultSet runSql(Select& sel, const RowCtx* ctx, qint64 limit);
    QString generatedSql(Select& sel, const RowCtx* ctx, qint64 limit, QVariantList& params);
    void sourceRows(TableSource& s, const RowCtx* outer, std::vector<RowCtx>& combos, MemoryCharge& work);
    void xmlRows(TableSource& s, const RowCtx* outer, std::vector<RowCtx>& combos, MemoryCharge& work);
    void applyRows(TableSource& s, const RowCtx* outer, std::vector<RowCtx>& combos, MemoryCharge& work);
    void filter(Expr& where, std::vector<RowCtx>& combos);
    std::vector<std::vector<RowCtx>> groups(Select& sel, std::vector<RowCtx>& combos, MemoryCharge& work);
    void project(Select& sel, RowCtx& ctx, std::vector<OutRow>& out, MemoryCharge& work, bool ordered);
    void removeDuplicates(std::vector<OutRow>& rows);
    void sort(const Select& sel, std::vector<OutRow>& rows);
    qint64 withTies(const std::vector<OutRow>& rows, qint64 n);
    ResultSet memberQuery(Select& sel, const RowCtx* outer, qint64 limit, bool whole);
    ResultSet combinedQuery(Select& first, const RowCtx* outer, qint64 limit);
    void distinctRows(std::vector<std::vector<Value>>& rows);
    void combineRows(const Select& op, std::vector<std::vector<Value>>& rows,
                     std::vector<std::vector<Value>> next, MemoryCharge& work);
    ResultSet windowed(const Select& sel, std::vector<OutRow>& out, const RowWindow& w);
    void counted(MemoryCharge& work, const RowCtx& c);
    void combine(TableSource& s, const std::vector<std::vector<Value>>& rows, std::vector<RowCtx>& combos,
                 MemoryCharge& work);
    std::vector<std::vector<Value>> valuesRows(TableSource& s, const RowCtx* outer);
    std::vector<std::vector<Value>> functionRows(TableSource& s, const RowCtx* outer);
    std::vector<std::vector<Value>> cteRows(Cte& c, const RowCtx* outer);
    std::vector<std::vector<Value>> recursiveRows(Cte& c, const RowCtx* outer);
    // Where an xml method or nodes() starts: a row of nodes() as it is, a document at its root.
    XmlNodeRef contextNode(const Value& target);

    BatchState& m_state;
    BatchBudget& m_budget;
    StatementCache& m_statements;
    const Transactions& m_transactions;
    // The rows of the last level of each recursive CTE being evaluated (its working table).
    std::vector<std::pair<const Cte*, const std::vector<std::vector<Value>>*>> m_cteWorking;
};

} // namespace tsql
