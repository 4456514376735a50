#include "tsql/Binder.h"

#include "tsql/Functions.h"
#include "tsql/SqliteFunctions.h"

#include <QRegularExpression>
#include <QSqlQuery>

#include <sqlite3.h>

namespace tsql {

const TableInfo* Catalog::find(const QString& name) {
    QString key = name.toUpper();
    auto it = m_cache.find(key);
    if (it != m_cache.end())
        return it->has_value() ? &**it : nullptr;
    std::optional<TableInfo> info;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type IN ('table','view') AND name = ? COLLATE NOCASE"));
    q.addBindValue(name);
    if (q.exec() && q.next()) {
        TableInfo t;
        t.name = q.value(0).toString();
        QSqlQuery cols(m_db);
        QString quoted = t.name;
        quoted.replace(u'"', QStringLiteral("\"\""));
        if (cols.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(quoted))) {
            while (cols.next()) {
                t.columns << cols.value(1).toString();
                t.types.push_back(typeFromSqliteDecl(cols.value(2).toString()));
            }
        }
        info = t;
    }
    auto ins = m_cache.insert(key, info);
    return ins->has_value() ? &**ins : nullptr;
}

Catalog::Catalog(QSqlDatabase db)
    : m_db(std::move(db)) {}

Catalog::~Catalog() = default;

void Catalog::refresh() {
    if (!m_versionQuery || !m_versionQuery->prepared())
        m_versionQuery =
            std::make_unique<SqliteStatement>(sqliteHandle(m_db), QStringLiteral("PRAGMA schema_version"));
    const qint64 version =
        m_versionQuery->prepared() && m_versionQuery->step() == SQLITE_ROW ? m_versionQuery->column(0).i : -1;
    if (m_versionQuery->prepared())
        m_versionQuery->reset();
    if (version < 0 || version != m_schemaVersion)
        m_cache.clear();
    m_schemaVersion = version;
}

QString itemName(const SelectItem& item) {
    if (item.hasAlias)
        return item.alias;
    if (item.expr && item.expr->kind == EK::Column)
        return item.expr->parts.last();
    return QString();
}

namespace {

[[noreturn]] void fail(int number, int level, const QString& msg, int line, int column) {
    throw SqlError{ServerError{number, level, 1, line, column, msg}};
}

QString sourceName(const TableSource& s) {
    if (!s.alias.isEmpty())
        return s.alias;
    if (s.kind == SourceKind::Table)
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
    }

private:
    Catalog& cat;
    std::vector<SqlType>& varTypes;
    QHash<QString, int> vars;
    std::vector<Select*> scopes;
    int loops = 0;
    // Per statement
    std::optional<ServerError> firstUnknownTable;
    std::optional<ServerError> pendingColumnError;
    bool unknownInScope = false;

    template <class F> void asStatement(Stmt& s, F&& body) {
        firstUnknownTable.reset();
        pendingColumnError.reset();
        try {
            body();
        } catch (SqlError& e) {
            if (e.error.line == 0) {
                e.error.line = s.line;
                e.error.column = s.column;
            }
            throw;
        }
        if (firstUnknownTable)
            s.deferred = firstUnknownTable;
        else if (pendingColumnError)
            throw SqlError{*pendingColumnError};
        firstUnknownTable.reset();
        pendingColumnError.reset();
    }

    int variable(const QString& name, int line, int column) {
        auto it = vars.constFind(name.toUpper());
        if (it == vars.constEnd())
            fail(137, 15, QStringLiteral("Must declare the scalar variable \"%1\".").arg(name), line, column);
        return it.value();
    }

    void checkAssignable(const SqlType& from, const SqlType& to, int line, int column) {
        if (!implicitAllowed(from.id, to.id))
            fail(206, 16,
                 QStringLiteral("Operand type clash: %1 is incompatible with %2").arg(from.name(), to.name()),
                 line, column);
    }

    void statement(Stmt& s) {
        switch (s.kind) {
        case SK::Declare:
            asStatement(s, [&] {
                for (VarDecl& d : s.decls) {
                    if (d.init) {
                        expr(*d.init);
                        checkAssignable(d.init->type, d.type, d.line, d.column);
                    }
                    QString key = d.name.toUpper();
                    if (vars.contains(key))
                        fail(134, 15,
                             QStringLiteral(
                                 "The variable name '%1' has already been declared. Variable names must "
                                 "be unique within a query batch or stored procedure.")
                                 .arg(d.name),
                             d.line, d.column);
                    d.slot = int(varTypes.size());
                    varTypes.push_back(d.type);
                    vars.insert(key, d.slot);
                }
            });
            break;
        case SK::Set:
            asStatement(s, [&] {
                s.slot = variable(s.var, s.varLine, s.varColumn);
                expr(*s.expr);
                const SqlType& vt = varTypes[size_t(s.slot)];
                if (s.op != u"=")
                    arithmeticType(s.op.left(1), vt, s.expr->type);
                checkAssignable(s.expr->type, vt, s.line, s.column);
                if (s.expr->type.id == TypeId::XmlNode)
                    fail(493, 16,
                         QStringLiteral("The column '%1' that was returned from the nodes() method cannot be "
                                        "used directly. It can only be used with one of the four XML data "
                                        "type methods, exist(), nodes(), query(), and value(), or in IS "
                                        "NULL and IS NOT NULL checks.")
                             .arg(s.expr->parts.value(0)),
                         s.expr->line, s.expr->column);
            });
            break;
        case SK::Select:
            asStatement(s, [&] { select(*s.select, true); });
            break;
        case SK::If:
            // IF ... ELSE IF ...: the chain is followed in a loop, however long it is.
            for (Stmt* node = &s; node;) {
                asStatement(*node, [&] { condition(*node->expr); });
                statement(*node->thenStmt);
                Stmt* next = node->elseStmt.get();
                if (next && next->kind != SK::If) {
                    statement(*next);
                    next = nullptr;
                }
                node = next;
            }
            break;
        case SK::While:
            asStatement(s, [&] { condition(*s.expr); });
            ++loops;
            statement(*s.thenStmt);
            --loops;
            break;
        case SK::Block:
            for (auto& c : s.body)
                statement(*c);
            break;
        case SK::TryCatch:
            for (auto& c : s.body)
                statement(*c);
            statement(*s.elseStmt);
            break;
        case SK::Break:
        case SK::Continue:
            if (loops == 0)
                fail(s.kind == SK::Break ? 135 : 136, 15,
                     QStringLiteral("Cannot use a %1 statement outside the scope of a WHILE statement.")
                         .arg(s.kind == SK::Break ? QStringLiteral("BREAK") : QStringLiteral("CONTINUE")),
                     s.line, s.column);
            break;
        case SK::Return:
            if (s.expr)
                fail(178, 15,
                     QStringLiteral("A RETURN statement with a return status can only be used in a stored "
                                    "procedure."),
                     s.line, s.column);
            break;
        case SK::Print:
            asStatement(s, [&] { expr(*s.expr); });
            break;
        case SK::Exec:
            asStatement(s, [&] {
                for (auto& a : s.body)
                    if (a && a->expr)
                        expr(*a->expr);
            });
            break;
        case SK::Update:
        case SK::Delete:
        case SK::Insert:
            asStatement(s, [&] { dml(s); });
            break;
        default:
            break;
        }
    }

    bool resolveTable(TableSource& ts) {
        const TableInfo* info =
            ts.nameParts.size() <= 2 || ts.nameParts.size() == 3 ? cat.find(ts.nameParts.last()) : nullptr;
        if (!info) {
            ts.exists = false;
            if (!firstUnknownTable)
                firstUnknownTable = ServerError{
                    208,       16,
                    1,         ts.line,
                    ts.column, QStringLiteral("Invalid object name '%1'.").arg(ts.nameParts.join(u'.'))};
            return false;
        }
        ts.exists = true;
        ts.realName = info->name;
        ts.columns = info->columns;
        ts.columnTypes = info->types;
        return true;
    }

    void dml(Stmt& s) {
        bool known = resolveTable(*s.target);
        if (s.kind == SK::Insert) {
            QStringList cols = s.insertColumns;
            if (known) {
                for (const QString& c : cols)
                    if (!s.target->columns.contains(c, Qt::CaseInsensitive))
                        pendingOrFail(207, QStringLiteral("Invalid column name '%1'.").arg(c), s.line,
                                      s.column);
            }
            int expected = cols.isEmpty() ? int(s.target->columns.size()) : int(cols.size());
            for (auto& row : s.values) {
                for (auto& v : row)
                    if (v)
                        expr(*v);
                if (known && int(row.size()) != expected)
                    fail(row.size() > size_t(expected) ? 110 : 109, 15,
                         row.size() > size_t(expected)
                             ? QStringLiteral(
                                   "There are fewer columns in the INSERT statement than values specified "
                                   "in the VALUES clause. The number of values in the VALUES clause must "
                                   "match the number of columns specified in the INSERT statement.")
                             : QStringLiteral(
                                   "There are more columns in the INSERT statement than values specified "
                                   "in the VALUES clause. The number of values in the VALUES clause must "
                                   "match the number of columns specified in the INSERT statement."),
                         s.line, s.column);
            }
            if (s.select && !s.select->items.empty()) {
                select(*s.select, false);
                if (known && int(s.select->items.size()) != expected)
                    fail(120, 15,
                         QStringLiteral(
                             "The select list for the INSERT statement contains %1 items than the insert "
                             "list. The number of SELECT values must match the number of INSERT columns.")
                             .arg(int(s.select->items.size()) > expected ? QStringLiteral("more")
                                                                         : QStringLiteral("fewer")),
                         s.line, s.column);
            }
            return;
        }
        // UPDATE / DELETE: the target is in scope together with the FROM sources.
        Select& sel = *s.select;
        scopes.push_back(&sel);
        sel.flatSources.push_back(s.target.get());
        for (auto& f : sel.from)
            source(*f, sel);
        if (s.top)
            expr(*s.top);
        for (Assignment& a : s.sets) {
            expr(*a.value);
            if (!a.variable.isEmpty()) {
                a.slot = variable(a.variable, a.line, a.column_);
            } else if (known) {
                a.columnIndex = int(s.target->columns.indexOf(
                    QRegularExpression(QStringLiteral("^%1$").arg(QRegularExpression::escape(a.column)),
                                       QRegularExpression::CaseInsensitiveOption)));
                if (a.columnIndex < 0)
                    pendingOrFail(207, QStringLiteral("Invalid column name '%1'.").arg(a.column), a.line,
                                  a.column_);
                else
                    checkAssignable(a.value->type, s.target->columnTypes[size_t(a.columnIndex)], a.line,
                                    a.column_);
            }
        }
        if (sel.where)
            condition(*sel.where);
        scopes.pop_back();
        sel.usesTables = true;
    }

    void pendingOrFail(int number, const QString& msg, int line, int column) {
        if (!pendingColumnError)
            pendingColumnError = ServerError{number, 16, 1, line, column, msg};
    }

    void source(TableSource& ts, Select& sel) {
        switch (ts.kind) {
        case SourceKind::Table:
            if (!resolveTable(ts))
                unknownInScope = true;
            sel.usesTables = true;
            sel.flatSources.push_back(&ts);
            break;
        case SourceKind::XmlNodes: {
            expr(*ts.xmlTarget);
            if (ts.xmlTarget->type.id != TypeId::Xml && ts.xmlTarget->type.id != TypeId::Unknown)
                fail(258, 15, QStringLiteral("Cannot call methods on %1.").arg(ts.xmlTarget->type.name()),
                     ts.line, ts.column);
            ts.columns = ts.columnAliases;
            ts.columnTypes = {SqlType::of(TypeId::XmlNode)};
            sel.usesXml = true;
            sel.flatSources.push_back(&ts);
            break;
        }
        case SourceKind::Derived: {
            select(*ts.derived, false);
            for (size_t k = 0; k < ts.derived->items.size(); ++k) {
                const SelectItem& it = ts.derived->items[k];
                QString n = itemName(it);
                if (n.isEmpty())
                    fail(8155, 16,
                         QStringLiteral("No column name was specified for column %1 of '%2'.")
                             .arg(k + 1)
                             .arg(ts.alias),
                         ts.line, ts.column);
                ts.columns << n;
                ts.columnTypes.push_back(it.expr->type);
            }
            if (ts.derived->usesTables)
                sel.usesTables = true;
            else
                sel.usesXml = true;
            sel.flatSources.push_back(&ts);
            break;
        }
        case SourceKind::Join:
            source(*ts.left, sel);
            source(*ts.right, sel);
            if (ts.on)
                condition(*ts.on);
            break;
        }
    }

    void select(Select& sel, bool topLevel) {
        scopes.push_back(&sel);
        bool savedUnknown = unknownInScope;
        for (auto& f : sel.from)
            source(*f, sel);
        if (sel.top)
            expr(*sel.top);
        // Expand * into the columns of the sources.
        std::vector<SelectItem> items;
        for (SelectItem& it : sel.items) {
            if (!it.star) {
                items.push_back(std::move(it));
                continue;
            }
            bool any = false;
            if (sel.flatSources.empty())
                fail(263, 16, QStringLiteral("Must specify table to select from."), it.line, it.column);
            for (TableSource* src : sel.flatSources) {
                if (!it.starQualifier.isEmpty() &&
                    sourceName(*src).compare(it.starQualifier, Qt::CaseInsensitive) != 0)
                    continue;
                any = true;
                if (src->kind == SourceKind::Table && !src->exists)
                    continue;
                for (const QString& c : src->columns) {
                    SelectItem x;
                    x.line = it.line;
                    x.column = it.column;
                    x.expr = std::make_unique<Expr>();
                    x.expr->kind = EK::Column;
                    x.expr->line = it.line;
                    x.expr->column = it.column;
                    x.expr->parts << sourceName(*src) << c;
                    items.push_back(std::move(x));
                }
            }
            if (!any)
                fail(4104, 16,
                     QStringLiteral("The multi-part identifier \"%1\" could not be bound.")
                         .arg(it.starQualifier),
                     it.line, it.column);
        }
        sel.items = std::move(items);
        bool anyAssign = false, anyRetrieve = false;
        for (SelectItem& it : sel.items) {
            expr(*it.expr);
            if (it.expr->aggregate || containsAggregate(*it.expr))
                sel.hasAggregate = true;
            if (!it.assignVar.isEmpty()) {
                anyAssign = true;
                it.slot = variable(it.assignVar, it.line, it.column);
                checkAssignable(it.expr->type, varTypes[size_t(it.slot)], it.line, it.column);
            } else {
                anyRetrieve = true;
            }
        }
        if (anyAssign && anyRetrieve)
            fail(141, 15,
                 QStringLiteral(
                     "A SELECT statement that assigns a value to a variable must not be combined with "
                     "data-retrieval operations."),
                 sel.line, sel.column);
        if (anyAssign && !topLevel)
            fail(141, 15,
                 QStringLiteral(
                     "A SELECT statement that assigns a value to a variable must not be combined with "
                     "data-retrieval operations."),
                 sel.line, sel.column);
        sel.assigns = anyAssign;
        if (sel.where)
            condition(*sel.where);
        for (auto& g : sel.groupBy)
            expr(*g);
        if (sel.having) {
            condition(*sel.having);
            sel.hasAggregate = true;
        }
        if (!sel.groupBy.empty())
            sel.hasAggregate = true;
        if (sel.where && containsAggregate(*sel.where))
            fail(147, 15,
                 QStringLiteral(
                     "An aggregate may not appear in the WHERE clause unless it is in a subquery contained "
                     "in a HAVING clause or a select list, and the column being aggregated is an outer "
                     "reference."),
                 sel.where->line, sel.where->column);
        if (sel.hasAggregate)
            checkGrouped(sel);
        for (OrderItem& o : sel.orderBy) {
            if (o.expr->kind == EK::Column && o.expr->parts.size() == 1) {
                bool aliasRef = false;
                for (size_t k = 0; k < sel.items.size(); ++k) {
                    if (sel.items[k].hasAlias &&
                        sel.items[k].alias.compare(o.expr->parts[0], Qt::CaseInsensitive) == 0) {
                        o.expr->columnIndex = int(k);
                        o.expr->src = nullptr;
                        o.expr->type = sel.items[k].expr->type;
                        o.expr->rowDependent = sel.items[k].expr->rowDependent;
                        o.expr->depth = -1; // select-list alias
                        aliasRef = true;
                        break;
                    }
                }
                if (aliasRef)
                    continue;
            }
            expr(*o.expr);
        }
        if (sel.unionNext) {
            scopes.pop_back();
            select(*sel.unionNext, topLevel);
            scopes.push_back(&sel);
            if (sel.unionNext->items.size() != sel.items.size())
                fail(205, 16,
                     QStringLiteral(
                         "All queries combined using a UNION, INTERSECT or EXCEPT operator must have an "
                         "equal number of expressions in their target lists."),
                     sel.line, sel.column);
            sel.usesTables = sel.usesTables || sel.unionNext->usesTables;
            sel.usesXml = sel.usesXml || sel.unionNext->usesXml;
        }
        unknownInScope = savedUnknown;
        scopes.pop_back();
    }

    // Every column of the select list outside an aggregate must be one of the GROUP BY columns
    // (Msg 8120). Only checked when the GROUP BY list holds plain columns.
    void checkGrouped(Select& sel) {
        for (const auto& g : sel.groupBy)
            if (g->kind != EK::Column || !g->src)
                return;
        for (const SelectItem& it : sel.items)
            checkGroupedExpr(*it.expr, sel);
    }

    void checkGroupedExpr(const Expr& e, const Select& sel) {
        if (e.aggregate)
            return;
        if (e.kind == EK::Column && e.src && e.depth == 0) {
            for (const auto& g : sel.groupBy)
                if (g->src == e.src && g->columnIndex == e.columnIndex)
                    return;
            QString table = e.src->alias.isEmpty() && e.src->kind == SourceKind::Table
                                ? e.src->nameParts.last()
                                : e.src->alias;
            fail(8120, 16,
                 QStringLiteral("Column '%1.%2' is invalid in the select list because it is not contained in "
                                "either an aggregate function or the GROUP BY clause.")
                     .arg(table, e.src->columns.value(e.columnIndex)),
                 e.line, e.column);
        }
        for (const auto& a : e.args)
            if (a)
                checkGroupedExpr(*a, sel);
    }

    static bool containsAggregate(const Expr& e) {
        if (e.aggregate)
            return true;
        for (const auto& a : e.args)
            if (a && containsAggregate(*a))
                return true;
        return false;
    }

    void condition(Expr& e) { expr(e); }

    void column(Expr& e) {
        QString col = e.parts.last();
        QString qualifier = e.parts.size() >= 2 ? e.parts[e.parts.size() - 2] : QString();
        bool maybeUnknown = false;
        bool qualifierMatched = false;
        for (int d = int(scopes.size()) - 1; d >= 0; --d) {
            Select* sc = scopes[size_t(d)];
            TableSource* found = nullptr;
            int foundIndex = -1;
            for (TableSource* src : sc->flatSources) {
                if (!qualifier.isEmpty()) {
                    QString sn = sourceName(*src);
                    bool match = sn.compare(qualifier, Qt::CaseInsensitive) == 0;
                    if (!match)
                        continue;
                    qualifierMatched = true;
                }
                if (src->kind == SourceKind::Table && !src->exists) {
                    maybeUnknown = true;
                    continue;
                }
                for (int k = 0; k < int(src->columns.size()); ++k) {
                    if (src->columns[k].compare(col, Qt::CaseInsensitive) == 0) {
                        if (found && found != src)
                            fail(209, 16, QStringLiteral("Ambiguous column name '%1'.").arg(col), e.line,
                                 e.column);
                        found = src;
                        foundIndex = k;
                    }
                }
            }
            if (found) {
                e.src = found;
                e.columnIndex = foundIndex;
                e.depth = int(scopes.size()) - 1 - d;
                e.type = found->columnTypes[size_t(foundIndex)];
                e.rowDependent = found->kind == SourceKind::Table ||
                                 (found->kind == SourceKind::Derived && found->derived->usesTables);
                return;
            }
            if (maybeUnknown) {
                e.type = SqlType::of(TypeId::Unknown);
                e.rowDependent = true;
                return;
            }
            if (qualifierMatched)
                break;
        }
        if (!qualifier.isEmpty() && !qualifierMatched) {
            pendingOrFail(4104,
                          QStringLiteral("The multi-part identifier \"%1\" could not be bound.")
                              .arg(e.parts.join(u'.')),
                          e.line, e.column);
        } else {
            pendingOrFail(207, QStringLiteral("Invalid column name '%1'.").arg(col), e.line, e.column);
        }
        e.type = SqlType::of(TypeId::Unknown);
        e.rowDependent = true;
    }

    static bool valueSingleton(const QString& path) {
        QString p = path.trimmed();
        if (p.endsWith(u']'))
            return true;
        static const QRegularExpression attr(QStringLiteral("^(\\./)?@[\\w:.-]+$"));
        return attr.match(p).hasMatch();
    }

    void subquerySelect(Select& sub, bool single, int line, int column) {
        select(sub, false);
        if (single && sub.items.size() != 1)
            fail(116, 16,
                 QStringLiteral(
                     "Only one expression can be specified in the select list when the subquery is not "
                     "introduced with EXISTS."),
                 line, column);
    }

    // The operands first, then the node itself. Only this part recurses once per level of the
    // tree: the work on the node is kept out of its frame.
    void expr(Expr& e) {
        for (auto& a : e.args)
            if (a && !(e.kind == EK::Function && a->datepartArg))
                expr(*a);
        for (auto& a : e.args)
            if (a && a->rowDependent)
                e.rowDependent = true;
        resolve(e);
    }

    void resolve(Expr& e) {
        switch (e.kind) {
        case EK::Literal:
            e.type = e.value.type;
            break;
        case EK::Variable:
            e.slot = variable(e.name, e.line, e.column);
            e.type = varTypes[size_t(e.slot)];
            break;
        case EK::SysVar: {
            static const QHash<QString, SqlType> sys = {
                {QStringLiteral("@@TRANCOUNT"), SqlType::of(TypeId::Int)},
                {QStringLiteral("@@ROWCOUNT"), SqlType::of(TypeId::Int)},
                {QStringLiteral("@@ERROR"), SqlType::of(TypeId::Int)},
                {QStringLiteral("@@FETCH_STATUS"), SqlType::of(TypeId::Int)},
                {QStringLiteral("@@SPID"), SqlType::of(TypeId::SmallInt)},
                {QStringLiteral("@@DATEFIRST"), SqlType::of(TypeId::TinyInt)},
                {QStringLiteral("@@IDENTITY"), SqlType::decimal(38, 0)},
                {QStringLiteral("@@VERSION"), SqlType{TypeId::NVarChar, 0, 0, 300, false}},
                {QStringLiteral("@@SERVERNAME"), SqlType{TypeId::NVarChar, 0, 0, 128, false}},
                {QStringLiteral("@@LANGUAGE"), SqlType{TypeId::NVarChar, 0, 0, 128, false}},
            };
            auto it = sys.constFind(e.name);
            if (it == sys.constEnd())
                fail(137, 15, QStringLiteral("Must declare the scalar variable \"%1\".").arg(e.name), e.line,
                     e.column);
            e.type = it.value();
            break;
        }
        case EK::Column:
            column(e);
            break;
        case EK::Star:
            e.type = SqlType::of(TypeId::Int);
            e.rowDependent = true;
            break;
        case EK::Unary:
            if (e.op == u"~") {
                const SqlType& t = e.args[0]->type;
                if (!(t.isInteger() || t.id == TypeId::Unknown))
                    fail(402, 16,
                         QStringLiteral("The data types %1 and %1 are incompatible in the '~' operator.")
                             .arg(t.name()),
                         e.line, e.column);
                e.type = t.id == TypeId::Unknown ? SqlType::of(TypeId::Int) : t;
            } else {
                const SqlType& t = e.args[0]->type;
                if (e.op == u"-" && (t.isString() || t.id == TypeId::Xml || t.id == TypeId::XmlNode))
                    fail(8117, 16,
                         QStringLiteral("Operand data type %1 is invalid for minus operator.").arg(t.name()),
                         e.line, e.column);
                e.type = (t.id == TypeId::Bit || t.id == TypeId::TinyInt || t.id == TypeId::SmallInt ||
                          t.id == TypeId::Unknown) &&
                                 e.op == u"-"
                             ? SqlType::of(TypeId::Int)
                             : t;
            }
            break;
        case EK::Binary:
            try {
                e.type = arithmeticType(e.op, e.args[0]->type, e.args[1]->type);
            } catch (SqlError& err) {
                err.error.line = e.line;
                err.error.column = e.column;
                throw;
            }
            break;
        case EK::Compare:
        case EK::Between:
        case EK::In: {
            for (size_t k = 1; k < e.args.size(); ++k)
                comparable(*e.args[0], *e.args[k], e);
            if (e.sub) {
                subquerySelect(*e.sub, true, e.line, e.column);
                if (e.sub->usesTables)
                    e.rowDependent = true;
                if (!e.sub->items.empty())
                    comparable(*e.args[0], *e.sub->items[0].expr, e);
            }
            e.type = SqlType::of(TypeId::Bit);
            break;
        }
        case EK::Like:
            for (auto& a : e.args)
                if (a->type.id == TypeId::Xml || a->type.id == TypeId::XmlNode)
                    fail(8116, 16,
                         QStringLiteral("Argument data type %1 is invalid for argument 1 of like function.")
                             .arg(a->type.name()),
                         e.line, e.column);
            e.type = SqlType::of(TypeId::Bit);
            break;
        case EK::And:
        case EK::Or:
        case EK::Not:
        case EK::IsNull:
            e.type = SqlType::of(TypeId::Bit);
            break;
        case EK::Exists:
            select(*e.sub, false);
            if (e.sub->usesTables)
                e.rowDependent = true;
            e.type = SqlType::of(TypeId::Bit);
            break;
        case EK::Case: {
            SqlType t;
            size_t k = e.hasInput ? 1 : 0;
            size_t end = e.args.size() - (e.hasElse ? 1 : 0);
            for (; k + 1 < end + 1 && k < end; k += 2) {
                if (e.hasInput)
                    comparable(*e.args[0], *e.args[k], e);
                t = dominantType(t, e.args[k + 1]->type);
            }
            if (e.hasElse)
                t = dominantType(t, e.args.back()->type);
            e.type = t;
            break;
        }
        case EK::Cast:
            if (!implicitAllowed(e.args[0]->type.id, e.castType.id)) {
                const SqlType& f = e.args[0]->type;
                bool bad = f.id == TypeId::XmlNode || (f.id == TypeId::Xml && e.castType.isNumeric()) ||
                           (e.castType.id == TypeId::Xml && f.isNumeric()) ||
                           (e.castType.id == TypeId::Date && f.isNumeric()) ||
                           (f.id == TypeId::Date && e.castType.isNumeric());
                if (bad)
                    fail(529, 16,
                         QStringLiteral("Explicit conversion from data type %1 to %2 is not allowed.")
                             .arg(f.name(), e.castType.name()),
                         e.line, e.column);
            }
            e.type = e.castType;
            break;
        case EK::Function: {
            const FunctionInfo* f = findFunction(e.name);
            if (!f)
                fail(195, 15, QStringLiteral("'%1' is not a recognized built-in function name.").arg(e.name),
                     e.line, e.column);
            std::vector<SqlType> types;
            for (auto& a : e.args)
                types.push_back(a->type);
            if (!e.args.empty() && e.args[0]->datepartArg)
                datepartName(e.args[0]->value.s, e.name);
            else if ((e.name == u"DATEADD" || e.name == u"DATEDIFF" || e.name == u"DATEPART" ||
                      e.name == u"DATENAME") &&
                     !e.args.empty())
                fail(1023, 15, QStringLiteral("Invalid parameter 1 specified for %1.").arg(e.name.toLower()),
                     e.line, e.column);
            e.type = functionType(e.name, types, e.line, e.column);
            e.aggregate = f->aggregate;
            if (f->aggregate)
                e.rowDependent = true;
            if (e.name == u"IIF" && !isCondition(e.args[0]->kind))
                fail(4145, 15,
                     QStringLiteral(
                         "An expression of non-boolean type specified in a context where a condition is "
                         "expected, near ','."),
                     e.line, e.column);
            break;
        }
        case EK::Subquery:
            subquerySelect(*e.sub, true, e.line, e.column);
            e.type = e.sub->items.empty() ? SqlType() : e.sub->items[0].expr->type;
            if (e.sub->usesTables)
                e.rowDependent = true;
            break;
        case EK::XmlMethod: {
            const SqlType& t = e.args[0]->type;
            if (t.id != TypeId::Xml && t.id != TypeId::XmlNode && t.id != TypeId::Unknown)
                fail(258, 15, QStringLiteral("Cannot call methods on %1.").arg(t.name()), e.line, e.column);
            if (e.name == u"value") {
                auto ty = parseTypeName(e.args[2]->value.s);
                if (!ty)
                    fail(9500, 16,
                         QStringLiteral("The data type '%1' used in the VALUE method is invalid.")
                             .arg(e.args[2]->value.s),
                         e.line, e.column);
                if (!valueSingleton(e.args[1]->value.s))
                    fail(2389, 16,
                         QStringLiteral(
                             "XQuery [value()]: 'value()' requires a singleton (or empty sequence), found "
                             "operand of type 'xdt:untypedAtomic *'"),
                         e.line, e.column);
                e.type = *ty;
            } else if (e.name == u"exist") {
                e.type = SqlType::of(TypeId::Bit);
            } else {
                e.type = SqlType::of(TypeId::Xml);
            }
            break;
        }
        }
    }

    void comparable(const Expr& a, const Expr& b, const Expr& at) {
        const SqlType& x = a.type;
        const SqlType& y = b.type;
        if (x.id == TypeId::Xml || y.id == TypeId::Xml || x.id == TypeId::XmlNode || y.id == TypeId::XmlNode)
            fail(305, 16,
                 QStringLiteral(
                     "The XML data type cannot be compared or sorted, except when using the IS NULL "
                     "operator."),
                 at.line, at.column);
        if (!implicitAllowed(x.id, y.id))
            fail(206, 16,
                 QStringLiteral("Operand type clash: %1 is incompatible with %2").arg(x.name(), y.name()),
                 at.line, at.column);
    }
};

} // namespace

void bindBatch(Batch& batch, Catalog& catalog, std::vector<SqlType>& variableTypes) {
    Binder b(catalog, variableTypes);
    b.batch(batch);
}

} // namespace tsql
