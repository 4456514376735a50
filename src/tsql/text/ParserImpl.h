#pragma once

// The recursive-descent parser behind parseBatch, shared by its three files: statements
// (Parser.cpp), queries and data changes (QueryParser.cpp) and expressions
// (ExpressionParser.cpp). Not part of the engine's interface.

#include "tsql/text/Parser.h"
#include "tsql/text/TreeHeight.h"

namespace tsql::parsing {

// The grouping sets a GROUP BY may make (each is one query of a UNION ALL).
constexpr size_t kMaxGroupingSets = 64;

// Nesting of the parser's own calls (parentheses, sub-queries, blocks, function arguments).
constexpr int kMaxDepth = 160;

// Counts one level of the parser's recursion for its scope; Msg 191 beyond kMaxDepth, before
// the stack runs out.
struct DepthGuard {
    int& d;
    DepthGuard(int& depth, const Token& t)
        : d(depth) {
        if (++d > kMaxDepth) {
            --d;
            nestedTooDeeply(t.line, t.column);
        }
    }
    ~DepthGuard() { --d; }
};

inline bool isCompareOp(const Token& t) {
    if (t.kind != Tok::Op)
        return false;
    static const char* ops[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (const char* o : ops)
        if (t.text == QLatin1String(o))
            return true;
    return false;
}

inline bool isAssignOp(const Token& t) {
    if (t.kind != Tok::Op)
        return false;
    static const char* ops[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
    for (const char* o : ops)
        if (t.text == QLatin1String(o))
            return true;
    return false;
}

inline bool isXmlMethod(const QString& name) {
    return name == u"value" || name == u"nodes" || name == u"exist" || name == u"query" || name == u"modify";
}

class Parser {
public:
    explicit Parser(std::vector<Token> toks)
        : t(std::move(toks)) {}

    // `first`: the first statement is the batch's first; `afterSemicolon`: a `;` comes before it.
    Batch batch(bool first = true, bool afterSemicolon = true);
    // The parameters' definitions of sp_executesql: @name type [= default] [OUTPUT], ...
    std::vector<VarDecl> parameters();

private:
    std::vector<Token> t;
    size_t p = 0;
    int depth = 0;

    // ---------------- tokens ----------------

    const Token& cur() const { return t[p]; }
    const Token& peek(size_t k = 1) const { return t[std::min(p + k, t.size() - 1)]; }

    // Msg 156 near a keyword, Msg 102 near anything else; at the end of the batch, near its
    // last token.
    [[noreturn]] void fail(const Token& at);
    [[noreturn]] void failHere() { fail(cur()); }

    bool acceptOp(const char* op) {
        if (cur().isOp(op)) {
            ++p;
            return true;
        }
        return false;
    }
    bool acceptKw(const char* kw) {
        if (cur().isKeyword(kw)) {
            ++p;
            return true;
        }
        return false;
    }
    bool acceptWord(const char* w) {
        if (cur().isWord(w)) {
            ++p;
            return true;
        }
        return false;
    }
    void expectOp(const char* op) {
        if (!acceptOp(op))
            failHere();
    }
    void expectKw(const char* kw) {
        if (!acceptKw(kw))
            failHere();
    }
    template <class N> void at(N& node, const Token& tok) {
        node.line = tok.line;
        node.column = tok.column;
    }
    ExprP make(EK kind, const Token& tok) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->line = tok.line;
        e->column = tok.column;
        return e;
    }

    bool isName(const Token& tok) const { return tok.kind == Tok::Ident || tok.kind == Tok::QuotedIdent; }
    QString nameOf(const Token& tok) const { return tok.kind == Tok::QuotedIdent ? tok.value : tok.text; }

    // ---------------- statements (Parser.cpp) ----------------

    // `afterSemicolon`: the statement starts the batch or a block, or follows a `;`;
    // `controlBody`: it is the statement of an IF, ELSE or WHILE.
    StmtP statement(bool first, bool afterSemicolon, bool controlBody = false);
    StmtP keywordStatement(StmtP s, bool first, bool afterSemicolon);
    StmtP ifStatement(StmtP s);
    StmtP beginStatement(StmtP s);
    StmtP endTransaction(StmtP s);
    void blockUntil(std::vector<StmtP>& body, const char* word, bool emptyAllowed);
    StmtP tryCatch(StmtP s);
    void transactionName();
    void collation(const Token& name);
    [[noreturn]] void refuseCheck(const Token& check);
    bool startsExpression() const;

    // ---------------- errors, jumps, dynamic batches (ControlParser.cpp) ----------------

    StmtP exec(StmtP s);
    StmtP dynamicExec(StmtP s);
    void execArguments(Stmt& s);
    StmtP label(StmtP s);
    StmtP gotoStatement(StmtP s);
    StmtP raiserror(StmtP s);
    StmtP throwStatement(StmtP s, bool allowed);
    [[noreturn]] void notFirstInBatch(const Token& create);
    bool definesModule() const;

    // ---------------- declarations and SET (Parser.cpp) ----------------

    SqlType dataType(int ordinal, bool castTarget = false);
    StmtP declare(StmtP s);
    // "@name [AS]" of a DECLARE or a parameter list, with where it stands.
    VarDecl declarator();
    // "type [= value]" of a scalar variable (`ordinal` numbers it in type errors).
    void scalarDeclaration(VarDecl& d, int ordinal);
    StmtP set(StmtP s);
    StmtP setOption(StmtP s);
    StmtP dateOption(StmtP s);

    // ---------------- tables and common table expressions (TableParser.cpp) ----------------

    StmtP createTable(StmtP s);
    void statementOptions(Stmt& s);
    StmtP dropTable(StmtP s);
    StmtP createIndex(StmtP s);
    std::unique_ptr<TableDef> tableDefinition(const QString& name, int line, int column);
    void columnDefinition(TableDef& def);
    void tableConstraint(TableDef& def);
    QStringList keyColumns();
    QStringList nameList();
    StmtP withStatement(StmtP s);
    std::unique_ptr<Cte> commonTableExpression();
    void queryOptions(Select& sel);
    void valuesSource(TableSource& ts);
    void columnAliasList(TableSource& ts);

    // ---------------- queries and data changes (QueryParser.cpp) ----------------

    void tableName(TableSource& ts);
    std::unique_ptr<TableSource> targetTable();
    QStringList hints(TableSource& ts);
    QStringList hintList(TableSource& ts);
    ExprP topClause(bool& percent, bool select = false);
    void dmlTop(Stmt& s);
    StmtP update(StmtP s);
    StmtP insert(StmtP s);
    StmtP del(StmtP s);
    std::unique_ptr<Select> select(bool subquery);
    void offsetFetch(Select& sel);
    void groupByClause(Select& sel);
    std::vector<quint64> groupingElement(Select& sel, bool inSets);
    quint64 groupingColumns(Select& sel, std::vector<quint64>* each);
    int groupingColumn(Select& sel);
    int groupingIndex(Select& sel, ExprP e, const Token& at);
    SelectItem selectItem();
    void fromList(Select& sel);
    std::unique_ptr<TableSource> joined();
    void alias(TableSource& ts, bool required);
    std::unique_ptr<TableSource> tablePrimary();

    // ---------------- expressions (ExpressionParser.cpp) ----------------

    template <typename Match, typename Operand> ExprP chain(Match isOperator, EK kind, Operand operand);
    ExprP condition();
    ExprP conjunction();
    ExprP negation();
    ExprP predicate();
    ExprP comparison();
    ExprP scalar();
    ExprP term();
    ExprP unary();
    ExprP literal(const Token& tok);
    ExprP primary();
    ExprP keywordPrimary(const Token& tok);
    ExprP odbcLiteral(const Token& open);
    ExprP namePrimary(const Token& tok);
    ExprP xmlMethods(ExprP target);
    ExprP functionCall(const Token& tok, const QString& upper);
    ExprP conversionCall(const Token& tok);
    void withinGroup(Expr& e);
    ExprP windowCall(ExprP e);
    FrameBound frameBound();
    ExprP caseExpr();
};

} // namespace tsql::parsing
