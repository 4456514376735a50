#pragma once

// The binder behind bindBatch, shared by its two files: statements, sources and queries
// (Binder.cpp) and expressions (BindExpressions.cpp). Not part of the engine's interface.

#include "tsql/bind/Binder.h"

#include <QHash>

namespace tsql::binding {

// The name a source is referred to by: its alias, or the last part of its table's name.
inline QString sourceName(const TableSource& s) {
    if (!s.alias.isEmpty())
        return s.alias;
    if (s.kind == SourceKind::Table || s.kind == SourceKind::Cte)
        return s.nameParts.last();
    return QString();
}

class Binder {
public:
    Binder(Catalog& c, std::vector<SqlType>& types)
        : cat(c)
        , varTypes(types) {}

    void batch(Batch& b) {
        for (auto& s : b.statements)
            statement(*s);
        resolveJumps();
        b.tableVariables = std::move(tableVariableList);
    }

    // The batch follows declarations already bound: their variables are known, and its
    // statements are numbered after them.
    void after(const DeclaredScope& scope) {
        vars = scope.variables;
        order = scope.statements;
    }

private:
    Catalog& cat;
    std::vector<SqlType>& varTypes;
    QHash<QString, int> vars;
    std::vector<Select*> scopes;
    int loops = 0;
    // Statements numbered in the order they are written (Stmt::order).
    int order = 0;
    // TRY and CATCH blocks open around the statement being bound, innermost last, each by a
    // number of its own; how many of them are CATCH blocks.
    std::vector<int> tryScopes;
    int scopeCount = 0;
    int catchDepth = 0;
    struct JumpSite {
        Stmt* stmt;
        std::vector<int> scopes;
    };
    QHash<QString, JumpSite> labels; // by upper-case name
    std::vector<JumpSite> gotos;
    // Per statement
    std::optional<ServerError> firstUnknownTable;
    std::optional<ServerError> pendingColumnError;
    bool unknownInScope = false;
    // Tables the batch makes: table variables (batch scope), tables of CREATE TABLE
    QHash<QString, TableDef*> tableVars;
    QHash<QString, const TableDef*> createdTables;
    std::vector<TableDef*> tableVariableList;
    // Common table expressions visible to the statement being bound, the innermost last, and
    // the one whose query is being bound with the member of it being bound.
    std::vector<Cte*> ctes;
    Cte* defining = nullptr;
    // Window functions may stand in the select list and the ORDER BY of the query being bound.
    bool windowsAllowed = false;
    // GROUPING and GROUPING_ID calls of the queries being bound, resolved once their GROUP BY is.
    std::vector<Expr*> groupingCalls;
    Select* definingMember = nullptr;

    // ---------------- statements and queries (Binder.cpp) ----------------

    template <class F> void asStatement(Stmt& s, F&& body);
    int variable(const QString& name, int line, int column);
    void checkAssignable(const SqlType& from, const SqlType& to, int line, int column);
    void statement(Stmt& s);
    void statementKind(Stmt& s);
    void ifChain(Stmt& s);
    void tryCatch(Stmt& s);
    void label(Stmt& s);
    void resolveJumps();
    void errorStatement(Stmt& s);
    void topCount(Expr& top, bool percent);
    void declare(Stmt& s);
    void setVariable(Stmt& s);
    bool resolveTable(TableSource& ts, bool deferUnknown = true);
    void assignableColumn(const TableSource& t, const Assignment& a);
    void dml(Stmt& s);
    void insert(Stmt& s, bool known);
    void pendingOrFail(const ServerError& error);
    void source(TableSource& ts, Select& sel);
    void select(Select& sel, bool topLevel);
    void expandStars(Select& sel);
    void selectList(Select& sel, bool topLevel);
    void orderBy(Select& sel);
    void combinedOrderBy(Select& first);
    static bool readsOuter(const Select& sel, int level);
    static bool exprReadsOuter(const Expr& e, int level);
    void offsetFetch(Select& sel);
    void groupingArguments(Select& sel, size_t mark);
    void groupingCall(Expr& e);
    static bool containsAggregate(const Expr& e);

    // ---------------- the rules of queries and calls (BindRules.cpp) ----------------

    void queryRules(Select& sel);
    static void unionRules(const Select& sel);
    static void exposedNames(const Select& sel);
    static void functionRules(const Expr& e);
    static void timeFromPartsScale(Expr& e);
    static void settingRules(const Stmt& s);

    // ---------------- tables the batch makes, CTEs, VALUES (BindTables.cpp) ----------------

    void fromInfo(TableSource& ts, const TableInfo& info);
    bool systemView(TableSource& ts);
    void tableDefinition(TableDef& def);
    void declareTable(VarDecl& d);
    // Msg 134 when the batch already declared a variable or a table variable of d's name;
    // returns the name's key.
    QString claimName(const VarDecl& d);
    void createTable(Stmt& s);
    void createIndex(Stmt& s);
    void bindCtes(Select& sel);
    void bindCte(Cte& c, int maxRecursion);
    void cteColumns(Cte& c);
    void checkRecursion(Cte& c);
    bool cteSource(TableSource& ts, Select& sel);
    void valuesSource(TableSource& ts, Select& sel);
    void functionSource(TableSource& ts, Select& sel);
    static void outputColumns(const QString& owner, const QStringList& aliases,
                              const std::vector<SelectItem>& items, QStringList& columns,
                              std::vector<SqlType>& types, int line, int column);
    static void columnNames(const QString& owner, const QStringList& aliases, const QStringList& names,
                            QStringList& columns, int line, int column);
    void memberStarts(Select& sel);
    void memberBound(Select& sel);

    // ---------------- expressions (BindExpressions.cpp) ----------------

    void condition(Expr& e) { expr(e); }
    void column(Expr& e);
    static bool valueSingleton(const QString& path);
    void subquerySelect(Select& sub, bool single, int line, int column);
    void expr(Expr& e);
    void resolve(Expr& e);
    void systemVariable(Expr& e);
    void unary(Expr& e);
    void comparison(Expr& e);
    void caseType(Expr& e);
    void cast(Expr& e);
    void parseCall(Expr& e);
    void isoWeekPart(const Expr& e, DatePart part);
    void function(Expr& e);
    static void nullConstants(const FunctionDef& f, const Expr& e);
    void xmlMethod(Expr& e);

    // ---------------- window functions (BindWindows.cpp) ----------------

    static bool containsWindow(const Expr& e);
    void windowOnly(const Expr& e);
    void window(Expr& e);
    void windowFrame(const Expr& e);
    void windowType(Expr& e, bool ranking, bool offset);
    void comparable(const Expr& a, const Expr& b, const Expr& at);
};

} // namespace tsql::binding
