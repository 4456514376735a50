#include "diagnostics/ElementCatalog.h"

#include "ado/Ado.h"
#include "core/NullSafe.h"
#include "language/Dictionary.h"
#include "language/References.h"
#include "tables/ElementTables.h"
#include "tree/StrutturaTree.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace diagnostics {

namespace {

// Longest text compared for suggestions: what a user wrote beyond it is no near miss.
constexpr qsizetype MaxCompared = 80;

// Edit distance of two folded texts, with one row of memory; gives up (returns limit + 1) as
// soon as every cell of a row exceeds `limit`.
int distance(const QString& a, const QString& b, int limit) {
    const qsizetype n = std::min(a.size(), MaxCompared);
    const qsizetype m = std::min(b.size(), MaxCompared);
    if (std::abs(int(n - m)) > limit)
        return limit + 1;
    std::vector<int> row(std::size_t(m + 1));
    for (qsizetype j = 0; j <= m; ++j)
        row[std::size_t(j)] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        int best = row[0];
        for (qsizetype j = 1; j <= m; ++j) {
            const int up = row[std::size_t(j)];
            const int cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
            row[std::size_t(j)] = std::min({up + 1, row[std::size_t(j - 1)] + 1, diagonal + cost});
            diagonal = up;
            best = std::min(best, row[std::size_t(j)]);
        }
        if (best > limit)
            return limit + 1;
    }
    return row[std::size_t(m)];
}

QString inner(const QString& written) {
    return written.size() >= 2 ? written.mid(1, written.size() - 2) : written;
}

} // namespace

QChar openingDelimiter(ElementKind kind) {
    return kind == ElementKind::Label ? u'[' : kind == ElementKind::Category ? u'{' : u'|';
}

QChar closingDelimiter(ElementKind kind) {
    return kind == ElementKind::Label ? u']' : kind == ElementKind::Category ? u'}' : u'|';
}

QString foldForComparison(const QString& text, Fold fold) {
    // Plain ASCII text has nothing to decompose: the search index folds 100,000 texts at once.
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    const QString decomposed = ascii ? text : text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    bool blank = false;
    for (QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        if (fold == Fold::Apostrophes &&
            (c == u'\'' || c == u'`' || c == u'\u2019' || c == u'\u2018' || c == u'"'))
            continue;
        if (c.isSpace()) {
            blank = !out.isEmpty();
            continue;
        }
        if (blank)
            out.append(u' ');
        blank = false;
        out.append(c.toCaseFolded());
    }
    return out;
}

void ElementCatalog::setLabels(const std::function<QString(const QString&)>& translate) {
    using language::Dictionary;
    using language::Direction;
    const language::TranslateFn remember = [this, &translate](const QString& italian) {
        QString shown = translate(italian);
        m_translations.insert(italian, shown);
        return shown;
    };
    for (const language::Entry& entry : Dictionary::entries()) {
        QString label;
        try {
            label = Dictionary::label(entry, Direction::ToSql, remember);
        } catch (...) {
            continue; // a label the service cannot give is one the translation leaves as written
        }
        if (!m_labels.contains(label)) {
            m_labelList.append(label);
            m_labelEntries.append(entry.number);
        }
        m_labels.insert(label);
    }
}

ElementCatalog::Piece ElementCatalog::List::add(QStringView text) {
    const Piece p{quint32(chars.size()), quint32(text.size())};
    chars.append(text);
    return p;
}

void ElementCatalog::List::sortCodes() {
    // A copy to the exact size costs both buffers for a moment: only when much is unused.
    if (chars.capacity() - chars.size() > chars.size() / 8)
        chars.squeeze();
    if (items.capacity() - items.size() > items.size() / 8)
        items.shrink_to_fit();
    byCode.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        byCode[i] = quint32(i);
    std::stable_sort(byCode.begin(), byCode.end(), [this](quint32 a, quint32 b) {
        return view(items[a].code).compare(view(items[b].code)) < 0;
    });
}

qsizetype ElementCatalog::List::find(QStringView code) const {
    const auto it = std::lower_bound(byCode.begin(), byCode.end(), code, [this](quint32 i, QStringView c) {
        return view(items[i].code).compare(c) < 0;
    });
    return it != byCode.end() && view(items[*it].code) == code ? qsizetype(*it) : -1;
}

void ElementCatalog::addReference(ElementKind kind, const QString& code, const QString& text,
                                  const QString& id) {
    List& list = kind == ElementKind::Category ? m_categories : m_variants;
    Item item;
    const QString trimmed = language::refs::rtrimBlanks(code);
    item.text = list.add(text);
    // The code is usually where the text begins: it is kept there once.
    item.code = text.startsWith(trimmed) ? Piece{item.text.at, quint32(trimmed.size())} : list.add(trimmed);
    item.id = list.add(id);
    list.items.push_back(item);
}

QStringView ElementCatalog::referenceText(ElementKind kind, qsizetype index) const {
    const List& l = list(kind);
    return l.view(l.items.at(std::size_t(index)).text);
}

QStringView ElementCatalog::referenceCode(ElementKind kind, qsizetype index) const {
    const List& l = list(kind);
    return l.view(l.items.at(std::size_t(index)).code);
}

QStringView ElementCatalog::referenceId(ElementKind kind, qsizetype index) const {
    const List& l = list(kind);
    return l.view(l.items.at(std::size_t(index)).id);
}

ElementCatalog::Reference ElementCatalog::reference(ElementKind kind, qsizetype index) const {
    const List& l = list(kind);
    const Item& item = l.items.at(std::size_t(index));
    return {l.view(item.code).toString(), l.view(item.text).toString(), l.view(item.id).toString()};
}

std::optional<ElementCatalog::Reference> ElementCatalog::findReference(ElementKind kind,
                                                                       const QString& code) const {
    const qsizetype index = list(kind).find(language::refs::rtrimBlanks(code));
    return index < 0 ? std::nullopt : std::optional<Reference>(reference(kind, index));
}

ElementCatalog ElementCatalog::withLabels(core::HostServices& host) {
    ElementCatalog c;
    c.setLabels([&host](const QString& s) { return host.translate(s); });
    return c;
}

ElementCatalog ElementCatalog::load(core::HostServices& host, const QString& ditta) {
    ElementCatalog c = withLabels(host);
    ado::Connection* connection = nullptr;
    try {
        connection = host.connection();
    } catch (...) {
        return c; // no database: the lists stay unknown
    }
    c.readLists(connection, ditta);
    return c;
}

namespace {

// Rows read at a time: a recordset of 100,000 rows holds tens of megabytes while it is turned
// into the compact lists; pages of this size hold a few.
constexpr int PageRows = 4096;

// The first field of the first row of a statement's recordset, or nullopt.
std::optional<qint64> countOf(ado::Connection* connection, const QString& statement) {
    std::shared_ptr<ado::Recordset> rs = connection->Execute(statement);
    if (!rs || rs->IsEOF())
        return std::nullopt;
    return rs->GetFields().Item(0).Value().toInt64();
}

} // namespace

void ElementCatalog::addRow(ElementKind kind, const ado::Recordset& rs) {
    // The text is "code - description"; the code is the text before the first " - ".
    const QString text = core::RTrimN(rs.GetFields().Item(QStringLiteral("DESCRIZIONE")).Value()).toString();
    QString id;
    if (kind == ElementKind::Category)
        id = language::refs::numberText(
            core::RTrimN(rs.GetFields().Item(QString::fromLatin1(tables::field::CategoryId)).Value()));
    addReference(kind, language::refs::referenceCode(text), text, id);
}

ElementCatalog::Outcome ElementCatalog::readPaged(ado::Connection* connection, ElementKind kind,
                                                  const QString& ditta,
                                                  const std::function<bool()>& cancelled) {
    const tables::CompanyList which =
        kind == ElementKind::Category ? tables::CompanyList::Categories : tables::CompanyList::Variants;
    const std::optional<qint64> expected = countOf(connection, tables::listCountStatement(which, ditta));
    if (!expected || *expected < 0 || *expected > qint64(std::numeric_limits<quint32>::max() / 4))
        return Outcome::Failed;
    List& l = kind == ElementKind::Category ? m_categories : m_variants;
    l.items.reserve(std::size_t(*expected));
    qint64 read = 0;
    QString after;
    for (;;) {
        std::shared_ptr<ado::Recordset> rs =
            connection->Execute(tables::listPageStatement(which, ditta, PageRows, after));
        qint64 rows = 0;
        QString key;
        for (; rs && !rs->IsEOF(); rs->MoveNext(), ++rows) {
            if (cancelled && cancelled())
                return Outcome::Cancelled;
            addRow(kind, *rs);
            key = core::RTrimN(rs->GetFields().Item(QStringLiteral("CHIAVE")).Value()).toString();
        }
        rs.reset();
        if (read == 0 && rows > 0) // the texts of the whole list at once, at the first page's size
            l.chars.reserve(qsizetype(l.chars.size() * (*expected) / rows * 17 / 16 + 64));
        read += rows;
        // A page that is not full is the last; more rows than counted mean that the pages do
        // not follow one another as the list does.
        if (rows < PageRows || read > *expected)
            break;
        after = language::refs::sqlLiteral(language::refs::rtrimBlanks(key));
    }
    // Codes the server compares as equal (case, accents) could fall between two pages: then the
    // rows read are not those of the list.
    return read == *expected ? Outcome::Read : Outcome::Failed;
}

bool ElementCatalog::readWhole(ado::Connection* connection, ElementKind kind, const QString& statement,
                               const std::function<bool()>& cancelled) {
    std::shared_ptr<ado::Recordset> rs = connection->Execute(statement);
    for (; rs && !rs->IsEOF(); rs->MoveNext()) {
        if (cancelled && cancelled())
            return false;
        addRow(kind, *rs);
    }
    return true;
}

bool ElementCatalog::readList(ado::Connection* connection, ElementKind kind, const QString& ditta,
                              const std::function<bool()>& cancelled) {
    List& l = kind == ElementKind::Category ? m_categories : m_variants;
    try {
        switch (readPaged(connection, kind, ditta, cancelled)) {
        case Outcome::Read:
            return true;
        case Outcome::Cancelled:
            return false;
        case Outcome::Failed:
            break;
        }
    } catch (...) {
    }
    // The list in one statement, as the element tree reads it.
    l = List();
    try {
        return readWhole(connection, kind,
                         kind == ElementKind::Category ? tables::categoriesStatement(ditta)
                                                       : tables::variantsStatement(ditta),
                         cancelled);
    } catch (...) {
        return false;
    }
}

void ElementCatalog::readLists(ado::Connection* connection, const QString& ditta,
                               const std::function<bool()>& cancelled) {
    if (!connection)
        return;
    m_categoriesKnown = readList(connection, ElementKind::Category, ditta, cancelled);
    if (cancelled && cancelled())
        return;
    m_variantsKnown = readList(connection, ElementKind::Variant, ditta, cancelled);
    m_categories.sortCodes();
    m_variants.sortCodes();
}

ElementCatalog ElementCatalog::withLists(const QList<Reference>& categories,
                                         const QList<Reference>& variants) {
    ElementCatalog c;
    c.setLabels([](const QString& s) { return s; });
    for (const Reference& r : categories)
        c.addReference(ElementKind::Category, r.code, r.text, r.id);
    for (const Reference& r : variants)
        c.addReference(ElementKind::Variant, r.code, r.text, r.id);
    c.m_categories.sortCodes();
    c.m_variants.sortCodes();
    c.m_categoriesKnown = c.m_variantsKnown = true;
    return c;
}

bool ElementCatalog::listKnown(ElementKind kind) const {
    return kind == ElementKind::Category  ? m_categoriesKnown
           : kind == ElementKind::Variant ? m_variantsKnown
                                          : true;
}

bool ElementCatalog::knowsReference(ElementKind kind, const QString& referenceText) const {
    if (!listKnown(kind))
        return true;
    const QString code = language::refs::rtrimBlanks(language::refs::referenceCode(referenceText));
    return list(kind).find(code) >= 0;
}

QStringList ElementCatalog::suggest(ElementKind kind, const QString& written, int count) const {
    const QString folded = foldForComparison(inner(written));
    const int limit = std::max(2, int(std::min(folded.size(), MaxCompared) / 4));
    struct Candidate {
        int score;
        QString text;
    };
    std::vector<Candidate> found;
    auto consider = [&](const QString& shown, const QString& compared) {
        const int d = distance(folded, foldForComparison(compared), limit);
        if (d <= limit)
            found.push_back({d, shown});
    };
    if (kind == ElementKind::Label) {
        for (const QString& label : m_labelList)
            consider(label, inner(label));
    } else {
        const List& l = list(kind);
        const QChar open = openingDelimiter(kind);
        const QChar close = closingDelimiter(kind);
        const QString writtenCode = foldForComparison(language::refs::referenceCode(inner(written)));
        for (const Item& item : l.items) {
            const QString text = l.view(item.text).toString();
            // The same code with another description is the nearest there is.
            if (foldForComparison(l.view(item.code).toString()) == writtenCode)
                found.push_back({0, open + text + close});
            else
                consider(open + text + close, text);
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Candidate& a, const Candidate& b) { return a.score < b.score; });
    QStringList out;
    for (const Candidate& c : found) {
        if (out.size() >= count)
            break;
        if (!out.contains(c.text))
            out.append(c.text);
    }
    return out;
}

} // namespace diagnostics
