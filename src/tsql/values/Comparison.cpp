// Comparison of values as the server compares them: both sides converted to the type of higher
// precedence first; texts under a case-insensitive collation that ignores trailing blanks.

#include "tsql/values/Value.h"

#include "tsql/base/Messages.h"
#include "tsql/values/DateSettings.h"

namespace tsql {

// Texts compare as compareStringsCI (values/TextCollation.cpp) says.
namespace {

bool oneType(const SqlType& a, const SqlType& b) {
    return a.id == b.id && a.precision == b.precision && a.scale == b.scale && a.length == b.length;
}

// Two values of the same integer, decimal or text type: converting them to their own type
// changes nothing, so they are compared as they are (the same answer, without building copies).
bool sameExactType(const SqlType& a, const SqlType& b) {
    return oneType(a, b) && (a.isInteger() || a.id == TypeId::Decimal || a.isString());
}

// A date that converting to its own type `id` leaves as it is: in the type's range, and rounded
// to its precision already.
bool unchangedDate(const QDateTime& d, TypeId id) {
    return dateInRange(d, id) && roundedFor(d, id) == d;
}

} // namespace

// NULL compares as unknown (nullopt); xml is never compared (Msg 305).
std::optional<int> compareValues(const Value& a, const Value& b) {
    if (sameExactType(a.type, b.type)) {
        if (a.null || b.null)
            return std::nullopt;
        if (a.type.isString()) {
            const int c = compareStringsCI(a.s, b.s);
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        if (a.type.isInteger())
            return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
        if (a.n.scale == b.n.scale)
            return a.n.v < b.n.v ? -1 : (a.n.v > b.n.v ? 1 : 0);
    }
    SqlType t = dominantType(a.type, b.type);
    if (t.id == TypeId::XmlNode || t.id == TypeId::Xml)
        raise<Msg::XmlDataTypeCompared>();
    // Two dates of one type that converting to it would not change: compared as they are.
    if (t.isDate() && !a.null && !b.null && oneType(t, a.type) && oneType(t, b.type) &&
        unchangedDate(a.dt, t.id) && unchangedDate(b.dt, t.id))
        return a.dt.get() < b.dt.get() ? -1 : (a.dt.get() > b.dt.get() ? 1 : 0);
    Value x = convert(a, t), y = convert(b, t);
    if (t.isTime() && t.scale < 7 && !x.null && !y.null)
        for (const Value* text : {&a, &b})
            if (text->type.isString() && convert(*text, SqlType::time()).i != (text == &a ? x : y).i)
                raise<Msg::TimeValueNotSupported>(
                    QStringLiteral("A comparison of a time with a text of more decimals than its precision"));
    if (x.null || y.null)
        return std::nullopt;
    auto sign = [](auto d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); };
    if (t.isString())
        return sign(compareStringsCI(x.s, y.s));
    if (t.isInteger() || t.id == TypeId::Unknown)
        return x.i < y.i ? -1 : (x.i > y.i ? 1 : 0);
    if (t.id == TypeId::Float || t.id == TypeId::Real)
        return x.f < y.f ? -1 : (x.f > y.f ? 1 : 0);
    if (t.isTime())
        return x.i < y.i ? -1 : (x.i > y.i ? 1 : 0);
    if (t.isDate())
        return x.dt.get() < y.dt.get() ? -1 : (x.dt.get() > y.dt.get() ? 1 : 0);
    if (t.id == TypeId::UniqueIdentifier)
        return sign(x.s.compare(y.s, Qt::CaseInsensitive));
    int s = std::max(x.n.scale, y.n.scale);
    auto p = x.n.rescaled(s), q = y.n.rescaled(s);
    if (!p || !q) {
        double d1 = x.n.toDouble(), d2 = y.n.toDouble();
        return d1 < d2 ? -1 : (d1 > d2 ? 1 : 0);
    }
    return p->v < q->v ? -1 : (p->v > q->v ? 1 : 0);
}

} // namespace tsql
