// The rows a TOP clause keeps: its row count, the share TOP ... PERCENT keeps, and TOP ...
// PERCENT and TOP ... WITH TIES written for SQLite over the query's rows.

#include "tsql/sql/SqlText.h"

#include "tsql/base/Messages.h"

#include <cmath>

namespace tsql {

qint64 topCount(ValueSource& ex, Expr& top, const RowCtx* ctx) {
    ex.sqlReadsValues = true;
    Value v = ex.eval(top, ctx);
    // A NULL or negative row count known only when the statement runs.
    const qint64 n = v.null ? -1 : convert(v, SqlType::of(TypeId::BigInt)).i;
    if (n < 0)
        raise<Msg::TopFetchClauseContains>();
    return n;
}

qint64 TopShare::rows(qint64 count) const {
    if (exact)
        return qint64((__int128(count) * numerator + denominator - 1) / denominator);
    return qint64(std::ceil(double(count) * percent / 100.0));
}

TopShare topShare(ValueSource& ex, Expr& top, const RowCtx* ctx) {
    ex.sqlReadsValues = true;
    const Value v = ex.eval(top, ctx);
    if (v.null)
        raise<Msg::TopFetchClauseContains>();
    TopShare share;
    if (v.type.isInteger()) {
        share.numerator = v.i;
    } else if (v.type.id == TypeId::Decimal || v.type.id == TypeId::Money ||
               v.type.id == TypeId::SmallMoney) {
        Numeric n = v.n;
        while (n.scale > 0 && n.v % 10 == 0) {
            n.v /= 10;
            --n.scale;
        }
        __int128 denominator = 100;
        for (int k = 0; k < n.scale; ++k)
            denominator *= 10;
        if (n.v < 0 || n.v > denominator)
            raise<Msg::PercentValuesBetween>();
        share.exact = n.scale <= 9;
        share.numerator = share.exact ? qint64(n.v) : 0;
        share.denominator = share.exact ? qint64(denominator) : 100;
        share.percent = n.toDouble();
    } else {
        share.exact = false;
        share.percent = convert(v, SqlType::of(TypeId::Float)).f;
        if (!(share.percent >= 0 && share.percent <= 100))
            raise<Msg::PercentValuesBetween>();
    }
    if (share.exact && (share.numerator < 0 || share.numerator > share.denominator))
        raise<Msg::PercentValuesBetween>();
    return share;
}

// TOP ... PERCENT and TOP ... WITH TIES over tables: the query's rows numbered in the order of
// its ORDER BY (row number, and rank, which ties share) and counted, then those the TOP keeps.
// `sql` is the query without ORDER BY, its select list followed by the ORDER BY keys k0, k1...
QString rankedTop(ValueSource& ex, Select& sel, const RowCtx* ctx, const QString& sql,
                  const QStringList& keys, int columns, QVariantList& params) {
    QStringList kept;
    for (int k = 0; k < columns; ++k)
        kept << quoteIdent(QStringLiteral("c%1").arg(k));
    if (sel.anchorMember)
        kept << QStringLiteral("\"lvl\"");
    const QString order = keys.join(QStringLiteral(", "));
    const QString position = sel.withTies ? QStringLiteral("\"rk\"") : QStringLiteral("\"rn\"");
    QString keep;
    if (!sel.topPercent) {
        keep = QStringLiteral("%1 <= %2").arg(position).arg(topCount(ex, *sel.top, ctx));
    } else {
        const TopShare share = topShare(ex, *sel.top, ctx);
        if (share.exact) {
            keep = QStringLiteral("(%1 - 1) * %2 < \"cnt\" * %3")
                       .arg(position)
                       .arg(share.denominator)
                       .arg(share.numerator);
        } else {
            keep = QStringLiteral("(%1 - 1) < \"cnt\" * ? / 100.0").arg(position);
            params << share.percent;
        }
    }
    return QStringLiteral("SELECT %1 FROM (SELECT *, RANK() OVER (ORDER BY %2) AS \"rk\", ROW_NUMBER() OVER "
                          "(ORDER BY %2) AS \"rn\", COUNT(*) OVER () AS \"cnt\" FROM (%3)) WHERE %4 ORDER BY "
                          "\"rn\"")
        .arg(kept.join(QStringLiteral(", ")), order, sql, keep);
}

} // namespace tsql
