#include "language/Passes.h"

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
    ReferenceText(QString& text, Kind kind, PositionMap* map)
        : m_text(text)
        , m_map(map)
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
            return language::replaceAll(m_text, reference, replacement, from, m_map);
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
            return language::replaceAll(m_text, reference, replacement, from, m_map);
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
        m_text = spliced(
            m_text, m_size, m_replacements,
            [](const Replacement& r) {
                return Splice{r.start, r.length, &r.text};
            },
            m_map);
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
    PositionMap* m_map;
    Kind m_kind;
    QChar m_open;
    QChar m_close;
    bool m_virtual = true;
    qsizetype m_size = m_text.size();        // length of the current text
    std::vector<qsizetype> m_delimiters;     // in the starting text
    std::vector<Replacement> m_replacements; // by position, not overlapping
};

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

} // namespace

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
    ReferenceText text(w, kind, run.map);
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

} // namespace language
