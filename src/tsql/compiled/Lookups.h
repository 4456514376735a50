#pragma once

// The sub-queries formulas write over the category and variant documents, compiled into look-ups
// over a row's nodes (Row::categories, Row::variants) instead of queries over parsed xml:
//   (SELECT COLS.value('@VALORE', 'type') AS VALORE
//    FROM @CM01_IDCATEGORIA.nodes('//CATEGORIE/CATEGORIA') TABLE_DEFINITION(COLS)
//    WHERE COLS.value('@IDCATEGORIA_CM01', 'type') = constant)
// and the same over @MG5F_CODICEVAR.nodes('//VARIANTI/VARIANTE') keyed by @MG5F_CODICEVAR.

#include "tsql/compiled/ProgramNodes.h"

namespace tsql::compiled {

struct LookupShape {
    bool variants = false;
    int variable = -1; // the xml variable's slot
    SqlType keyType, valueType;
    Value constant;
    CompareOp op = CompareOp::Equal;
    bool keyFirst = true; // the key is the comparison's left operand
};

// The look-up a sub-query is, or nullopt for any other query.
std::optional<LookupShape> lookupShape(const Select& sel);
// The node of a sub-query `e` of that shape.
ExprNodeP makeLookup(const Expr& e, const LookupShape& shape, CompileState& state);

// The root and element of the nodes of each document, and their key attribute.
struct DocumentShape {
    const char16_t* variable;
    const char16_t* root;
    const char16_t* element;
    const char16_t* key;
};
const DocumentShape& documentShape(bool variants);

} // namespace tsql::compiled
