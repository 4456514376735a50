#include "tsql/values/Value.h"

#include "tsql/base/Messages.h"

#include "tsql/base/Limits.h"

#include <limits>

namespace tsql {

namespace {

// The largest value of a (max) type: 2^31 - 1 bytes.
constexpr qint64 kMaxLobBytes = std::numeric_limits<qint32>::max();

} // namespace

qint64 valueBytes(const Value& v) {
    return qint64(sizeof(Value)) + qint64(v.s.size()) * qint64(sizeof(QChar));
}

qint64 rowBytes(const std::vector<Value>& row) {
    qint64 n = qint64(sizeof(std::vector<Value>));
    for (const Value& v : row)
        n += valueBytes(v);
    return n;
}

void checkStringSizeSlow(qint64 chars, const SqlType& type) {
    const qint64 perChar = type.isUnicode() ? 2 : 1;
    if (chars > kMaxLobBytes / perChar)
        raise<Msg::LobTooLarge>();
    if (BatchBudget* budget = currentBudget())
        budget->checkRoom(chars * qint64(sizeof(QChar)));
}

} // namespace tsql
