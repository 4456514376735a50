#include "language/FormulaLanguage.h"
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

// Replaces every occurrence of `before` at or after `from` by `after`, scanning left to right
// and never searching inserted text again. Returns the number of replacements. Callers pass
// a `from` before which `before` cannot occur, so the result is that of a replacement over
// the whole text.
qsizetype replaceAll(QString& text, const QString& before, const QString& after, qsizetype from,
                     PositionMap* map) {
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
    std::vector<PositionMap::Edit> edits;
    while (pos >= 0) {
        out.append(QStringView(text).mid(last, pos - last));
        out.append(after);
        if (map)
            edits.push_back({pos, before.size(), after.size()});
        last = pos + before.size();
        ++count;
        pos = matcher.indexIn(text, last);
    }
    out.append(QStringView(text).mid(last));
    text = std::move(out);
    if (map)
        map->apply(edits);
    return count;
}

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

namespace {

using refs::Kind;

const QString kDecode = QStringLiteral("decodeToken");
const QString kEncode = QStringLiteral("encodeToken");

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
void replaceDictionary(QString& text, const QList<std::pair<QString, QString>>& pairs, bool fromVariables,
                       PositionMap* map = nullptr) {
    bool singleScan = true;
    for (const auto& [from, to] : pairs) {
        const QString& label = fromVariables ? to : from;
        const QStringView inner = QStringView(label).mid(1, label.size() - 2);
        if (inner.contains(u'[') || inner.contains(u']') || label.contains(u'@'))
            singleScan = false;
    }
    if (!singleScan) {
        for (const auto& [from, to] : pairs)
            replaceAll(text, from, to, 0, map);
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
        text = spliced(
            text, size, found,
            [&pairs](const Found& f) {
                return Splice{f.pos, f.length, &pairs[f.pair].second};
            },
            map);
}

// Display form to SQL form: the dictionary in table order, "[Modello]", the category pass,
// "[Opzione]", the variant pass. False when a step was answered with abort.
bool toSql(Run& run, bool checkMode) {
    QString& w = run.text;
    const TranslateFn translate = [&run](const QString& s) { return run.translate(s); };
    // The labels are formed first, one request per entry in table order; an entry whose
    // translation failed and was ignored is left out.
    QList<std::pair<QString, QString>> pairs; // label, variable
    pairs.reserve(Dictionary::LastOrdinaryEntry);
    for (int number = 1; number <= Dictionary::LastOrdinaryEntry; ++number) {
        const Entry& entry = Dictionary::entry(number);
        if (!run.step([&] {
                pairs.append({Dictionary::label(entry, Direction::ToSql, translate), entry.variable});
            }))
            return false;
    }
    replaceDictionary(w, pairs, false, run.map);
    const Entry& model = Dictionary::entry(Dictionary::ModelEntry);
    if (!run.step([&] {
            replaceAll(w, Dictionary::label(model, Direction::ToSql, translate), model.variable, 0, run.map);
        }))
        return false;
    if (!referencesToSql(run, Kind::Category, checkMode))
        return false;
    const Entry& option = Dictionary::entry(Dictionary::OptionEntry);
    if (!run.step([&] {
            replaceAll(w, Dictionary::label(option, Direction::ToSql, translate), option.variable, 0,
                       run.map);
        }))
        return false;
    return referencesToSql(run, Kind::Variant, checkMode);
}

// SQL form to display form: the dictionary (longer variables of the prefix pairs first), the
// variable of "Modello", the category pass, the variable of "[Opzione]", the variant pass.
bool toDisplay(Run& run) {
    QString& w = run.text;
    const TranslateFn translate = [&run](const QString& s) { return run.translate(s); };
    QList<std::pair<QString, QString>> pairs; // variable, label
    pairs.reserve(displayOrder().size());
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
    return decodeToken(text, checkMode, nullptr);
}

core::ErrorAnswerFn FormulaLanguage::notingOverLimit(core::ErrorAnswerFn answer) {
    m_lastOverLimit = false;
    return [this, answer = std::move(answer)](const QString& procedure, const core::ErrorInfo& error) {
        if (error.number == core::err::Overflow)
            m_lastOverLimit = true;
        return answer ? answer(procedure, error) : static_cast<int>(core::Answer::Abort);
    };
}

QString FormulaLanguage::decodeToken(const QString& text, bool checkMode, PositionMap* map) {
    m_lastStatements = 0;
    m_lastErrors = 0;
    m_lastOverLimit = false;
    if (map)
        map->clear();
    if (isBlank(text))
        return {};
    Run run(m_services, kDecode, notingOverLimit(m_services.host->errorAnswerFn()));
    run.text = text;
    run.map = map;
    const bool completed = toSql(run, checkMode);
    m_lastStatements = run.lookup().statementsSent();
    m_lastErrors = run.errors();
    return completed ? run.text : QString();
}

void FormulaLanguage::prefetchDisplayLookups(const QStringList& texts) {
    if (!m_services.answers)
        return;
    QStringList categories;
    QStringList variants;
    for (const QString& text : texts) {
        categories += refs::markerValues(text, Kind::Category);
        variants += refs::markerValues(text, Kind::Variant);
    }
    refs::Lookup(m_services).prefetchLabels(categories, variants);
}

QString FormulaLanguage::encodeToken(const QString& text) {
    return encodeToken(text, m_services.host->errorAnswerFn());
}

QString FormulaLanguage::encodeToken(const QString& text, const core::ErrorAnswerFn& errorAnswer) {
    m_lastStatements = 0;
    m_lastErrors = 0;
    m_lastOverLimit = false;
    if (isBlank(text))
        return {};
    Run run(m_services, kEncode, notingOverLimit(errorAnswer));
    run.text = text;
    const bool completed = toDisplay(run);
    m_lastStatements = run.lookup().statementsSent();
    m_lastErrors = run.errors();
    return completed ? run.text : QString();
}

} // namespace language
