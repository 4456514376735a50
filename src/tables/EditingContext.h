#pragma once

#include <cstdint>
#include <span>

namespace tables {

// The editing contexts of the formula editor (the component's enmContestoformule): which table
// holds the formula of the record the editor is opened for.
enum EnumContestoFormule : std::int32_t {
    vxContestoProvider = 0,     // price-list conditions of a provider
    vxContestoListino = 1,      // price-list quotations
    vxContestoManutenzione = 2, // price-list maintenance
};

// Everything this system knows of one context, in one place: the table and its columns, the
// caption of the editor (Italian, shown through the host's translation service) and the
// pieces the editor's statements are built from, with their blanks exactly as they are sent.
struct EditingContext {
    EnumContestoFormule number;
    const char* table;             // LP01_PROVIDER
    const char* idColumn;          // LP01_ID
    const char* formulaColumn;     // LP01_FORMULE
    const char* descriptionColumn; // LP01_DESCRIZIONE
    const char* companyColumn;     // LP01_DITTA_CG18
    const char* caption;           // "Formule della Condizione"
    // The save: table piece, set piece for a formula (the stored text and an apostrophe
    // follow), set piece for an empty box, where piece (the identifier follows).
    const char* updateTable;
    const char* setFormula;
    const char* setNull;
    const char* updateWhere;
    // The read of the first activation: "SELECT" + column + " FROM " + from + " WHERE " +
    // selectWhere + identifier.
    const char* selectColumn;
    const char* selectFrom;
    const char* selectWhere;
};

// The three contexts, in the order of their numbers.
std::span<const EditingContext> editingContexts();
// The context of a number; nullptr for a number that is none of them.
const EditingContext* editingContext(int number);

} // namespace tables
