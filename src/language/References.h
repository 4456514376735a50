#pragma once

#include "core/Variant.h"
#include "tables/Literals.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace ado {
class Recordset;
}

namespace language {

struct Services;

// Commercial category and configurator variant references.
//
// Display form: a category reference is "{" + code + " - " + description + "}", a variant
// reference "|" + code + " - " + description + "|". SQL form: a sub-query over the XML
// variables @CM01_IDCATEGORIA and @MG5F_CODICEVAR that the environment running the formula
// fills in. The pieces below are the exact texts of the stored form.
namespace refs {

enum class Kind { Category = 0, Variant = 1 };

// Markers by which the SQL-to-display direction finds the sub-queries.
inline constexpr char16_t CategoryMarker[] = u"COLS.value('@IDCATEGORIA_CM01', 'DECIMAL(10)') =";
inline constexpr char16_t VariantMarker[] = u"COLS.value('@MG5F_CODICEVAR', 'CHAR(20)') =";

// Check-mode stand-ins (dictionary entries 35 and 77, declared by the check preamble).
inline constexpr char16_t CategoryPlaceholder[] = u"@DO11_CODSEDE_CG31";
inline constexpr char16_t VariantPlaceholder[] = u"@DO30_CODART_MG66";

// Largest text the reference passes accept: their positions are signed 16-bit numbers.
inline constexpr qsizetype MaxPassLength = 32767;

// The text between the first pair of delimiters ("{" "}" for categories, "|" "|" for variants),
// or the empty string. The closing delimiter is looked for from the second character after
// the opening one, so the content has at least one character and "||" does not pair.
QString extractDelimited(Kind kind, const QString& text);
// The same, also giving the 0-based position of the opening delimiter (-1 when no pair).
QString extractDelimited(Kind kind, const QString& text, qsizetype from, qsizetype* openPos);

// The code of a reference text: the text before the first " - ", when that separator starts
// at the second character or later; otherwise the empty string. Untrimmed.
QString referenceCode(const QString& reference);
// Variant references take their code untrimmed, exactly as above.
inline QString extractVariantCode(const QString& reference) {
    return referenceCode(reference);
}

// The text between the category marker (found from the 1-based position `start`) and the next
// ")" looked for from the second character of the value on: the id with one blank before and
// after it in a well-formed sub-query. nullopt when the marker or the parenthesis is missing.
// `markerPos` receives the 0-based position of the marker found (-1 when none).
std::optional<QString> findCategoryIdInQuery(const QString& text, qsizetype start,
                                             qsizetype* markerPos = nullptr);
// The same for the variant marker: the quoted code followed by one blank.
std::optional<QString> findVariantCodeInQuery(const QString& text, qsizetype start,
                                              qsizetype* markerPos = nullptr);

// The value column of a category sub-query for a data-type code. 0 reads text, 1 a decimal
// number, 2 a flag; any other code reads the value as text too, so the sub-query stays valid
// T-SQL and rebuilds identically in both directions.
QString categoryValueColumn(int dataType);
// The full sub-queries, character for character as they are stored.
QString categorySubQuery(int dataType, const QString& idText);
QString variantSubQuery(const QString& code);
// The variant sub-query for a code that already carries its quotes ('V01'), as the
// SQL-to-display direction rebuilds it from a stored sub-query.
QString variantSubQueryFromQuoted(const QString& quotedCode);

// Number written as the statements and sub-queries need it: plain decimal form with '.'.
QString numberText(const core::Variant& value);

// Right trim of blanks (spaces only), and trim of blanks at both ends.
QString rtrimBlanks(const QString& s);
QString trimBlanks(const QString& s);

// The variant code a sub-query compares with, from the value after its marker ("'V01' "): the
// text between the quotes with doubled quotes undone; nullopt when the value is no single-quoted
// literal.
std::optional<QString> variantCodeOfValue(const QString& markerValue);

// A T-SQL string literal holding `value` (the statements' own, in src/tables).
using tables::sqlLiteral;

// The look-up of a variant's label (tables::variantLabelStatement) for `quotedCode`, the code
// as it stands in a stored sub-query, quotes included ('V01'). nullopt when it is no
// single-quoted literal: such a code can match no row.
std::optional<QString> variantLabelStatement(const QString& quotedCode);

// The values after the markers of one kind in a text, in text order (what
// findCategoryIdInQuery / findVariantCodeInQuery give at each marker).
QStringList markerValues(const QString& text, Kind kind);

// The answers of the look-ups, by what each look-up asks: a category code (right-trimmed), a
// category id as numberText writes it, a variant code quoted and trimmed as in a sub-query. Keys
// are compared exactly, so an answer is only reused for the very look-up that gave it.
struct LookupAnswers {
    QHash<QString, core::Variant> categoryIds;
    QHash<QString, qint16> dataTypes;
    QHash<QString, std::optional<QString>> categoryLabels;
    QHash<QString, std::optional<QString>> variantLabels;

    qsizetype size() const {
        return categoryIds.size() + dataTypes.size() + categoryLabels.size() + variantLabels.size();
    }
    void clear() { *this = {}; }
};

// The look-ups on the host connection, with their answers kept for the length of one
// translation, or in the services' answers (Services::answers) while the data cannot change: a
// look-up whose answer is known is not sent again. Errors (database, null data-type code,
// overflow of the code) are thrown as core::ComError.
class Lookup {
public:
    explicit Lookup(const Services& services);

    // The category id of a reference text (the raw field value), or the 16-bit 0 when none.
    core::Variant lookupCategoryId(const QString& reference);
    // The data-type code of a category, 0 when none; a null code raises error 94.
    qint16 getCategoryDataType(const core::Variant& id);
    // The same when the id's text (numberText) is already known.
    qint16 getCategoryDataType(const core::Variant& id, const QString& idText);
    // The category's code and description, or nullopt (only ids greater than 0 are looked up;
    // a null or blank answer counts as none).
    std::optional<QString> lookupCategoryLabel(const core::Variant& id);
    std::optional<QString> lookupCategoryLabel(const core::Variant& id, const QString& idText);
    // The variant's code and description for a quoted code, or nullopt.
    std::optional<QString> lookupVariantLabel(const QString& quotedCode);

    // Answers in advance, with one statement per kind, the look-ups a pass is about to make
    // for the references of `text`, so that a formula with many references does not send one
    // statement per reference. Only answers that are certain are kept (rows found, and ids
    // that are not there); everything else is left to the look-ups above, which then send
    // their own statements. A failing statement here is no error: the look-ups report it.
    void prefetchCategoryCodes(const QString& displayText);
    void prefetchCategoryIds(const QString& sqlText);
    void prefetchVariantCodes(const QString& sqlText);
    // The same from the values found after the markers of a text, in text order (what
    // findCategoryIdInQuery / findVariantCodeInQuery give at each marker).
    void prefetchCategoryIds(const QStringList& markerValues);
    void prefetchVariantCodes(const QStringList& markerValues);
    // Both kinds at once, in one statement when either kind has several look-ups to answer.
    void prefetchLabels(const QStringList& categoryValues, const QStringList& variantValues);

    qint64 statementsSent() const { return m_statements; }

private:
    std::shared_ptr<ado::Recordset> execute(const QString& statement);
    // A query ending in a column, and the literals it is to be compared with.
    struct InList {
        QString select;
        QStringList literals;
    };
    // Runs the queries of `parts` with their IN lists (at most 200 literals each at a time),
    // joined by UNION ALL, and hands every row to `row`. Parts without literals are left out.
    // False when a statement failed or returned no recordset.
    bool forEachRow(const QList<InList>& parts, const std::function<void(const QList<core::Variant>&)>& row);

    // Runs a statement; when it returns rows, the value of `field` (by name, or the first
    // field when empty) of the first row.
    std::optional<core::Variant> firstValue(const QString& statement, const QString& field);

    const Services& m_services;
    LookupAnswers m_own;      // the answers of this look-up alone, when the services keep none
    LookupAnswers& m_answers; // m_own, or the services' answers
    qint64 m_statements = 0;
};

} // namespace refs
} // namespace language
