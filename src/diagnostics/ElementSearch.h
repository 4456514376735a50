#pragma once

#include "diagnostics/ElementCatalog.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace diagnostics {

// The words of a search, folded: every one must occur in a text for it to match, in any order,
// whatever their case, accents and apostrophes.
class SearchWords {
public:
    explicit SearchWords(const QString& typed);

    bool isEmpty() const { return m_words.isEmpty(); }
    const QStringList& words() const { return m_words; }
    const QString& folded() const { return m_folded; }
    // Whether every word occurs in `foldedText` (a text folded with Fold::Apostrophes).
    bool matches(QStringView foldedText) const;
    // Whether every word begins a word of `foldedText`.
    bool matchesWordStarts(QStringView foldedText) const;
    // The same for a folded text kept in UTF-8.
    bool matches(QByteArrayView foldedUtf8) const;
    bool matchesWordStarts(QByteArrayView foldedUtf8) const;

private:
    QString m_folded;
    QStringList m_words;
    QList<QByteArray> m_utf8Words;
};

// One element offered for insertion: written as it is inserted ("[Prezzo lordo - CURR]",
// "{C01 - Colore}", "|V01 - Colore scocca|").
struct Candidate {
    ElementKind kind = ElementKind::Label;
    QString inserted;
    int index = 0; // position in the catalogue's list of that kind
};

// The completion candidates of a fragment the user is typing. The catalogue's elements are
// folded once, when the search is made (one search per window or run of the tool); a query
// then compares folded texts only, so 100,000 categories answer in a few milliseconds on the
// GUI thread. Read-only after construction.
class ElementSearch {
public:
    static constexpr int MaxCandidates = 50;

    explicit ElementSearch(std::shared_ptr<const ElementCatalog> catalog);

    // The kind a fragment opens: "[" labels, "{" categories, "|" variants; nullopt otherwise.
    static std::optional<ElementKind> kindOf(const QString& fragment);
    // The candidates for a fragment beginning with its opening delimiter (a closing delimiter at
    // its end is ignored), best first, at most `limit`: an exact element first, then elements
    // that begin with what was typed, then those whose words begin with the typed words, then
    // any other that holds every typed word; ties keep the catalogue's order.
    QList<Candidate> complete(const QString& fragment, int limit = MaxCandidates) const;
    // The same for the words of a search over one kind (the tree filter).
    QList<Candidate> find(ElementKind kind, const SearchWords& words, int limit) const;
    // Whether any element of `kind` matches the words; true while that list is unknown.
    bool anyMatch(ElementKind kind, const SearchWords& words) const;
    // For each element of `kind`, in the catalogue's order, whether it matches the words (its
    // shown text, or for a label its variable); empty when that list is unknown or `cancelled`
    // answered true (asked every few thousand elements). Safe on any thread.
    std::vector<bool> matching(ElementKind kind, const SearchWords& words,
                               const std::function<bool()>& cancelled = {}) const;

    const ElementCatalog& catalog() const { return *m_catalog; }

private:
    // The folded texts of one kind in one buffer, in UTF-8 (100,000 separate strings would cost
    // tens of megabytes, and the texts are mostly ASCII): for each element the text shown (label
    // without brackets, "code - description") and, for labels, the variable name.
    struct Indexed {
        QByteArray chars;
        std::vector<std::pair<quint32, quint32>> shown;
        std::vector<std::pair<quint32, quint32>> extra; // labels only
        std::size_t size() const { return shown.size(); }
        QByteArrayView display(std::size_t i) const { return view(shown[i]); }
        QByteArrayView variable(std::size_t i) const {
            return i < extra.size() ? view(extra[i]) : QByteArrayView();
        }
        QByteArrayView view(std::pair<quint32, quint32> p) const {
            return QByteArrayView(chars).sliced(p.first, p.second);
        }
        std::pair<quint32, quint32> add(const QString& folded);
    };
    const Indexed& indexOf(ElementKind kind) const;
    QString insertedText(ElementKind kind, int index) const;

    std::shared_ptr<const ElementCatalog> m_catalog;
    Indexed m_labels;
    Indexed m_categories;
    Indexed m_variants;
};

} // namespace diagnostics
