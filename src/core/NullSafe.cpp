#include "core/NullSafe.h"

namespace core {

namespace {

// Empty, Null and "" are the values both helpers treat as missing.
bool isMissing(const Variant& v) {
    if (v.isEmpty() || v.isNull())
        return true;
    const QString* s = v.stringValue();
    return s && s->isEmpty();
}

} // namespace

Variant RTrimN(const Variant& expression) {
    if (isMissing(expression))
        return Variant::fromString(QString());
    QString s = expression.toString(); // objects raise here, in the caller
    qsizetype end = s.size();
    while (end > 0 && s.at(end - 1) == u' ')
        --end;
    s.truncate(end);
    return Variant::fromString(s);
}

Variant CDecN(const Variant& expression) {
    if (isMissing(expression))
        return Variant::fromInt16(0);
    return Variant::fromDecimal(expression.toDecimal());
}

} // namespace core
