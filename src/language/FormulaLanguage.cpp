#include "language/FormulaLanguage.h"

#include "core/NullSafe.h"
#include "language/Dictionary.h"
#include "language/References.h"

#include <QHash>
#include <QSet>
#include <QStringMatcher>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

namespace language {

namespace {

using refs::Kind;

const QString kDecode = QStringLiteral("decodeToken");
const QString kEncode = QStringLiteral("encodeToken");

// Replaces every occurrence of `before` at or after `from` by `after`, scanning left to right
// and never searching inserted text again. Returns the number of replacements. Callers pass
// a `from` before which `before` cannot occur, so the result is that of a replacement over
// the whole text.
qsizetype replaceAll(QString& text, const QString& before, const QString& after, qsizetype from = 0) {
    if (before.isEmpty())
        return 0;
    const QStringMatcher matcher(before, Qt::CaseSensitive);
    qsizetype pos = matcher.indexIn(text, from);
    if (pos < 0)
        return 0;
    QString out;
    out.reserve(text.size() + (after.size() > before.size() ? after.size() - before.size() : 0) * 4);
    qsizetype last = 0;
    qsizetype count = 0;
    while (pos >= 0) {
        out.append(QStringView(text).mid(last, pos - last));
        out.append(after);
        last = pos + before.size();
        ++count;
        pos = matcher.indexIn(text, last);
    }
    out.append(QStringView(text).mid(last));
    text = std::move(out);
    return count;
}

// A piece of a text to replace: its start, its length and what replaces it (none: it stays).
struct Splice {
    qsizetype start;
    qsizetype length;
    const QString* replacement;
};

// `text` with the pieces `splice(e)` gives for the elements of `pieces`, in text order, put in
// their places; `size` is the length of the result, allocated at once.
template <typename Pieces, typename F>
QString spliced(const QString& text, qsizetype size, const Pieces& pieces, F&& splice) {
    QString out;
    out.reserve(size);
    qsizetype copied = 0;
    for (const auto& e : pieces) {
        const Splice p = splice(e);
        if (!p.replacement)
            continue;
        out.append(QStringView(text).mid(copied, p.start - copied));
        out.append(*p.replacement);
        copied = p.start + p.length;
    }
    out.append(QStringView(text).mid(copied));
    return out;
}

// One translation in progress: the working text, the look-ups with their answers of this run,
// and the error trap. Every statement of the algorithms runs as one step: on an error the
// error display is asked under the procedure's name; abort ends the translation.
class Run {
public:
    Run(const Services& services, const QString& procedure, core::ErrorAnswerFn errorAnswer)
        : m_services(services)
        , m_procedure(procedure)
        , m_lookup(services) {
        m_answer = [this, answer = std::move(errorAnswer)](const QString& proc,
                                                           const core::ErrorInfo& error) {
            ++m_errors;
            return answer ? answer(proc, error) : static_cast<int>(core::Answer::Abort);
        };
    }

    // False when the step failed and the answer was abort (or anything but retry/ignore).
    // The statement is passed on through a wrapper holding only its address, which
    // std::function keeps without allocating.
    template <typename F> bool step(F&& statement) {
        return core::runStep(m_procedure, m_answer, std::function<void()>([&statement] { statement(); }));
    }

    QString translate(const QString& italian) const { return m_services.host->translate(italian); }

    // Number of errors reported so far: an iteration of a pass that reported none and changed
    // nothing is known to repeat itself exactly.
    qint64 errors() const { return m_errors; }
    refs::Lookup& lookup() { return m_lookup; }
    QString text;

private:
    const Services& m_services;
    QString m_procedure;
    refs::Lookup m_lookup;
    core::ErrorAnswerFn m_answer;
    qint64 m_errors = 0;
};

// The length of the working text as a reference pass counts it: positions are signed 16-bit.
qsizetype passLength(const QString& text) {
    if (text.size() > refs::MaxPassLength)
        throw core::ComError(core::err::Overflow, QStringLiteral("Overflow"));
    return text.size();
}

bool isBlank(const QString& text) {
    return refs::trimBlanks(text).isEmpty();
}

bool isZero(const core::Variant& v) {
    return v.equals(core::Variant::fromInt16(0));
}

// The working text of a display-to-SQL pass. Every replacement of the pass swaps an occurrence
// of a reference, which starts with the opening delimiter, for a sub-query or a placeholder,
// which holds no delimiter. So the text need not be rewritten at each replacement: the
// replacements are kept beside the text the pass started with, ordered by position, and the
// current text is read through them. Delimiters of the current text are those of the starting
// text not replaced, in the same order; an occurrence of a reference starts at one of them.
// When an occurrence or a delimited text would run across an earlier replacement, or a
// replacement holds a delimiter, the text is put together and rewritten at each replacement
// from that point on.
class ReferenceText {
public:
    ReferenceText(QString& text, Kind kind)
        : m_text(text)
        , m_kind(kind)
        , m_open(kind == Kind::Category ? u'{' : u'|')
        , m_close(kind == Kind::Category ? u'}' : u'|') {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == m_open || text.at(i) == m_close)
                m_delimiters.push_back(i);
        }
    }

    qsizetype size() const { return m_size; }

    // refs::extractDelimited over the current text, from the 0-based position `from`.
    QString extractDelimited(qsizetype from, qsizetype* openPos) {
        if (!m_virtual)
            return refs::extractDelimited(m_kind, m_text, from, openPos);
        *openPos = -1;
        qsizetype open = -1; // in the starting text
        qsizetype close = -1;
        qsizetype openAt = -1; // in the current text
        forEachDelimiter(from, [&](qsizetype at, qsizetype current) {
            if (open < 0) {
                if (m_text.at(at) != m_open)
                    return true;
                open = at;
                openAt = current;
                return true;
            }
            if (current < openAt + 2 || m_text.at(at) != m_close)
                return true;
            close = at;
            return false;
        });
        *openPos = openAt;
        if (open < 0 || openAt + 2 >= m_size || close < 0)
            return {};
        if (runsIntoReplacement(open, close - open)) {
            materialize();
            return refs::extractDelimited(m_kind, m_text, from, openPos);
        }
        return m_text.mid(open + 1, close - open - 1);
    }

    // Replaces every occurrence of `reference` from the 0-based position `from` of the current
    // text by `replacement`, left to right; the number of occurrences replaced.
    qsizetype replaceAll(const QString& reference, const QString& replacement, qsizetype from) {
        if (m_virtual && (replacement.contains(m_open) || replacement.contains(m_close)))
            materialize();
        if (!m_virtual)
            return language::replaceAll(m_text, reference, replacement, from);
        if (reference.isEmpty() || reference.at(0) != m_open)
            return 0;                 // cannot happen: references start with their delimiter
        std::vector<qsizetype> found; // starts in the starting text
        qsizetype nextFree = from;    // occurrences do not overlap
        bool across = false;
        forEachDelimiter(from, [&](qsizetype at, qsizetype current) {
            if (current < nextFree || m_text.at(at) != m_open)
                return true;
            if (current + reference.size() > m_size)
                return false;
            if (runsIntoReplacement(at, reference.size())) {
                across = true;
                return false;
            }
            if (QStringView(m_text).mid(at, reference.size()) == reference) {
                found.push_back(at);
                nextFree = current + reference.size();
            }
            return true;
        });
        if (across) {
            materialize();
            return language::replaceAll(m_text, reference, replacement, from);
        }
        for (qsizetype at : found) {
            const auto it = std::lower_bound(m_replacements.begin(), m_replacements.end(), at,
                                             [](const Replacement& r, qsizetype p) { return r.start < p; });
            m_replacements.insert(it, {at, reference.size(), replacement});
            m_size += replacement.size() - reference.size();
        }
        return qsizetype(found.size());
    }

    // Puts the replacements into the text.
    void materialize() {
        if (!m_virtual)
            return;
        m_virtual = false;
        if (m_replacements.empty())
            return;
        m_text = spliced(m_text, m_size, m_replacements, [](const Replacement& r) {
            return Splice{r.start, r.length, &r.text};
        });
        m_replacements.clear();
    }

private:
    struct Replacement {
        qsizetype start; // in the starting text
        qsizetype length;
        QString text;
    };

    // Calls f(position in the starting text, position in the current text) for the delimiters
    // of the current text from the position `from` on, in order, while f returns true.
    template <typename F> void forEachDelimiter(qsizetype from, F&& f) const {
        std::size_t k = 0;
        qsizetype shift = 0;
        for (qsizetype at : m_delimiters) {
            while (k < m_replacements.size() && m_replacements[k].start + m_replacements[k].length <= at) {
                shift += m_replacements[k].text.size() - m_replacements[k].length;
                ++k;
            }
            if (k < m_replacements.size() && m_replacements[k].start <= at)
                continue; // replaced
            if (at + shift >= from && !f(at, at + shift))
                return;
        }
    }

    // Whether `length` characters from the position `at` of the starting text run into a
    // replacement.
    bool runsIntoReplacement(qsizetype at, qsizetype length) const {
        const auto it = std::upper_bound(m_replacements.begin(), m_replacements.end(), at,
                                         [](qsizetype p, const Replacement& r) { return p < r.start; });
        return it != m_replacements.end() && it->start < at + length;
    }

    QString& m_text;
    Kind m_kind;
    QChar m_open;
    QChar m_close;
    bool m_virtual = true;
    qsizetype m_size = m_text.size();        // length of the current text
    std::vector<qsizetype> m_delimiters;     // in the starting text
    std::vector<Replacement> m_replacements; // by position, not overlapping
};

// Display-to-SQL pass over the references of one kind. Each repetition takes the first pair
// of delimiters of the current text and replaces every occurrence of that reference; a
// repetition that reports no error and changes nothing would repeat itself in every remaining
// repetition, so the pass ends there.
bool referencesToSql(Run& run, Kind kind, bool checkMode) {
    QString& w = run.text;
    qsizetype n = 0;
    if (!run.step([&] { n = passLength(w); }))
        return false;

    if (kind == Kind::Category && !checkMode)
        run.lookup().prefetchCategoryCodes(w);

    const QChar open = kind == Kind::Category ? u'{' : u'|';
    const QChar close = kind == Kind::Category ? u'}' : u'|';
    const QString placeholder =
        QString::fromUtf16(kind == Kind::Category ? refs::CategoryPlaceholder : refs::VariantPlaceholder);
    ReferenceText text(w, kind);
    // Values kept from one repetition to the next, as the statements that set them may be
    // skipped after an ignored error.
    QString ext;
    QString code;
    core::Variant id;
    qint16 dataType = 0;
    qsizetype scanFrom = 0; // no opening delimiter before this position

    for (qsizetype rep = 0; rep < n; ++rep) {
        const qint64 errorsBefore = run.errors();
        qsizetype openPos = -1;
        qsizetype replaced = 0;
        if (!run.step([&] { ext = text.extractDelimited(scanFrom, &openPos); }))
            return false;
        // Every occurrence of the reference starts with the opening delimiter, and there is
        // none before the first one: the replacement can start there.
        const qsizetype from = openPos < 0 ? text.size() : openPos;
        const QString reference = open + ext + close;
        if (checkMode) {
            if (kind == Kind::Variant || !refs::rtrimBlanks(ext).isEmpty()) {
                if (!run.step([&] { replaced = text.replaceAll(reference, placeholder, from); }))
                    return false;
            }
        } else if (!refs::rtrimBlanks(ext).isEmpty()) {
            if (kind == Kind::Category) {
                if (!run.step([&] { id = run.lookup().lookupCategoryId(ext); }))
                    return false;
                if (!core::RTrimN(id).toString().isEmpty()) {
                    if (!run.step([&] { dataType = run.lookup().getCategoryDataType(id); }))
                        return false;
                    if (!run.step([&] {
                            replaced = text.replaceAll(
                                reference, refs::categorySubQuery(dataType, refs::numberText(id)), from);
                        }))
                        return false;
                }
            } else {
                if (!run.step([&] { code = refs::extractVariantCode(ext); }))
                    return false;
                if (!refs::rtrimBlanks(code).isEmpty()) {
                    if (!run.step([&] {
                            replaced = text.replaceAll(reference, refs::variantSubQuery(code), from);
                        }))
                        return false;
                }
            }
        }
        if (replaced == 0 && run.errors() == errorsBefore)
            break;
        if (openPos >= 0)
            scanFrom = openPos;
    }
    text.materialize();
    return true;
}

// The working text of a SQL-to-display pass. Every replacement of the pass swaps a whole
// sub-query for a reference, so when the text has only well-formed sub-queries the pass does
// not need to rewrite the text at each replacement: the sub-queries are found once, each
// replacement marks the ones equal to the rebuilt text, positions are worked out from the
// lengths replaced so far, and the text is put together once at the end.
//
// A sub-query is well formed when the marker stands right after the opening pieces of its
// kind and the value up to the closing parenthesis holds none of "(", "{", "}", "|". Then
// the sub-queries cannot overlap, each occurrence of a rebuilt sub-query is one of them, and
// a reference whose label holds no "(" can neither contain a marker or a sub-query nor form
// one with the text around it (markers and sub-queries hold no delimiter of a reference): the
// text seen through this class is, position for position, the text the replacements one after
// the other would give. When a marker is not in a well-formed sub-query, or a label holds a
// "(", the text is rewritten at each replacement instead, from that point on.
class SubQueryText {
public:
    SubQueryText(QString& text, Kind kind)
        : m_text(text)
        , m_kind(kind)
        , m_marker(QString::fromUtf16(kind == Kind::Category ? refs::CategoryMarker : refs::VariantMarker)) {
        // The pieces before the marker, for each value column of the kind.
        QStringList heads;
        if (kind == Kind::Category) {
            for (int dataType = 0; dataType <= 2; ++dataType) {
                const QString full = refs::categorySubQuery(dataType, QString());
                heads.append(full.left(full.indexOf(m_marker)));
            }
        } else {
            const QString full = refs::variantSubQueryFromQuoted(QString());
            heads.append(full.left(full.indexOf(m_marker)));
        }
        const QStringMatcher matcher(m_marker, Qt::CaseSensitive);
        bool wellFormed = true;
        for (qsizetype m = matcher.indexIn(text, 0); m >= 0; m = matcher.indexIn(text, m + 1)) {
            const qsizetype valueStart = m + m_marker.size();
            const qsizetype close = valueStart + 1 < text.size() ? text.indexOf(u')', valueStart + 1) : -1;
            if (close < 0) {
                wellFormed = false;
                continue;
            }
            const QStringView value = QStringView(text).mid(valueStart, close - valueStart);
            m_values.append(value.toString());
            if (!wellFormed)
                continue;
            for (QChar c : value) {
                if (c == u'(' || c == u'{' || c == u'}' || c == u'|')
                    wellFormed = false;
            }
            qsizetype start = -1;
            int head = 0;
            for (; head < heads.size(); ++head) {
                const QString& h = heads[head];
                if (m >= h.size() && QStringView(text).mid(m - h.size(), h.size()) == h) {
                    start = m - h.size();
                    break;
                }
            }
            if (start < 0)
                wellFormed = false;
            else
                m_subQueries.append({start, close + 1 - start, m, m_values.size() - 1, head, false, {}});
        }
        if (!wellFormed) {
            m_subQueries.clear();
            return;
        }
        // A sub-query is its head, the marker, its value and ")": it is found by head and value.
        for (qsizetype k = 0; k < m_subQueries.size(); ++k) {
            const SubQuery& q = m_subQueries[k];
            m_byValue[q.head][QStringView(m_values[q.value])].append(k);
        }
        m_virtual = true;
    }

    // The values after the markers of the text the pass started with, in text order.
    const QStringList& markerValues() const { return m_values; }

    // The value after the first marker from the 1-based position `start` of the current text,
    // as findCategoryIdInQuery / findVariantCodeInQuery read it; `markerPos` gets the marker's
    // 0-based position in the current text.
    std::optional<QString> find(qsizetype start, qsizetype* markerPos) {
        if (!m_virtual) {
            return m_kind == Kind::Category ? refs::findCategoryIdInQuery(m_text, start, markerPos)
                                            : refs::findVariantCodeInQuery(m_text, start, markerPos);
        }
        *markerPos = -1;
        if (start < 1 || start > m_size)
            return std::nullopt;
        qsizetype shift = 0;
        for (const SubQuery& q : m_subQueries) {
            if (q.replaced) {
                shift += q.replacement.size() - q.length;
                continue;
            }
            if (q.marker + shift >= start - 1) {
                *markerPos = q.marker + shift;
                return m_values[q.value];
            }
        }
        return std::nullopt;
    }

    // Replaces every occurrence of the category sub-query of `dataType` and `idText` in the
    // current text by `reference`; the number of occurrences replaced.
    qsizetype replaceCategory(qint16 dataType, const QString& idText, const QString& reference) {
        m_key.resize(0);
        m_key.append(u' ').append(idText).append(u' ');
        return replaceAll(dataType == 1 || dataType == 2 ? dataType : 0, m_key, reference,
                          [&] { return refs::categorySubQuery(dataType, idText); });
    }

    // The same for the variant sub-query of a quoted code.
    qsizetype replaceVariant(const QString& quotedCode, const QString& reference) {
        m_key.resize(0);
        m_key.append(quotedCode).append(u' ');
        return replaceAll(0, m_key, reference, [&] { return refs::variantSubQueryFromQuoted(quotedCode); });
    }

    // Puts the replacements into the text.
    void materialize() {
        if (!m_virtual)
            return;
        m_virtual = false;
        for (auto& byValue : m_byValue)
            byValue.clear();
        bool shorter = true;
        for (const SubQuery& q : m_subQueries)
            shorter = shorter && (!q.replaced || q.replacement.size() <= q.length);
        if (shorter) {
            // References are shorter than their sub-queries: the text is rewritten within its own
            // buffer, front to back, without allocating another one.
            qsizetype copied = 0;
            qsizetype written = 0;
            QChar* data = nullptr;
            auto move = [&](const QChar* from, qsizetype length) {
                if (length > 0 && data + written != from)
                    std::memmove(static_cast<void*>(data + written), from, length * sizeof(QChar));
                written += length;
            };
            for (const SubQuery& q : m_subQueries) {
                if (!q.replaced)
                    continue;
                if (!data)
                    data = m_text.data();
                move(data + copied, q.start - copied);
                move(q.replacement.constData(), q.replacement.size());
                copied = q.start + q.length;
            }
            if (data) {
                move(data + copied, m_text.size() - copied);
                m_text.truncate(written);
            }
            return;
        }
        if (std::any_of(m_subQueries.begin(), m_subQueries.end(),
                        [](const SubQuery& q) { return q.replaced; }))
            m_text = spliced(m_text, m_size, m_subQueries, [](const SubQuery& q) {
                return Splice{q.start, q.length, q.replaced ? &q.replacement : nullptr};
            });
    }

private:
    // Replaces every sub-query of the head `head` and the value `value` by `reference`; once
    // the text is rewritten at each replacement, every occurrence of subQuery() instead.
    template <typename F>
    qsizetype replaceAll(int head, const QString& value, const QString& reference, F&& subQuery) {
        if (m_virtual && reference.contains(u'('))
            materialize();
        if (!m_virtual)
            return language::replaceAll(m_text, subQuery(), reference);
        const auto it = m_byValue[head].constFind(QStringView(value));
        if (it == m_byValue[head].constEnd())
            return 0;
        qsizetype count = 0;
        for (qsizetype k : it.value()) {
            SubQuery& q = m_subQueries[k];
            if (q.replaced)
                continue;
            q.replaced = true;
            q.replacement = reference;
            m_size += reference.size() - q.length;
            ++count;
        }
        return count;
    }

    struct SubQuery {
        qsizetype start; // in the text the pass started with
        qsizetype length;
        qsizetype marker;
        qsizetype value; // index in m_values
        int head;        // which of the kind's heads it starts with
        bool replaced;
        QString replacement;
    };

    QString& m_text;
    Kind m_kind;
    QString m_marker;
    bool m_virtual = false;
    qsizetype m_size = m_text.size(); // length of the current text
    QStringList m_values;
    QList<SubQuery> m_subQueries;                                  // in text order
    std::array<QHash<QStringView, QList<qsizetype>>, 3> m_byValue; // by head, then value
    QString m_key;                                                 // the value looked up
};

// SQL-to-display pass over the sub-queries of one kind. For every position i of the text as
// long as it was at the start, the first marker from i is taken; positions that find the same
// marker in an unchanged text repeat the same work, so after a position that reported no error
// and changed nothing the pass goes on right after that marker.
bool referencesToDisplay(Run& run, Kind kind) {
    QString& w = run.text;
    qsizetype n = 0;
    if (!run.step([&] { n = passLength(w); }))
        return false;

    SubQueryText text(w, kind);
    // The look-ups of the variant pass go with those of the categories: its sub-queries are
    // those of the text now, unless a category's label brings in another one, which the
    // variant pass then asks for itself.
    if (kind == Kind::Category)
        run.lookup().prefetchLabels(text.markerValues(), refs::markerValues(w, Kind::Variant));
    else
        run.lookup().prefetchVariantCodes(text.markerValues());
    core::Variant id;
    QString idText;
    QHash<QString, std::pair<core::Variant, QString>> ids; // value after the marker -> id, id text
    QString code;
    std::optional<QString> label;
    qint16 dataType = 0;

    qsizetype i = 1;
    while (i <= n) {
        const qint64 errorsBefore = run.errors();
        qsizetype markerPos = -1;
        qsizetype replaced = 0;
        if (kind == Kind::Category) {
            if (!run.step([&] {
                    const auto value = text.find(i, &markerPos);
                    if (!value) {
                        id = core::CDecN(core::Variant::fromInt16(0));
                        idText = refs::numberText(id);
                        return;
                    }
                    // The sub-queries of one category hold the same value: it is converted once.
                    auto it = ids.constFind(*value);
                    if (it == ids.constEnd()) {
                        const core::Variant converted = core::CDecN(core::Variant(*value));
                        it = ids.insert(*value, {converted, refs::numberText(converted)});
                    }
                    id = it->first;
                    idText = it->second;
                }))
                return false;
            if (!run.step([&] { label = run.lookup().lookupCategoryLabel(id, idText); }))
                return false;
            if (!isZero(id)) {
                if (!run.step([&] { dataType = run.lookup().getCategoryDataType(id, idText); }))
                    return false;
                // A category that no longer exists gives no label: its sub-query stays as stored.
                if (!run.step([&] {
                        if (label)
                            replaced = text.replaceCategory(dataType, idText, u'{' + *label + u'}');
                    }))
                    return false;
            }
        } else {
            if (!run.step([&] { code = refs::rtrimBlanks(text.find(i, &markerPos).value_or(QString())); }))
                return false;
            if (!code.isEmpty()) {
                if (!run.step([&] { label = run.lookup().lookupVariantLabel(code); }))
                    return false;
                if (!run.step([&] {
                        if (label)
                            replaced = text.replaceVariant(refs::trimBlanks(code), u'|' + *label + u'|');
                    }))
                    return false;
            }
        }
        if (replaced == 0 && run.errors() == errorsBefore) {
            if (markerPos < 0)
                break;         // no marker from here on: nothing left to do
            i = markerPos + 2; // 1-based position right after the marker's first character
        } else {
            ++i;
        }
    }
    text.materialize();
    return true;
}

// The order in which the SQL-to-display direction applies entries 1 to 137: table order, but
// the longer variable of each prefix pair right before the shorter one.
const QList<int>& displayOrder() {
    static const QList<int> order = [] {
        QList<int> list;
        QHash<int, int> longerOf;
        QSet<int> longer;
        for (const PrefixPair& p : Dictionary::prefixPairs()) {
            longerOf.insert(p.shorter, p.longer);
            longer.insert(p.longer);
        }
        for (int number = 1; number <= Dictionary::LastOrdinaryEntry; ++number) {
            if (longer.contains(number))
                continue;
            if (longerOf.contains(number))
                list.append(longerOf.value(number));
            list.append(number);
        }
        return list;
    }();
    return order;
}

// The dictionary step: replaces, in the given order, every occurrence of each pair's first
// text by its second. When no translated text holds a bracket or an at sign, labels contain no
// other label and variables differ from one another only by the twelve prefix pairs, so
// occurrences cannot overlap or be created by an earlier replacement: one scan of the text,
// taking at each position the pair that comes first in the order (the longer variable of a
// prefix pair), gives exactly the text of the replacements one after the other. Otherwise the
// replacements run one after the other.
void replaceDictionary(QString& text, const QList<std::pair<QString, QString>>& pairs, bool fromVariables) {
    bool singleScan = true;
    for (const auto& [from, to] : pairs) {
        const QString& label = fromVariables ? to : from;
        const QStringView inner = QStringView(label).mid(1, label.size() - 2);
        if (inner.contains(u'[') || inner.contains(u']') || label.contains(u'@'))
            singleScan = false;
    }
    if (!singleScan) {
        for (const auto& [from, to] : pairs)
            text.replace(from, to);
        return;
    }
    // The texts to replace, each with the index of its first pair, in a small open-addressing
    // table under a cheap hash: most positions looked up hold no text to replace.
    qsizetype longest = 0;
    for (const auto& pair : pairs)
        longest = std::max(longest, pair.first.size());
    // The length and four characters (variables differ at their ends and in the middle).
    auto hashOf = [](QStringView v) {
        const qsizetype n = v.size();
        std::uint64_t h = std::uint64_t(n);
        if (n > 1) {
            h = (h << 16) ^ v[1].unicode();
            h = (h << 16) ^ v[n / 2].unicode();
            h = (h << 8) ^ v[n - 1].unicode() ^ (std::uint64_t(v[n - 2].unicode()) << 24);
        }
        return std::size_t((h * 0x9E3779B97F4A7C15ull) >> 40);
    };
    struct Slot {
        QStringView text;
        qsizetype pair = -1;
    };
    std::size_t mask = 63;
    while (mask < std::size_t(pairs.size()) * 4)
        mask = mask * 2 + 1;
    std::vector<Slot> table(mask + 1);
    auto slotOf = [&](QStringView v) -> Slot& {
        std::size_t i = hashOf(v) & mask;
        while (table[i].pair >= 0 && table[i].text != v)
            i = (i + 1) & mask;
        return table[i];
    };
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        Slot& slot = slotOf(pairs[i].first);
        if (slot.pair < 0)
            slot = {pairs[i].first, i};
    }
    auto firstPair = [&](QStringView candidate) { return slotOf(candidate).pair; };
    const QChar lead = fromVariables ? u'@' : u'[';
    // The occurrences are found first, so that the new text is allocated once at its size.
    struct Found {
        qsizetype pos;
        qsizetype length;
        qsizetype pair;
    };
    std::vector<Found> found;
    qsizetype size = text.size();
    qsizetype pos = text.indexOf(lead);
    while (pos >= 0) {
        qsizetype match = -1;
        qsizetype length = 0;
        if (fromVariables) {
            // Variables are an at sign followed by upper-case letters, digits and underscores.
            qsizetype end = pos + 1;
            while (end < text.size() && end - pos < longest) {
                const QChar c = text.at(end);
                if (!(c == u'_' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z')))
                    break;
                ++end;
            }
            for (qsizetype len = end - pos; len > 1 && match < 0; --len) {
                match = firstPair(QStringView(text).mid(pos, len));
                length = len;
            }
        } else {
            const qsizetype close = text.indexOf(u']', pos + 1);
            if (close >= 0 && close - pos + 1 <= longest) {
                match = firstPair(QStringView(text).mid(pos, close - pos + 1));
                length = close - pos + 1;
            }
        }
        if (match < 0) {
            pos = text.indexOf(lead, pos + 1);
            continue;
        }
        found.push_back({pos, length, match});
        size += pairs[match].second.size() - length;
        pos = text.indexOf(lead, pos + length);
    }
    if (!found.empty())
        text = spliced(text, size, found, [&pairs](const Found& f) {
            return Splice{f.pos, f.length, &pairs[f.pair].second};
        });
}

// Display form to SQL form: the dictionary in table order, "[Modello]", the category pass,
// "[Opzione]", the variant pass. False when a step was answered with abort.
bool toSql(Run& run, bool checkMode) {
    QString& w = run.text;
    const TranslateFn translate = [&run](const QString& s) { return run.translate(s); };
    // The labels are formed first, one request per entry in table order; an entry whose
    // translation failed and was ignored is left out.
    QList<std::pair<QString, QString>> pairs; // label, variable
    for (int number = 1; number <= Dictionary::LastOrdinaryEntry; ++number) {
        const Entry& entry = Dictionary::entry(number);
        if (!run.step([&] {
                pairs.append({Dictionary::label(entry, Direction::ToSql, translate), entry.variable});
            }))
            return false;
    }
    replaceDictionary(w, pairs, false);
    const Entry& model = Dictionary::entry(Dictionary::ModelEntry);
    if (!run.step([&] { w.replace(Dictionary::label(model, Direction::ToSql, translate), model.variable); }))
        return false;
    if (!referencesToSql(run, Kind::Category, checkMode))
        return false;
    const Entry& option = Dictionary::entry(Dictionary::OptionEntry);
    if (!run.step(
            [&] { w.replace(Dictionary::label(option, Direction::ToSql, translate), option.variable); }))
        return false;
    return referencesToSql(run, Kind::Variant, checkMode);
}

// SQL form to display form: the dictionary (longer variables of the prefix pairs first), the
// variable of "Modello", the category pass, the variable of "[Opzione]", the variant pass.
bool toDisplay(Run& run) {
    QString& w = run.text;
    const TranslateFn translate = [&run](const QString& s) { return run.translate(s); };
    QList<std::pair<QString, QString>> pairs; // variable, label
    for (int number : displayOrder()) {
        const Entry& entry = Dictionary::entry(number);
        if (!run.step([&] {
                pairs.append({entry.variable, Dictionary::label(entry, Direction::ToDisplay, translate)});
            }))
            return false;
    }
    replaceDictionary(w, pairs, true);
    const Entry& model = Dictionary::entry(Dictionary::ModelEntry);
    if (!run.step(
            [&] { w.replace(model.variable, Dictionary::label(model, Direction::ToDisplay, translate)); }))
        return false;
    if (!referencesToDisplay(run, Kind::Category))
        return false;
    const Entry& option = Dictionary::entry(Dictionary::OptionEntry);
    if (!run.step(
            [&] { w.replace(option.variable, Dictionary::label(option, Direction::ToDisplay, translate)); }))
        return false;
    return referencesToDisplay(run, Kind::Variant);
}

} // namespace

FormulaLanguage::FormulaLanguage(core::HostServices& host, LookupFn lookup)
    : m_services{&host, std::move(lookup)} {}

FormulaLanguage::FormulaLanguage(Services services)
    : m_services(std::move(services)) {}

FormulaLanguage::~FormulaLanguage() = default;

QString FormulaLanguage::decodeToken(const QString& text, bool checkMode) {
    m_lastStatements = 0;
    m_lastErrors = 0;
    if (isBlank(text))
        return {};
    Run run(m_services, kDecode, m_services.host->errorAnswerFn());
    run.text = text;
    const bool completed = toSql(run, checkMode);
    m_lastStatements = run.lookup().statementsSent();
    m_lastErrors = run.errors();
    return completed ? run.text : QString();
}

QString FormulaLanguage::encodeToken(const QString& text) {
    return encodeToken(text, m_services.host->errorAnswerFn());
}

QString FormulaLanguage::encodeToken(const QString& text, const core::ErrorAnswerFn& errorAnswer) {
    m_lastStatements = 0;
    m_lastErrors = 0;
    if (isBlank(text))
        return {};
    Run run(m_services, kEncode, errorAnswer);
    run.text = text;
    const bool completed = toDisplay(run);
    m_lastStatements = run.lookup().statementsSent();
    m_lastErrors = run.errors();
    return completed ? run.text : QString();
}

} // namespace language
