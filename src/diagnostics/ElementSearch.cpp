#include "diagnostics/ElementSearch.h"

#include "language/Dictionary.h"

#include <algorithm>

namespace diagnostics {

namespace {

// Rank classes of a match, best first.
enum Rank { Exact = 0, Prefix = 1, WordStarts = 2, Anywhere = 3 };

struct Scored {
    int rank;
    qsizetype position; // where the first word occurs in the shown text (its length when absent)
    int index;
    bool operator<(const Scored& o) const {
        return std::tie(rank, position, index) < std::tie(o.rank, o.position, o.index);
    }
};

bool beginsWord(QStringView text, qsizetype at) {
    return at == 0 || !text.at(at - 1).isLetterOrNumber();
}

// The same in a UTF-8 text: the character before `at` decoded. One outside the basic plane
// counts as no letter, as its second UTF-16 unit does in the text above.
bool beginsWord(QByteArrayView text, qsizetype at) {
    if (at == 0)
        return true;
    qsizetype start = at - 1;
    while (start > 0 && at - start < 4 && (uchar(text.at(start)) & 0xC0) == 0x80)
        --start;
    const QString previous = QString::fromUtf8(text.sliced(start, at - start));
    return previous.size() != 1 || !previous.at(0).isLetterOrNumber();
}

// The length in UTF-16 units of a UTF-8 text: positions are ranked as in the text shown.
qsizetype utf16Length(QByteArrayView text) {
    qsizetype units = 0;
    for (const char c : text) {
        const uchar b = uchar(c);
        if ((b & 0xC0) != 0x80)
            units += b >= 0xF0 ? 2 : 1;
    }
    return units;
}

// Whether every word occurs in `text`; with `atWordStarts`, each where it begins a word of the
// text (in UTF-8, a word found at a byte that continues a character begins none).
template <typename Words, typename View> bool allOccur(const Words& words, View text, bool atWordStarts) {
    return std::all_of(words.begin(), words.end(), [&](const auto& w) {
        for (qsizetype at = text.indexOf(w); at >= 0; at = text.indexOf(w, at + 1))
            if (!atWordStarts || beginsWord(text, at))
                return true;
        return false;
    });
}

bool same(QByteArrayView a, QByteArrayView b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

} // namespace

SearchWords::SearchWords(const QString& typed)
    : m_folded(foldForComparison(typed, Fold::Apostrophes))
    , m_words(m_folded.split(u' ', Qt::SkipEmptyParts)) {
    for (const QString& w : std::as_const(m_words))
        m_utf8Words.append(w.toUtf8());
}

bool SearchWords::matches(QByteArrayView foldedUtf8) const {
    return allOccur(m_utf8Words, foldedUtf8, false);
}

bool SearchWords::matchesWordStarts(QByteArrayView foldedUtf8) const {
    return allOccur(m_utf8Words, foldedUtf8, true);
}

bool SearchWords::matches(QStringView foldedText) const {
    return allOccur(m_words, foldedText, false);
}

bool SearchWords::matchesWordStarts(QStringView foldedText) const {
    return allOccur(m_words, foldedText, true);
}

std::pair<quint32, quint32> ElementSearch::Indexed::add(const QString& folded) {
    const QByteArray utf8 = folded.toUtf8();
    const std::pair<quint32, quint32> piece{quint32(chars.size()), quint32(utf8.size())};
    chars.append(utf8);
    return piece;
}

ElementSearch::ElementSearch(std::shared_ptr<const ElementCatalog> catalog)
    : m_catalog(std::move(catalog)) {
    const QStringList& labels = m_catalog->labels();
    m_labels.shown.reserve(std::size_t(labels.size()));
    m_labels.extra.reserve(std::size_t(labels.size()));
    for (qsizetype i = 0; i < labels.size(); ++i) {
        const QString variable = language::Dictionary::entry(m_catalog->labelEntries().at(i)).variable;
        m_labels.shown.push_back(
            m_labels.add(foldForComparison(labels.at(i).mid(1, labels.at(i).size() - 2), Fold::Apostrophes)));
        m_labels.extra.push_back(m_labels.add(foldForComparison(variable.mid(1), Fold::Apostrophes)));
    }
    for (ElementKind kind : {ElementKind::Category, ElementKind::Variant}) {
        Indexed& index = kind == ElementKind::Category ? m_categories : m_variants;
        const qsizetype count = m_catalog->referenceCount(kind);
        qsizetype length = 0;
        for (qsizetype i = 0; i < count; ++i)
            length += m_catalog->referenceText(kind, i).size();
        // Folding seldom lengthens a text, and most are ASCII: the buffer is allocated once at
        // about its size.
        index.chars.reserve(length + length / 32 + 16);
        index.shown.reserve(std::size_t(count));
        for (qsizetype i = 0; i < count; ++i)
            index.shown.push_back(index.add(
                foldForComparison(m_catalog->referenceText(kind, i).toString(), Fold::Apostrophes)));
    }
}

const ElementSearch::Indexed& ElementSearch::indexOf(ElementKind kind) const {
    return kind == ElementKind::Label ? m_labels : kind == ElementKind::Category ? m_categories : m_variants;
}

QString ElementSearch::insertedText(ElementKind kind, int index) const {
    if (kind == ElementKind::Label)
        return m_catalog->labels().at(index);
    return openingDelimiter(kind) + m_catalog->referenceText(kind, index).toString() + closingDelimiter(kind);
}

std::optional<ElementKind> ElementSearch::kindOf(const QString& fragment) {
    if (fragment.startsWith(u'['))
        return ElementKind::Label;
    if (fragment.startsWith(u'{'))
        return ElementKind::Category;
    if (fragment.startsWith(u'|'))
        return ElementKind::Variant;
    return std::nullopt;
}

QList<Candidate> ElementSearch::complete(const QString& fragment, int limit) const {
    const std::optional<ElementKind> kind = kindOf(fragment);
    if (!kind)
        return {};
    QString typed = fragment.mid(1);
    if (typed.endsWith(closingDelimiter(*kind)))
        typed.chop(1);
    return find(*kind, SearchWords(typed), limit);
}

QList<Candidate> ElementSearch::find(ElementKind kind, const SearchWords& words, int limit) const {
    const Indexed& index = indexOf(kind);
    std::vector<Scored> found;
    const QByteArray query = words.folded().toUtf8();
    const QByteArray first = words.isEmpty() ? QByteArray() : words.words().first().toUtf8();
    for (std::size_t i = 0; i < index.size(); ++i) {
        const QByteArrayView display = index.display(i);
        const QByteArrayView variable = index.variable(i);
        const bool inShown = words.matches(display);
        if (!inShown &&
            (variable.isEmpty() || !words.matches(display.toByteArray() + '\x01' + variable.toByteArray())))
            continue;
        int rank = Anywhere;
        if (!query.isEmpty() && same(display, query))
            rank = Exact;
        else if (display.startsWith(query))
            rank = Prefix;
        else if (inShown && words.matchesWordStarts(display))
            rank = WordStarts;
        const qsizetype at = first.isEmpty() ? 0 : display.indexOf(first);
        found.push_back({rank, utf16Length(at < 0 ? display : display.first(at)), int(i)});
    }
    const std::size_t kept = std::min(found.size(), std::size_t(std::max(limit, 0)));
    std::partial_sort(found.begin(), found.begin() + std::ptrdiff_t(kept), found.end());
    QList<Candidate> out;
    out.reserve(qsizetype(kept));
    for (std::size_t i = 0; i < kept; ++i)
        out.append({kind, insertedText(kind, found[i].index), found[i].index});
    return out;
}

bool ElementSearch::anyMatch(ElementKind kind, const SearchWords& words) const {
    // A list not read yet may hold a match: the caller reads the rows and looks for itself.
    if (!m_catalog->listKnown(kind))
        return true;
    const Indexed& index = indexOf(kind);
    for (std::size_t i = 0; i < index.size(); ++i) {
        const QByteArrayView variable = index.variable(i);
        if (words.matches(index.display(i)) || (!variable.isEmpty() && words.matches(variable)))
            return true;
    }
    return false;
}

std::vector<bool> ElementSearch::matching(ElementKind kind, const SearchWords& words,
                                          const std::function<bool()>& cancelled) const {
    if (!m_catalog->listKnown(kind))
        return {};
    const Indexed& index = indexOf(kind);
    std::vector<bool> out(index.size(), false);
    constexpr std::size_t BetweenQuestions = 4096;
    for (std::size_t i = 0; i < index.size(); ++i) {
        if (cancelled && i % BetweenQuestions == 0 && cancelled())
            return {};
        const QByteArrayView variable = index.variable(i);
        out[i] = words.matches(index.display(i)) || (!variable.isEmpty() && words.matches(variable));
    }
    return out;
}

} // namespace diagnostics
