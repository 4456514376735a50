#include "core/Logging.h"

namespace core {

// Warnings and above on by default (none is written today); debug messages off.
Q_LOGGING_CATEGORY(lcAdo, "formule.ado", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTsql, "formule.tsql", QtWarningMsg)

} // namespace core
