// Expressions: conditions (OR, AND, NOT and predicates), scalar operators by precedence,
// literals, variables, columns, CAST and CONVERT, CASE, function calls and xml methods.

#include "tsql/text/ParserImpl.h"

#include "tsql/base/Messages.h"

#include "tsql/functions/Functions.h"

#include <algorithm>

namespace tsql::parsing {

// Operands read by `operand`, joined left to right into `kind` nodes by every token `isOperator`
// accepts (a binary node keeps its operator). A loop, not a recursion: a long chain costs no stack.
template <typename Match, typename Operand> ExprP Parser::chain(Match isOperator, EK kind, Operand operand) {
    ExprP left = (this->*operand)();
    while (isOperator(cur())) {
        const Token& op = cur();
        ++p;
        auto e = make(kind, op);
        if (kind == EK::Binary)
            e->op = op.text;
        e->args.push_back(std::move(left));
        e->args.push_back((this->*operand)());
        left = sealed(std::move(e));
    }
    return left;
}

namespace {

auto keyword(const char* word) {
    return [word](const Token& t) { return t.isKeyword(word); };
}

// An operator of one character among `operators`.
auto oneOf(QStringView operators) {
    return [operators](const Token& t) {
        if (t.kind != Tok::Op || t.text.size() != 1)
            return false;
        const QChar c = t.text.front();
        return std::find(operators.begin(), operators.end(), c) != operators.end();
    };
}

} // namespace

ExprP Parser::condition() {
    DepthGuard g(depth, cur());
    return chain(keyword("OR"), EK::Or, &Parser::conjunction);
}

ExprP Parser::conjunction() {
    return chain(keyword("AND"), EK::And, &Parser::negation);
}

ExprP Parser::negation() {
    if (cur().isKeyword("NOT")) {
        DepthGuard g(depth, cur());
        auto e = make(EK::Not, cur());
        ++p;
        e->args.push_back(negation());
        return sealed(std::move(e));
    }
    return predicate();
}

ExprP Parser::predicate() {
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

ExprP Parser::comparison() {
    ExprP left = scalar();
    const Token& op = cur();
    if (isCompareOp(op)) {
        ++p;
        auto e = make(EK::Compare, op);
        e->op = op.text;
        e->args.push_back(std::move(left));
        // x op ALL | ANY | SOME (query)
        if ((cur().isKeyword("ALL") || cur().isKeyword("ANY") || cur().isKeyword("SOME")) &&
            peek().isOp("(")) {
            e->quantifier = cur().isKeyword("ALL") ? QStringLiteral("ALL") : QStringLiteral("ANY");
            p += 2;
            if (!cur().isKeyword("SELECT"))
                failHere();
            e->sub = select(true);
            expectOp(")");
            return sealed(std::move(e));
        }
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
    raiseAt<Msg::NonBooleanNear>(near.line, near.column, near.kind == Tok::String ? near.value : near.text);
}

ExprP Parser::scalar() {
    DepthGuard g(depth, cur());
    return chain(oneOf(u"+-&|^"), EK::Binary, &Parser::term);
}

ExprP Parser::term() {
    return chain(oneOf(u"*/%"), EK::Binary, &Parser::unary);
}

ExprP Parser::unary() {
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

// A numeric constant as written: its digits give its precision and scale (Msg 1007 past 38).
static Value numericConstant(const Token& tok) {
    const auto n = Numeric::parse(tok.text);
    if (!n)
        raiseAt<Msg::NumberOutOfRange>(tok.line, tok.column, tok.text);
    Value value = Value::decimal(*n, n->digits());
    value.type.numericName = true;
    return value;
}

// $12.50 and the like: a money constant ("Constants (Transact-SQL)"); the symbol alone is zero.
// More than four decimals are rounded, a value beyond money's range is Msg 8115.
static Value moneyConstant(const Token& tok) {
    const QString digits = tok.value == u"." ? QStringLiteral("0") : tok.value;
    const auto n = Numeric::parse(digits.isEmpty() ? QStringLiteral("0") : digits);
    if (!n)
        raiseAt<Msg::NumberOutOfRange>(tok.line, tok.column, tok.text);
    try {
        return convert(Value::decimal(*n, n->digits()), SqlType::of(TypeId::Money));
    } catch (SqlError& e) {
        e.error.line = tok.line;
        e.error.column = tok.column;
        throw;
    }
}

ExprP Parser::literal(const Token& tok) {
    auto e = make(EK::Literal, tok);
    switch (tok.kind) {
    case Tok::Integer: {
        bool ok = false;
        qint64 v = tok.text.toLongLong(&ok);
        // A whole number past int is a numeric constant.
        e->value = ok && v <= std::numeric_limits<qint32>::max() ? Value::integer(v, TypeId::Int)
                                                                 : numericConstant(tok);
        break;
    }
    case Tok::Decimal:
        e->value = numericConstant(tok);
        break;
    case Tok::Float: {
        bool ok = false;
        QString txt = tok.text;
        if (txt.endsWith(u'e') || txt.endsWith(u'E') || txt.endsWith(u'+') || txt.endsWith(u'-'))
            txt += u'0';
        double d = txt.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            raiseAt<Msg::NumberOutOfRange>(tok.line, tok.column, tok.text);
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
    case Tok::Money:
        e->value = moneyConstant(tok);
        break;
    default:
        fail(tok);
    }
    ++p;
    return e;
}

ExprP Parser::primary() {
    DepthGuard g(depth, cur());
    const Token& tok = cur();
    switch (tok.kind) {
    case Tok::Integer:
    case Tok::Decimal:
    case Tok::Float:
    case Tok::String:
    case Tok::NString:
    case Tok::Binary:
    case Tok::Money:
        return literal(tok);
    case Tok::Invalid:
        if (tok.text == u"{")
            return odbcLiteral(tok);
        failHere();
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
    case Tok::Keyword:
        return keywordPrimary(tok);
    case Tok::Ident:
    case Tok::QuotedIdent:
        return namePrimary(tok);
    default:
        failHere();
    }
}

// {d 'yyyy-mm-dd'} and {ts 'yyyy-mm-dd hh:mi:ss[.mmm]'}: ODBC escapes for datetime constants
// ("Date and time types", ODBC formats), read whatever the session's DATEFORMAT is, as CONVERT
// with style 121 reads them. {t 'hh:mi:ss'} (a datetime on the current date) is refused by name.
ExprP Parser::odbcLiteral(const Token& open) {
    const Token& kind = peek();
    if (!(kind.isWord("D") || kind.isWord("TS") || kind.isWord("T")) || peek(2).kind != Tok::String ||
        !(peek(3).kind == Tok::Invalid && peek(3).text == u"}"))
        failHere();
    if (kind.isWord("T"))
        raiseAt<Msg::OdbcTimeLiteralNotSupported>(open.line, open.column);
    const Token& text = peek(2);
    auto e = make(EK::Cast, open);
    e->castType = SqlType::of(TypeId::DateTime);
    auto value = make(EK::Literal, text);
    value->value = Value::str(text.value, false);
    auto style = make(EK::Literal, text);
    style->value = Value::integer(121, TypeId::Int);
    e->args.push_back(std::move(value));
    e->args.push_back(std::move(style));
    p += 4;
    return sealed(std::move(e));
}

// NULL, CASE, CONVERT and the functions whose names are reserved words.
ExprP Parser::keywordPrimary(const Token& tok) {
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
        e->function = findFunction(e->name);
        return e;
    }
    failHere();
}

// A name: CAST, a function call, or a column of one to four parts (xml methods may follow).
ExprP Parser::namePrimary(const Token& tok) {
    if (tok.kind == Tok::Ident && peek().isOp("(")) {
        if (tok.upper == u"CAST" || tok.upper == u"TRY_CAST" || tok.upper == u"PARSE" ||
            tok.upper == u"TRY_PARSE")
            return conversionCall(tok);
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
            raiseAt<Msg::UnknownColumnOrFunction>(tok.line, tok.column, e->parts.first(), full);
        }
        e->parts << nameOf(peek());
        p += 2;
    }
    if (e->parts.size() > 4)
        failHere();
    return e;
}

ExprP Parser::xmlMethods(ExprP target) {
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

// A call of a function: its row of the function table says how the first argument is read (a
// date part word, a condition, or * for COUNT).
ExprP Parser::functionCall(const Token& tok, const QString& upper) {
    p += 2; // name and (
    auto e = make(EK::Function, tok);
    e->name = upper;
    e->function = findFunction(upper);
    if (acceptOp(")"))
        return cur().isKeyword("OVER") ? windowCall(std::move(e)) : sealed(std::move(e));
    const FirstArgument first = e->function ? e->function->first : FirstArgument::Value;
    if (acceptKw("DISTINCT"))
        e->distinct = true;
    else
        acceptKw("ALL");
    int index = 0;
    do {
        if (index == 0 && first == FirstArgument::ValueOrStar && cur().isOp("*")) {
            e->args.push_back(make(EK::Star, cur()));
            ++p;
        } else if (index == 0 && first == FirstArgument::Datepart &&
                   (cur().kind == Tok::Ident || cur().kind == Tok::QuotedIdent)) {
            auto d = make(EK::Literal, cur());
            d->value = Value::str(nameOf(cur()).toUpper());
            d->datepartArg = true;
            ++p;
            e->args.push_back(std::move(d));
        } else if (index == 0 && first == FirstArgument::Condition) {
            e->args.push_back(condition());
        } else {
            e->args.push_back(scalar());
        }
        // TRIM (characters FROM string): the string is the call's first argument, the
        // characters a second one the argument count does not see.
        if (index == 0 && upper == u"TRIM" && acceptKw("FROM")) {
            e->args.insert(e->args.begin(), scalar());
            e->trimFrom = true;
            break;
        }
        ++index;
    } while (acceptOp(","));
    expectOp(")");
    if (upper == u"STRING_AGG" && cur().kind == Tok::Ident && cur().upper == u"WITHIN")
        withinGroup(*e);
    if (cur().isKeyword("OVER"))
        return windowCall(std::move(e));
    return sealed(std::move(e));
}

// WITHIN GROUP (ORDER BY key [ASC | DESC], ...) after STRING_AGG: the keys follow its arguments.
void Parser::withinGroup(Expr& e) {
    ++p;
    expectKw("GROUP");
    expectOp("(");
    expectKw("ORDER");
    expectKw("BY");
    do {
        e.args.push_back(scalar());
        ++e.withinGroup;
        e.orderDesc.push_back(acceptKw("DESC"));
        if (!e.orderDesc.back())
            acceptKw("ASC");
    } while (acceptOp(","));
    expectOp(")");
}

// CAST (x AS type), TRY_CAST, and PARSE (string AS type [USING culture]) and TRY_PARSE: a
// conversion whose second argument, for PARSE when there is one, is the culture.
ExprP Parser::conversionCall(const Token& tok) {
    p += 2;
    auto e = make(EK::Cast, tok);
    e->name = tok.upper;
    e->tryCast = tok.upper.startsWith(u"TRY_");
    e->args.push_back(scalar());
    expectKw("AS");
    e->castType = dataType(1, true);
    if (tok.upper.endsWith(u"PARSE") && cur().kind == Tok::Ident && cur().upper == u"USING") {
        ++p;
        e->args.push_back(scalar());
    }
    expectOp(")");
    return sealed(std::move(e));
}

// NAME(...) OVER ([PARTITION BY x, ...] [ORDER BY y [ASC | DESC], ...] [frame]).
ExprP Parser::windowCall(ExprP e) {
    ++p;
    expectOp("(");
    e->kind = EK::Window;
    e->over = std::make_unique<WindowSpec>();
    WindowSpec& w = *e->over;
    w.arguments = int(e->args.size());
    if (cur().isWord("PARTITION")) {
        ++p;
        expectKw("BY");
        do {
            e->args.push_back(scalar());
            ++w.partitions;
        } while (acceptOp(","));
    }
    if (acceptKw("ORDER")) {
        expectKw("BY");
        do {
            e->args.push_back(scalar());
            bool desc = false;
            if (acceptKw("DESC"))
                desc = true;
            else
                acceptKw("ASC");
            w.descending.push_back(desc);
        } while (acceptOp(","));
    }
    if (cur().isWord("ROWS") || cur().isWord("RANGE")) {
        w.hasFrame = true;
        w.range = cur().isWord("RANGE");
        ++p;
        if (acceptKw("BETWEEN")) {
            w.start = frameBound();
            expectKw("AND");
            w.end = frameBound();
        } else {
            w.start = frameBound();
            if (w.start.kind == FrameBound::Following || w.start.kind == FrameBound::UnboundedFollowing)
                failHere();
            w.end = FrameBound{};
        }
    }
    expectOp(")");
    return sealed(std::move(e));
}

// UNBOUNDED PRECEDING | UNBOUNDED FOLLOWING | CURRENT ROW | n PRECEDING | n FOLLOWING.
FrameBound Parser::frameBound() {
    FrameBound b;
    if (acceptWord("UNBOUNDED")) {
        if (acceptWord("PRECEDING"))
            b.kind = FrameBound::UnboundedPreceding;
        else if (acceptWord("FOLLOWING"))
            b.kind = FrameBound::UnboundedFollowing;
        else
            failHere();
        return b;
    }
    if (acceptKw("CURRENT")) {
        if (!acceptWord("ROW"))
            failHere();
        return b;
    }
    if (cur().kind != Tok::Integer)
        failHere();
    bool ok = false;
    b.rows = cur().text.toLongLong(&ok);
    if (!ok)
        failHere();
    ++p;
    if (acceptWord("PRECEDING"))
        b.kind = FrameBound::Preceding;
    else if (acceptWord("FOLLOWING"))
        b.kind = FrameBound::Following;
    else
        failHere();
    return b;
}

ExprP Parser::caseExpr() {
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

} // namespace tsql::parsing
