#include "language/References.h"

#include "ado/Ado.h"
#include "core/Error.h"
#include "core/NullSafe.h"
#include "language/FormulaLanguage.h"
#include "tables/ElementTables.h"

#include <QSet>
#include <QStringMatcher>

namespace language::refs {

namespace {

QString str(const char16_t* s) {
    return QString::fromUtf16(s);
}

QChar openingOf(Kind kind) {
    return kind == Kind::Category ? u'{' : u'|';
}
QChar closingOf(Kind kind) {
    return kind == Kind::Category ? u'}' : u'|';
}

// Literal pieces of the sub-queries: constant-initialised, so that they are ready for a caller that
// builds a sub-query while the program's other globals are being initialised.
constexpr QLatin1String kSelect("( SELECT ");
constexpr QLatin1String kFrom(" FROM ");
constexpr QLatin1String kWhere(" WHERE ");
constexpr QLatin1String kClose(" )");
constexpr QLatin1String
    kCategorySource("     @CM01_IDCATEGORIA.nodes('//CATEGORIE/CATEGORIA') TABLE_DEFINITION(COLS) ");
constexpr QLatin1String
    kVariantSource("     @MG5F_CODICEVAR.nodes('//VARIANTI/VARIANTE') TABLE_DEFINITION(COLS) ");
constexpr QLatin1String kVariantColumn(" COLS.value('@VALORE', 'CHAR(20)') AS VALORE  ");

std::optional<QString> findValueInQuery(const QString& text, qsizetype start, const QString& marker,
                                        qsizetype* markerPos) {
    if (markerPos)
        *markerPos = -1;
    if (start < 1 || start > text.size())
        return std::nullopt;
    const qsizetype m = text.indexOf(marker, start - 1, Qt::CaseSensitive);
    if (m < 0)
        return std::nullopt;
    if (markerPos)
        *markerPos = m;
    const qsizetype valueStart = m + marker.size();
    // The closing parenthesis is looked for from the second character of the value on.
    if (valueStart + 1 >= text.size())
        return std::nullopt;
    const qsizetype close = text.indexOf(u')', valueStart + 1);
    if (close < 0)
        return std::nullopt;
    return text.mid(valueStart, close - valueStart);
}

} // namespace

QString extractDelimited(Kind kind, const QString& text) {
    return extractDelimited(kind, text, 0, nullptr);
}

QString extractDelimited(Kind kind, const QString& text, qsizetype from, qsizetype* openPos) {
    const qsizetype open = text.indexOf(openingOf(kind), from);
    if (openPos)
        *openPos = open;
    if (open < 0)
        return {};
    if (open + 2 >= text.size())
        return {};
    const qsizetype close = text.indexOf(closingOf(kind), open + 2);
    if (close < 0)
        return {};
    return text.mid(open + 1, close - open - 1);
}

QString referenceCode(const QString& reference) {
    const qsizetype sep = reference.indexOf(QLatin1String(" - "));
    if (sep < 1) // missing, or at the first character
        return {};
    return reference.left(sep);
}

std::optional<QString> findCategoryIdInQuery(const QString& text, qsizetype start, qsizetype* markerPos) {
    static const QString marker = str(CategoryMarker);
    return findValueInQuery(text, start, marker, markerPos);
}

std::optional<QString> findVariantCodeInQuery(const QString& text, qsizetype start, qsizetype* markerPos) {
    static const QString marker = str(VariantMarker);
    return findValueInQuery(text, start, marker, markerPos);
}

QString categoryValueColumn(int dataType) {
    switch (dataType) {
    case 1:
        return QStringLiteral(" COLS.value('@VALORE', 'DECIMAL(17,6)') AS VALORE  ");
    case 2:
        return QStringLiteral(" COLS.value('@VALORE', 'DECIMAL(1)') AS VALORE  ");
    default: // 0, and codes without a column of their own: read the value as text
        return QStringLiteral(" COLS.value('@VALORE', 'VARCHAR(20)') AS VALORE  ");
    }
}

namespace {

// The pieces of a sub-query before its value, for each value column (built once).
const QString& categoryHead(int dataType) {
    static const QString heads[3] = {
        kSelect + categoryValueColumn(0) + kFrom + kCategorySource + kWhere + QStringLiteral("     ") +
            str(CategoryMarker) + QLatin1Char(' '),
        kSelect + categoryValueColumn(1) + kFrom + kCategorySource + kWhere + QStringLiteral("     ") +
            str(CategoryMarker) + QLatin1Char(' '),
        kSelect + categoryValueColumn(2) + kFrom + kCategorySource + kWhere + QStringLiteral("     ") +
            str(CategoryMarker) + QLatin1Char(' '),
    };
    return heads[dataType == 1 || dataType == 2 ? dataType : 0];
}

const QString& variantHead() {
    static const QString head = QString(kSelect) + kVariantColumn + kFrom + kVariantSource + kWhere +
                                QStringLiteral("     ") + str(VariantMarker);
    return head;
}

QString withValue(const QString& head, const QString& value) {
    QString result;
    result.reserve(head.size() + value.size() + kClose.size());
    result.append(head).append(value).append(kClose);
    return result;
}

} // namespace

QString categorySubQuery(int dataType, const QString& idText) {
    return withValue(categoryHead(dataType), idText);
}

QString variantSubQueryFromQuoted(const QString& quotedCode) {
    return withValue(variantHead(), quotedCode);
}

QString variantSubQuery(const QString& code) {
    return variantSubQueryFromQuoted(QLatin1Char('\'') + code + QLatin1Char('\''));
}

QString numberText(const core::Variant& value) {
    if (value.isNumeric())
        return value.toDecimal().toString();
    return value.toString();
}

QString rtrimBlanks(const QString& s) {
    qsizetype end = s.size();
    while (end > 0 && s.at(end - 1) == u' ')
        --end;
    return end == s.size() ? s : s.left(end);
}

QString trimBlanks(const QString& s) {
    qsizetype begin = 0;
    while (begin < s.size() && s.at(begin) == u' ')
        ++begin;
    return rtrimBlanks(s.mid(begin));
}

std::optional<QString> variantCodeOfValue(const QString& markerValue) {
    const QString quoted = trimBlanks(markerValue);
    if (quoted.size() < 2 || !quoted.startsWith(u'\'') || !quoted.endsWith(u'\''))
        return std::nullopt;
    return quoted.mid(1, quoted.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
}

std::optional<QString> variantLabelStatement(const QString& quotedCode) {
    const QString code = trimBlanks(quotedCode);
    if (code.size() < 2 || !code.startsWith(u'\'') || !code.endsWith(u'\''))
        return std::nullopt;
    // The stored sub-query carries the code between quotes exactly as the reference gave it:
    // the text between the outer quotes is the code to find.
    return tables::variantLabelStatement(code.mid(1, code.size() - 2));
}

Lookup::Lookup(const Services& services)
    : m_services(services)
    , m_answers(services.answers ? *services.answers : m_own) {}

std::shared_ptr<ado::Recordset> Lookup::execute(const QString& statement) {
    if (m_services.execute) {
        ++m_statements;
        return m_services.execute(statement);
    }
    ado::Connection* connection = m_services.host->connection();
    if (!connection)
        throw core::ComError(core::err::ObjectVariableNotSet,
                             QStringLiteral("Object variable or With block variable not set"));
    ++m_statements;
    return connection->Execute(statement);
}

std::optional<core::Variant> Lookup::firstValue(const QString& statement, const QString& field) {
    std::shared_ptr<ado::Recordset> rs = execute(statement);
    if (!rs || rs->RecordCount() <= 0)
        return std::nullopt;
    core::Variant value =
        field.isEmpty() ? rs->GetFields().Item(0).Value() : rs->GetFields().Item(field).Value();
    rs->Close();
    return value;
}

core::Variant Lookup::lookupCategoryId(const QString& reference) {
    const QString code = rtrimBlanks(referenceCode(reference));
    if (auto it = m_answers.categoryIds.constFind(code); it != m_answers.categoryIds.constEnd())
        return it.value();
    const auto value =
        firstValue(tables::categoryIdStatement(code), QString::fromLatin1(tables::field::CategoryId));
    core::Variant id = value ? *value : core::Variant::fromInt16(0);
    m_answers.categoryIds.insert(code, id);
    return id;
}

qint16 Lookup::getCategoryDataType(const core::Variant& id) {
    return getCategoryDataType(id, numberText(id));
}

qint16 Lookup::getCategoryDataType(const core::Variant&, const QString& idText) {
    if (auto it = m_answers.dataTypes.constFind(idText); it != m_answers.dataTypes.constEnd())
        return it.value();
    const auto value = firstValue(tables::categoryDataTypeStatement(idText),
                                  QString::fromLatin1(tables::field::CategoryDataType));
    const qint16 dataType = value ? value->toInt16() : qint16(0); // a null code raises here
    m_answers.dataTypes.insert(idText, dataType);
    return dataType;
}

std::optional<QString> Lookup::lookupCategoryLabel(const core::Variant& id) {
    if (!id.isNumeric() || id.toDecimal().compare(core::Decimal()) <= 0)
        return std::nullopt;
    return lookupCategoryLabel(id, numberText(id));
}

std::optional<QString> Lookup::lookupCategoryLabel(const core::Variant& id, const QString& idText) {
    if (!id.isNumeric() || id.toDecimal().compare(core::Decimal()) <= 0)
        return std::nullopt;
    if (auto it = m_answers.categoryLabels.constFind(idText); it != m_answers.categoryLabels.constEnd())
        return it.value();
    std::optional<QString> label;
    if (const auto value = firstValue(tables::categoryLabelStatement(idText), QString())) {
        const QString text = core::RTrimN(*value).toString();
        if (!text.isEmpty())
            label = text;
    }
    m_answers.categoryLabels.insert(idText, label);
    return label;
}

std::optional<QString> Lookup::lookupVariantLabel(const QString& quotedCode) {
    const QString code = trimBlanks(quotedCode);
    if (code.isEmpty())
        return std::nullopt;
    if (auto it = m_answers.variantLabels.constFind(code); it != m_answers.variantLabels.constEnd())
        return it.value();
    std::optional<QString> label;
    if (const auto statement = variantLabelStatement(code)) {
        if (const auto value = firstValue(*statement, QString())) {
            const QString text = core::RTrimN(*value).toString();
            if (!text.isEmpty())
                label = text;
        }
    }
    m_answers.variantLabels.insert(code, label);
    return label;
}

bool Lookup::forEachRow(const QList<InList>& parts,
                        const std::function<void(const QList<core::Variant>&)>& row) {
    constexpr qsizetype chunk = 200;
    qsizetype longest = 0;
    for (const InList& part : parts)
        longest = std::max(longest, part.literals.size());
    bool complete = true;
    for (qsizetype at = 0; at < longest; at += chunk) {
        // The parts with values left, each with at most `chunk` of them, joined by UNION ALL.
        QString statement;
        for (const InList& part : parts) {
            if (at >= part.literals.size())
                continue;
            if (!statement.isEmpty())
                statement += QStringLiteral(" UNION ALL ");
            statement += part.select + QStringLiteral(" IN (") +
                         part.literals.mid(at, chunk).join(QStringLiteral(", ")) + u')';
        }
        try {
            std::shared_ptr<ado::Recordset> rs = execute(statement);
            if (!rs || !rs->IsOpen()) {
                complete = false;
                continue;
            }
            for (const QList<core::Variant>& values : rs->rowSet().rows)
                row(values);
            rs->Close();
        } catch (...) {
            // Left to the look-ups, which report the failure themselves.
            complete = false;
        }
    }
    return complete;
}

namespace {

std::optional<qint16> dataTypeOf(const core::Variant& v) {
    try {
        if (!v.isNull())
            return v.toInt16();
    } catch (const core::ComError&) {
    }
    return std::nullopt; // the look-up itself raises the error
}

} // namespace

void Lookup::prefetchCategoryCodes(const QString& text) {
    QStringList codes;
    QSet<QString> codeSet;
    for (qsizetype from = 0;;) {
        const qsizetype open = text.indexOf(u'{', from);
        if (open < 0 || open + 2 >= text.size())
            break;
        const qsizetype close = text.indexOf(u'}', open + 2);
        if (close < 0)
            break;
        const QString code = rtrimBlanks(referenceCode(text.mid(open + 1, close - open - 1)));
        if (!code.isEmpty() && !m_answers.categoryIds.contains(code) && !codeSet.contains(code)) {
            codes.append(code);
            codeSet.insert(code);
        }
        from = close + 1;
    }
    if (codes.size() < 2)
        return; // a single look-up sends its own statement
    QStringList literals;
    for (const QString& code : codes)
        literals.append(sqlLiteral(code));
    // Codes compare as the server compares them (collation, trailing blanks): only a row whose
    // code is the requested one character for character answers for it.
    forEachRow({{tables::categoryCodesInSelect(), literals}}, [&](const QList<core::Variant>& row) {
        const QString code = rtrimBlanks(core::RTrimN(row.value(0)).toString());
        if (!codeSet.contains(code) || m_answers.categoryIds.contains(code))
            return;
        m_answers.categoryIds.insert(code, row.value(1));
        if (row.value(1).isNumeric()) {
            if (const auto type = dataTypeOf(row.value(2)))
                m_answers.dataTypes.insert(numberText(row.value(1)), *type);
        }
    });
}

QStringList markerValues(const QString& text, Kind kind) {
    const QString marker = QString::fromUtf16(kind == Kind::Category ? CategoryMarker : VariantMarker);
    const QStringMatcher matcher(marker, Qt::CaseSensitive);
    QStringList values;
    for (qsizetype at = matcher.indexIn(text, 0); at >= 0; at = matcher.indexIn(text, at + 1)) {
        // As findValueInQuery reads it from the marker's position.
        const qsizetype valueStart = at + marker.size();
        const qsizetype close = valueStart + 1 < text.size() ? text.indexOf(u')', valueStart + 1) : -1;
        if (close >= 0)
            values.append(text.mid(valueStart, close - valueStart));
    }
    return values;
}

void Lookup::prefetchCategoryIds(const QString& text) {
    prefetchCategoryIds(markerValues(text, Kind::Category));
}

void Lookup::prefetchVariantCodes(const QString& text) {
    prefetchVariantCodes(markerValues(text, Kind::Variant));
}

void Lookup::prefetchCategoryIds(const QStringList& markerValues) {
    prefetchLabels(markerValues, {});
}

void Lookup::prefetchVariantCodes(const QStringList& markerValues) {
    prefetchLabels({}, markerValues);
}

void Lookup::prefetchLabels(const QStringList& categoryValues, const QStringList& variantValues) {
    // The category ids not answered yet, as numberText gives them.
    QStringList ids;
    QSet<QString> idSet;
    QSet<QString> valuesSeen;
    for (const QString& value : categoryValues) {
        if (valuesSeen.contains(value))
            continue;
        valuesSeen.insert(value);
        try {
            const core::Variant id = core::CDecN(core::Variant(value));
            if (!id.isNumeric() || id.toDecimal().compare(core::Decimal()) <= 0)
                continue;
            const QString idText = numberText(id);
            if (!m_answers.categoryLabels.contains(idText) && !idSet.contains(idText)) {
                ids.append(idText);
                idSet.insert(idText);
            }
        } catch (const core::ComError&) {
            // not a number: the pass reports it
        }
    }
    // The variant codes not answered yet: quoted and trimmed, and the text between the quotes.
    QStringList codes;
    QStringList codeLiterals;
    QHash<QString, qsizetype> codeIndex;
    for (const QString& markerValue : variantValues) {
        const QString code = trimBlanks(markerValue);
        if (code.size() < 2 || !code.startsWith(u'\'') || !code.endsWith(u'\''))
            continue;
        const QString value = code.mid(1, code.size() - 2);
        if (!m_answers.variantLabels.contains(code) && !codeIndex.contains(value)) {
            codeIndex.insert(value, codes.size());
            codes.append(code);
            codeLiterals.append(sqlLiteral(value));
        }
    }
    // A single look-up of each kind sends its own statements; once one kind needs the joined
    // statement, a single look-up of the other kind rides along in it instead of going alone.
    if (ids.size() < 2 && codes.size() < 2)
        return;

    // Both kinds in one statement: a category row has an id, a variant row a code.
    QSet<QString> answered;
    const bool complete =
        forEachRow({{tables::categoryLabelsInSelect(), ids}, {tables::variantLabelsInSelect(), codeLiterals}},
                   [&](const QList<core::Variant>& row) {
                       if (row.size() < 4)
                           return;
                       const QString label = core::RTrimN(row.at(2)).toString();
                       const std::optional<QString> answer =
                           label.isEmpty() ? std::nullopt : std::optional<QString>(label);
                       if (row.at(0).isNumeric()) {
                           const QString idText = numberText(row.at(0));
                           if (!idSet.contains(idText) || answered.contains(idText))
                               return;
                           answered.insert(idText);
                           m_answers.categoryLabels.insert(idText, answer);
                           if (const auto type = dataTypeOf(row.at(3)))
                               m_answers.dataTypes.insert(idText, *type);
                           return;
                       }
                       // Codes compare as the server compares them (collation, trailing blanks): only a row
                       // whose code is the requested one character for character answers for it.
                       const qsizetype i =
                           codeIndex.value(rtrimBlanks(core::RTrimN(row.at(1)).toString()), -1);
                       if (i >= 0 && !m_answers.variantLabels.contains(codes[i]))
                           m_answers.variantLabels.insert(codes[i], answer);
                   });
    // Numbers compare exactly: an id the statement did not return is in no row.
    if (complete) {
        for (const QString& idText : std::as_const(ids)) {
            if (!answered.contains(idText)) {
                m_answers.categoryLabels.insert(idText, std::nullopt);
                m_answers.dataTypes.insert(idText, 0);
            }
        }
    }
}

} // namespace language::refs
