// Tables a batch makes and common table expressions: CREATE TABLE and DROP TABLE, the column
// list of DECLARE @t TABLE, WITH name AS (query) before a statement, OPTION (...) after it, and
// the table value constructor (VALUES ...) as a source of FROM.

#include "tsql/text/ParserImpl.h"

#include "tsql/base/Messages.h"

namespace tsql::parsing {

// CREATE TABLE name (column definitions and table constraints).
StmtP Parser::createTable(StmtP s) {
    p += 2; // CREATE TABLE
    s->kind = SK::CreateTable;
    TableSource name;
    at(name, cur());
    if (cur().kind == Tok::Variable)
        failHere();
    tableName(name);
    s->tableDef = tableDefinition(name.nameParts.last(), name.line, name.column);
    return s;
}

// DROP TABLE [IF EXISTS] name [, name ...].
StmtP Parser::dropTable(StmtP s) {
    p += 2; // DROP TABLE
    s->kind = SK::DropTable;
    if (cur().isKeyword("IF") && peek().isKeyword("EXISTS")) {
        p += 2;
        s->ifExists = true;
    }
    do {
        auto ts = std::make_unique<TableSource>();
        at(*ts, cur());
        if (cur().kind == Tok::Variable)
            failHere();
        tableName(*ts);
        s->drops.push_back(std::move(ts));
    } while (acceptOp(","));
    return s;
}

// CREATE [UNIQUE] [CLUSTERED | NONCLUSTERED] INDEX name ON table (column [ASC | DESC], ...).
// Whether the index is clustered orders storage, not results.
StmtP Parser::createIndex(StmtP s) {
    ++p; // CREATE
    s->kind = SK::CreateIndex;
    if (acceptKw("UNIQUE"))
        s->op = QStringLiteral("UNIQUE");
    if (!acceptKw("CLUSTERED"))
        acceptKw("NONCLUSTERED");
    expectKw("INDEX");
    if (!isName(cur()))
        failHere();
    s->var = nameOf(cur());
    ++p;
    expectKw("ON");
    s->target = std::make_unique<TableSource>();
    at(*s->target, cur());
    if (cur().kind == Tok::Variable)
        failHere();
    tableName(*s->target);
    s->options = keyColumns();
    return s;
}

std::unique_ptr<TableDef> Parser::tableDefinition(const QString& name, int line, int column) {
    auto def = std::make_unique<TableDef>();
    def->name = name;
    def->line = line;
    def->column = column;
    expectOp("(");
    do {
        if (cur().isKeyword("CONSTRAINT") || cur().isKeyword("PRIMARY") || cur().isKeyword("UNIQUE") ||
            cur().isKeyword("CHECK") || cur().isKeyword("INDEX"))
            tableConstraint(*def);
        else
            columnDefinition(*def);
    } while (acceptOp(","));
    expectOp(")");
    return def;
}

// name type [COLLATE c] [NULL | NOT NULL] [IDENTITY [(seed, increment)]] [[CONSTRAINT n] DEFAULT
// value] [[CONSTRAINT n] PRIMARY KEY | UNIQUE | CHECK (condition)], the options in any order.
void Parser::columnDefinition(TableDef& def) {
    if (!isName(cur()))
        failHere();
    ColumnDef c;
    at(c, cur());
    c.name = nameOf(cur());
    ++p;
    c.type = dataType(int(def.columns.size()) + 1);
    while (true) {
        if (acceptKw("NULL")) {
            c.notNull = false;
        } else if (cur().isKeyword("NOT") && peek().isKeyword("NULL")) {
            p += 2;
            c.notNull = true;
        } else if (acceptKw("IDENTITY")) {
            c.identity = true;
            if (acceptOp("(")) {
                auto number = [&] {
                    const bool minus = acceptOp("-");
                    if (cur().kind != Tok::Integer)
                        failHere();
                    const qint64 v = cur().text.toLongLong();
                    ++p;
                    return minus ? -v : v;
                };
                c.seed = number();
                expectOp(",");
                c.increment = number();
                expectOp(")");
            }
        } else if (acceptKw("DEFAULT")) {
            c.defaultValue = scalar();
        } else if (acceptKw("COLLATE")) {
            if (!isName(cur()))
                failHere();
            collation(cur());
            ++p;
        } else if (cur().isKeyword("CONSTRAINT") || cur().isKeyword("PRIMARY") || cur().isKeyword("UNIQUE") ||
                   cur().isKeyword("CHECK")) {
            if (acceptKw("CONSTRAINT")) {
                if (!isName(cur()))
                    failHere();
                ++p;
                // CONSTRAINT name DEFAULT value: a named default, as the server's scripts write it.
                if (acceptKw("DEFAULT")) {
                    c.defaultValue = scalar();
                    continue;
                }
            }
            if (cur().isKeyword("PRIMARY") || cur().isKeyword("UNIQUE")) {
                const bool primary = acceptKw("PRIMARY");
                if (primary)
                    expectKw("KEY");
                else
                    ++p;
                if (!acceptKw("CLUSTERED"))
                    acceptKw("NONCLUSTERED");
                def.keys.push_back(QStringList{c.name});
                if (primary) {
                    c.notNull = true;
                    def.keys.back().prepend(QString()); // an empty first entry marks the primary key
                }
            } else {
                refuseCheck(cur());
            }
        } else {
            break;
        }
    }
    def.columns.push_back(std::move(c));
}

// A column's collation: the database's own (Latin1_General_CI_AS, as the engine compares
// texts); any other would compare or sort otherwise, and is refused by name.
void Parser::collation(const Token& name) {
    const QString n = nameOf(name);
    if (n.compare(u"DATABASE_DEFAULT", Qt::CaseInsensitive) != 0 &&
        n.compare(u"Latin1_General_CI_AS", Qt::CaseInsensitive) != 0)
        raiseAt<Msg::CollationNotSupported>(name.line, name.column, n);
}

// A CHECK constraint would refuse rows the engine does not test: refused by name.
void Parser::refuseCheck(const Token& check) {
    raiseAt<Msg::CheckConstraintNotSupported>(check.line, check.column);
}

// [CONSTRAINT n] PRIMARY KEY [CLUSTERED] (columns) | UNIQUE (columns) | CHECK (condition) |
// INDEX name (columns).
void Parser::tableConstraint(TableDef& def) {
    if (acceptKw("CONSTRAINT")) {
        if (!isName(cur()))
            failHere();
        ++p;
    }
    if (cur().isKeyword("CHECK"))
        refuseCheck(cur());
    if (acceptKw("INDEX")) {
        if (!isName(cur()))
            failHere();
        ++p;
        if (!acceptKw("CLUSTERED"))
            acceptKw("NONCLUSTERED");
        keyColumns();
        return;
    }
    const bool primary = acceptKw("PRIMARY");
    if (primary)
        expectKw("KEY");
    else
        expectKw("UNIQUE");
    if (!acceptKw("CLUSTERED"))
        acceptKw("NONCLUSTERED");
    QStringList cols = keyColumns();
    if (primary)
        cols.prepend(QString());
    def.keys.push_back(cols);
}

QStringList Parser::keyColumns() {
    QStringList cols;
    expectOp("(");
    do {
        if (!isName(cur()))
            failHere();
        cols << nameOf(cur());
        ++p;
        if (!acceptKw("ASC"))
            acceptKw("DESC");
    } while (acceptOp(","));
    expectOp(")");
    return cols;
}

// WITH cte [, cte ...] followed by the SELECT, INSERT, UPDATE or DELETE they belong to.
StmtP Parser::withStatement(StmtP s) {
    ++p; // WITH
    std::vector<std::unique_ptr<Cte>> ctes;
    do {
        ctes.push_back(commonTableExpression());
    } while (acceptOp(","));
    const Token& tok = cur();
    if (tok.isKeyword("SELECT")) {
        s->kind = SK::Select;
        s->select = select(false);
    } else if (tok.isKeyword("INSERT")) {
        s = insert(std::move(s));
    } else if (tok.isKeyword("UPDATE")) {
        s = update(std::move(s));
    } else if (tok.isKeyword("DELETE")) {
        s = del(std::move(s));
    } else {
        failHere();
    }
    if (!s->select) {
        s->select = std::make_unique<Select>();
        at(*s->select, tok);
    }
    s->select->ctes = std::move(ctes);
    statementOptions(*s);
    return s;
}

std::unique_ptr<Cte> Parser::commonTableExpression() {
    DepthGuard g(depth, cur());
    if (!isName(cur()))
        failHere();
    auto c = std::make_unique<Cte>();
    at(*c, cur());
    c->name = nameOf(cur());
    ++p;
    if (acceptOp("("))
        c->columnAliases = nameList();
    expectKw("AS");
    expectOp("(");
    if (!cur().isKeyword("SELECT"))
        failHere();
    c->select = select(true);
    expectOp(")");
    return c;
}

// OPTION (MAXRECURSION n | RECOMPILE, ...) at the end of a statement.
void Parser::statementOptions(Stmt& s) {
    if (!cur().isKeyword("OPTION"))
        return;
    ++p;
    if (!s.select) {
        s.select = std::make_unique<Select>();
        at(*s.select, cur());
    }
    queryOptions(*s.select);
}

void Parser::queryOptions(Select& sel) {
    expectOp("(");
    do {
        if (acceptWord("MAXRECURSION")) {
            if (cur().kind != Tok::Integer)
                failHere();
            bool ok = false;
            const int n = cur().text.toInt(&ok);
            if (!ok || n > 32767)
                raiseAt<Msg::ValueSpecifiedMaxrecursionOption>(cur().line, cur().column, cur().text);
            sel.maxRecursion = n;
            ++p;
        } else if (!acceptWord("RECOMPILE")) {
            failHere();
        }
    } while (acceptOp(","));
    expectOp(")");
}

// (VALUES (a, b), (c, d)) AS name (columns); the parenthesis is read.
void Parser::valuesSource(TableSource& ts) {
    expectKw("VALUES");
    ts.kind = SourceKind::Values;
    do {
        expectOp("(");
        std::vector<ExprP> row;
        do {
            row.push_back(scalar());
        } while (acceptOp(","));
        expectOp(")");
        ts.valueRows.push_back(std::move(row));
    } while (acceptOp(","));
    expectOp(")");
    alias(ts, true);
    columnAliasList(ts);
}

// The column names after a derived table's alias: AS d (a, b).
void Parser::columnAliasList(TableSource& ts) {
    if (!cur().isOp("(") || !isName(peek()))
        return;
    ++p;
    ts.columnAliases << nameList();
}

// Names separated by commas and the `)` after them (the `(` before them is read).
QStringList Parser::nameList() {
    QStringList names;
    do {
        if (!isName(cur()))
            failHere();
        names << nameOf(cur());
        ++p;
    } while (acceptOp(","));
    expectOp(")");
    return names;
}

} // namespace tsql::parsing
