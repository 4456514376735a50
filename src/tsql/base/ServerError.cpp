#include "tsql/base/ServerError.h"

#include "tsql/base/Messages.h"

namespace tsql {

QString formatMessage(std::u16string_view text, std::initializer_list<QString> args) {
    QString out;
    out.reserve(qsizetype(text.size()));
    for (std::size_t k = 0; k < text.size(); ++k) {
        const std::size_t n = k + 1 < text.size() ? std::size_t(text[k + 1] - u'0') : 0;
        if (text[k] == u'%' && n >= 1 && n <= 9 && n <= args.size()) {
            out += *(args.begin() + (n - 1));
            ++k;
        } else {
            out += QChar(text[k]);
        }
    }
    return out;
}

} // namespace tsql
