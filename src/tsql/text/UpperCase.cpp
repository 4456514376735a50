#include "tsql/text/UpperCase.h"

namespace tsql {

namespace {

bool isAsciiLower(char16_t c) {
    return c >= u'a' && c <= u'z';
}

} // namespace

QString upperCased(const QString& text) {
    const char16_t* from = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype size = text.size();
    bool lower = false;
    for (qsizetype k = 0; k < size; ++k) {
        if (from[k] >= 0x80)
            return text.toUpper();
        lower = lower || isAsciiLower(from[k]);
    }
    if (!lower)
        return text;
    QString upper(size, Qt::Uninitialized);
    char16_t* to = reinterpret_cast<char16_t*>(upper.data());
    for (qsizetype k = 0; k < size; ++k)
        to[k] = isAsciiLower(from[k]) ? char16_t(from[k] - (u'a' - u'A')) : from[k];
    return upper;
}

} // namespace tsql
