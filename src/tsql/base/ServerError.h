#pragma once

#include <QString>

namespace tsql {

// An error as the server reports it: Msg number, Level, State, Line (1-based, in the batch)
// and the message text; column is ours (1-based, 0 when unknown).
struct ServerError {
    int number = 0;
    int level = 16;
    int state = 1;
    int line = 1;
    int column = 0;
    QString message;
};

// A server error raised while compiling or running a batch.
struct SqlError {
    ServerError error;
};

} // namespace tsql
