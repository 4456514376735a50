#pragma once

#include "tsql/text/Ast.h"

#include <QVariantList>

#include <vector>

namespace tsql {

// The SQLite text of the queries and data changes of a batch that read or write tables.

enum class Tri { False, True, Unknown };

inline Tri triNot(Tri t) {
    return t == Tri::True ? Tri::False : t == Tri::False ? Tri::True : Tri::Unknown;
}

// The current row of each in-engine source, chained to the rows of enclosing queries.
struct RowCtx {
    const RowCtx* outer = nullptr;
    std::vector<std::pair<const TableSource*, std::vector<Value>>> rows;
    const std::vector<RowCtx>* group = nullptr; // rows of the current group (aggregates)
    const std::vector<Value>* items = nullptr;  // select-list values (ORDER BY aliases)
};

// What the text needs from the executor: the values of the parts that read no row of the query
// (variables, rows of enclosing queries), computed once and sent as parameters.
class ValueSource {
public:
    virtual Value eval(Expr& e, const RowCtx* ctx) = 0;
    virtual Tri condition(Expr& e, const RowCtx* ctx) = 0;
    // The rows of a query or a source that reads no table, computed here: a query over tables
    // takes them as a list of values.
    virtual std::vector<std::vector<Value>> localRows(Select& sel, const RowCtx* ctx) = 0;
    virtual std::vector<std::vector<Value>> localRows(TableSource& source, const RowCtx* ctx) = 0;

    // Set once a text holds a value read at run time: such a text cannot be kept with the
    // compiled batch and sent again.
    bool sqlReadsValues = false;

protected:
    ~ValueSource() = default;
};

QString quoteIdent(const QString& name);
QString quoteString(const QString& s);
// The name a source goes by in the text: its alias, or its table's name.
QString sqlAlias(const TableSource& s);
// A table's name in the text, with its schema (temp) when it has one.
QString sqlTableName(const TableSource& s);
// A value as SQLite takes it as a parameter.
QVariant toParam(const Value& v);

// The row count of a TOP clause (Msg 1060, 487).
qint64 topCount(ValueSource& values, Expr& top, const RowCtx* ctx);

// TOP ... PERCENT: the share of its rows a query keeps, the first ceil(count * percent / 100)
// ("TOP (Transact-SQL)": the count is rounded up), counted exactly when the percentage is an
// exact number and as a float otherwise. A percentage outside 0 to 100 is Msg 1031.
struct TopShare {
    bool exact = true;
    qint64 numerator = 0; // exact: the share is numerator / denominator
    qint64 denominator = 100;
    double percent = 0; // otherwise: the percentage
    qint64 rows(qint64 count) const;
};
TopShare topShare(ValueSource& values, Expr& top, const RowCtx* ctx);
// TOP ... PERCENT and TOP ... WITH TIES over tables: `sql`, the query without ORDER BY whose
// select list is followed by the ORDER BY keys `keys`, numbered in their order and counted, then
// the rows the TOP of `sel` keeps, of the first `columns` columns.
QString rankedTop(ValueSource& values, Select& sel, const RowCtx* ctx, const QString& sql,
                  const QStringList& keys, int columns, QVariantList& params);
// The rows a query keeps: `count` from the `skip`-th on (-1: all of them).
struct RowWindow {
    qint64 count = -1;
    qint64 skip = 0;
};
// The window of TOP of `sel` and OFFSET and FETCH of `last` (the query's last member), within
// `limit` (-1 none). Msg 10742 for a negative offset, 10744 for a fetch below one.
RowWindow rowWindow(ValueSource& values, Select& sel, Select& last, const RowCtx* ctx, qint64 limit);
// A SELECT; its parameters are appended to `params`. `limit` caps the rows (-1 none); `single`:
// a scalar sub-query, which fails with Msg 512 when it yields more than one row.
QString selectSql(ValueSource& values, Select& sel, const RowCtx* ctx, QVariantList& params, qint64 limit,
                  bool single = false);
// The UPDATE or DELETE of the statement `s`; its parameters are appended to `params`.
QString updateOrDeleteSql(ValueSource& values, Stmt& s, QVariantList& params);

} // namespace tsql
