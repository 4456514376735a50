#pragma once

#include "core/Variant.h"

#include <QString>

#include <optional>

// The statements over the tables the elements of a formula come from: the entity hierarchy of
// the element tree (LP14_CAMPI), the company's commercial categories (CM01_CATEGORIECOMM) and
// configurator variants (MG5F_DIMECONF). Each returns the text exactly as it is sent; the
// irregular blanks are those the editor has always sent.
namespace tables {

// The columns the callers read by name from the answers of these statements.
namespace field {
inline constexpr char EntityId[] = "LP14_INDELEMENTO";
inline constexpr char EntityDescription[] = "LP14_DESCRIZIONE";
inline constexpr char CategoryId[] = "CM01_IDCATEGORIA";
inline constexpr char CategoryDataType[] = "CM01_INDTIPODATO";
inline constexpr char VariantCode[] = "MG5F_CODICEVAR";
} // namespace field

// ---- The element tree ----
// The active entity roots, and the active children of a root (`rootId`: CDecN of its id).
QString rootsStatement();
QString childrenStatement(const core::Variant& rootId);

// A company's categories or variants (`ditta` appended unchanged, no quotes), by code, with the
// text the tree shows in the column DESCRIZIONE.
enum class CompanyList { Categories, Variants };
QString listStatement(CompanyList list, const QString& ditta);
QString categoriesStatement(const QString& ditta);
QString variantsStatement(const QString& ditta);
// The same lists read a page at a time: at most `rows` rows whose code sorts after the T-SQL
// literal `afterLiteral` (from the first when empty), in the same order, each with its raw code
// in the column CHIAVE; and the number of rows of the whole list (column RIGHE).
QString listPageStatement(CompanyList list, const QString& ditta, int rows, const QString& afterLiteral);
QString listCountStatement(CompanyList list, const QString& ditta);
// Whether the company has a category at all (IsAttiveCategorieCommerciali).
QString categoriesTestStatement(const QString& ditta);

// ---- The look-ups of the translation ----
// The category id of a code (right-trimmed by the caller).
QString categoryIdStatement(const QString& code);
// The data-type code of a category id.
QString categoryDataTypeStatement(const QString& idText);
// The code and description of a category id (its trailing blanks removed here).
QString categoryLabelStatement(const QString& idText);
// The code and description of a variant code (the text between the quotes of a sub-query).
QString variantLabelStatement(const QString& code);

// The look-ups of many references at once: each query ends in the column that an IN list of
// literals follows. Rows of the category codes: code, id, data-type code. Rows of the labels: a
// category's id, NULL, its text, its data-type code; a variant's NULL, code, text, NULL (so the two
// go in one statement joined by UNION ALL).
QString categoryCodesInSelect();
QString categoryLabelsInSelect();
QString variantLabelsInSelect();

} // namespace tables
