// The statements of a batch: control of flow, declarations, SET, EXEC and transaction
// statements. Queries and data changes are read in QueryParser.cpp, expressions in
// ExpressionParser.cpp.

#include "tsql/text/ParserImpl.h"

#include "tsql/base/Messages.h"

#include <algorithm>

namespace tsql {

namespace parsing {

Batch Parser::batch(bool first, bool afterSemicolon) {
    Batch b;
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

void Parser::fail(const Token& at) {
    const Token* tok = &at;
    if (tok->kind == Tok::End && p > 0) {
        size_t k = std::min(p, t.size() - 1);
        while (k > 0 && t[k].kind == Tok::End)
            --k;
        tok = &t[k];
    }
    if (tok->kind == Tok::Keyword)
        raiseAt<Msg::IncorrectSyntaxKeyword>(tok->line, tok->column, tok->text);
    const bool quoted =
        tok->kind == Tok::String || tok->kind == Tok::NString || tok->kind == Tok::QuotedIdent;
    raiseAt<Msg::IncorrectSyntax>(tok->line, tok->column, quoted ? tok->value : tok->text);
}

StmtP Parser::statement(bool first, bool afterSemicolon, bool controlBody) {
    DepthGuard g(depth, cur());
    const Token& tok = cur();
    auto s = std::make_unique<Stmt>();
    at(*s, tok);
    if (tok.kind == Tok::Keyword)
        return keywordStatement(std::move(s), first, afterSemicolon);
    if (isName(tok) && peek().isOp(":") && tok.kind == Tok::Ident)
        return label(std::move(s));
    if (tok.kind == Tok::Ident && tok.upper == u"THROW")
        return throwStatement(std::move(s), afterSemicolon || controlBody);
    // A batch may start with a procedure's name alone: EXEC is implied.
    if (tok.kind == Tok::Ident && first)
        return exec(std::move(s));
    failHere();
}

StmtP Parser::keywordStatement(StmtP s, bool first, bool afterSemicolon) {
    const Token& tok = cur();
    const QString& k = tok.upper;
    if (k == u"DECLARE")
        return declare(std::move(s));
    if (k == u"SET")
        return set(std::move(s));
    if (k == u"SELECT") {
        s->kind = SK::Select;
        s->select = select(false);
        statementOptions(*s);
        return s;
    }
    if (k == u"IF")
        return ifStatement(std::move(s));
    if (k == u"WHILE") {
        ++p;
        s->kind = SK::While;
        s->expr = condition();
        s->thenStmt = statement(false, false, true);
        return s;
    }
    if (k == u"BEGIN")
        return beginStatement(std::move(s));
    if (k == u"COMMIT" || k == u"ROLLBACK")
        return endTransaction(std::move(s));
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
    if (k == u"UPDATE" || k == u"INSERT" || k == u"DELETE") {
        s = k == u"UPDATE" ? update(std::move(s)) : k == u"INSERT" ? insert(std::move(s)) : del(std::move(s));
        statementOptions(*s);
        return s;
    }
    if (k == u"EXEC" || k == u"EXECUTE") {
        ++p;
        return exec(std::move(s));
    }
    if (k == u"GOTO")
        return gotoStatement(std::move(s));
    if (k == u"RAISERROR")
        return raiserror(std::move(s));
    if ((k == u"CREATE" || k == u"ALTER") && definesModule()) {
        if (!first)
            notFirstInBatch(tok);
        failHere(); // procedures, functions, views and triggers are not kept by this engine
    }
    if (k == u"CREATE" && peek().isKeyword("TABLE"))
        return createTable(std::move(s));
    if (k == u"CREATE" && (peek().isKeyword("INDEX") || peek().isKeyword("UNIQUE") ||
                           peek().isKeyword("CLUSTERED") || peek().isKeyword("NONCLUSTERED")))
        return createIndex(std::move(s));
    if (k == u"DROP" && peek().isKeyword("TABLE"))
        return dropTable(std::move(s));
    if (k == u"WITH" && afterSemicolon && isName(peek()))
        return withStatement(std::move(s));
    if (k == u"WITH" && !afterSemicolon) {
        raiseAt<Msg::IncorrectSyntaxNearKeyword>(tok.line, tok.column, tok.text);
    }
    failHere();
}

// ELSE IF ... is read in a loop: a chain of any length nests no calls.
StmtP Parser::ifStatement(StmtP s) {
    Stmt* node = s.get();
    ++p;
    while (true) {
        node->kind = SK::If;
        node->expr = condition();
        node->thenStmt = statement(false, false, true);
        size_t save = p;
        while (cur().isOp(";"))
            ++p;
        if (!acceptKw("ELSE")) {
            p = save;
            break;
        }
        if (!cur().isKeyword("IF")) {
            node->elseStmt = statement(false, false, true);
            break;
        }
        node->elseStmt = std::make_unique<Stmt>();
        node = node->elseStmt.get();
        at(*node, cur());
        ++p;
    }
    return s;
}

// BEGIN TRAN, BEGIN TRY ... END CATCH or a BEGIN ... END block of at least one statement.
StmtP Parser::beginStatement(StmtP s) {
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

// COMMIT or ROLLBACK [TRAN[SACTION] [name] | WORK].
StmtP Parser::endTransaction(StmtP s) {
    s->kind = cur().upper == u"COMMIT" ? SK::Commit : SK::Rollback;
    ++p;
    if (acceptKw("TRAN") || acceptKw("TRANSACTION")) {
        // COMMIT ignores the name, as the server does; ROLLBACK to a name needs the names of
        // the transactions and savepoints, which the engine does not keep.
        const Token& name = cur();
        transactionName();
        if (s->kind == SK::Rollback && &name != &cur())
            raiseAt<Msg::NamedRollbackNotSupported>(name.line, name.column);
    } else {
        acceptWord("WORK");
    }
    return s;
}

// Statements up to END <word>; at least one unless `emptyAllowed`.
void Parser::blockUntil(std::vector<StmtP>& body, const char* word, bool emptyAllowed) {
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

StmtP Parser::tryCatch(StmtP s) {
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

void Parser::transactionName() {
    if (cur().kind == Tok::Ident || cur().kind == Tok::Variable)
        ++p;
}

bool Parser::startsExpression() const {
    const Token& k = cur();
    switch (k.kind) {
    case Tok::Integer:
    case Tok::Decimal:
    case Tok::Float:
    case Tok::String:
    case Tok::NString:
    case Tok::Binary:
    case Tok::Money:
    case Tok::Variable:
    case Tok::SysVariable:
        return true;
    case Tok::Op:
        return k.text == u"(" || k.text == u"-" || k.text == u"+" || k.text == u"~";
    case Tok::Keyword:
        return k.upper == u"NULL" || k.upper == u"CASE" || k.upper == u"CONVERT" || k.upper == u"COALESCE" ||
               k.upper == u"NULLIF" || k.upper == u"LEFT" || k.upper == u"RIGHT";
    case Tok::Ident:
        return peek().isOp("(");
    default:
        return false;
    }
}

SqlType Parser::dataType(int ordinal, bool castTarget) {
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
    // time(n) and datetime2(n) take 0 to 7 digits of a second
    if ((name == u"TIME" || name == u"DATETIME2") && args == 1 && !max && (a[0] < 0 || a[0] > 7))
        raiseAt<Msg::SpecifiedScaleInvalid>(tok.line, tok.column, tok.line, a[0]);
    // The engine keeps a datetime2 to the millisecond and shows it with seven digits: a datetime2
    // of another precision would be rounded and shown otherwise on the server.
    if (name == u"DATETIME2" && args == 1 && !max && a[0] != 7)
        raiseAt<Msg::TimeValueNotSupported>(tok.line, tok.column, QStringLiteral("datetime2(%1)").arg(a[0]));
    if (!ty)
        raiseAt<Msg::ColumnParameterVariableFind>(tok.line, tok.column, ordinal, nameOf(tok));
    if (ty->id == TypeId::Decimal) {
        if (ty->precision < 1 || ty->precision > 38)
            raiseAt<Msg::PrecisionTooLarge>(tok.line, tok.column, ordinal, ty->precision);
        if (ty->scale > ty->precision)
            raiseAt<Msg::ScaleTooLarge>(tok.line, tok.column, ordinal, ty->scale, ty->precision);
    }
    if (ty->isString() && ty->length == 0)
        failHere();
    if (castTarget && ty->isString() && args == 0 && !max)
        ty->length = 30;
    if (ty->isString() && ty->length > (ty->isUnicode() ? 4000 : 8000))
        raiseAt<Msg::SizeGivenTypeExceeds>(tok.line, tok.column, ty->length, ty->name(),
                                           ty->isUnicode() ? 4000 : 8000);
    return *ty;
}

StmtP Parser::declare(StmtP s) {
    ++p;
    s->kind = SK::Declare;
    int ordinal = 0;
    do {
        VarDecl d = declarator();
        if (cur().isKeyword("TABLE")) {
            ++p;
            d.table = tableDefinition(d.name, d.line, d.column);
            s->decls.push_back(std::move(d));
            if (cur().isOp(","))
                failHere(); // a table variable is declared on its own
            return s;
        }
        if (cur().isWord("CURSOR"))
            failHere();
        scalarDeclaration(d, ++ordinal);
        s->decls.push_back(std::move(d));
    } while (acceptOp(","));
    return s;
}

VarDecl Parser::declarator() {
    if (cur().kind != Tok::Variable)
        failHere();
    VarDecl d;
    d.line = cur().line;
    d.column = cur().column;
    d.name = cur().text;
    ++p;
    acceptKw("AS");
    return d;
}

void Parser::scalarDeclaration(VarDecl& d, int ordinal) {
    d.type = dataType(ordinal);
    if (acceptOp("="))
        d.init = scalar();
}

StmtP Parser::set(StmtP s) {
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
    return setOption(std::move(s));
}

// SET <option> ...: the options a batch may set are read and recorded by name; running them
// changes nothing (the engine behaves as with the server's defaults).
StmtP Parser::setOption(StmtP s) {
    s->kind = SK::SetOption;
    const Token& opt = cur();
    if (!(opt.kind == Tok::Ident || opt.kind == Tok::Keyword))
        failHere();
    QString u = opt.upper;
    s->var = u; // the option's name, for whoever judges what the batch does to the session
    // clang-format off
    static const char* onOff[] = {
        "NOCOUNT", "ANSI_WARNINGS", "ANSI_NULLS", "ARITHABORT", "QUOTED_IDENTIFIER", "XACT_ABORT",
        "ANSI_PADDING", "IMPLICIT_TRANSACTIONS", "CONCAT_NULL_YIELDS_NULL", "NUMERIC_ROUNDABORT",
        "ANSI_NULL_DFLT_ON", "ANSI_NULL_DFLT_OFF", "ANSI_DEFAULTS", "CURSOR_CLOSE_ON_COMMIT", "ARITHIGNORE",
        "FMTONLY", "NOEXEC", "PARSEONLY", "SHOWPLAN_TEXT", "STATISTICS"};
    // clang-format on
    for (const char* o : onOff) {
        if (u == QLatin1String(o)) {
            ++p;
            if (u == u"STATISTICS")
                ++p;
            s->options << u;
            while (acceptOp(",")) {
                if (!(cur().kind == Tok::Ident || cur().kind == Tok::Keyword))
                    failHere();
                s->options << cur().upper;
                ++p;
            }
            const bool on = acceptKw("ON");
            if (!on && !acceptKw("OFF"))
                failHere();
            s->op = on ? QStringLiteral("ON") : QStringLiteral("OFF"); // judged by the binder
            return s;
        }
    }
    if (u == u"DATEFORMAT" || u == u"LANGUAGE" || u == u"DATEFIRST")
        return dateOption(std::move(s));
    if (u == u"ROWCOUNT" || u == u"TEXTSIZE" || u == u"LOCK_TIMEOUT" || u == u"DEADLOCK_PRIORITY") {
        ++p;
        if (cur().kind == Tok::End)
            failHere();
        // LOCK_TIMEOUT -1 (wait as long as it takes): the sign is part of the value.
        const bool minus = u == u"LOCK_TIMEOUT" && acceptOp("-");
        if (cur().kind == Tok::End)
            failHere();
        s->op = cur().kind == Tok::Integer ? QString::number(cur().text.toLongLong() * (minus ? -1 : 1))
                                           : cur().text;
        ++p;
        return s;
    }
    if (opt.isKeyword("IDENTITY_INSERT")) {
        ++p;
        s->target = std::make_unique<TableSource>();
        at(*s->target, cur());
        tableName(*s->target);
        if (acceptKw("ON"))
            s->op = QStringLiteral("ON");
        else if (acceptKw("OFF"))
            s->op = QStringLiteral("OFF");
        else
            failHere();
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
        } else if (acceptWord("SNAPSHOT")) {
            s->op = QStringLiteral("SNAPSHOT");
        } else if (!acceptWord("SERIALIZABLE")) {
            failHere();
        }
        return s;
    }
    if (opt.kind == Tok::Keyword)
        failHere();
    raiseAt<Msg::UnknownSetOption>(opt.line, opt.column, opt.text);
}

// SET DATEFORMAT, SET LANGUAGE and SET DATEFIRST take a variable, a string, a number or a name
// (bare or bracketed); a name is kept as the text of a literal, read when the statement runs.
StmtP Parser::dateOption(StmtP s) {
    ++p;
    const Token& v = cur();
    if (v.kind == Tok::Variable || v.kind == Tok::String || v.kind == Tok::NString ||
        v.kind == Tok::Integer) {
        s->expr = scalar();
        return s;
    }
    if (v.kind != Tok::Ident && v.kind != Tok::QuotedIdent)
        failHere();
    s->expr = make(EK::Literal, v);
    s->expr->value = Value::str(v.kind == Tok::QuotedIdent ? v.value : v.text, true);
    ++p;
    return s;
}

} // namespace parsing

namespace {

parsing::Parser parserOf(const QString& text) {
    std::optional<ServerError> lexError;
    std::vector<Token> toks = tokenize(text, lexError);
    if (lexError)
        throw SqlError{*lexError};
    return parsing::Parser(std::move(toks));
}

} // namespace

Batch parseBatch(const QString& text) {
    return parserOf(text).batch();
}

namespace {

// Where the rest of a batch may start for its statements to read as they read in the batch.
enum class RestStart { KeywordOrSemicolon, Keyword };

std::optional<Batch> readRest(std::vector<Token> toks, std::optional<ServerError> lexError,
                              const BatchPlace& place, RestStart start) {
    // Tokens and errors are placed as in the whole batch: the rest starts a line.
    for (Token& t : toks) {
        t.line += place.lines;
        t.pos += place.offset;
    }
    if (lexError) {
        lexError->line += place.lines;
        throw SqlError{*lexError};
    }
    // Only a word that no declaration goes on with shows that the statements before have ended
    // where they ended in the batch they were first read in.
    static const char* const starts[] = {"SET",   "IF",     "SELECT", "DECLARE", "PRINT", "WHILE",
                                         "BEGIN", "RETURN", "UPDATE", "INSERT",  "DELETE"};
    const Token& head = toks.front();
    const bool starts_statement =
        (start == RestStart::KeywordOrSemicolon && head.isOp(";")) ||
        std::any_of(std::begin(starts), std::end(starts), [&](const char* kw) { return head.isKeyword(kw); });
    if (!starts_statement)
        return std::nullopt;
    return parsing::Parser(std::move(toks)).batch(false, place.afterSemicolon);
}

std::optional<Batch> readRest(const QString& rest, const BatchPlace& place, RestStart start) {
    std::optional<ServerError> lexError;
    std::vector<Token> toks = tokenize(rest, lexError);
    return readRest(std::move(toks), std::move(lexError), place, start);
}

} // namespace

std::optional<Batch> parseBatchRest(const QString& rest, const BatchPlace& place) {
    return readRest(rest, place, RestStart::KeywordOrSemicolon);
}

std::optional<Batch> parseBatchRest(std::vector<Token> tokens, const BatchPlace& place) {
    return readRest(std::move(tokens), std::nullopt, place, RestStart::KeywordOrSemicolon);
}

std::optional<Batch> parseStandaloneRest(const QString& rest, const BatchPlace& place) {
    return readRest(rest, place, RestStart::Keyword);
}

std::optional<Batch> parseStandaloneRest(std::vector<Token> tokens, const BatchPlace& place) {
    return readRest(std::move(tokens), std::nullopt, place, RestStart::Keyword);
}

std::vector<VarDecl> parseParameters(const QString& text) {
    return parserOf(text).parameters();
}

} // namespace tsql
