#include "tsql/values/TextCollation.h"

#include "tsql/values/Value.h"

#include <QString>
#include <QStringView>

#include <algorithm>

namespace tsql {

// The databases the editor works on use a case-insensitive, accent-sensitive collation
// (Latin1_General_CI_AS): 'abc' = 'ABC'. Trailing blanks do not count in comparisons, as SQL-92
// pads the shorter text with blanks ("How SQL Server compares strings with trailing spaces"):
// 'abc' = 'abc   ', which matters for the char(n) columns and variables, always padded.
// Texts in ASCII, the usual case, are compared unit by unit with letters folded to lower case
// (as the case folding does): the first difference decides, else the shorter text comes first.
// A difference where either character is beyond ASCII leaves the whole comparison to the folding.
int compareStringsCI(const QString& a, const QString& b) {
    qsizetype la = a.size(), lb = b.size();
    const QChar* p = a.constData();
    const QChar* q = b.constData();
    while (la > 0 && p[la - 1] == u' ')
        --la;
    while (lb > 0 && q[lb - 1] == u' ')
        --lb;
    const qsizetype common = std::min(la, lb);
    for (qsizetype i = 0; i < common; ++i) {
        char16_t c = p[i].unicode();
        char16_t d = q[i].unicode();
        if (c == d)
            continue;
        if (c >= 0x80 || d >= 0x80) {
            const int r = QStringView(a).left(la).compare(QStringView(b).left(lb), Qt::CaseInsensitive);
            return r < 0 ? -1 : (r > 0 ? 1 : 0);
        }
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + (u'a' - u'A'));
        if (d >= u'A' && d <= u'Z')
            d = char16_t(d + (u'a' - u'A'));
        if (c != d)
            return c < d ? -1 : 1;
    }
    return la < lb ? -1 : (la > lb ? 1 : 0);
}

// Texts in ASCII, the usual case, are compared byte by byte: letters folded to lower case,
// trailing blanks ignored, a shorter text before a longer one it begins. Others are compared
// as text.
int collateCaseInsensitive(void*, int la, const void* a, int lb, const void* b) {
    const auto* p = static_cast<const unsigned char*>(a);
    const auto* q = static_cast<const unsigned char*>(b);
    int na = la;
    int nb = lb;
    while (na > 0 && p[na - 1] == ' ')
        --na;
    while (nb > 0 && q[nb - 1] == ' ')
        --nb;
    const int common = std::min(na, nb);
    int i = 0;
    for (; i < common; ++i) {
        unsigned char c = p[i];
        unsigned char d = q[i];
        if ((c | d) & 0x80)
            break;
        if (c == d)
            continue;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c + ('a' - 'A'));
        if (d >= 'A' && d <= 'Z')
            d = static_cast<unsigned char>(d + ('a' - 'A'));
        if (c != d)
            return c < d ? -1 : 1;
    }
    if (i == common)
        return na < nb ? -1 : (na > nb ? 1 : 0);
    QString x = QString::fromUtf8(static_cast<const char*>(a), la);
    QString y = QString::fromUtf8(static_cast<const char*>(b), lb);
    int c = compareStringsCI(x, y);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace tsql
