#include "language/WhereUsed.h"

#include "ado/Ado.h"
#include "core/NullSafe.h"
#include "language/Dictionary.h"
#include "language/References.h"
#include "tables/ElementTables.h"
#include "tsql/text/Lexer.h"

#include <QSet>

#include <algorithm>

namespace language {

namespace {

using Kind = UsedElement::Kind;

// The variable of a dictionary label, in either direction's form.
std::optional<QString> variableOfLabel(const QString& label,
                                       const std::function<QString(const QString&)>& translate) {
    const TranslateFn tr = translate ? translate : [](const QString& s) { return s; };
    for (const Entry& entry : Dictionary::entries()) {
        if (Dictionary::label(entry, Direction::ToSql, tr) == label ||
            Dictionary::label(entry, Direction::ToDisplay, tr) == label)
            return entry.variable;
    }
    return std::nullopt;
}

// The code of a reference text between its delimiters: the text before " - ", or all of it.
QString codeOf(const QString& inner) {
    const QString code = refs::referenceCode(inner);
    return refs::trimBlanks(code.isEmpty() ? inner : code);
}

// The code a variant sub-query compares with, from its quoted value ("'V01' "): quotes undone,
// trailing blanks removed as CHAR comparison does.
QString variantCodeOf(const QString& quotedValue) {
    const std::optional<QString> code = refs::variantCodeOfValue(quotedValue);
    return code ? refs::rtrimBlanks(*code) : QString();
}

bool sameNumber(const QString& a, const QString& b) {
    if (a == b)
        return true;
    bool okA = false, okB = false;
    const double x = a.toDouble(&okA);
    const double y = b.toDouble(&okB);
    return okA && okB && x == y;
}

// Whether the sub-query of the element's kind starts at `pos` of `sql` and names the element.
bool referenceAt(const QString& sql, qsizetype pos, const UsedElement& element) {
    const bool category = element.kind == Kind::Category;
    const QStringView marker(category ? refs::CategoryMarker : refs::VariantMarker);
    if (!QStringView(sql).mid(pos).startsWith(marker))
        return false;
    qsizetype markerPos = -1;
    const std::optional<QString> value = category ? refs::findCategoryIdInQuery(sql, pos + 1, &markerPos)
                                                  : refs::findVariantCodeInQuery(sql, pos + 1, &markerPos);
    if (!value || markerPos != pos)
        return false;
    if (category)
        return sameNumber(refs::trimBlanks(*value), element.value);
    return variantCodeOf(*value).compare(element.value, Qt::CaseInsensitive) == 0;
}

} // namespace

std::optional<ElementName> parseElementName(const QString& element,
                                            const std::function<QString(const QString&)>& translate) {
    const QString text = refs::trimBlanks(element);
    if (text.size() < 2)
        return std::nullopt;
    const QChar first = text.front();
    const QChar last = text.back();
    if (first == u'@' && !text.contains(u' '))
        return ElementName{Kind::Variable, text.toUpper()};
    if (first == u'[' && last == u']') {
        if (const auto variable = variableOfLabel(text, translate))
            return ElementName{Kind::Variable, *variable};
        return std::nullopt;
    }
    const bool category = first == u'{' && last == u'}';
    const bool variant = first == u'|' && last == u'|' && text.size() > 2;
    if (!category && !variant)
        return std::nullopt;
    const QString code = codeOf(text.mid(1, text.size() - 2));
    if (code.isEmpty())
        return std::nullopt;
    return ElementName{category ? Kind::Category : Kind::Variant, code};
}

QList<int> usesIn(const QString& sql, const UsedElement& element) {
    std::optional<tsql::ServerError> error;
    const std::vector<tsql::Token> tokens = tsql::tokenize(sql, error);
    QList<int> lines;
    const QString variable = element.value.toUpper();
    for (const tsql::Token& token : tokens) {
        bool used = false;
        switch (element.kind) {
        case Kind::Variable:
            used = token.kind == tsql::Tok::Variable && token.text.toUpper() == variable;
            break;
        case Kind::Category:
        case Kind::Variant:
            // A sub-query starts with an identifier; the same text inside a string literal is
            // part of a string token and never starts one.
            used = token.kind == tsql::Tok::Ident && referenceAt(sql, token.pos, element);
            break;
        }
        if (used && (lines.isEmpty() || lines.last() != token.line))
            lines.append(token.line);
    }
    return lines;
}

WhereUsed::WhereUsed(ado::Connection& connection)
    : m_connection(connection) {}

std::optional<UsedElement> WhereUsed::resolve(const ElementName& name) {
    if (name.kind != Kind::Category)
        return UsedElement{name.kind, name.text};
    const ado::RecordsetPtr rs =
        m_connection.Execute(tables::categoryIdStatement(refs::rtrimBlanks(name.text)));
    if (!rs || !rs->IsOpen() || rs->IsEOF())
        return std::nullopt;
    const core::Variant id = rs->GetFields().Item(0).Value();
    if (id.isNull())
        return std::nullopt;
    return UsedElement{Kind::Category, refs::numberText(id)};
}

qint64 WhereUsed::run(const UsedElement& element, std::optional<int> context,
                      const std::function<void(const ElementUse&)>& each,
                      const std::function<bool()>& cancelled) {
    StoredFormulaReader reader(m_connection, context);
    qint64 found = 0;
    while (const std::optional<StoredFormula> record = reader.next()) {
        if (cancelled && cancelled())
            break;
        for (int line : usesIn(record->sql, element)) {
            ++found;
            if (each)
                each({record->context, record->id, record->description, line});
        }
    }
    return found;
}

} // namespace language
