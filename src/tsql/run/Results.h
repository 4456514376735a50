#pragma once

// What a batch gives back: its result sets, the messages that did not stop it, its error.

#include "tsql/base/Limits.h"
#include "tsql/base/ServerError.h"
#include "tsql/values/Value.h"

#include <QStringList>

#include <optional>
#include <vector>

namespace tsql {

// A result set with the engine's own values (SQL Server types).
struct ResultSet {
    QStringList columns;
    std::vector<SqlType> types;
    std::vector<std::vector<Value>> rows;
    MemoryCharge memory; // what the rows take, counted against the batch that builds them
};

// A message that does not stop the batch: PRINT's text (number 0, level 0, state 1) or
// RAISERROR's at a severity of 10 or less. `line`: its statement's line in the batch.
struct InfoMessage {
    QString text;
    int number = 0;
    int level = 0;
    int state = 1;
    int line = 0;
};

struct RunResult {
    std::vector<ResultSet> resultSets;
    qint64 recordsAffected = -1;
    std::optional<ServerError> error;
    std::vector<InfoMessage> messages; // PRINT and informational RAISERROR, in order
    std::vector<int> executedLines;    // traced runs: lines on which a statement ran, ascending
};

} // namespace tsql
