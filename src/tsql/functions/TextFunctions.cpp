// The string functions that search and rebuild a text by characters ("String functions
// (Transact-SQL)"): PATINDEX, CONCAT_WS, TRANSLATE, QUOTENAME and TRIM with the characters to
// remove. Characters compare as the engine's collation compares them (case-insensitive); every
// result is counted against the batch's memory before it is built.

#include "tsql/functions/BuiltinFunctions.h"

#include "tsql/base/Limits.h"
#include "tsql/base/Messages.h"

#include <algorithm>

namespace tsql {

namespace {

bool sameChar(QChar a, QChar b) {
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

// The index of `c` among `set` under the collation, -1 when absent.
qsizetype indexIn(QStringView set, QChar c) {
    for (qsizetype k = 0; k < set.size(); ++k)
        if (sameChar(set[k], c))
            return k;
    return -1;
}

} // namespace

namespace builtin {

// PATINDEX(pattern, expression): the position of the first place the LIKE pattern matches. A
// pattern that does not begin with % matches at the start or not at all; one that does is
// tried at every position from the first, the rest of the pattern against the rest of the text.
Value patindex(const FunctionDef&, const Args& a, const SqlType& type) {
    const QString pattern = asText(a[0]);
    const QString s = asText(a[1]);
    auto result = [&](qint64 n) { return Value::integer(n, type.id); };
    qsizetype from = 0;
    while (from < pattern.size() && pattern[from] == u'%')
        ++from;
    if (from == 0)
        return result(likeMatch(s, pattern) ? 1 : 0);
    const QString rest = pattern.mid(from);
    BatchBudget* budget = currentBudget();
    for (qsizetype k = 0; k <= s.size(); ++k) {
        if (budget)
            budget->tick();
        if (k == s.size() && !s.isEmpty())
            break;
        if (likeMatch(QStringView(s).mid(k), rest))
            return result(k + 1);
    }
    return result(0);
}

// CONCAT_WS(separator, a, b, ...): the arguments that are not NULL, the separator between them;
// an empty text when all are NULL. A NULL separator separates with nothing.
Value concatWs(const FunctionDef&, const Args& a, const SqlType& type) {
    const QString separator = a[0].null ? QString() : asText(a[0]);
    QStringList parts;
    qint64 length = 0;
    for (std::size_t k = 1; k < a.size(); ++k) {
        if (a[k].null)
            continue;
        parts << asText(a[k]);
        length += parts.last().size() + (parts.size() > 1 ? separator.size() : 0);
        checkStringSize(length, type);
    }
    QString out;
    out.reserve(qsizetype(length));
    for (qsizetype k = 0; k < parts.size(); ++k) {
        if (k > 0)
            out += separator;
        out += parts[k];
    }
    return textOut(out, type);
}

// TRANSLATE(input, characters, translations): each character of the input found among
// `characters` becomes the translation at the same place, once (the result is not translated
// again). The two lists have as many characters (Msg 9828).
Value translate(const FunctionDef&, const Args& a, const SqlType& type) {
    const QString from = asText(a[1]);
    const QString to = asText(a[2]);
    if (from.size() != to.size())
        raise<Msg::TranslateUnequalLengths>();
    QString s = asText(a[0]);
    checkStringSize(s.size(), type);
    BatchBudget* budget = currentBudget();
    for (QChar& c : s) {
        if (budget)
            budget->tick();
        const qsizetype k = indexIn(from, c);
        if (k >= 0)
            c = to[k];
    }
    return textOut(s, type);
}

// QUOTENAME(name [, quote]): the name between the pair of delimiters the quote character names
// ([] by default; also ', ", (), <>, {} and `), with the closing one doubled inside. NULL for a
// name longer than 128 characters and for any other quote character.
Value quotename(const FunctionDef&, const Args& a, const SqlType& type) {
    const QString name = asText(a[0]);
    if (name.size() > 128)
        return Value::nullOf(type);
    const QString quote = a.size() > 1 ? asText(a[1]) : QStringLiteral("[");
    static const QString opening = QStringLiteral("[]'\"()<>{}`");
    static const QString pairs[] = {QStringLiteral("[]"),   QStringLiteral("[]"), QStringLiteral("''"),
                                    QStringLiteral("\"\""), QStringLiteral("()"), QStringLiteral("()"),
                                    QStringLiteral("<>"),   QStringLiteral("<>"), QStringLiteral("{}"),
                                    QStringLiteral("{}"),   QStringLiteral("``")};
    const qsizetype k = quote.size() == 1 ? opening.indexOf(quote[0]) : -1;
    if (k < 0)
        return Value::nullOf(type);
    const QChar open = pairs[k][0], close = pairs[k][1];
    QString out;
    out.reserve(name.size() * 2 + 2);
    out += open;
    for (QChar c : name) {
        out += c;
        if (c == close)
            out += c;
    }
    out += close;
    return textOut(out, type);
}

// TRIM(string) removes blanks at both ends; TRIM(characters FROM string) any of the characters.
Value trim(const FunctionDef&, const Args& a, const SqlType& type) {
    const QString s = asText(a[0]);
    const QString set = a.size() > 1 ? asText(a[1]) : QStringLiteral(" ");
    qsizetype begin = 0, end = s.size();
    while (begin < end && indexIn(set, s[begin]) >= 0)
        ++begin;
    while (end > begin && indexIn(set, s[end - 1]) >= 0)
        --end;
    checkStringSize(end - begin, type);
    return textOut(s.mid(begin, end - begin), type);
}

} // namespace builtin

std::vector<Value> stringSplit(const Value& text, const Value& separator, const SqlType& type) {
    const QString sep = separator.null ? QString() : builtin::asText(separator);
    if (sep.size() != 1)
        raise<Msg::SplitSeparatorNotOneCharacter>();
    std::vector<Value> pieces;
    if (text.null)
        return pieces;
    const QString s = builtin::asText(text);
    BatchBudget* budget = currentBudget();
    // The pieces count against the batch's memory as they are made: the caller counts them
    // again as rows once they are all there.
    MemoryCharge held;
    qsizetype from = 0;
    for (qsizetype k = 0; k <= s.size(); ++k) {
        if (budget)
            budget->tick();
        if (k < s.size() && !sameChar(s[k], sep[0]))
            continue;
        pieces.push_back(builtin::textOut(s.mid(from, k - from), type));
        held.add(valueBytes(pieces.back()));
        from = k + 1;
    }
    return pieces;
}

Value stringAggregate(std::vector<KeyedValue>& rows, const Value& separator, const std::vector<bool>& desc,
                      const SqlType& type) {
    if (rows.empty())
        return Value::nullOf(type);
    BatchBudget* budget = currentBudget();
    std::stable_sort(rows.begin(), rows.end(), [&](const KeyedValue& a, const KeyedValue& b) {
        if (budget)
            budget->tick();
        for (std::size_t k = 0; k < a.keys.size() && k < desc.size(); ++k) {
            const Value &x = a.keys[k], &y = b.keys[k];
            const int c = x.null || y.null ? (x.null == y.null ? 0 : (x.null ? -1 : 1))
                                           : compareValues(x, y).value_or(0);
            if (c != 0)
                return desc[k] ? c > 0 : c < 0;
        }
        return false;
    });
    const QString sep = separator.null ? QString() : builtin::asText(separator);
    // Characters the result may hold: 8,000 bytes of a type other than (max).
    const qint64 most = type.length < 0 ? -1 : (type.isUnicode() ? 4000 : 8000);
    QStringList parts;
    qint64 length = 0;
    for (const KeyedValue& r : rows) {
        parts << builtin::asText(r.value);
        length += parts.last().size() + (parts.size() > 1 ? sep.size() : 0);
        if (most >= 0 && length > most)
            raise<Msg::StringAggExceededLimit>();
        checkStringSize(length, type);
    }
    return builtin::textOut(parts.join(sep), type);
}

namespace builtin {

// The fold of the function table's row: the group's values after the separator, in their order.
Value stringAgg(const FunctionDef&, std::span<const Value> values, const SqlType& type) {
    std::vector<KeyedValue> rows;
    for (std::size_t k = 1; k < values.size(); ++k)
        rows.push_back(KeyedValue{values[k], {}});
    return stringAggregate(rows, values.empty() ? Value() : values[0], {}, type);
}

} // namespace builtin

} // namespace tsql
