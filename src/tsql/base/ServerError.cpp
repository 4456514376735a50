#include "tsql/base/ServerError.h"

namespace tsql {

void raise(int number, int level, const QString& message, int line, int column) {
    throw SqlError{ServerError{number, level, 1, line, column, message}};
}

} // namespace tsql
