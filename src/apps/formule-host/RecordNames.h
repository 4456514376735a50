#pragma once

#include <QString>

#include <functional>

namespace demo {

// The name of an editing context as the host's windows show it ("Condizioni (provider)",
// "Listini (quotazioni)", "Manutenzione listini"), through `translate`; the number itself for
// any other value.
QString contextName(int context, const std::function<QString(const QString&)>& translate);

// What tells a record apart in the host's window list and title bars:
// "Condizioni (provider) 3 - Listino base" (without the description when it has none).
QString recordName(int context, qint64 id, const QString& description,
                   const std::function<QString(const QString&)>& translate);

} // namespace demo
