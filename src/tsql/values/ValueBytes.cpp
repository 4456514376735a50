#include "tsql/values/Value.h"

#include "tsql/base/Messages.h"

#include "tsql/base/Limits.h"

#include <algorithm>
#include <limits>

namespace tsql {

namespace {

// The largest value of a (max) type: 2^31 - 1 bytes.
constexpr qint64 kMaxLobBytes = std::numeric_limits<qint32>::max();

} // namespace

// What the allocator adds to every block it hands out, and the header of a text's block.
constexpr qint64 kAllocationOverhead = 32;

qint64 valueBytes(const Value& v) {
    qint64 n = qint64(sizeof(Value));
    if (!v.s.isEmpty())
        n += kAllocationOverhead + qint64(std::max(v.s.capacity(), v.s.size())) * qint64(sizeof(QChar));
    return n;
}

qint64 rowBytes(const std::vector<Value>& row) {
    qint64 n = qint64(sizeof(std::vector<Value>)) + kAllocationOverhead;
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
