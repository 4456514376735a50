#pragma once

#include "core/HostServices.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace ado {
class Connection;
class Recordset;
} // namespace ado

namespace diagnostics {

// The kinds of element a formula names in its display form.
enum class ElementKind { Label, Category, Variant };

// The opening and closing delimiters of an element of `kind`.
QChar openingDelimiter(ElementKind kind);
QChar closingDelimiter(ElementKind kind);

// Every element a formula may name: the labels of the token dictionary in the current
// language (as the display-to-SQL translation recognises them), and the commercial categories
// and configurator variants of the company. Built once for a window or a run of the tool;
// read-only afterwards, so it may be shared with a worker thread.
class ElementCatalog {
public:
    // A category or variant: its code and the text the element tree shows ("code - description").
    struct Reference {
        QString code;
        QString text;
        QString id; // the category's id (CM01_IDCATEGORIA); empty for a variant or when unknown
    };

    // The labels through the host's translation service (one request per dictionary entry), and
    // the categories and variants of company `ditta` with the element tree's statements on the
    // host's connection. Without a connection, or when a list cannot be read, that list is
    // unknown and its references are not judged. Never throws.
    static ElementCatalog load(core::HostServices& host, const QString& ditta);
    // The labels only, through the host's translation service; the lists stay unknown (nothing
    // is judged against them) until readLists fills a copy, typically on another thread.
    static ElementCatalog withLabels(core::HostServices& host);
    // Reads the categories and variants of company `ditta` on `connection` (which must belong to
    // the calling thread). A list that cannot be read stays unknown. `cancelled`, when given, is
    // asked between rows: reading stops and the lists stay unknown once it answers true.
    void readLists(ado::Connection* connection, const QString& ditta,
                   const std::function<bool()>& cancelled = {});

    // The labels with an identity translation and the given lists (tests, benchmarks).
    static ElementCatalog withLists(const QList<Reference>& categories, const QList<Reference>& variants);

    bool knowsLabel(const QString& label) const { return m_labels.contains(label); }
    // Whether a reference text ("C01 - Colore" without its delimiters) names an element of the
    // list; true as well when the list is unknown.
    bool knowsReference(ElementKind kind, const QString& referenceText) const;
    bool listKnown(ElementKind kind) const;

    // The nearest known elements to what was written, written as the formula writes them
    // ("[Prezzo lordo]", "{C01 - Colore}"), best first, at most `count`. Case, doubled blanks and
    // accents are forgiven.
    QStringList suggest(ElementKind kind, const QString& written, int count = 3) const;

    // The host's translation of a base text of the dictionary as it was when the catalogue was
    // built (the text itself when unknown): the translations of the live diagnostics use it
    // instead of asking the host from another thread.
    QString translated(const QString& italian) const { return m_translations.value(italian, italian); }

    const QStringList& labels() const { return m_labelList; }
    // The dictionary entry (1 to 139) of each label of labels(), in the same order: the first
    // entry that gives the label.
    const QList<int>& labelEntries() const { return m_labelEntries; }
    // The company's categories or variants in the order the element tree lists them: how many,
    // the text of one without a copy, and one whole.
    qsizetype referenceCount(ElementKind kind) const { return list(kind).items.size(); }
    QStringView referenceText(ElementKind kind, qsizetype index) const;
    // The code and the id of one, without a copy.
    QStringView referenceCode(ElementKind kind, qsizetype index) const;
    QStringView referenceId(ElementKind kind, qsizetype index) const;
    Reference reference(ElementKind kind, qsizetype index) const;
    // The first reference whose code (right-trimmed) is `code`, or nullopt.
    std::optional<Reference> findReference(ElementKind kind, const QString& code) const;

private:
    // The references of one kind kept compact: 100,000 of them would cost tens of megabytes as
    // separate strings. Every text lives in one buffer; an item is offsets into it, and the codes
    // are found through the items' indexes sorted by code (the first of equal codes first).
    struct Piece {
        quint32 at = 0;
        quint32 size = 0;
    };
    struct Item {
        Piece code;
        Piece text;
        Piece id;
    };
    struct List {
        QString chars;
        std::vector<Item> items;
        std::vector<quint32> byCode;
        Piece add(QStringView text);
        QStringView view(Piece p) const { return QStringView(chars).mid(p.at, p.size); }
        void sortCodes();
        qsizetype find(QStringView code) const;
    };
    const List& list(ElementKind kind) const {
        return kind == ElementKind::Category ? m_categories : m_variants;
    }
    void setLabels(const std::function<QString(const QString&)>& translate);
    // Reading one list: a page at a time, or (when the pages do not add up to the list) in one
    // statement. False when it could not be read or was cancelled.
    enum class Outcome { Read, Cancelled, Failed };
    bool readList(ado::Connection* connection, ElementKind kind, const QString& ditta,
                  const std::function<bool()>& cancelled);
    Outcome readPaged(ado::Connection* connection, ElementKind kind, const QString& ditta,
                      const std::function<bool()>& cancelled);
    bool readWhole(ado::Connection* connection, ElementKind kind, const QString& statement,
                   const std::function<bool()>& cancelled);
    void addRow(ElementKind kind, const ado::Recordset& rs);
    void addReference(ElementKind kind, const QString& code, const QString& text, const QString& id = {});

    QSet<QString> m_labels;
    QStringList m_labelList;
    QList<int> m_labelEntries;
    QHash<QString, QString> m_translations;
    List m_categories;
    List m_variants;
    bool m_categoriesKnown = false;
    bool m_variantsKnown = false;
};

// What folding drops besides case, accents and doubled blanks.
enum class Fold {
    Blanks,     // nothing else: the suggestions compare what was written
    Apostrophes // apostrophes and quotes too: a search for "quantita 1" finds "Quantita' 1"
};

// `text` with case, accents and runs of blanks folded away, for comparing what a user wrote
// with a known element.
QString foldForComparison(const QString& text, Fold fold = Fold::Blanks);

} // namespace diagnostics
