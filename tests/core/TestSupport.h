#pragma once

#include "core/Decimal.h"
#include "core/Variant.h"

#include <QLocale>

#include <ostream>

// Sets the default QLocale (the regional settings the conversions read) for one scope.
class LocaleGuard {
public:
    explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(m_previous); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

    static QLocale italian() { return QLocale(QLocale::Italian, QLocale::Italy); }
    static QLocale english() { return QLocale(QLocale::English, QLocale::UnitedStates); }

private:
    QLocale m_previous;
};

namespace core {
// Readable values in the failure messages of the tests.
inline void PrintTo(const Decimal& d, std::ostream* os) {
    *os << d.toString().toStdString();
}
inline void PrintTo(const Variant& v, std::ostream* os) {
    *os << v.typeName().toStdString();
    if (!v.isNull() && !v.isObject())
        *os << " " << v.toString().toStdString();
}
} // namespace core
