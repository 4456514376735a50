#include "check/TrialRun.h"

#include "check/Declarations.h"
#include "check/TrialTexts.h"
#include "language/Dictionary.h"
#include "language/References.h"
#include "tsql/text/Lexer.h"
#include "tsql/values/Value.h"

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace check {

namespace {

namespace refs = language::refs;

const QString LineEnd = QStringLiteral("\r\n");
const QString OutputPrefix = QStringLiteral("@OUT");

QString tr(const TrialTranslateFn& translate, const QString& text) {
    return translate ? translate(text) : text;
}

TrialElement variableElement(const DeclaredVariable& v) {
    return {TrialElement::Kind::Variable, v.variable, v.type, v.variable.startsWith(OutputPrefix)};
}

// The value a marker of a sub-query compares with, as the user names the element: the id
// without its blanks, the code without its quotes.
QString markerKey(const QString& value, refs::Kind kind) {
    if (kind == refs::Kind::Variant)
        if (std::optional<QString> code = refs::variantCodeOfValue(value))
            return *code;
    return refs::trimBlanks(value);
}

void appendReferences(QList<TrialElement>& out, const QString& sql, refs::Kind kind) {
    QSet<QString> seen;
    for (const QString& value : refs::markerValues(sql, kind)) {
        const QString key = markerKey(value, kind);
        if (key.isEmpty() || seen.contains(key))
            continue;
        seen.insert(key);
        out.append({kind == refs::Kind::Category ? TrialElement::Kind::Category : TrialElement::Kind::Variant,
                    key, QString(), false});
    }
}

QString xmlEscaped(const QString& text) {
    // Most keys and values hold none of the characters escaped: they are taken as they are.
    if (std::none_of(text.cbegin(), text.cend(),
                     [](QChar c) { return c == u'&' || c == u'<' || c == u'>' || c == u'"' || c == u'\''; }))
        return text;
    return text.toHtmlEscaped().replace(u'\'', QStringLiteral("&apos;"));
}

QString unicodeLiteral(const QString& text) {
    return QLatin1Char('N') + refs::sqlLiteral(text);
}

// A date as the stored reading reads it: gg/mm/aaaa, yyyy-mm-dd, yyyymmdd, or what the engine
// converts to `type`.
std::optional<QDateTime> storedDate(const QString& text, const tsql::SqlType& type) {
    if (std::optional<QDateTime> dt = typedDate(text, TrialReading::Stored))
        return dt;
    try {
        return tsql::convert(tsql::Value::str(text), type, true).dt.get();
    } catch (const tsql::SqlError&) {
        return std::nullopt;
    }
}

std::optional<QDateTime> readDate(const QString& text, const tsql::SqlType& type, TrialReading reading) {
    return reading == TrialReading::Stored ? storedDate(text, type) : typedDate(text, reading);
}

TrialLiteral dateLiteral(const QString& text, const tsql::SqlType& type, const TrialTranslateFn& translate,
                         TrialReading reading) {
    const std::optional<QDateTime> dt = readDate(text, type, reading);
    if (!dt)
        return {QString(), tr(translate, reading == TrialReading::English ? trialmsg::NotADateMonthFirst
                                                                          : trialmsg::NotADate)
                               .arg(text)};
    // The unseparated form reads the same whatever the session's DATEFORMAT and language.
    return {QLatin1Char('\'') + dt->toString(QStringLiteral("yyyyMMdd HH:mm:ss.zzz")) + QLatin1Char('\''),
            {}};
}

// Sign, digits, at most one point and a digit somewhere: a number as the C locale writes it
// without grouping.
bool isPlainNumber(QStringView text) {
    qsizetype i = text.startsWith(u'-') || text.startsWith(u'+') ? 1 : 0;
    bool point = false, digits = false;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'.' && !point)
            point = true;
        else if (c >= u'0' && c <= u'9')
            digits = true;
        else
            return false;
    }
    return digits;
}

// A number as the stored reading reads it: the C locale's, or a single decimal comma.
QString storedNumber(QString text) {
    if (!text.contains(u'.') && text.count(u',') == 1)
        text.replace(u',', u'.'); // the Italian decimal comma
    return text;
}

// The type a declaration names, read once per thread and name (a preview asks for every value).
std::optional<tsql::SqlType> declaredType(const QString& name) {
    thread_local QHash<QString, std::optional<tsql::SqlType>> types;
    const auto it = types.constFind(name);
    if (it != types.constEnd())
        return *it;
    if (types.size() > 256)
        types.clear();
    return *types.insert(name, tsql::parseTypeName(name));
}

TrialLiteral numberLiteral(const QString& text, const TrialElement& element, const tsql::SqlType& type,
                           const TrialTranslateFn& translate, TrialReading reading) {
    QString c;
    QString shown = text; // the text a refusal names
    if (reading == TrialReading::Stored || !type.isNumeric()) {
        c = storedNumber(text);
        shown = c;
    } else {
        const TypedNumber n = typedNumber(text, reading);
        if (n.status == TypedNumber::Status::Ambiguous)
            return {QString(), tr(translate, reading == TrialReading::English ? trialmsg::AmbiguousComma
                                                                              : trialmsg::AmbiguousPoint)
                                   .arg(text, n.thousands, n.decimal)};
        if (n.status == TypedNumber::Status::NotANumber)
            return {QString(), tr(translate, trialmsg::NotANumber).arg(text, element.type)};
        c = n.text;
    }
    try {
        const tsql::Value v = tsql::convert(tsql::Value::str(c), type, true);
        return {tsql::toText(v), {}};
    } catch (const tsql::SqlError& e) {
        const bool overflow = e.error.number == 8115 || e.error.number == 220 || e.error.number == 232;
        return {QString(), overflow ? tr(translate, trialmsg::TooLarge).arg(shown, element.type)
                                    : tr(translate, trialmsg::NotANumber).arg(shown, element.type)};
    }
}

} // namespace

const QList<TrialElement>& trialOutputs() {
    // The declarations never change: the list is made once.
    static const QList<TrialElement> outputs = [] {
        QList<TrialElement> out;
        for (const DeclaredVariable& v : declaredVariables())
            if (v.variable.startsWith(OutputPrefix))
                out.append(variableElement(v));
        return out;
    }();
    return outputs;
}

std::optional<TrialElement> declaredElement(const QString& name) {
    const QString upper = name.trimmed().toUpper();
    for (const DeclaredVariable& v : declaredVariables())
        if (v.variable == upper)
            return variableElement(v);
    return std::nullopt;
}

QList<TrialElement> trialElements(const QString& sql) {
    std::optional<tsql::ServerError> error;
    return trialElements(sql, tsql::tokenize(sql, error));
}

QList<TrialElement> trialElements(const QString& sql, const std::vector<tsql::Token>& tokens) {
    QSet<QString> used;
    for (const tsql::Token& t : tokens)
        if (t.kind == tsql::Tok::Variable)
            used.insert(t.upper);
    QList<TrialElement> out;
    for (const DeclaredVariable& v : declaredVariables())
        if (used.contains(v.variable))
            out.append(variableElement(v));
    appendReferences(out, sql, refs::Kind::Category);
    appendReferences(out, sql, refs::Kind::Variant);
    return out;
}

QString trialLabel(const TrialElement& element, const TrialTranslateFn& translate) {
    if (element.kind == TrialElement::Kind::Category)
        return u'{' + element.key + u'}';
    if (element.kind == TrialElement::Kind::Variant)
        return u'|' + element.key + u'|';
    const language::TranslateFn tf = [&translate](const QString& text) { return tr(translate, text); };
    for (const language::Entry& entry : language::Dictionary::entries())
        if (entry.variable.compare(element.key, Qt::CaseInsensitive) == 0)
            return language::Dictionary::label(entry, language::Direction::ToDisplay, tf);
    return element.key;
}

std::optional<TrialElement> elementNamed(const QString& name, const TrialTranslateFn& translate) {
    const QString trimmed = name.trimmed();
    if (trimmed.startsWith(u'@'))
        return declaredElement(trimmed);
    const QString label = trimmed.startsWith(u'[') ? trimmed : u'[' + trimmed + u']';
    for (const DeclaredVariable& v : declaredVariables()) {
        const TrialElement element = variableElement(v);
        if (trialLabel(element, translate).compare(label, Qt::CaseInsensitive) == 0)
            return element;
    }
    return std::nullopt;
}

std::optional<tsql::Value> trialPlainNumber(const TrialElement& element, const QString& text) {
    if (element.kind != TrialElement::Kind::Variable)
        return std::nullopt;
    const std::optional<tsql::SqlType> type = declaredType(element.type);
    return type ? trialPlainNumber(*type, text) : std::nullopt;
}

std::optional<tsql::Value> trialPlainNumber(const tsql::SqlType& type, const QString& text) {
    if (type.id != tsql::TypeId::Decimal)
        return std::nullopt;
    // The SET of the literal trialLiteral writes for such a text (its value at the type's scale)
    // gives the value the text converts to.
    if (!isPlainNumber(text))
        return std::nullopt;
    const std::optional<tsql::Numeric> n = tsql::decimalFromText(text, type);
    if (!n)
        return std::nullopt;
    tsql::Value v;
    v.type = type;
    v.null = false;
    v.n = *n;
    return v;
}

TrialLiteral trialLiteral(const TrialElement& element, const QString& text, const TrialTranslateFn& translate,
                          TrialReading reading) {
    if (text.contains(u'\n') || text.contains(u'\r'))
        return {QString(), tr(translate, trialmsg::LineBreak)};
    if (element.kind != TrialElement::Kind::Variable)
        return {text, {}};
    const QString value = text.trimmed();
    if (value.isEmpty())
        return {QStringLiteral("NULL"), {}};
    const std::optional<tsql::SqlType> type = declaredType(element.type);
    if (!type)
        return {unicodeLiteral(text), {}};
    if (type->isString()) {
        if (type->length > 0 && text.size() > type->length)
            return {QString(), tr(translate, trialmsg::TooLong).arg(text).arg(type->length)};
        return {unicodeLiteral(text), {}};
    }
    if (type->isDate()) {
        // The rows of a file repeat the same few dates: the last ones read are kept, per thread.
        thread_local QHash<QString, TrialLiteral> dates;
        const QString key = QChar(u'0' + int(reading)) + element.type + u'\n' + value;
        if (const auto it = dates.constFind(key);
            it != dates.constEnd() && (it->error.isEmpty() || !translate))
            return *it;
        if (dates.size() >= 1024)
            dates.clear();
        const TrialLiteral literal = dateLiteral(value, *type, translate, reading);
        return literal.error.isEmpty() ? *dates.insert(key, literal) : literal;
    }
    return numberLiteral(value, element, *type, translate, reading);
}

TrialLiteral trialStoredText(const TrialElement& element, const QString& text, TrialReading reading,
                             const TrialTranslateFn& translate) {
    const TrialLiteral literal = trialLiteral(element, text, translate, reading);
    if (!literal.error.isEmpty())
        return {QString(), literal.error};
    const QString value = text.trimmed();
    if (reading == TrialReading::Stored || value.isEmpty() || element.kind != TrialElement::Kind::Variable)
        return {text, {}};
    const std::optional<tsql::SqlType> type = declaredType(element.type);
    if (!type)
        return {text, {}};
    if (type->isDate())
        return {storedDateText(*typedDate(value, reading)), {}};
    if (type->isNumeric())
        return {typedNumber(value, reading).text, {}};
    return {text, {}};
}

QString trialTypedText(const TrialElement& element, const QString& stored, TrialReading reading) {
    const QString value = stored.trimmed();
    if (reading == TrialReading::Stored || value.isEmpty() || element.kind != TrialElement::Kind::Variable)
        return stored;
    const std::optional<tsql::SqlType> type = declaredType(element.type);
    if (!type)
        return stored;
    if (type->isDate()) {
        const std::optional<QDateTime> dt = storedDate(value, *type);
        return dt ? typedDateText(*dt, reading) : stored;
    }
    if (type->isNumeric()) {
        const QString c = storedNumber(value);
        return isPlainNumber(c) ? trialShownNumber(c, reading) : stored;
    }
    return stored;
}

QString trialShownNumber(const QString& text, TrialReading reading) {
    if (reading != TrialReading::Italian || !isPlainNumber(text))
        return text;
    return QString(text).replace(u'.', u',');
}

QString trialReferenceXml(const QList<TrialInput>& inputs, TrialElement::Kind kind) {
    const bool category = kind == TrialElement::Kind::Category;
    QString items;
    for (const TrialInput& input : inputs) {
        if (input.element.kind != kind || input.text.isEmpty())
            continue;
        items += (category ? QStringLiteral("<CATEGORIA IDCATEGORIA_CM01=\"")
                           : QStringLiteral("<VARIANTE MG5F_CODICEVAR=\"")) +
                 xmlEscaped(input.element.key) + QStringLiteral("\" VALORE=\"") + xmlEscaped(input.text) +
                 QStringLiteral("\"/>");
    }
    if (items.isEmpty())
        return {};
    return category ? QStringLiteral("<CATEGORIE>") + items + QStringLiteral("</CATEGORIE>")
                    : QStringLiteral("<VARIANTI>") + items + QStringLiteral("</VARIANTI>");
}

QString trialDeclarations() {
    static const QString text =
        CheckDeclarations() + QStringLiteral("DECLARE @CM01_IDCATEGORIA XML, @MG5F_CODICEVAR XML") + LineEnd;
    return text;
}

namespace {

QString makeOutputsSelect(const QString& step) {
    QString select = QStringLiteral("SELECT N'") + step + QStringLiteral("' AS ") + TrialStepColumn;
    for (const TrialElement& out : trialOutputs())
        select +=
            QStringLiteral(", CONVERT(NVARCHAR(100), ") + out.key + QStringLiteral(") AS ") + out.key.mid(1);
    return select;
}

// The two SELECTs of the outputs never change: made once.
const QString& outputsSelect(const QString& step) {
    static const QString before = makeOutputsSelect(TrialStepBefore);
    static const QString after = makeOutputsSelect(TrialStepAfter);
    return step == TrialStepBefore ? before : after;
}

// The lines of a formula, counted once for the runs of the same text one after the other (the
// rows of one evaluation share its text: the same characters in memory, never changed while
// shared).
int lineCount(const QString& sql) {
    thread_local QString last;
    thread_local int lines = 0;
    if (last.isNull() || last.constData() != sql.constData() || last.size() != sql.size()) {
        last = sql;
        lines = int(sql.count(u'\n')) + 1;
    }
    return lines;
}

int trialDeclarationLines() {
    static const int lines = int(trialDeclarations().count(u'\n'));
    return lines;
}

void refuse(TrialBatch& batch, const TrialInput& input, const QString& error,
            const TrialTranslateFn& translate) {
    batch.refusedKey = input.element.key;
    batch.refusal = tr(translate, trialmsg::ValueRefused).arg(input.element.key, error);
}

} // namespace

std::optional<QList<TrialInput>> trialStoredInputs(const QList<TrialInput>& inputs, TrialReading reading,
                                                   const TrialTranslateFn& translate, TrialBatch& refused) {
    QList<TrialInput> out;
    out.reserve(inputs.size());
    for (const TrialInput& input : inputs) {
        const TrialLiteral stored = trialStoredText(input.element, input.text, reading, translate);
        if (!stored.error.isEmpty()) {
            refuse(refused, input, stored.error, translate);
            return std::nullopt;
        }
        out.append({input.element, stored.literal});
    }
    return out;
}

TrialBatch trialBatch(const QString& sql, const QList<TrialInput>& inputs, const TrialTranslateFn& translate,
                      TrialText text) {
    TrialBatch b;
    const bool whole = text == TrialText::Whole;
    // The row's own lines after the declarations: its values and the SELECT of the outputs before,
    // written out for the whole text only; their line breaks are counted from their pieces (a
    // document's literal breaks its lines where the document does: only quotes are doubled).
    QString prefix;
    int lines = 1; // the SELECT of the outputs before
    auto set = [&](const QString& variable, const QString& value, bool document) {
        lines += 1 + int(value.count(u'\n'));
        if (whole)
            prefix += QStringLiteral("SET ") + variable + QStringLiteral(" = ") +
                      (document ? unicodeLiteral(value) : value) + LineEnd;
    };
    for (const TrialInput& input : inputs) {
        const TrialLiteral literal = trialLiteral(input.element, input.text, translate);
        if (!literal.error.isEmpty()) {
            refuse(b, input, literal.error, translate);
            return b;
        }
        if (input.element.kind == TrialElement::Kind::Variable && literal.literal != QLatin1String("NULL"))
            set(input.element.key, literal.literal, false);
    }
    if (const QString categories = trialReferenceXml(inputs, TrialElement::Kind::Category);
        !categories.isEmpty())
        set(QStringLiteral("@CM01_IDCATEGORIA"), categories, true);
    if (const QString variants = trialReferenceXml(inputs, TrialElement::Kind::Variant); !variants.isEmpty())
        set(QStringLiteral("@MG5F_CODICEVAR"), variants, true);
    b.prefixLines = trialDeclarationLines() + lines;
    b.formulaLines = lineCount(sql);
    if (whole) {
        prefix += outputsSelect(TrialStepBefore) + LineEnd;
        b.prefixLength = trialDeclarations().size() + prefix.size();
        b.text = trialDeclarations() + prefix + sql + LineEnd + outputsSelect(TrialStepAfter);
    }
    return b;
}

} // namespace check
