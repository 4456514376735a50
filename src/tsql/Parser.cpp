#include "tsql/Parser.h"

#include "tsql/TreeHeight.h"

namespace tsql {

namespace {

// Nesting of the parser's own calls (parentheses, sub-queries, blocks, function arguments).
constexpr int kMaxDepth = 160;

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

bool isCompareOp(const Token& t) {
    if (t.kind != Tok::Op)
        return false;
    static const char* ops[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (const char* o : ops)
        if (t.text == QLatin1String(o))
            return true;
    return false;
}

bool isAssignOp(const Token& t) {
    if (t.kind != Tok::Op)
        return false;
    static const char* ops[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
    for (const char* o : ops)
        if (t.text == QLatin1String(o))
            return true;
    return false;
}

bool isXmlMethod(const QString& name) {
    return name == u"value" || name == u"nodes" || name == u"exist" || name == u"query" || name == u"modify";
}

class Parser {
public:
    explicit Parser(std::vector<Token> toks)
        : t(std::move(toks)) {}

    Batch batch() {
        Batch b;
        bool first = true;
        bool afterSemicolon = true;
        while (cur().kind != Tok::End) {
            if (cur().isOp(";")) {
                ++p;
                afterSemicolon = true;
                continue;
            }
            b.statements.push_back(statement(first, afterSemicolon));
            first = false;
            afterSemicolon = false;
        }
        return b;
    }

private:
    std::vector<Token> t;
    size_t p = 0;
    int depth = 0;

    const Token& cur() const { return t[p]; }
    const Token& peek(size_t k = 1) const { return t[std::min(p + k, t.size() - 1)]; }

    [[noreturn]] void fail(const Token& at) {
        const Token* tok = &at;
        if (tok->kind == Tok::End && p > 0) {
            size_t k = std::min(p, t.size() - 1);
            while (k > 0 && t[k].kind == Tok::End)
                --k;
            tok = &t[k];
        }
        ServerError e;
        e.level = 15;
        e.line = tok->line;
        e.column = tok->column;
        if (tok->kind == Tok::Keyword) {
            e.number = 156;
            e.message = QStringLiteral("Incorrect syntax near the keyword '%1'.").arg(tok->text);
        } else {
            e.number = 102;
            QString near =
                (tok->kind == Tok::String || tok->kind == Tok::NString || tok->kind == Tok::QuotedIdent)
                    ? tok->value
                    : tok->text;
            e.message = QStringLiteral("Incorrect syntax near '%1'.").arg(near);
        }
        throw SqlError{e};
    }
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

    // ---------------- statements ----------------

    StmtP statement(bool first, bool afterSemicolon) {
        DepthGuard g(depth, cur());
        const Token& tok = cur();
        auto s = std::make_unique<Stmt>();
        at(*s, tok);
        if (tok.kind == Tok::Keyword) {
            const QString& k = tok.upper;
            if (k == u"DECLARE")
                return declare(std::move(s));
            if (k == u"SET")
                return set(std::move(s));
            if (k == u"SELECT") {
                s->kind = SK::Select;
                s->select = select(false);
                return s;
            }
            if (k == u"IF") {
                // ELSE IF ... is read in a loop: a chain of any length nests no calls.
                Stmt* node = s.get();
                ++p;
                while (true) {
                    node->kind = SK::If;
                    node->expr = condition();
                    node->thenStmt = statement(false, false);
                    size_t save = p;
                    while (cur().isOp(";"))
                        ++p;
                    if (!acceptKw("ELSE")) {
                        p = save;
                        break;
                    }
                    if (!cur().isKeyword("IF")) {
                        node->elseStmt = statement(false, false);
                        break;
                    }
                    node->elseStmt = std::make_unique<Stmt>();
                    node = node->elseStmt.get();
                    at(*node, cur());
                    ++p;
                }
                return s;
            }
            if (k == u"WHILE") {
                ++p;
                s->kind = SK::While;
                s->expr = condition();
                s->thenStmt = statement(false, false);
                return s;
            }
            if (k == u"BEGIN") {
                ++p;
                if (acceptKw("TRAN") || acceptKw("TRANSACTION")) {
                    s->kind = SK::BeginTran;
                    transactionName();
                    return s;
                }
                if (cur().isWord("TRY"))
                    return tryCatch(std::move(s));
                s->kind = SK::Block;
                bool semi = true;
                while (!cur().isKeyword("END")) {
                    if (cur().kind == Tok::End)
                        failHere();
                    if (acceptOp(";")) {
                        semi = true;
                        continue;
                    }
                    s->body.push_back(statement(false, semi));
                    semi = false;
                }
                if (s->body.empty())
                    failHere();
                ++p;
                return s;
            }
            if (k == u"COMMIT" || k == u"ROLLBACK") {
                ++p;
                s->kind = k == u"COMMIT" ? SK::Commit : SK::Rollback;
                if (acceptKw("TRAN") || acceptKw("TRANSACTION"))
                    transactionName();
                else
                    acceptWord("WORK");
                return s;
            }
            if (k == u"BREAK" || k == u"CONTINUE") {
                ++p;
                s->kind = k == u"BREAK" ? SK::Break : SK::Continue;
                return s;
            }
            if (k == u"RETURN") {
                ++p;
                s->kind = SK::Return;
                if (startsExpression())
                    s->expr = scalar();
                return s;
            }
            if (k == u"PRINT") {
                ++p;
                s->kind = SK::Print;
                s->expr = scalar();
                return s;
            }
            if (k == u"UPDATE")
                return update(std::move(s));
            if (k == u"INSERT")
                return insert(std::move(s));
            if (k == u"DELETE")
                return del(std::move(s));
            if (k == u"EXEC" || k == u"EXECUTE") {
                ++p;
                return exec(std::move(s));
            }
            if (k == u"WITH" && !afterSemicolon) {
                throw SqlError{ServerError{
                    319, 16, 1, tok.line, tok.column,
                    QStringLiteral(
                        "Incorrect syntax near the keyword '%1'. If this statement is a common table "
                        "expression, an xmlnamespaces clause or a change tracking context clause, the "
                        "previous statement must be terminated with a semicolon.")
                        .arg(tok.text)}};
            }
            failHere();
        }
        if (isName(tok) && peek().isOp(":") && tok.kind == Tok::Ident) {
            p += 2; // a label
            s->kind = SK::Empty;
            return s;
        }
        if (tok.kind == Tok::Ident && first)
            return exec(std::move(s));
        failHere();
    }

    // Statements up to END <word>; at least one unless `emptyAllowed`.
    void blockUntil(std::vector<StmtP>& body, const char* word, bool emptyAllowed) {
        bool semi = true;
        while (!(cur().isKeyword("END") && peek().isWord(word))) {
            if (cur().kind == Tok::End)
                failHere();
            if (acceptOp(";")) {
                semi = true;
                continue;
            }
            body.push_back(statement(false, semi));
            semi = false;
        }
        if (body.empty() && !emptyAllowed)
            failHere();
        p += 2;
    }

    StmtP tryCatch(StmtP s) {
        ++p; // TRY
        s->kind = SK::TryCatch;
        blockUntil(s->body, "TRY", false);
        while (acceptOp(";")) {
        }
        expectKw("BEGIN");
        if (!acceptWord("CATCH"))
            failHere();
        s->elseStmt = std::make_unique<Stmt>();
        s->elseStmt->kind = SK::Block;
        s->elseStmt->line = s->line;
        blockUntil(s->elseStmt->body, "CATCH", true);
        return s;
    }

    void transactionName() {
        if (cur().kind == Tok::Ident || cur().kind == Tok::Variable)
            ++p;
    }

    bool startsExpression() const {
        const Token& k = cur();
        switch (k.kind) {
        case Tok::Integer:
        case Tok::Decimal:
        case Tok::Float:
        case Tok::String:
        case Tok::NString:
        case Tok::Binary:
        case Tok::Variable:
        case Tok::SysVariable:
            return true;
        case Tok::Op:
            return k.text == u"(" || k.text == u"-" || k.text == u"+" || k.text == u"~";
        case Tok::Keyword:
            return k.upper == u"NULL" || k.upper == u"CASE" || k.upper == u"CONVERT" ||
                   k.upper == u"COALESCE" || k.upper == u"NULLIF" || k.upper == u"LEFT" ||
                   k.upper == u"RIGHT";
        case Tok::Ident:
            return peek().isOp("(");
        default:
            return false;
        }
    }

    StmtP exec(StmtP s) {
        s->kind = SK::Exec;
        if (cur().kind == Tok::Variable) {
            s->procName = cur().text;
            ++p;
        } else {
            if (!isName(cur()))
                failHere();
            s->procName = nameOf(cur());
            ++p;
            while (acceptOp(".")) {
                if (!isName(cur()))
                    failHere();
                s->procName += u'.' + nameOf(cur());
                ++p;
            }
        }
        // Arguments: [@name =] expression, separated by commas.
        if (startsExpression() && !(cur().kind == Tok::Ident)) {
            do {
                if (cur().kind == Tok::Variable && peek().isOp("="))
                    p += 2;
                s->body.push_back(nullptr);
                ExprP e = scalar();
                auto wrapper = std::make_unique<Stmt>();
                wrapper->expr = std::move(e);
                s->body.back() = std::move(wrapper);
                acceptWord("OUTPUT") || acceptWord("OUT");
            } while (acceptOp(","));
        }
        return s;
    }

    SqlType dataType(int ordinal, bool castTarget = false) {
        const Token& tok = cur();
        if (!(tok.kind == Tok::Ident || tok.kind == Tok::QuotedIdent || tok.kind == Tok::Keyword))
            failHere();
        if (tok.kind == Tok::Keyword && !tok.isKeyword("DOUBLE") && !tok.isKeyword("NATIONAL"))
            failHere();
        QString name = tok.kind == Tok::QuotedIdent ? tok.value.toUpper() : tok.upper;
        ++p;
        if (name == u"DOUBLE") {
            expectKw("PRECISION");
            return SqlType::of(TypeId::Float);
        }
        if (name == u"NATIONAL") {
            if (!acceptWord("CHAR") && !acceptWord("CHARACTER"))
                failHere();
            name = acceptKw("VARYING") ? QStringLiteral("NVARCHAR") : QStringLiteral("NCHAR");
        } else if ((name == u"CHAR" || name == u"CHARACTER") && acceptKw("VARYING")) {
            name = QStringLiteral("VARCHAR");
        }
        int args = 0, a[2] = {0, 0};
        bool max = false;
        if (acceptOp("(")) {
            do {
                if (args == 2)
                    failHere();
                if (cur().kind == Tok::Integer) {
                    bool ok = false;
                    a[args] = cur().text.toInt(&ok);
                    if (!ok)
                        a[args] = std::numeric_limits<int>::max();
                    ++p;
                } else if (cur().isWord("MAX") && args == 0) {
                    max = true;
                    ++p;
                } else {
                    failHere();
                }
                ++args;
            } while (acceptOp(","));
            expectOp(")");
        }
        auto ty = typeFromName(name, max ? 0 : args, a[0], a[1], max);
        if (!ty)
            throw SqlError{
                ServerError{2715, 16, 6, tok.line, tok.column,
                            QStringLiteral("Column, parameter, or variable #%1: Cannot find data type %2.")
                                .arg(ordinal)
                                .arg(nameOf(tok))}};
        if (ty->id == TypeId::Decimal) {
            if (ty->precision < 1 || ty->precision > 38)
                throw SqlError{ServerError{
                    2750, 16, 1, tok.line, tok.column,
                    QStringLiteral(
                        "Column or parameter #%1: Specified column precision %2 is greater than the "
                        "maximum precision of 38.")
                        .arg(ordinal)
                        .arg(ty->precision)}};
            if (ty->scale > ty->precision)
                throw SqlError{
                    ServerError{2751, 16, 1, tok.line, tok.column,
                                QStringLiteral("Column or parameter #%1: Specified column scale %2 is "
                                               "greater than the specified precision of %3.")
                                    .arg(ordinal)
                                    .arg(ty->scale)
                                    .arg(ty->precision)}};
        }
        if (ty->isString() && ty->length == 0)
            failHere();
        if (castTarget && ty->isString() && args == 0 && !max)
            ty->length = 30;
        if (ty->isString() && ty->length > (ty->isUnicode() ? 4000 : 8000))
            throw SqlError{ServerError{
                131, 15, 2, tok.line, tok.column,
                QStringLiteral(
                    "The size (%1) given to the type '%2' exceeds the maximum allowed for any data type "
                    "(%3).")
                    .arg(ty->length)
                    .arg(ty->name())
                    .arg(ty->isUnicode() ? 4000 : 8000)}};
        return *ty;
    }

    StmtP declare(StmtP s) {
        ++p;
        s->kind = SK::Declare;
        int ordinal = 0;
        do {
            if (cur().kind != Tok::Variable)
                failHere();
            VarDecl d;
            d.line = cur().line;
            d.column = cur().column;
            d.name = cur().text;
            ++p;
            acceptKw("AS");
            if (cur().isKeyword("TABLE") || cur().isWord("CURSOR"))
                failHere();
            d.type = dataType(++ordinal);
            if (acceptOp("="))
                d.init = scalar();
            s->decls.push_back(std::move(d));
        } while (acceptOp(","));
        return s;
    }

    StmtP set(StmtP s) {
        ++p;
        if (cur().kind == Tok::Variable) {
            s->kind = SK::Set;
            s->var = cur().text;
            s->varLine = cur().line;
            s->varColumn = cur().column;
            ++p;
            if (!isAssignOp(cur()))
                failHere();
            s->op = cur().text;
            ++p;
            s->expr = scalar();
            return s;
        }
        s->kind = SK::SetOption;
        const Token& opt = cur();
        if (!(opt.kind == Tok::Ident || opt.kind == Tok::Keyword))
            failHere();
        QString u = opt.upper;
        s->var = u; // the option's name, for whoever judges what the batch does to the session
        static const char* onOff[] = {"NOCOUNT",
                                      "ANSI_WARNINGS",
                                      "ANSI_NULLS",
                                      "ARITHABORT",
                                      "QUOTED_IDENTIFIER",
                                      "XACT_ABORT",
                                      "ANSI_PADDING",
                                      "IMPLICIT_TRANSACTIONS",
                                      "CONCAT_NULL_YIELDS_NULL",
                                      "NUMERIC_ROUNDABORT",
                                      "ANSI_NULL_DFLT_ON",
                                      "ARITHIGNORE",
                                      "FMTONLY",
                                      "NOEXEC",
                                      "PARSEONLY",
                                      "SHOWPLAN_TEXT",
                                      "STATISTICS"};
        for (const char* o : onOff) {
            if (u == QLatin1String(o)) {
                ++p;
                if (u == u"STATISTICS")
                    ++p;
                while (acceptOp(",")) {
                    if (!(cur().kind == Tok::Ident || cur().kind == Tok::Keyword))
                        failHere();
                    ++p;
                }
                if (!acceptKw("ON") && !acceptKw("OFF"))
                    failHere();
                return s;
            }
        }
        if (u == u"DATEFORMAT" || u == u"LANGUAGE" || u == u"DATEFIRST" || u == u"ROWCOUNT" ||
            u == u"TEXTSIZE" || u == u"LOCK_TIMEOUT" || u == u"DEADLOCK_PRIORITY") {
            ++p;
            if (cur().kind == Tok::End)
                failHere();
            ++p;
            return s;
        }
        if (opt.isKeyword("TRANSACTION")) {
            ++p;
            if (!acceptWord("ISOLATION") || !acceptWord("LEVEL"))
                failHere();
            if (acceptKw("READ")) {
                if (!acceptWord("UNCOMMITTED") && !acceptWord("COMMITTED"))
                    failHere();
            } else if (acceptWord("REPEATABLE")) {
                expectKw("READ");
            } else if (!acceptWord("SNAPSHOT") && !acceptWord("SERIALIZABLE")) {
                failHere();
            }
            return s;
        }
        if (opt.kind == Tok::Keyword)
            failHere();
        throw SqlError{ServerError{195, 15, 1, opt.line, opt.column,
                                   QStringLiteral("'%1' is not a recognized SET option.").arg(opt.text)}};
    }

    // A table's name of one to four dotted parts (server.database.schema.table).
    void tableName(TableSource& ts) {
        ts.kind = SourceKind::Table;
        do {
            if (!isName(cur()))
                failHere();
            ts.nameParts << nameOf(cur());
            ++p;
        } while (acceptOp("."));
        if (ts.nameParts.size() > 4)
            failHere();
    }

    std::unique_ptr<TableSource> targetTable() {
        auto ts = std::make_unique<TableSource>();
        at(*ts, cur());
        tableName(*ts);
        hints(*ts);
        return ts;
    }

    void hints(TableSource& ts) {
        if (cur().isKeyword("WITH") && peek().isOp("(")) {
            ++p;
            hintList(ts);
        } else if (cur().isOp("(") &&
                   (peek().isWord("NOLOCK") || peek().isWord("READUNCOMMITTED") || peek().isWord("UPDLOCK") ||
                    peek().isWord("ROWLOCK") || peek().isKeyword("HOLDLOCK"))) {
            hintList(ts);
        }
    }

    void hintList(TableSource& ts) {
        expectOp("(");
        do {
            if (!(cur().kind == Tok::Ident || cur().kind == Tok::Keyword))
                failHere();
            bool index = cur().isKeyword("INDEX");
            ++p;
            if (index) {
                if (acceptOp("=")) {
                    ++p;
                } else {
                    expectOp("(");
                    int lvl = 1;
                    while (lvl > 0) {
                        if (cur().kind == Tok::End)
                            failHere();
                        if (cur().isOp("("))
                            ++lvl;
                        if (cur().isOp(")"))
                            --lvl;
                        ++p;
                    }
                }
            }
        } while (acceptOp(","));
        expectOp(")");
        ts.hasHints = true;
    }

    ExprP topClause(bool& percent) {
        ExprP e;
        if (acceptOp("(")) {
            e = scalar();
            expectOp(")");
        } else {
            if (!(cur().kind == Tok::Integer || cur().kind == Tok::Decimal || cur().kind == Tok::Float ||
                  cur().kind == Tok::Variable))
                failHere();
            e = primary();
        }
        percent = acceptKw("PERCENT");
        return e;
    }

    StmtP update(StmtP s) {
        ++p;
        s->kind = SK::Update;
        s->select = std::make_unique<Select>();
        at(*s->select, cur());
        if (acceptKw("TOP")) {
            bool percent = false;
            s->top = topClause(percent);
        }
        s->target = targetTable();
        expectKw("SET");
        do {
            Assignment a;
            a.line = cur().line;
            a.column_ = cur().column;
            if (cur().kind == Tok::Variable) {
                a.variable = cur().text;
                ++p;
            } else if (isName(cur())) {
                a.column = nameOf(cur());
                ++p;
                while (acceptOp(".")) {
                    if (!isName(cur()))
                        failHere();
                    a.column = nameOf(cur());
                    ++p;
                }
            } else {
                failHere();
            }
            if (!isAssignOp(cur()))
                failHere();
            a.op = cur().text;
            ++p;
            a.value = scalar();
            s->sets.push_back(std::move(a));
        } while (acceptOp(","));
        if (acceptKw("FROM"))
            fromList(*s->select);
        if (acceptKw("WHERE"))
            s->select->where = condition();
        return s;
    }

    StmtP insert(StmtP s) {
        ++p;
        s->kind = SK::Insert;
        acceptKw("INTO");
        s->target = targetTable();
        if (cur().isOp("(") && !peek().isKeyword("SELECT")) {
            ++p;
            do {
                if (!isName(cur()))
                    failHere();
                s->insertColumns << nameOf(cur());
                ++p;
            } while (acceptOp(","));
            expectOp(")");
        }
        if (acceptKw("VALUES")) {
            do {
                expectOp("(");
                std::vector<ExprP> row;
                do {
                    if (acceptKw("DEFAULT"))
                        row.push_back(nullptr);
                    else
                        row.push_back(scalar());
                } while (acceptOp(","));
                expectOp(")");
                s->values.push_back(std::move(row));
            } while (acceptOp(","));
        } else if (acceptKw("DEFAULT")) {
            expectKw("VALUES");
            s->defaultValues = true;
        } else if (cur().isKeyword("SELECT")) {
            s->select = select(false);
        } else if (cur().isOp("(") && peek().isKeyword("SELECT")) {
            ++p;
            s->select = select(true);
            expectOp(")");
        } else {
            failHere();
        }
        return s;
    }

    StmtP del(StmtP s) {
        ++p;
        s->kind = SK::Delete;
        s->select = std::make_unique<Select>();
        at(*s->select, cur());
        if (acceptKw("TOP")) {
            bool percent = false;
            s->top = topClause(percent);
        }
        acceptKw("FROM");
        s->target = targetTable();
        if (acceptKw("FROM"))
            fromList(*s->select);
        if (acceptKw("WHERE"))
            s->select->where = condition();
        return s;
    }

    // ---------------- SELECT ----------------

    std::unique_ptr<Select> select(bool subquery) {
        DepthGuard g(depth, cur());
        auto sel = std::make_unique<Select>();
        at(*sel, cur());
        expectKw("SELECT");
        if (acceptKw("DISTINCT"))
            sel->distinct = true;
        else
            acceptKw("ALL");
        if (acceptKw("TOP")) {
            sel->top = topClause(sel->topPercent);
            if (acceptKw("WITH"))
                if (!acceptWord("TIES"))
                    failHere();
        }
        do {
            sel->items.push_back(selectItem());
        } while (acceptOp(","));
        if (cur().isKeyword("INTO"))
            failHere();
        if (acceptKw("FROM"))
            fromList(*sel);
        if (acceptKw("WHERE"))
            sel->where = condition();
        if (acceptKw("GROUP")) {
            expectKw("BY");
            do {
                sel->groupBy.push_back(scalar());
            } while (acceptOp(","));
        }
        if (acceptKw("HAVING"))
            sel->having = condition();
        if (acceptKw("UNION")) {
            sel->unionAll = acceptKw("ALL");
            if (!cur().isKeyword("SELECT"))
                failHere();
            sel->unionNext = select(subquery);
            seal(*sel);
            return sel;
        }
        if (cur().isKeyword("ORDER")) {
            const Token& ob = cur();
            ++p;
            expectKw("BY");
            do {
                OrderItem o;
                o.expr = scalar();
                if (acceptKw("DESC"))
                    o.desc = true;
                else
                    acceptKw("ASC");
                sel->orderBy.push_back(std::move(o));
            } while (acceptOp(","));
            if (subquery && !sel->top)
                throw SqlError{ServerError{
                    1033, 15, 1, ob.line, ob.column,
                    QStringLiteral(
                        "The ORDER BY clause is invalid in views, inline functions, derived tables, "
                        "subqueries, and common table expressions, unless TOP, OFFSET or FOR XML is "
                        "also specified.")}};
        }
        seal(*sel);
        return sel;
    }

    SelectItem selectItem() {
        SelectItem it;
        it.line = cur().line;
        it.column = cur().column;
        if (acceptOp("*")) {
            it.star = true;
            return it;
        }
        if (isName(cur()) && peek().isOp(".") && peek(2).isOp("*")) {
            it.star = true;
            it.starQualifier = nameOf(cur());
            p += 3;
            return it;
        }
        if (cur().kind == Tok::Variable && isAssignOp(peek())) {
            it.assignVar = cur().text;
            it.assignOp = peek().text;
            p += 2;
            it.expr = scalar();
            return it;
        }
        if ((isName(cur()) || cur().kind == Tok::String) && peek().isOp("=")) {
            it.alias = cur().kind == Tok::String ? cur().value : nameOf(cur());
            it.hasAlias = true;
            p += 2;
            it.expr = scalar();
            return it;
        }
        it.expr = scalar();
        if (acceptKw("AS")) {
            if (!(isName(cur()) || cur().kind == Tok::String))
                failHere();
            it.alias = cur().kind == Tok::String ? cur().value : nameOf(cur());
            it.hasAlias = true;
            ++p;
        } else if (isName(cur()) || cur().kind == Tok::String) {
            it.alias = cur().kind == Tok::String ? cur().value : nameOf(cur());
            it.hasAlias = true;
            ++p;
        }
        return it;
    }

    void fromList(Select& sel) {
        do {
            sel.from.push_back(joined());
        } while (acceptOp(","));
    }

    std::unique_ptr<TableSource> joined() {
        auto left = tablePrimary();
        while (true) {
            QString type;
            const Token& tok = cur();
            if (tok.isKeyword("JOIN")) {
                type = QStringLiteral("INNER");
                ++p;
            } else if (tok.isKeyword("INNER") && peek().isKeyword("JOIN")) {
                type = QStringLiteral("INNER");
                p += 2;
            } else if ((tok.isKeyword("LEFT") || tok.isKeyword("RIGHT") || tok.isKeyword("FULL")) &&
                       (peek().isKeyword("JOIN") ||
                        (peek().isKeyword("OUTER") && peek(2).isKeyword("JOIN")))) {
                type = tok.upper;
                p += peek().isKeyword("OUTER") ? 3 : 2;
            } else if (tok.isKeyword("CROSS") && peek().isKeyword("JOIN")) {
                type = QStringLiteral("CROSS");
                p += 2;
            } else {
                break;
            }
            auto j = std::make_unique<TableSource>();
            at(*j, tok);
            j->kind = SourceKind::Join;
            j->joinType = type;
            j->left = std::move(left);
            j->right = tablePrimary();
            if (type != u"CROSS") {
                expectKw("ON");
                j->on = condition();
            }
            seal(*j);
            left = std::move(j);
        }
        return left;
    }

    void alias(TableSource& ts, bool required) {
        if (acceptKw("AS")) {
            if (!isName(cur()))
                failHere();
            ts.alias = nameOf(cur());
            ++p;
        } else if (isName(cur())) {
            ts.alias = nameOf(cur());
            ++p;
        } else if (required) {
            failHere();
        }
    }

    std::unique_ptr<TableSource> tablePrimary() {
        DepthGuard g(depth, cur());
        auto ts = std::make_unique<TableSource>();
        at(*ts, cur());
        if (cur().isOp("(") && peek().isKeyword("SELECT")) {
            ++p;
            ts->kind = SourceKind::Derived;
            ts->derived = select(true);
            expectOp(")");
            alias(*ts, true);
            seal(*ts);
            return ts;
        }
        if (cur().isOp("(")) {
            ++p;
            auto inner = joined();
            expectOp(")");
            return inner;
        }
        if (cur().kind == Tok::Variable && peek().isOp(".") && peek(2).kind == Tok::Ident &&
            peek(2).text == u"nodes" && peek(3).isOp("(")) {
            ts->kind = SourceKind::XmlNodes;
            ts->xmlTarget = make(EK::Variable, cur());
            ts->xmlTarget->name = cur().text;
            p += 4;
            if (cur().kind != Tok::String && cur().kind != Tok::NString)
                failHere();
            ts->xpath = cur().value;
            ++p;
            expectOp(")");
            alias(*ts, true);
            expectOp("(");
            if (!isName(cur()))
                failHere();
            ts->columnAliases << nameOf(cur());
            ++p;
            expectOp(")");
            seal(*ts);
            return ts;
        }
        if (cur().kind == Tok::Variable)
            failHere(); // table variables are not supported
        tableName(*ts);
        if (!(cur().isKeyword("WITH") && peek().isOp("(")))
            alias(*ts, false);
        hints(*ts);
        return ts;
    }

    // ---------------- conditions ----------------

    // Operands read by `operand`, joined left to right by the keyword `keyword` into `kind` nodes.
    template <typename Operand> ExprP keywordChain(const char* keyword, EK kind, Operand operand) {
        ExprP left = (this->*operand)();
        while (cur().isKeyword(keyword)) {
            const Token& op = cur();
            ++p;
            auto e = make(kind, op);
            e->args.push_back(std::move(left));
            e->args.push_back((this->*operand)());
            left = sealed(std::move(e));
        }
        return left;
    }

    ExprP condition() {
        DepthGuard g(depth, cur());
        return keywordChain("OR", EK::Or, &Parser::conjunction);
    }

    ExprP conjunction() { return keywordChain("AND", EK::And, &Parser::negation); }

    ExprP negation() {
        if (cur().isKeyword("NOT")) {
            DepthGuard g(depth, cur());
            auto e = make(EK::Not, cur());
            ++p;
            e->args.push_back(negation());
            return sealed(std::move(e));
        }
        return predicate();
    }

    ExprP predicate() {
        DepthGuard g(depth, cur());
        const Token& start = cur();
        if (start.isKeyword("EXISTS")) {
            ++p;
            auto e = make(EK::Exists, start);
            expectOp("(");
            e->sub = select(true);
            expectOp(")");
            return sealed(std::move(e));
        }
        if (start.isOp("(") && !peek().isKeyword("SELECT")) {
            size_t save = p;
            try {
                ++p;
                ExprP inner = condition();
                expectOp(")");
                // A parenthesised condition cannot be an operand of anything but AND/OR/NOT.
                if (!(isCompareOp(cur()) || cur().isKeyword("IS") || cur().isKeyword("IN") ||
                      cur().isKeyword("BETWEEN") || cur().isKeyword("LIKE") || cur().isKeyword("NOT") ||
                      (cur().kind == Tok::Op && QStringLiteral("+-*/%&|^").contains(cur().text))))
                    return inner;
            } catch (const SqlError& err) {
                if (err.error.number == 191)
                    throw;
                p = save;
                size_t failedAt = p;
                Q_UNUSED(failedAt);
                try {
                    return comparison();
                } catch (const SqlError& second) {
                    if (second.error.number == 191)
                        throw;
                    // Report whichever reading got further into the text.
                    bool firstFurther =
                        err.error.line > second.error.line ||
                        (err.error.line == second.error.line && err.error.column > second.error.column);
                    if (firstFurther && err.error.number != 4145)
                        throw err;
                    throw;
                }
            }
            p = save;
        }
        return comparison();
    }

    ExprP comparison() {
        ExprP left = scalar();
        const Token& op = cur();
        if (isCompareOp(op)) {
            ++p;
            auto e = make(EK::Compare, op);
            e->op = op.text;
            e->args.push_back(std::move(left));
            e->args.push_back(scalar());
            return sealed(std::move(e));
        }
        if (op.isKeyword("IS")) {
            ++p;
            auto e = make(EK::IsNull, op);
            e->negated = acceptKw("NOT");
            expectKw("NULL");
            e->args.push_back(std::move(left));
            return sealed(std::move(e));
        }
        bool negated = false;
        if (op.isKeyword("NOT") &&
            (peek().isKeyword("IN") || peek().isKeyword("BETWEEN") || peek().isKeyword("LIKE"))) {
            negated = true;
            ++p;
        }
        const Token& kw = cur();
        if (kw.isKeyword("IN")) {
            ++p;
            auto e = make(EK::In, kw);
            e->negated = negated;
            e->args.push_back(std::move(left));
            expectOp("(");
            if (cur().isKeyword("SELECT")) {
                e->sub = select(true);
            } else {
                do {
                    e->args.push_back(scalar());
                } while (acceptOp(","));
            }
            expectOp(")");
            return sealed(std::move(e));
        }
        if (kw.isKeyword("BETWEEN")) {
            ++p;
            auto e = make(EK::Between, kw);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(scalar());
            expectKw("AND");
            e->args.push_back(scalar());
            return sealed(std::move(e));
        }
        if (kw.isKeyword("LIKE")) {
            ++p;
            auto e = make(EK::Like, kw);
            e->negated = negated;
            e->args.push_back(std::move(left));
            e->args.push_back(scalar());
            if (acceptKw("ESCAPE"))
                e->args.push_back(scalar());
            return sealed(std::move(e));
        }
        const Token& near = cur();
        if (near.kind == Tok::End)
            fail(near);
        throw SqlError{
            ServerError{4145, 15, 1, near.line, near.column,
                        QStringLiteral("An expression of non-boolean type specified in a context where "
                                       "a condition is expected, near '%1'.")
                            .arg(near.kind == Tok::String ? near.value : near.text)}};
    }

    // ---------------- scalar expressions ----------------

    ExprP scalar() {
        DepthGuard g(depth, cur());
        ExprP left = term();
        while (cur().kind == Tok::Op && (cur().text == u"+" || cur().text == u"-" || cur().text == u"&" ||
                                         cur().text == u"|" || cur().text == u"^")) {
            const Token& op = cur();
            ++p;
            auto e = make(EK::Binary, op);
            e->op = op.text;
            e->args.push_back(std::move(left));
            e->args.push_back(term());
            left = sealed(std::move(e));
        }
        return left;
    }

    ExprP term() {
        ExprP left = unary();
        while (cur().kind == Tok::Op && (cur().text == u"*" || cur().text == u"/" || cur().text == u"%")) {
            const Token& op = cur();
            ++p;
            auto e = make(EK::Binary, op);
            e->op = op.text;
            e->args.push_back(std::move(left));
            e->args.push_back(unary());
            left = sealed(std::move(e));
        }
        return left;
    }

    ExprP unary() {
        const Token& op = cur();
        if (op.kind == Tok::Op && (op.text == u"-" || op.text == u"+" || op.text == u"~")) {
            DepthGuard g(depth, op);
            ++p;
            auto e = make(EK::Unary, op);
            e->op = op.text;
            e->args.push_back(unary());
            return sealed(std::move(e));
        }
        return primary();
    }

    ExprP literal(const Token& tok) {
        auto e = make(EK::Literal, tok);
        switch (tok.kind) {
        case Tok::Integer: {
            bool ok = false;
            qint64 v = tok.text.toLongLong(&ok);
            if (ok && v <= std::numeric_limits<qint32>::max()) {
                e->value = Value::integer(v, TypeId::Int);
            } else {
                auto n = Numeric::parse(tok.text);
                if (!n)
                    throw SqlError{
                        ServerError{1007, 15, 1, tok.line, tok.column,
                                    QStringLiteral("The number '%1' is out of the range for numeric "
                                                   "representation (maximum precision 38).")
                                        .arg(tok.text)}};
                e->value = Value::decimal(*n, n->digits());
                e->value.type.numericName = true;
            }
            break;
        }
        case Tok::Decimal: {
            auto n = Numeric::parse(tok.text);
            if (!n)
                throw SqlError{ServerError{1007, 15, 1, tok.line, tok.column,
                                           QStringLiteral("The number '%1' is out of the range for numeric "
                                                          "representation (maximum precision 38).")
                                               .arg(tok.text)}};
            e->value = Value::decimal(*n, n->digits());
            e->value.type.numericName = true;
            break;
        }
        case Tok::Float: {
            bool ok = false;
            QString txt = tok.text;
            if (txt.endsWith(u'e') || txt.endsWith(u'E') || txt.endsWith(u'+') || txt.endsWith(u'-'))
                txt += u'0';
            double d = txt.toDouble(&ok);
            if (!ok || !std::isfinite(d))
                throw SqlError{ServerError{
                    1007, 15, 1, tok.line, tok.column,
                    QStringLiteral("The number '%1' is out of the range for numeric representation (maximum "
                                   "precision 38).")
                        .arg(tok.text)}};
            e->value = Value::flt(d);
            break;
        }
        case Tok::String:
            e->value = Value::str(tok.value, false);
            break;
        case Tok::NString:
            e->value = Value::str(tok.value, true);
            break;
        case Tok::Binary: {
            e->value = Value::integer(tok.text.mid(2).toLongLong(nullptr, 16), TypeId::BigInt);
            break;
        }
        default:
            fail(tok);
        }
        ++p;
        return e;
    }

    ExprP primary() {
        DepthGuard g(depth, cur());
        const Token& tok = cur();
        switch (tok.kind) {
        case Tok::Integer:
        case Tok::Decimal:
        case Tok::Float:
        case Tok::String:
        case Tok::NString:
        case Tok::Binary:
            return literal(tok);
        case Tok::Variable: {
            auto e = make(EK::Variable, tok);
            e->name = tok.text;
            ++p;
            return xmlMethods(std::move(e));
        }
        case Tok::SysVariable: {
            auto e = make(EK::SysVar, tok);
            e->name = tok.upper;
            ++p;
            return e;
        }
        case Tok::Op:
            if (tok.text == u"(") {
                ++p;
                if (cur().isKeyword("SELECT")) {
                    auto e = make(EK::Subquery, tok);
                    e->sub = select(true);
                    expectOp(")");
                    return sealed(std::move(e));
                }
                ExprP inner = scalar();
                expectOp(")");
                return inner;
            }
            failHere();
        case Tok::Keyword: {
            const QString& k = tok.upper;
            if (k == u"NULL") {
                ++p;
                auto e = make(EK::Literal, tok);
                e->value = Value::nullOf(SqlType::of(TypeId::Unknown));
                return e;
            }
            if (k == u"CASE")
                return caseExpr();
            if (k == u"CONVERT" || k == u"TRY_CONVERT") {
                if (!peek().isOp("("))
                    failHere();
                p += 2;
                auto e = make(EK::Cast, tok);
                e->name = k;
                e->tryCast = k == u"TRY_CONVERT";
                e->castType = dataType(1, true);
                expectOp(",");
                e->args.push_back(scalar());
                if (acceptOp(","))
                    e->args.push_back(scalar());
                expectOp(")");
                return sealed(std::move(e));
            }
            if (k == u"COALESCE" || k == u"NULLIF" || k == u"LEFT" || k == u"RIGHT") {
                if (!peek().isOp("("))
                    failHere();
                return functionCall(tok, k);
            }
            if (k == u"CURRENT_TIMESTAMP") {
                ++p;
                auto e = make(EK::Function, tok);
                e->name = QStringLiteral("GETDATE");
                return e;
            }
            failHere();
        }
        case Tok::Ident:
        case Tok::QuotedIdent: {
            if (tok.kind == Tok::Ident && peek().isOp("(")) {
                if (tok.upper == u"CAST" || tok.upper == u"TRY_CAST") {
                    p += 2;
                    auto e = make(EK::Cast, tok);
                    e->name = tok.upper;
                    e->tryCast = tok.upper == u"TRY_CAST";
                    e->args.push_back(scalar());
                    expectKw("AS");
                    e->castType = dataType(1, true);
                    expectOp(")");
                    return sealed(std::move(e));
                }
                return functionCall(tok, tok.upper);
            }
            auto e = make(EK::Column, tok);
            e->parts << nameOf(tok);
            ++p;
            while (cur().isOp(".") && isName(peek())) {
                if (peek(2).isOp("(")) {
                    const Token& m = peek();
                    if (m.kind == Tok::Ident && isXmlMethod(m.text) && e->parts.size() <= 3)
                        return xmlMethods(std::move(e));
                    // schema.function(...): user-defined functions are not available
                    ++p;
                    QString full = e->parts.join(u'.') + u'.' + nameOf(m);
                    throw SqlError{ServerError{
                        4121, 16, 1, tok.line, tok.column,
                        QStringLiteral(
                            "Cannot find either column \"%1\" or the user-defined function or aggregate "
                            "\"%2\", or the name is ambiguous.")
                            .arg(e->parts.first(), full)}};
                }
                e->parts << nameOf(peek());
                p += 2;
            }
            if (e->parts.size() > 4)
                failHere();
            return e;
        }
        default:
            failHere();
        }
    }

    ExprP xmlMethods(ExprP target) {
        while (cur().isOp(".") && peek().kind == Tok::Ident && peek(2).isOp("(")) {
            const Token& m = peek();
            if (!isXmlMethod(m.text) || m.text == u"nodes" || m.text == u"modify")
                fail(m);
            p += 3;
            auto e = make(EK::XmlMethod, m);
            e->name = m.text;
            e->args.push_back(std::move(target));
            if (cur().kind != Tok::String && cur().kind != Tok::NString)
                failHere();
            e->args.push_back(literal(cur()));
            if (m.text == u"value") {
                expectOp(",");
                if (cur().kind != Tok::String && cur().kind != Tok::NString)
                    failHere();
                e->args.push_back(literal(cur()));
            }
            expectOp(")");
            target = sealed(std::move(e));
        }
        return target;
    }

    ExprP functionCall(const Token& tok, const QString& upper) {
        p += 2; // name and (
        auto e = make(EK::Function, tok);
        e->name = upper;
        if (acceptOp(")"))
            return sealed(std::move(e));
        bool datepart = upper == u"DATEADD" || upper == u"DATEDIFF" || upper == u"DATEPART" ||
                        upper == u"DATENAME" || upper == u"DATEDIFF_BIG" || upper == u"DATETRUNC";
        if (acceptKw("DISTINCT"))
            e->distinct = true;
        else
            acceptKw("ALL");
        int index = 0;
        do {
            if (index == 0 && upper == u"COUNT" && cur().isOp("*")) {
                e->args.push_back(make(EK::Star, cur()));
                ++p;
            } else if (index == 0 && datepart &&
                       (cur().kind == Tok::Ident || cur().kind == Tok::QuotedIdent)) {
                auto d = make(EK::Literal, cur());
                d->value = Value::str(nameOf(cur()).toUpper());
                d->datepartArg = true;
                ++p;
                e->args.push_back(std::move(d));
            } else if (index == 0 && upper == u"IIF") {
                e->args.push_back(condition());
            } else {
                e->args.push_back(scalar());
            }
            ++index;
        } while (acceptOp(","));
        expectOp(")");
        return sealed(std::move(e));
    }

    ExprP caseExpr() {
        auto e = make(EK::Case, cur());
        ++p;
        if (!cur().isKeyword("WHEN")) {
            e->hasInput = true;
            e->args.push_back(scalar());
        }
        if (!cur().isKeyword("WHEN"))
            failHere();
        while (acceptKw("WHEN")) {
            e->args.push_back(e->hasInput ? scalar() : condition());
            expectKw("THEN");
            e->args.push_back(scalar());
        }
        if (acceptKw("ELSE")) {
            e->hasElse = true;
            e->args.push_back(scalar());
        }
        expectKw("END");
        return sealed(std::move(e));
    }
};

} // namespace

Batch parseBatch(const QString& text) {
    std::optional<ServerError> lexError;
    std::vector<Token> toks = tokenize(text, lexError);
    if (lexError)
        throw SqlError{*lexError};
    Parser parser(std::move(toks));
    return parser.batch();
}

} // namespace tsql
