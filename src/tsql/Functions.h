#pragma once

#include "tsql/Value.h"

#include <vector>

namespace tsql {

struct FunctionInfo {
    int minArgs = 0;
    int maxArgs = 0;
    bool aggregate = false;
};

// The built-in functions the engine knows (upper-case names); nullptr for any other name.
const FunctionInfo* findFunction(const QString& upperName);
// Checks the argument count (Msg 174) and returns the result type for these argument types.
SqlType functionType(const QString& upperName, const std::vector<SqlType>& args, int line, int column);
// Calls a scalar built-in (not IIF, CHOOSE or an aggregate) on evaluated arguments.
Value callFunction(const QString& upperName, const std::vector<Value>& args, const SqlType& resultType);
// Canonical date part name (YEAR, MONTH, ...) or throws Msg 155.
QString datepartName(const QString& word, const QString& function);

// LIKE with SQL Server's wildcards (% _ [set] [^set]), case-insensitive.
bool likeMatch(const QString& value, const QString& pattern, QChar escape = QChar());

} // namespace tsql
