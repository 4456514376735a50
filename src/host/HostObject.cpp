#include "host/HostObject.h"

namespace host {

QString describe(const core::Variant& value) {
    switch (value.type()) {
    case core::VarType::Empty:
        return QStringLiteral("Empty");
    case core::VarType::Null:
        return QStringLiteral("Null");
    case core::VarType::String:
        return QLatin1Char('"') + *value.stringValue() + QLatin1Char('"');
    case core::VarType::Object: {
        if (value.isNothing())
            return QStringLiteral("Nothing");
        QObject* o = value.toObject();
        return o->objectName().isEmpty() ? QString::fromLatin1(o->metaObject()->className())
                                         : o->objectName();
    }
    default:
        return value.toString();
    }
}

QString Call::toString() const {
    QStringList parts;
    for (const core::Variant& a : args)
        parts << describe(a);
    return member + QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QStringList HostObject::callNames() const {
    QStringList names;
    for (const Call& c : m_calls)
        names << c.member;
    return names;
}

QStringList HostObject::callStrings() const {
    QStringList out;
    for (const Call& c : m_calls)
        out << c.toString();
    return out;
}

int HostObject::callCount(const QString& member) const {
    int n = 0;
    for (const Call& c : m_calls)
        n += c.member == member ? 1 : 0;
    return n;
}

void HostObject::record(const QString& member, QList<core::Variant> args) {
    m_calls.append(Call{member, std::move(args)});
    emit called(member);
}

} // namespace host
