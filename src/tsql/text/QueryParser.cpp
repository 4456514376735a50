// Queries and data changes: SELECT with its FROM clause (tables, joins, derived tables, xml
// nodes() sources), UPDATE, INSERT and DELETE.

#include "tsql/text/ParserImpl.h"

#include "tsql/base/Messages.h"

#include <iterator>

namespace tsql::parsing {

// A table's name of one to four dotted parts (server.database.schema.table); a part between two
// others may be left out (database..table: the default schema).
void Parser::tableName(TableSource& ts) {
    ts.kind = SourceKind::Table;
    if (cur().kind == Tok::Variable) { // a table variable
        ts.nameParts << cur().text;
        ++p;
        return;
    }
    do {
        while (!ts.nameParts.isEmpty() && ts.nameParts.size() < 4 && acceptOp("."))
            ts.nameParts << QString();
        if (!isName(cur()))
            failHere();
        ts.nameParts << nameOf(cur());
        ++p;
    } while (acceptOp("."));
    if (ts.nameParts.size() > 4)
        failHere();
}

std::unique_ptr<TableSource> Parser::targetTable() {
    auto ts = std::make_unique<TableSource>();
    at(*ts, cur());
    tableName(*ts);
    const QStringList given = hints(*ts);
    if (given.contains(QStringLiteral("NOLOCK")) || given.contains(QStringLiteral("READUNCOMMITTED")))
        raiseAt<Msg::NolockOnTarget>(ts->line, ts->column);
    return ts;
}

QStringList Parser::hints(TableSource& ts) {
    if (cur().isKeyword("WITH") && peek().isOp("(")) {
        ++p;
        return hintList(ts);
    }
    if (cur().isOp("(") &&
        (peek().isWord("NOLOCK") || peek().isWord("READUNCOMMITTED") || peek().isWord("UPDLOCK") ||
         peek().isWord("ROWLOCK") || peek().isKeyword("HOLDLOCK")))
        return hintList(ts);
    return {};
}

namespace {

// Table hints that decide only how rows are locked. The engine reads committed rows, and a
// batch's changes are its session's alone: what these hints change in the server (waiting,
// skipping or reading rows other sessions are changing) no value of one batch depends on.
// Each group takes one hint at most.
const char* const kLockHints[][7] = {
    {"NOLOCK", "READUNCOMMITTED", "READCOMMITTED", "READCOMMITTEDLOCK", "REPEATABLEREAD", "SERIALIZABLE",
     "HOLDLOCK"},
    {"ROWLOCK", "PAGLOCK", "TABLOCK", "TABLOCKX"},
    {"UPDLOCK", "XLOCK"},
    {"NOWAIT", "READPAST"},
};

// Hints the server takes that may fail or change a result there (an index that must exist, a
// plan that must be possible, rules for bulk loads): refused by name.
const char* const kRefusedHints[] = {
    "INDEX",        "FORCESEEK",    "FORCESCAN",          "NOEXPAND",        "SNAPSHOT",
    "KEEPIDENTITY", "KEEPDEFAULTS", "IGNORE_CONSTRAINTS", "IGNORE_TRIGGERS", "SPATIAL_WINDOW_MAX_CELLS"};

int lockGroup(const QString& hint) {
    for (int g = 0; g < int(std::size(kLockHints)); ++g)
        for (const char* h : kLockHints[g])
            if (h && hint == QLatin1String(h))
                return g;
    return -1;
}

void checkHint(const Token& h, QList<int>& groups) {
    const int group = lockGroup(h.upper);
    if (group >= 0) {
        // Two hints of a group, or no locks with a lock taken on purpose, are conflicts the
        // server has rules of its own for.
        const bool unlocked = h.upper == u"NOLOCK" || h.upper == u"READUNCOMMITTED";
        if (groups.contains(group) || (unlocked && (groups.contains(2) || groups.contains(3))) ||
            ((group == 2 || group == 3) && groups.contains(-2)))
            raiseAt<Msg::TableHintsCombinationNotSupported>(h.line, h.column);
        groups << group;
        if (unlocked)
            groups << -2;
        return;
    }
    for (const char* r : kRefusedHints)
        if (h.upper == QLatin1String(r))
            raiseAt<Msg::TableHintNotSupported>(h.line, h.column, h.upper);
    raiseAt<Msg::UnknownTableHint>(h.line, h.column, h.text);
}

} // namespace

QStringList Parser::hintList(TableSource& ts) {
    expectOp("(");
    QStringList given;
    QList<int> groups;
    do {
        const Token& h = cur();
        if (!(h.kind == Tok::Ident || h.kind == Tok::Keyword))
            failHere();
        checkHint(h, groups);
        given << h.upper;
        ++p;
    } while (acceptOp(","));
    expectOp(")");
    ts.hasHints = true;
    return given;
}

// TOP (expression) [PERCENT]; a SELECT may give a constant without the parentheses.
ExprP Parser::topClause(bool& percent, bool select) {
    ExprP e;
    if (!select && !cur().isOp("("))
        failHere();
    if (acceptOp("(")) {
        e = scalar();
        expectOp(")");
    } else {
        // Without parentheses only a constant (kept for compatibility): TOP @n is a syntax error.
        if (!(cur().kind == Tok::Integer || cur().kind == Tok::Decimal || cur().kind == Tok::Float))
            failHere();
        e = primary();
    }
    percent = acceptKw("PERCENT");
    return e;
}

// TOP (n) of UPDATE and DELETE; TOP ... PERCENT there is refused by name.
void Parser::dmlTop(Stmt& s) {
    if (!acceptKw("TOP"))
        return;
    const Token& top = t[p - 1];
    bool percent = false;
    s.top = topClause(percent);
    if (percent)
        raiseAt<Msg::TopPercentDmlNotSupported>(top.line, top.column);
}

StmtP Parser::update(StmtP s) {
    ++p;
    s->kind = SK::Update;
    s->select = std::make_unique<Select>();
    at(*s->select, cur());
    dmlTop(*s);
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

StmtP Parser::insert(StmtP s) {
    ++p;
    s->kind = SK::Insert;
    acceptKw("INTO");
    s->target = targetTable();
    if (cur().isOp("(") && !peek().isKeyword("SELECT")) {
        ++p;
        s->insertColumns = nameList();
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

StmtP Parser::del(StmtP s) {
    ++p;
    s->kind = SK::Delete;
    s->select = std::make_unique<Select>();
    at(*s->select, cur());
    dmlTop(*s);
    acceptKw("FROM");
    s->target = targetTable();
    if (acceptKw("FROM"))
        fromList(*s->select);
    if (acceptKw("WHERE"))
        s->select->where = condition();
    return s;
}

std::unique_ptr<Select> Parser::select(bool subquery) {
    DepthGuard g(depth, cur());
    auto sel = std::make_unique<Select>();
    at(*sel, cur());
    expectKw("SELECT");
    if (acceptKw("DISTINCT"))
        sel->distinct = true;
    else
        acceptKw("ALL");
    if (acceptKw("TOP")) {
        sel->top = topClause(sel->topPercent, true);
        if (acceptKw("WITH")) {
            if (!acceptWord("TIES"))
                failHere();
            sel->withTies = true;
        }
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
        groupByClause(*sel);
    }
    if (acceptKw("HAVING"))
        sel->having = condition();
    if (cur().isKeyword("UNION") || cur().isKeyword("EXCEPT") || cur().isKeyword("INTERSECT")) {
        sel->setOp = cur().isKeyword("UNION")    ? SetOp::Union
                     : cur().isKeyword("EXCEPT") ? SetOp::Except
                                                 : SetOp::Intersect;
        ++p;
        sel->unionAll = sel->setOp == SetOp::Union && acceptKw("ALL");
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
        offsetFetch(*sel);
        if (subquery && !sel->top && !sel->offset)
            raiseAt<Msg::OrderClauseInvalidViews>(ob.line, ob.column);
    }
    seal(*sel);
    return sel;
}

// OFFSET n {ROW | ROWS} [FETCH {FIRST | NEXT} m {ROW | ROWS} ONLY] after ORDER BY. FETCH without
// OFFSET reads as the FETCH statement of a cursor, whose option it misuses (Msg 153).
void Parser::offsetFetch(Select& sel) {
    auto rows = [&] {
        if (!acceptWord("ROWS") && !acceptWord("ROW"))
            failHere();
    };
    if (cur().isKeyword("FETCH") && (peek().isWord("NEXT") || peek().isWord("FIRST")))
        raiseAt<Msg::InvalidUsageOptionFetch>(peek().line, peek().column, peek().upper);
    if (!cur().isWord("OFFSET"))
        return;
    ++p;
    sel.offset = scalar();
    rows();
    if (!acceptKw("FETCH"))
        return;
    if (!acceptWord("NEXT") && !acceptWord("FIRST"))
        failHere();
    sel.fetch = scalar();
    rows();
    if (!acceptWord("ONLY"))
        failHere();
}

SelectItem Parser::selectItem() {
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

void Parser::fromList(Select& sel) {
    do {
        sel.from.push_back(joined());
    } while (acceptOp(","));
}

std::unique_ptr<TableSource> Parser::joined() {
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
                   (peek().isKeyword("JOIN") || (peek().isKeyword("OUTER") && peek(2).isKeyword("JOIN")))) {
            type = tok.upper;
            p += peek().isKeyword("OUTER") ? 3 : 2;
        } else if (tok.isKeyword("CROSS") && peek().isKeyword("JOIN")) {
            type = QStringLiteral("CROSS");
            p += 2;
        } else if ((tok.isKeyword("CROSS") || tok.isKeyword("OUTER")) && peek().isWord("APPLY")) {
            type = tok.upper + QStringLiteral(" APPLY");
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
        if (type != u"CROSS" && !type.endsWith(u"APPLY")) {
            expectKw("ON");
            j->on = condition();
        }
        seal(*j);
        left = std::move(j);
    }
    return left;
}

void Parser::alias(TableSource& ts, bool required) {
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

std::unique_ptr<TableSource> Parser::tablePrimary() {
    DepthGuard g(depth, cur());
    auto ts = std::make_unique<TableSource>();
    at(*ts, cur());
    if (cur().isOp("(") && peek().isKeyword("SELECT")) {
        ++p;
        ts->kind = SourceKind::Derived;
        ts->derived = select(true);
        expectOp(")");
        alias(*ts, true);
        columnAliasList(*ts);
        seal(*ts);
        return ts;
    }
    if (cur().isOp("(") && peek().isKeyword("VALUES")) {
        ++p;
        valuesSource(*ts);
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
    if (cur().kind == Tok::Ident && cur().upper == u"STRING_SPLIT" && peek().isOp("(")) {
        // STRING_SPLIT (string, separator) [AS alias]: a table-valued function.
        ts->kind = SourceKind::Function;
        ts->functionName = cur().upper;
        p += 2;
        if (!acceptOp(")")) {
            do {
                ts->functionArgs.push_back(scalar());
            } while (acceptOp(","));
            expectOp(")");
        }
        alias(*ts, false);
        seal(*ts);
        return ts;
    }
    tableName(*ts);
    if (!(cur().isKeyword("WITH") && peek().isOp("(")))
        alias(*ts, false);
    hints(*ts);
    return ts;
}

} // namespace tsql::parsing
