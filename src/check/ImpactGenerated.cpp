// Rows generated from one range per input: "NAME=da A a B passo P" (every step) or "NAME=N casuali
// da A a B seme S" (N values drawn evenly from the range), every combination of their values.

#include "check/Impact.h"
#include "check/ImpactTexts.h"

#include "tsql/values/Value.h"

#include <QRegularExpression>

#include <random>

namespace check {

namespace {

using Int = __int128;

QString tr(const TrialTranslateFn& translate, const QString& text) {
    return translate ? translate(text) : text;
}

// A decimal written with an optional sign and a point or comma: value / 10^scale.
struct Decimal {
    Int value = 0;
    int scale = 0;
};

// At most this many digits before and after the point: every value and step fits in 128 bits.
constexpr int MaxWholeDigits = 20;
constexpr int MaxScale = 12;

std::optional<Decimal> parseDecimal(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([+-]?)(\\d+)(?:[.,](\\d*))?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch() || m.captured(2).size() > MaxWholeDigits || m.captured(3).size() > MaxScale)
        return std::nullopt;
    Decimal d;
    for (QChar c : m.captured(2) + m.captured(3))
        d.value = d.value * 10 + (c.unicode() - u'0');
    d.scale = int(m.captured(3).size());
    if (m.captured(1) == QLatin1String("-"))
        d.value = -d.value;
    return d;
}

Int power10(int n) {
    Int p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// The value at `scale` digits after the point (cut, towards zero, when it has more).
Int rescaled(const Decimal& d, int scale) {
    return scale >= d.scale ? d.value * power10(scale - d.scale) : d.value / power10(d.scale - scale);
}

QString decimalText(Int value, int scale) {
    return tsql::Numeric{value, scale}.toString();
}

// One input's range.
struct Range {
    TrialElement element;
    int scale = 0;
    Int from = 0; // scaled
    Int step = 0; // scaled; 0: random
    Int to = 0;
    qint64 count = 0;
    std::uint64_t seed = 1;
    std::mt19937_64 engine;
    qint64 at = 0;   // index of the current value
    QString current; // its text
};

// A number drawn evenly from [0, span] with the engine's raw output: two draws make a 128-bit
// number, those above the largest multiple of span + 1 are drawn again, so that every platform
// draws the same values.
Int drawUpTo(std::mt19937_64& engine, Int span) {
    using U = unsigned __int128;
    const U n = U(span) + 1;
    const U limit = ~U(0) - (~U(0) % n);
    while (true) {
        const U x = (U(engine()) << 64) | U(engine());
        if (x < limit)
            return Int(x % n);
    }
}

void setValue(Range& r) {
    if (r.step != 0) {
        r.current = decimalText(r.from + r.step * Int(r.at), r.scale);
        return;
    }
    if (r.at == 0)
        r.engine.seed(r.seed); // every cycle of the combinations draws the same values
    r.current = decimalText(r.from + drawUpTo(r.engine, r.to - r.from), r.scale);
}

class GeneratedSource : public ImpactSource {
public:
    GeneratedSource(std::vector<Range> ranges, qint64 total, const TrialTranslateFn& translate)
        : m_ranges(std::move(ranges))
        , m_total(total)
        , m_origin(tr(translate, impactmsg::GeneratedOrigin)) {
        for (Range& r : m_ranges)
            setValue(r);
    }
    std::optional<ImpactRow> next() override {
        if (m_done >= m_total)
            return std::nullopt;
        ImpactRow row;
        row.inputs.reserve(qsizetype(m_ranges.size()));
        for (const Range& r : m_ranges)
            row.inputs.append({r.element, r.current});
        row.origin = m_origin;
        row.number = ++m_done;
        // The last range moves fastest, as an odometer's digits.
        for (size_t i = m_ranges.size(); i-- > 0;) {
            Range& r = m_ranges[i];
            r.at = r.at + 1 < r.count ? r.at + 1 : 0;
            setValue(r);
            if (r.at != 0)
                break;
        }
        return row;
    }
    qint64 size() const override { return m_total; }

private:
    std::vector<Range> m_ranges;
    qint64 m_total;
    QString m_origin; // "riga generata %1", the row's number put in when it is reported
    qint64 m_done = 0;
};

// The spec's items, split at the ';' that are outside brackets, braces and bars.
QStringList items(const QString& spec) {
    QStringList out;
    QString current;
    QChar closing;
    for (QChar c : spec) {
        if (closing.isNull() && c == u';') {
            out << current;
            current.clear();
            continue;
        }
        if (closing.isNull() && (c == u'[' || c == u'{' || c == u'|'))
            closing = c == u'[' ? u']' : c == u'{' ? u'}' : u'|';
        else if (!closing.isNull() && c == closing)
            closing = QChar();
        current += c;
    }
    out << current;
    return out;
}

// The position of the '=' after the item's name (its delimiters skipped), -1 when none.
qsizetype equalsOf(const QString& item) {
    const QString& t = item;
    qsizetype i = 0;
    while (i < t.size() && t.at(i).isSpace())
        ++i;
    if (i < t.size() && (t.at(i) == u'[' || t.at(i) == u'{' || t.at(i) == u'|')) {
        const QChar closing = t.at(i) == u'[' ? u']' : t.at(i) == u'{' ? u'}' : u'|';
        const qsizetype end = t.indexOf(closing, i + 1);
        if (end < 0)
            return -1;
        i = end + 1;
    }
    return t.indexOf(u'=', i);
}

struct Parsed {
    std::optional<Decimal> count, from, to, step, seed;
};

// The range's words in Italian or English.
std::optional<Parsed> parseRange(const QString& text) {
    static const QRegularExpression steps(
        QStringLiteral("^\\s*(?:da|from)\\s+(\\S+)\\s+(?:a|to)\\s+(\\S+)\\s+(?:passo|step)\\s+(\\S+)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression random(
        QStringLiteral("^\\s*(\\S+)\\s+(?:casuali|random)\\s+(?:da|from)\\s+(\\S+)\\s+(?:a|to)\\s+(\\S+)"
                       "(?:\\s+(?:seme|seed)\\s+(\\S+))?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    Parsed p;
    if (const QRegularExpressionMatch m = steps.match(text); m.hasMatch()) {
        p.from = parseDecimal(m.captured(1));
        p.to = parseDecimal(m.captured(2));
        p.step = parseDecimal(m.captured(3));
        if (!p.from || !p.to || !p.step)
            return std::nullopt;
        return p;
    }
    if (const QRegularExpressionMatch m = random.match(text); m.hasMatch()) {
        p.count = parseDecimal(m.captured(1));
        p.from = parseDecimal(m.captured(2));
        p.to = parseDecimal(m.captured(3));
        p.seed = m.captured(4).isEmpty() ? Decimal{1, 0} : parseDecimal(m.captured(4));
        if (!p.count || p.count->scale != 0 || p.count->value < 1 || !p.from || !p.to || !p.seed ||
            p.seed->scale != 0 || p.seed->value < 0)
            return std::nullopt;
        return p;
    }
    return std::nullopt;
}

// The scale of the values of an element: its type's for a number, the range's own otherwise.
std::optional<int> scaleOf(const TrialElement& element, const Parsed& p) {
    int given = std::max(p.from->scale, p.to->scale);
    if (p.step)
        given = std::max(given, p.step->scale);
    if (element.kind != TrialElement::Kind::Variable)
        return given;
    const std::optional<tsql::SqlType> type = tsql::parseTypeName(element.type);
    if (!type || !type->isNumeric())
        return std::nullopt;
    if (type->isInteger())
        return p.step ? given : 0;
    if (type->isExactNumeric())
        return p.step ? std::max(given, std::min(type->scale, MaxScale)) : std::min(type->scale, MaxScale);
    return std::max(given, 6); // float, real
}

} // namespace

std::variant<std::unique_ptr<ImpactSource>, ImpactInputError>
generatedRows(const QString& spec, const ImpactElementFn& elements, const TrialTranslateFn& translate) {
    auto fail = [&](const QString& text) { return ImpactInputError{0, 0, text}; };
    if (spec.trimmed().isEmpty())
        return fail(tr(translate, impactmsg::SpecEmpty));
    std::vector<Range> ranges;
    qint64 total = 1;
    for (const QString& item : items(spec)) {
        if (item.trimmed().isEmpty())
            continue;
        const qsizetype eq = equalsOf(item);
        if (eq <= 0)
            return fail(tr(translate, impactmsg::SpecSyntax).arg(item.trimmed()));
        const QString name = item.left(eq).trimmed();
        const std::optional<TrialElement> element = elements(name);
        if (!element)
            return fail(tr(translate, impactmsg::SpecUnknown).arg(name));
        for (const Range& r : ranges)
            if (r.element == *element)
                return fail(tr(translate, impactmsg::SpecTwice).arg(name));
        const std::optional<Parsed> p = parseRange(item.mid(eq + 1));
        if (!p)
            return fail(tr(translate, impactmsg::SpecSyntax).arg(item.trimmed()));
        const std::optional<int> scale = scaleOf(*element, *p);
        if (!scale)
            return fail(tr(translate, impactmsg::SpecNotNumeric).arg(name));
        Range r;
        r.element = *element;
        r.scale = *scale;
        r.from = rescaled(*p->from, r.scale);
        r.to = rescaled(*p->to, r.scale);
        if (r.from > r.to)
            return fail(tr(translate, impactmsg::SpecOrder)
                            .arg(decimalText(p->from->value, p->from->scale),
                                 decimalText(p->to->value, p->to->scale)));
        if (p->step) {
            if (p->step->value <= 0)
                return fail(tr(translate, impactmsg::SpecStep));
            r.step = rescaled(*p->step, r.scale); // the scale is at least the step's own
            const Int count = (r.to - r.from) / r.step + 1;
            r.count = count > MaxGeneratedRows ? MaxGeneratedRows + 1 : qint64(count);
        } else {
            r.count = p->count->value > MaxGeneratedRows ? MaxGeneratedRows + 1 : qint64(p->count->value);
            r.seed = std::uint64_t(p->seed->value);
        }
        if (r.count > MaxGeneratedRows || total > MaxGeneratedRows / r.count)
            return fail(tr(translate, impactmsg::SpecTooMany).arg(MaxGeneratedRows));
        total *= r.count;
        ranges.push_back(std::move(r));
    }
    if (ranges.empty())
        return fail(tr(translate, impactmsg::SpecEmpty));
    return std::unique_ptr<ImpactSource>(
        std::make_unique<GeneratedSource>(std::move(ranges), total, translate));
}

} // namespace check
