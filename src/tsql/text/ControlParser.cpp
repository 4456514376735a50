// Statements that call, jump and raise errors: EXEC of a procedure or of a dynamic batch,
// sp_executesql and its parameters' definitions, labels and GOTO, RAISERROR and THROW, and the
// module definitions (CREATE PROCEDURE and the like) that must start a batch.

#include "tsql/text/ParserImpl.h"

#include "tsql/base/Messages.h"

namespace tsql::parsing {

namespace {

// RAISERROR takes at most 20 arguments after its message, severity and state.
constexpr size_t kMaxSubstitutions = 20;

bool isExecuteSql(const QStringList& parts) {
    if (parts.last().compare(u"sp_executesql", Qt::CaseInsensitive) != 0)
        return false;
    return parts.size() == 1 || parts[parts.size() - 2].compare(u"sys", Qt::CaseInsensitive) == 0;
}

} // namespace

// EXEC [@status =] procedure [arguments], EXEC sp_executesql ..., or EXEC (string [+ ...]).
StmtP Parser::exec(StmtP s) {
    if (cur().isOp("("))
        return dynamicExec(std::move(s));
    s->kind = SK::Exec;
    if (cur().kind == Tok::Variable && peek().isOp("="))
        p += 2; // the variable that receives the procedure's return status
    if (cur().kind == Tok::Variable) {
        s->procName = cur().text;
        ++p;
    } else {
        QStringList parts;
        do {
            if (!isName(cur()))
                failHere();
            parts << nameOf(cur());
            ++p;
        } while (acceptOp("."));
        s->procName = parts.join(u'.');
        if (isExecuteSql(parts))
            s->kind = SK::ExecSql;
    }
    execArguments(*s);
    return s;
}

// Arguments: [@name =] expression [OUTPUT], separated by commas. A bare word is a string
// ("EXEC sp_columns LP01_PROVIDER", as "Specify Parameters" has it).
void Parser::execArguments(Stmt& s) {
    const auto bareWord = [this] {
        return (cur().kind == Tok::Ident || cur().kind == Tok::QuotedIdent) && !peek().isOp("(") &&
               !peek().isOp(":") && !peek().isOp(".") && !peek().isOp("=");
    };
    if ((!startsExpression() || cur().kind == Tok::Ident) && !bareWord())
        return;
    do {
        QString name;
        if (cur().kind == Tok::Variable && peek().isOp("=")) {
            name = cur().text;
            p += 2;
        }
        s.argNames << name;
        if (bareWord()) {
            s.args.push_back(make(EK::Literal, cur()));
            s.args.back()->value = Value::str(nameOf(cur()), true);
            ++p;
            continue;
        }
        s.args.push_back(scalar());
        acceptWord("OUTPUT") || acceptWord("OUT");
    } while (acceptOp(","));
}

// EXEC ( { @variable | [N]'text' } [ + ...n ] ): only variables and string constants make the
// text of a dynamic batch; an expression of any other kind is a syntax error.
StmtP Parser::dynamicExec(StmtP s) {
    ++p;
    s->kind = SK::ExecString;
    do {
        const Tok k = cur().kind;
        if (k != Tok::String && k != Tok::NString && k != Tok::Variable)
            failHere();
        if (k == Tok::Variable) {
            s->args.push_back(make(EK::Variable, cur()));
            s->args.back()->name = cur().text;
            ++p;
        } else {
            s->args.push_back(literal(cur())); // reads the token
        }
    } while (acceptOp("+"));
    expectOp(")");
    return s;
}

StmtP Parser::label(StmtP s) {
    s->kind = SK::Label;
    s->var = cur().text;
    p += 2;
    return s;
}

StmtP Parser::gotoStatement(StmtP s) {
    ++p;
    if (cur().kind != Tok::Ident)
        failHere();
    s->kind = SK::Goto;
    s->var = cur().text;
    ++p;
    return s;
}

// RAISERROR ( message, severity, state [, argument ...] ) [WITH LOG | NOWAIT | SETERROR, ...]
StmtP Parser::raiserror(StmtP s) {
    const Token& start = cur();
    ++p;
    s->kind = SK::Raiserror;
    expectOp("(");
    do
        s->args.push_back(scalar());
    while (acceptOp(","));
    if (s->args.size() < 3)
        failHere();
    expectOp(")");
    if (s->args.size() > 3 + kMaxSubstitutions)
        raiseAt<Msg::TooManySubstitutionParameters>(start.line, start.column, kMaxSubstitutions);
    if (acceptKw("WITH")) {
        do {
            if (acceptWord("LOG"))
                s->withLog = true;
            else if (cur().isWord("SETERROR")) // sets @@ERROR whatever the severity
                raiseAt<Msg::RaiserrorSeterrorNotSupported>(cur().line, cur().column);
            else if (!acceptWord("NOWAIT")) // sends the message at once: no value changes
                failHere();
        } while (acceptOp(","));
    }
    return s;
}

// THROW number, message, state, or THROW alone. THROW is no reserved word: it starts a statement
// only where one may start after a `;` (the statement before it must be ended by one), otherwise
// it is a syntax error.
StmtP Parser::throwStatement(StmtP s, bool allowed) {
    if (!allowed)
        failHere();
    ++p;
    s->kind = SK::Throw;
    if (!startsExpression())
        return s;
    s->args.push_back(scalar());
    expectOp(",");
    s->args.push_back(scalar());
    expectOp(",");
    s->args.push_back(scalar());
    return s;
}

// CREATE [OR ALTER] or ALTER of a procedure, function, view, trigger, default, rule or schema.
bool Parser::definesModule() const {
    size_t k = 1;
    if (cur().isKeyword("CREATE") && peek(1).isKeyword("OR") && peek(2).isKeyword("ALTER"))
        k = 3;
    const Token& what = peek(k);
    for (const char* w : {"PROC", "PROCEDURE", "FUNCTION", "VIEW", "TRIGGER", "DEFAULT", "RULE", "SCHEMA"})
        if (what.isKeyword(w))
            return true;
    return false;
}

// Msg 111: such a definition takes the rest of the batch as its body, so it must come first.
void Parser::notFirstInBatch(const Token& create) {
    const bool orAlter = peek(1).isKeyword("OR");
    const Token& what = peek(orAlter ? 3 : 1);
    QString name;
    if (what.isKeyword("PROC") || what.isKeyword("PROCEDURE"))
        name = QStringLiteral("CREATE/ALTER PROCEDURE");
    else
        name = create.upper + u' ' + what.upper;
    raiseAt<Msg::MustBeFirstInBatch>(create.line, create.column, name);
}

std::vector<VarDecl> Parser::parameters() {
    std::vector<VarDecl> out;
    if (cur().kind == Tok::End)
        return out;
    int ordinal = 0;
    do {
        VarDecl d = declarator();
        scalarDeclaration(d, ++ordinal);
        acceptWord("OUTPUT") || acceptWord("OUT") || acceptWord("READONLY");
        out.push_back(std::move(d));
    } while (acceptOp(","));
    if (cur().kind != Tok::End)
        failHere();
    return out;
}

} // namespace tsql::parsing
