#pragma once

// The logging categories of the subsystems, all under "formule.": only their debug messages are
// written, and those are off until QT_LOGGING_RULES (or the tools' --verbose) turns them on.

#include <QLoggingCategory>

namespace core {

Q_DECLARE_LOGGING_CATEGORY(lcAdo)  // formule.ado: connections opened, batches run, their errors
Q_DECLARE_LOGGING_CATEGORY(lcTsql) // formule.tsql: batches the embedded engine runs

} // namespace core
