#include "tables/Literals.h"

#include "core/NullSafe.h"

namespace tables {

QString sqlLiteral(const QString& value) {
    QString literal;
    literal.reserve(value.size() + 2);
    literal += u'\'';
    for (QChar c : value) {
        literal += c;
        if (c == u'\'')
            literal += c;
    }
    literal += u'\'';
    return literal;
}

QString identifierText(const core::Variant& id) {
    const core::Variant value = core::CDecN(id);
    if (value.type() == core::VarType::Decimal)
        return value.toDecimal().toString();
    return value.toString();
}

} // namespace tables
