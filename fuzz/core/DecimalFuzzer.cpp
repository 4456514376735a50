// Feeds arbitrary text to the decimal reader and the conversions of a text variant, and checks
// the invariants of the arithmetic on whatever two operands ("a|b") the text yields.
#include "FuzzOptions.h"

#include "core/Decimal.h"
#include "core/Error.h"
#include "core/Variant.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

using core::Decimal;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void convertQuietly(const QString& text) {
    const core::Variant v(text);
    try {
        (void)v.toDecimal();
    } catch (const core::ComError& e) {
        check(e.number() == core::err::TypeMismatch || e.number() == core::err::Overflow);
    }
    try {
        (void)v.toDouble();
    } catch (const core::ComError& e) {
        check(e.number() == core::err::TypeMismatch || e.number() == core::err::Overflow);
    }
    try {
        (void)v.toInt16();
    } catch (const core::ComError& e) {
        check(e.number() == core::err::TypeMismatch || e.number() == core::err::Overflow);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzz::MaxInput)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    convertQuietly(text);
    const QStringList parts = text.split(u'|');
    const auto a = Decimal::parse(parts.value(0));
    if (a) {
        // The plain form reads back to the same value and scale.
        const auto back = Decimal::parse(a->toString());
        check(back && back->toString() == a->toString() && back->scale() == a->scale());
        check(a->precision() >= 1 && a->precision() <= 29);
        const auto d = Decimal::fromDouble(a->toDouble());
        check(d.has_value() || a->abs() > *Decimal::parse(u"79228162514264E15"));
    }
    const auto b = Decimal::parse(parts.value(1));
    if (!a || !b)
        return 0;
    const auto sum = a->add(*b);
    check(sum == b->add(*a));
    check(a->multiply(*b) == b->multiply(*a));
    check(a->compare(*b) == (0 <=> b->compare(*a)));
    if (sum && sum->scale() == std::max(a->scale(), b->scale())) {
        // No decimal was dropped, so the sum is exact and the subtraction undoes it.
        const auto undone = sum->subtract(*b);
        check(undone && *undone == *a);
    }
    const auto quotient = a->divide(*b);
    check(quotient.has_value() || b->isZero() || a->abs() > b->abs());
    if (quotient && !quotient->isZero())
        check(quotient->isNegative() == (a->isNegative() != b->isNegative()));
    const auto product = a->multiply(*b);
    if (product && !b->isZero() && product->scale() == a->scale() + b->scale()) {
        // An exact product divided by one factor gives back the other, with its own scale.
        const auto other = product->divide(*b);
        check(other && *other == *a && other->scale() == a->scale());
    }
    return 0;
}
