#pragma once

// The SQLite text of the expressions and table sources of one query (SqlText.cpp builds queries
// and statements from it). Not part of the engine's interface.

#include "tsql/base/Messages.h"
#include "tsql/bind/Binder.h"
#include "tsql/functions/Functions.h"
#include "tsql/sql/ColumnRules.h"
#include "tsql/sql/SqlText.h"
#include "tsql/values/TimeOfDay.h"

#include <cmath>
#include <limits>
#include <utility>

namespace tsql::sqltext {

// The SQLite text of expressions and table sources of one query. Parts that read no row of the
// query are computed by the executor and sent as parameters, appended to `params` in the order
// of the text.
struct Gen {
    ValueSource& ex;
    const RowCtx* ctx;
    QVariantList params;
    // The query of one grouping set: the grouping columns outside `active` read as NULL outside
    // aggregates, and GROUPING says which.
    const Select* grouping = nullptr;
    quint64 active = 0;
    int aggregateDepth = 0;

    QString param(const Value& v) {
        params << toParam(v);
        return QStringLiteral("?");
    }

    // Whole numbers and texts are sent as parameters too, so that queries that differ only in
    // their constants (the look-ups of one reference after another) have one text, prepared
    // once. A query with very many of them writes the rest in, within SQLite's limit on
    // parameters.
    static constexpr qsizetype kLiteralParameters = 1000;

    QString literal(const Value& v) {
        if (v.null)
            return QStringLiteral("NULL");
        const bool asParameter = params.size() < kLiteralParameters;
        switch (v.type.id) {
        case TypeId::Int:
        case TypeId::BigInt:
            return asParameter ? param(v) : QString::number(v.i);
        case TypeId::Decimal:
            return v.n.scale == 0 ? v.n.toString() : param(v);
        case TypeId::Float:
            return param(v);
        default:
            return !v.type.isString() || asParameter ? param(v) : quoteString(v.s);
        }
    }

    // A condition that reads no row is decided here, with three-valued logic: unknown is written
    // as (NULL=1), which SQLite also takes as unknown, so NOT of it stays unknown.
    QString cond(Expr& e) {
        if (!e.rowDependent) {
            ex.sqlReadsValues = true;
            Tri t = ex.condition(e, ctx);
            return t == Tri::True    ? QStringLiteral("(1=1)")
                   : t == Tri::False ? QStringLiteral("(1=0)")
                                     : QStringLiteral("(NULL=1)");
        }
        return expr(e);
    }

    static bool stringish(const Expr& a) { return a.type.isString(); }

    // A text operand where the other side is a number is converted to that number's type, row
    // by row ("Data type precedence (Transact-SQL)"): SQLite would compare it as a text or read
    // 'x' as 0, the server fails on the first value that reads as no number (Msg 245, 8114).
    QString operand(Expr& x, const SqlType& target) {
        QString s = expr(x);
        // a time is kept as the text hh:mm:ss.fffffff: a text compared with it is read as a time
        // first, and no other type compares with that text
        if (x.type.isTime() && !target.isTime())
            raiseAt<Msg::TimeValueNotSupported>(
                x.line, x.column,
                QStringLiteral("A time compared with a %1 in a query over tables").arg(target.name()));
        if (target.isTime() && !x.type.isTime() && x.type.id != TypeId::Unknown)
            return converted(s, target);
        if (!stringish(x) || !target.isNumeric())
            return s;
        return converted(s, target);
    }

    // The name of a type as tsql_to and tsql_text read it.
    static QString typeName(const SqlType& t) {
        if (t.isTime())
            return QStringLiteral("time(%1)").arg(t.scale);
        return t.id == TypeId::Decimal ? QStringLiteral("decimal(%1,%2)").arg(t.precision).arg(t.scale)
                                       : t.name();
    }

    // The SQL text `s` converted by the engine to the number type `t` (tsql_to).
    static QString converted(const QString& s, const SqlType& t) {
        return QStringLiteral("tsql_to(%1, '%2')").arg(s, typeName(t));
    }

    // The type both sides of a comparison are converted to.
    static SqlType comparedType(const Expr& a, const Expr& b) { return dominantType(a.type, b.type); }

    // The type a text operand of an arithmetic operator is read as: the result's, a decimal
    // operand as a decimal wide enough for any text.
    static SqlType arithmeticOperandType(const Expr& e) {
        return e.type.id == TypeId::Decimal ? SqlType::decimal(38, 10) : e.type;
    }

    // Texts compare under the engine's collation (case-insensitive, trailing blanks ignored),
    // not SQLite's binary one: every comparison, IN, BETWEEN, GROUP BY, ORDER BY, MIN and MAX of
    // texts names it.
    QString collate(const Expr& a, const Expr& b) {
        return (stringish(a) || stringish(b)) ? QStringLiteral(" COLLATE TSQL_CI") : QString();
    }

    // expr recurses once per level of the expression tree: it only dispatches, and each kind
    // of node is written by a function of its own, with its own locals.
    QString expr(Expr& e) {
        if (e.kind == EK::Literal)
            return literal(e.value);
        if (!e.rowDependent) {
            if (isCondition(e.kind))
                return cond(e);
            ex.sqlReadsValues = true;
            return param(ex.eval(e, ctx));
        }
        switch (e.kind) {
        case EK::Column:
            return column(e);
        case EK::Star:
            return QStringLiteral("*");
        case EK::Unary:
            return unary(e);
        case EK::Binary:
            return chainClass(e) ? u'(' + chain(e) + u')' : binary(e);
        case EK::Compare:
            return compare(e);
        case EK::And:
        case EK::Or:
            return u'(' + logical(e) + u')';
        case EK::Not:
            return QStringLiteral("(NOT %1)").arg(cond(*e.args[0]));
        case EK::IsNull:
            return QStringLiteral("(%1 IS %2NULL)")
                .arg(expr(*e.args[0]), e.negated ? QStringLiteral("NOT ") : QString());
        case EK::In:
            return in(e);
        case EK::Between:
            return between(e);
        case EK::Like:
            return like(e);
        case EK::Exists:
            return QStringLiteral("EXISTS (%1)").arg(selectSql(ex, *e.sub, ctx, params, 1));
        case EK::Case:
            return caseSql(e);
        case EK::Cast:
            return cast(e);
        case EK::Function:
            return function(e);
        case EK::Window:
            return window(e);
        case EK::Subquery:
            return QStringLiteral("(%1)").arg(selectSql(ex, *e.sub, ctx, params, -1, true));
        default:
            raiseAt<Msg::ExpressionNotOverTables>(e.line, e.column);
        }
    }

    QString column(const Expr& e) {
        if (grouping && aggregateDepth == 0 && e.depth == 0 && e.src)
            for (size_t k = 0; k < grouping->groupBy.size(); ++k) {
                const Expr& g = *grouping->groupBy[k];
                if (g.src == e.src && g.columnIndex == e.columnIndex && !(active & (quint64(1) << k)))
                    return QStringLiteral("NULL");
            }
        if (e.depth == -1)
            return quoteIdent(QStringLiteral("c%1").arg(e.columnIndex));
        if (!e.src)
            return QStringLiteral("NULL");
        if (e.src->applyCorrelated) // the query of APPLY, once for each row of the left side
            return QStringLiteral("(SELECT \"c%1\" FROM (%2))")
                .arg(e.columnIndex)
                .arg(selectSql(ex, *e.src->derived, ctx, params, -1));
        QString col = e.src->columns.value(e.columnIndex);
        if (e.src->kind != SourceKind::Table)
            col = QStringLiteral("c%1").arg(e.columnIndex);
        return quoteIdent(sqlAlias(*e.src)) + u'.' + quoteIdent(col);
    }

    QString unary(Expr& e) {
        if (e.op == u"+")
            return expr(*e.args[0]);
        return QStringLiteral("(%1%2)").arg(e.op, expr(*e.args[0]));
    }

    // Operators that SQLite, as T-SQL, reads left to right at one level of precedence: a chain
    // of them (a + b + c ...) is written without parentheses inside, as SQLite's parser
    // nests once for every parenthesis and refuses deep nesting. 0 for any other node.
    static int chainClass(const Expr& e) {
        if (e.kind != EK::Binary || !e.rowDependent)
            return 0;
        if (e.op == u"+")
            return e.type.isString() ? 1 : 2;
        if (e.op == u"-")
            return 2;
        if (e.op == u"*" || e.op == u"%")
            return 3;
        if (e.op == u"&")
            return 4;
        if (e.op == u"|")
            return 5;
        return 0;
    }

    QString chain(Expr& e) {
        Expr& left = *e.args[0];
        const SqlType t = arithmeticOperandType(e);
        QString a = chainClass(left) == chainClass(e) ? chain(left) : operand(left, t);
        const QString op = e.op == u"+" && e.type.isString() ? QStringLiteral("||") : e.op;
        return a + u' ' + op + u' ' + operand(*e.args[1], t);
    }

    QString binary(Expr& e) {
        const SqlType t = arithmeticOperandType(e);
        QString a = operand(*e.args[0], t), b = operand(*e.args[1], t);
        if (e.op == u"^")
            return QStringLiteral("((%1 | %2) - (%1 & %2))").arg(a, b);
        if (e.op == u"/")
            return QStringLiteral("tsql_div(%1, %2)").arg(a, b);
        return QStringLiteral("(%1 %2 %3)").arg(a, e.op, b);
    }

    static QString sqlOperator(const QString& op) {
        if (op == u"!=")
            return QStringLiteral("<>");
        if (op == u"!<")
            return QStringLiteral(">=");
        if (op == u"!>")
            return QStringLiteral("<=");
        return op;
    }

    // x op ALL (query) and x op ANY (query) under three-valued logic: ALL is false when one
    // comparison is false, unknown when none is false and one is unknown, true otherwise (an
    // empty query included); ANY is true when one is true, unknown when none is true and one is
    // unknown, false otherwise.
    QString quantified(Expr& e) {
        const QString op = sqlOperator(e.op);
        const QString c = collate(*e.args[0], *e.sub->items[0].expr);
        auto probe = [&](const QString& test) {
            const QString sub = e.sub->usesTables
                                    ? selectSql(ex, *e.sub, ctx, params, -1)
                                    : rowsText(ex.localRows(*e.sub, ctx), qsizetype(e.sub->items.size()));
            const QString lhs = expr(*e.args[0]);
            return QStringLiteral("EXISTS (SELECT 1 FROM (%1) AS tsql_q WHERE %2)")
                .arg(sub, test.arg(QStringLiteral("(%1 %2 tsql_q.\"c0\"%3)").arg(lhs, op, c)));
        };
        const bool all = e.quantifier == u"ALL";
        const QString decided = probe(all ? QStringLiteral("NOT %1") : QStringLiteral("%1"));
        const QString unknown = probe(QStringLiteral("%1 IS NULL"));
        return QStringLiteral("(CASE WHEN %1 THEN %2 WHEN %3 THEN NULL ELSE %4 END)")
            .arg(decided, all ? QStringLiteral("0") : QStringLiteral("1"), unknown,
                 all ? QStringLiteral("1") : QStringLiteral("0"));
    }

    QString compare(Expr& e) {
        if (!e.quantifier.isEmpty())
            return quantified(e);
        const QString op = sqlOperator(e.op);
        // Operands are written in the order of the text: each may add a parameter, and the
        // order of a function's arguments is unspecified.
        const SqlType t = comparedType(*e.args[0], *e.args[1]);
        const QString a = operand(*e.args[0], t);
        const QString b = operand(*e.args[1], t);
        return QStringLiteral("(%1 %2 %3%4)").arg(a, op, b, collate(*e.args[0], *e.args[1]));
    }

    // A chain of AND (or of OR), written as one run without parentheses inside.
    QString logical(Expr& e) {
        Expr& left = *e.args[0];
        QString a = left.kind == e.kind && left.rowDependent ? logical(left) : cond(left);
        return a + (e.kind == EK::And ? QStringLiteral(" AND ") : QStringLiteral(" OR ")) + cond(*e.args[1]);
    }

    QString in(Expr& e) {
        QString lhs;
        QString list;
        if (e.sub && !e.sub->usesTables) {
            lhs = expr(*e.args[0]);
            ex.sqlReadsValues = true;
            QStringList items;
            for (const auto& row : ex.localRows(*e.sub, ctx))
                items << param(row[0]);
            list = items.join(QStringLiteral(", "));
            if (stringish(*e.args[0]))
                lhs += QStringLiteral(" COLLATE TSQL_CI");
        } else if (e.sub) {
            lhs = expr(*e.args[0]);
            list = selectSql(ex, *e.sub, ctx, params, -1);
            if (stringish(*e.args[0]))
                lhs += QStringLiteral(" COLLATE TSQL_CI");
        } else {
            SqlType t = e.args[0]->type;
            for (size_t k = 1; k < e.args.size(); ++k)
                t = dominantType(t, e.args[k]->type);
            lhs = operand(*e.args[0], t);
            bool str = stringish(*e.args[0]);
            QStringList items;
            for (size_t k = 1; k < e.args.size(); ++k) {
                items << operand(*e.args[k], t);
                str = str || stringish(*e.args[k]);
            }
            if (str)
                lhs += QStringLiteral(" COLLATE TSQL_CI");
            list = items.join(QStringLiteral(", "));
        }
        return QStringLiteral("(%1 %2IN (%3))")
            .arg(lhs, e.negated ? QStringLiteral("NOT ") : QString(), list);
    }

    QString between(Expr& e) {
        QString c = collate(*e.args[0], *e.args[1]);
        const SqlType t = dominantType(comparedType(*e.args[0], *e.args[1]), e.args[2]->type);
        const QString value = operand(*e.args[0], t);
        const QString low = operand(*e.args[1], t);
        const QString high = operand(*e.args[2], t);
        return QStringLiteral("(%1%2 %3BETWEEN %4 AND %5)")
            .arg(value, c, e.negated ? QStringLiteral("NOT ") : QString(), low, high);
    }

    QString like(Expr& e) {
        const QString value = expr(*e.args[0]);
        const QString pattern = expr(*e.args[1]);
        const QString escape = e.args.size() > 2 ? QStringLiteral(", ") + expr(*e.args[2]) : QString();
        QString s = QStringLiteral("tsql_like(%1, %2%3)").arg(value, pattern, escape);
        return e.negated ? QStringLiteral("(NOT %1)").arg(s) : s;
    }

    QString caseSql(Expr& e) {
        QString s = QStringLiteral("CASE");
        // A simple CASE compares its input with each WHEN value in turn: the input is written
        // once for each (with its parameters, in the order of the text).
        size_t k = e.hasInput ? 1 : 0;
        size_t end = e.args.size() - (e.hasElse ? 1 : 0);
        for (; k < end; k += 2) {
            if (e.hasInput) {
                const SqlType t = comparedType(*e.args[0], *e.args[k]);
                const QString input = operand(*e.args[0], t);
                s += QStringLiteral(" WHEN %1 = %2%3")
                         .arg(input, operand(*e.args[k], t), collate(*e.args[0], *e.args[k]));
            } else {
                s += QStringLiteral(" WHEN %1").arg(cond(*e.args[k]));
            }
            s += QStringLiteral(" THEN ") + expr(*e.args[k + 1]);
        }
        if (e.hasElse)
            s += QStringLiteral(" ELSE ") + expr(*e.args.back());
        return s + QStringLiteral(" END");
    }

    // CAST and CONVERT of a text or a number to a number convert as the engine does (rounding,
    // overflow and texts that are no number fail on their row); TRY_CAST and the other
    // conversions are SQLite's.
    QString cast(Expr& e) {
        if (e.name == u"PARSE" || e.name == u"TRY_PARSE")
            raiseAt<Msg::ExpressionNotOverTables>(e.line, e.column);
        QString a = expr(*e.args[0]);
        const SqlType& t = e.castType;
        const SqlType& from = e.args[0]->type;
        if (t.isTime() || from.isTime())
            return timeCast(e, a);
        if (t.isNumeric() && !e.tryCast && !e.args[0]->type.isDate())
            return converted(a, t);
        if (t.isInteger())
            return QStringLiteral("CAST(%1 AS INTEGER)").arg(a);
        if (t.id == TypeId::Decimal || t.id == TypeId::Money)
            return QStringLiteral("ROUND(CAST(%1 AS REAL), %2)")
                .arg(a)
                .arg(t.id == TypeId::Money ? 4 : t.scale);
        if (t.id == TypeId::Float || t.id == TypeId::Real)
            return QStringLiteral("CAST(%1 AS REAL)").arg(a);
        if (t.isString() && t.length > 0)
            return QStringLiteral("substr(CAST(%1 AS TEXT), 1, %2)").arg(a).arg(t.length);
        return QStringLiteral("CAST(%1 AS TEXT)").arg(a);
    }

    // CAST and CONVERT to or from time over tables: a text or a time read as a time by the engine
    // (rounded to the target's precision), a time written as its text at its own precision; the
    // date types, kept as texts of milliseconds, and CONVERT styles are refused by name.
    QString timeCast(const Expr& e, const QString& a) {
        const SqlType& t = e.castType;
        const SqlType& from = e.args[0]->type;
        const bool styled = e.args.size() > 1;
        if (!e.tryCast && !styled && t.isTime() &&
            (from.isString() || from.isTime() || from.id == TypeId::Unknown))
            return converted(a, t);
        if (!e.tryCast && !styled && from.isTime() && t.isString()) {
            const QString text = QStringLiteral("tsql_text(%1, '%2')").arg(a, typeName(from));
            return t.length > 0 ? QStringLiteral("substr(%1, 1, %2)").arg(text).arg(t.length) : text;
        }
        raiseAt<Msg::TimeValueNotSupported>(
            e.line, e.column, QStringLiteral("This conversion of a time in a query over tables"));
    }

    // STRING_AGG over tables: tsql_string_agg(value, separator, limit, key, desc, ...), the
    // engine's aggregate, which sorts by the keys. A value other than a text reaches it as the
    // text CAST gives it (tsql_text), not as SQLite keeps it.
    QString ordered(const Expr& e, const QStringList& a) {
        const SqlType& t = e.args[0]->type;
        QString value = a[0];
        if (!t.isString() && t.id != TypeId::Unknown)
            value = QStringLiteral("tsql_text(%1, '%2')").arg(value, typeName(t));
        QStringList parts{value, a[1], QString::number(e.type.length)};
        for (qsizetype k = 2; k < a.size(); ++k)
            parts << a[k] << (e.orderDesc[size_t(k - 2)] ? QStringLiteral("1") : QStringLiteral("0"));
        return QStringLiteral("%1(%2)").arg(sqliteFunctionName(*e.function),
                                            parts.join(QStringLiteral(", ")));
    }

    // A call as its row's SqlForm says.
    // GROUPING and GROUPING_ID in the query of one grouping set: a constant.
    QString groupingValue(const Expr& e) const {
        qint64 v = 0;
        for (int index : e.grouping)
            v = v * 2 + ((active & (quint64(1) << index)) ? 0 : 1);
        return QString::number(grouping ? v : 0);
    }

    QString function(Expr& e) {
        if (!e.function)
            return groupingValue(e);
        const FunctionDef& f = *e.function;
        QStringList a;
        struct InAggregate {
            int& depth;
            bool on;
            ~InAggregate() { depth -= on ? 1 : 0; }
        } inAggregate{aggregateDepth, f.aggregate()};
        aggregateDepth += f.aggregate() ? 1 : 0;
        for (auto& x : e.args) {
            if (x->kind == EK::Star)
                a << QStringLiteral("*");
            else if (x->datepartArg)
                a << quoteString(x->value.s);
            else if (f.first == FirstArgument::Condition && x.get() == e.args[0].get())
                a << cond(*x);
            else
                a << expr(*x);
        }
        const QString name = QString::fromLatin1(f.name);
        const QString distinct = e.distinct ? QStringLiteral("DISTINCT ") : QString();
        switch (f.sql) {
        case SqlForm::Engine:
            return QStringLiteral("%1(%2)").arg(sqliteFunctionName(f), a.join(QStringLiteral(", ")));
        case SqlForm::Native:
            return QStringLiteral("%1(%2)").arg(name, a.join(QStringLiteral(", ")));
        case SqlForm::IfNull:
            return QStringLiteral("IFNULL(%1, %2)").arg(a[0], a[1]);
        case SqlForm::TrimBlank:
            if (a.size() > 1) // TRIM(characters FROM s): the engine's, under its collation
                return QStringLiteral("%1(%2)").arg(sqliteFunctionName(f), a.join(QStringLiteral(", ")));
            return QStringLiteral("TRIM(%1, ' ')").arg(a[0]);
        case SqlForm::IifCase:
            return QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END").arg(a[0], a[1], a[2]);
        case SqlForm::ChooseCase: {
            QString s = QStringLiteral("CASE CAST(%1 AS INTEGER)").arg(a[0]);
            for (qsizetype k = 1; k < a.size(); ++k)
                s += QStringLiteral(" WHEN %1 THEN %2").arg(k).arg(a[k]);
            return s + QStringLiteral(" END");
        }
        case SqlForm::Count:
            return QStringLiteral("COUNT(%1%2)").arg(distinct, a[0]);
        case SqlForm::Aggregate: {
            QString c = e.args[0]->type.isString() ? QStringLiteral(" COLLATE TSQL_CI") : QString();
            return QStringLiteral("%1(%2%3%4)").arg(name, distinct, a[0], c);
        }
        case SqlForm::Ordered:
            return ordered(e, a);
        case SqlForm::Value:
            break;
        }
        raiseAt<Msg::ExpressionNotOverTables>(e.line, e.column);
    }

    static QString frameBound(const FrameBound& b) {
        switch (b.kind) {
        case FrameBound::UnboundedPreceding:
            return QStringLiteral("UNBOUNDED PRECEDING");
        case FrameBound::Preceding:
            return QStringLiteral("%1 PRECEDING").arg(b.rows);
        case FrameBound::CurrentRow:
            break;
        case FrameBound::Following:
            return QStringLiteral("%1 FOLLOWING").arg(b.rows);
        case FrameBound::UnboundedFollowing:
            return QStringLiteral("UNBOUNDED FOLLOWING");
        }
        return QStringLiteral("CURRENT ROW");
    }

    // OVER (...) of a window function, texts partitioned and ordered under the engine's collation.
    QString overClause(Expr& e) {
        const WindowSpec& w = *e.over;
        const size_t orderStart = e.args.size() - w.descending.size();
        QStringList parts, list;
        for (size_t k = size_t(w.arguments); k < orderStart; ++k)
            list << expr(*e.args[k]) +
                        (stringish(*e.args[k]) ? QStringLiteral(" COLLATE TSQL_CI") : QString());
        if (!list.isEmpty())
            parts << QStringLiteral("PARTITION BY ") + list.join(QStringLiteral(", "));
        list.clear();
        for (size_t k = orderStart; k < e.args.size(); ++k)
            list << expr(*e.args[k]) +
                        (stringish(*e.args[k]) ? QStringLiteral(" COLLATE TSQL_CI") : QString()) +
                        (w.descending[k - orderStart] ? QStringLiteral(" DESC") : QString());
        if (!list.isEmpty())
            parts << QStringLiteral("ORDER BY ") + list.join(QStringLiteral(", "));
        if (w.hasFrame)
            parts << QStringLiteral("%1 BETWEEN %2 AND %3")
                         .arg(w.range ? QStringLiteral("RANGE") : QStringLiteral("ROWS"), frameBound(w.start),
                              frameBound(w.end));
        return QStringLiteral(" OVER (%1)").arg(parts.join(u' '));
    }

    // A window function as SQLite's of the same meaning. SUM of whole numbers stays a whole
    // number of its type (Msg 8115 beyond it); AVG of whole numbers divides as integers.
    QString window(Expr& e) {
        const WindowSpec& w = *e.over;
        const bool whole = e.type.isInteger();
        if (e.name == u"AVG" && whole) {
            // Each part is written in the order of the text, with its own parameters.
            const QString sum = expr(*e.args[0]);
            const QString sumOver = overClause(e);
            const QString count = expr(*e.args[0]);
            const QString countOver = overClause(e);
            return converted(QStringLiteral("(sum(%1)%2 / count(%3)%4)").arg(sum, sumOver, count, countOver),
                             e.type);
        }
        QStringList a;
        for (int k = 0; k < w.arguments; ++k) {
            Expr& x = *e.args[size_t(k)];
            a << (x.kind == EK::Star ? QStringLiteral("*") : expr(x));
        }
        if (!a.isEmpty() && (e.name == u"MIN" || e.name == u"MAX") && stringish(*e.args[0]))
            a[0] += QStringLiteral(" COLLATE TSQL_CI");
        const QString name = e.name == u"COUNT_BIG" ? QStringLiteral("count") : e.name.toLower();
        QString sql = QStringLiteral("%1(%2)%3").arg(name, a.join(QStringLiteral(", ")), overClause(e));
        if (e.name == u"SUM" && whole)
            return converted(sql, e.type);
        return u'(' + sql + u')';
    }

    // The query of rows written as SQL texts `rows` ("(a, b)", at least one), its columns named
    // c0, c1, ...
    static QString valuesQuery(const QStringList& rows, qsizetype width) {
        QStringList cols;
        for (qsizetype k = 0; k < width; ++k)
            cols << QStringLiteral("column%1 AS \"c%2\"").arg(k + 1).arg(k);
        return QStringLiteral("SELECT %1 FROM (VALUES %2)")
            .arg(cols.join(QStringLiteral(", ")), rows.join(QStringLiteral(", ")));
    }

    // Rows computed here, as the text of a query that gives them (columns c0, c1, ...).
    QString rowsText(const std::vector<std::vector<Value>>& rows, qsizetype width) {
        ex.sqlReadsValues = true;
        if (rows.empty()) {
            QStringList cols;
            for (qsizetype k = 0; k < width; ++k)
                cols << QStringLiteral("NULL AS \"c%1\"").arg(k);
            return QStringLiteral("SELECT %1 WHERE 0").arg(cols.join(QStringLiteral(", ")));
        }
        QStringList list;
        for (const auto& row : rows) {
            QStringList cells;
            for (const Value& v : row)
                cells << param(v);
            list << u'(' + cells.join(QStringLiteral(", ")) + u')';
        }
        return valuesQuery(list, width);
    }

    // VALUES as a source: its values, converted to the types of its columns, as parameters.
    QString values(TableSource& s) {
        QStringList rows;
        for (auto& row : s.valueRows) {
            QStringList cells;
            for (size_t k = 0; k < row.size(); ++k) {
                if (row[k]->rowDependent) {
                    cells << expr(*row[k]);
                    continue;
                }
                ex.sqlReadsValues = true;
                cells << param(convert(ex.eval(*row[k], ctx), s.columnTypes[k]));
            }
            rows << u'(' + cells.join(QStringLiteral(", ")) + u')';
        }
        return QStringLiteral("(%1) AS %2").arg(valuesQuery(rows, s.columns.size()), quoteIdent(sqlAlias(s)));
    }

    // A CTE named in a query: its query in place; a recursive one as SQLite's recursive WITH,
    // inside which a reference to it is the working table.
    QString cte(TableSource& s) {
        Cte& c = *s.cte;
        const QString name = quoteIdent(QStringLiteral("tsql_cte_") + c.name);
        if (c.generating)
            return name + QStringLiteral(" AS ") + quoteIdent(sqlAlias(s));
        if (!c.usesTables)
            return QStringLiteral("(%1) AS %2")
                .arg(rowsText(ex.localRows(s, ctx), c.columns.size()), quoteIdent(sqlAlias(s)));
        if (!c.recursive)
            return QStringLiteral("(%1) AS %2")
                .arg(selectSql(ex, *c.select, ctx, params, -1), quoteIdent(sqlAlias(s)));
        struct Generating {
            Cte& c;
            ~Generating() { c.generating = false; }
        } generating{c};
        c.generating = true;
        const QString body = selectSql(ex, *c.select, ctx, params, -1);
        QStringList cols;
        for (qsizetype k = 0; k < c.columns.size(); ++k)
            cols << QStringLiteral("\"c%1\"").arg(k);
        const QString shown = cols.join(QStringLiteral(", "));
        cols << QStringLiteral("\"lvl\"");
        return QStringLiteral("(WITH RECURSIVE %1(%2) AS (%3) SELECT %4 FROM %1) AS %5")
            .arg(name, cols.join(QStringLiteral(", ")), body, shown, quoteIdent(sqlAlias(s)));
    }

    // Whether a query gives one row at most: TOP 1, FETCH NEXT 1, no FROM and no WHERE, an
    // aggregate without GROUP BY and HAVING.
    static bool atMostOneRow(const Select& d) {
        auto one = [](const ExprP& e) {
            return e && e->kind == EK::Literal && e->value.type.isInteger() && !e->value.null &&
                   e->value.i <= 1;
        };
        if (d.unionNext)
            return false;
        if ((one(d.top) && !d.topPercent) || one(d.fetch))
            return true;
        if (d.from.empty() && !d.where)
            return true;
        return d.hasAggregate && d.groupBy.empty() && d.groupingSets.empty() && !d.having;
    }

    // CROSS APPLY and OUTER APPLY. A right side that does not read the left one is joined to
    // every row (OUTER: LEFT JOIN ON true). One that reads it and gives one row at most becomes a
    // query for each of its columns, evaluated on each row of the left side (CROSS: the rows for
    // which it gives a row). SQLite has no lateral join: a right side that may give more rows is
    // refused by name.
    QString apply(TableSource& s) {
        QString l = source(*s.left);
        const bool outer = s.joinType.startsWith(u"OUTER");
        if (!s.right->applyCorrelated) {
            const QString r = source(*s.right);
            return outer ? QStringLiteral("%1 LEFT JOIN %2 ON 1").arg(l, r)
                         : QStringLiteral("%1 CROSS JOIN %2").arg(l, r);
        }
        Select& d = *s.right->derived;
        if (!atMostOneRow(d) || (!d.usesTables && !d.from.empty()))
            raiseAt<Msg::ApplyManyRowsNotSupported>(s.line, s.column);
        if (outer)
            return l;
        return QStringLiteral("%1 JOIN (SELECT 1) AS \"tsql_apply\" ON EXISTS (%2)")
            .arg(l, selectSql(ex, d, ctx, params, 1));
    }

    QString source(TableSource& s) {
        switch (s.kind) {
        case SourceKind::Table:
            return sqlTableName(s) + QStringLiteral(" AS ") + quoteIdent(sqlAlias(s));
        case SourceKind::Derived:
            if (!s.derived->usesTables)
                return QStringLiteral("(%1) AS %2")
                    .arg(rowsText(ex.localRows(s, ctx), s.columns.size()), quoteIdent(s.alias));
            return QStringLiteral("(%1) AS %2")
                .arg(selectSql(ex, *s.derived, ctx, params, -1), quoteIdent(s.alias));
        case SourceKind::Values:
            return values(s);
        case SourceKind::Cte:
            return cte(s);
        case SourceKind::Join: {
            if (s.joinType.endsWith(u"APPLY"))
                return apply(s);
            QString l = source(*s.left), r = source(*s.right);
            QString type = s.joinType == u"INNER"   ? QStringLiteral("JOIN")
                           : s.joinType == u"CROSS" ? QStringLiteral("CROSS JOIN")
                                                    : s.joinType + QStringLiteral(" JOIN");
            QString on = s.on ? QStringLiteral(" ON ") + cond(*s.on) : QString();
            return QStringLiteral("%1 %2 %3%4").arg(l, type, r, on);
        }
        case SourceKind::XmlNodes:
            raiseAt<Msg::XmlNodesSourceJoined>(s.line, s.column);
        case SourceKind::Function:
            // Rows computed here from arguments that read no row of the query.
            for (const auto& a : s.functionArgs)
                if (a->rowDependent || (a->sub && a->sub->usesTables))
                    raiseAt<Msg::StringSplitOfColumnsNotSupported>(s.line, s.column);
            return QStringLiteral("(%1) AS %2")
                .arg(rowsText(ex.localRows(s, ctx), s.columns.size()), quoteIdent(sqlAlias(s)));
        }
        return QString();
    }
};

} // namespace tsql::sqltext
