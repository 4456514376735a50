#include "tables/EditingContext.h"

namespace tables {

namespace {

// The irregular blanks of the statement pieces are those the editor has always sent.
constexpr EditingContext kContexts[] = {
    {vxContestoProvider, "LP01_PROVIDER", "LP01_ID", "LP01_FORMULE", "LP01_DESCRIZIONE", "LP01_DITTA_CG18",
     "Formule della Condizione", "UPDATE LP01_PROVIDER", " SET LP01_FORMULE = '", " SET LP01_FORMULE = NULL",
     " WHERE LP01_ID = ", " LP01_FORMULE AS FORMULA", " LP01_PROVIDER", " LP01_ID = "},
    {vxContestoListino, "LP07_QUOTAZIONI", "LP07_ID", "LP07_FORMULE", "LP07_DESCRIZIONE", "LP07_DITTA_CG18",
     "Formule del Listino", "UPDATE LP07_QUOTAZIONI", " SET LP07_FORMULE = '", " SET LP07_FORMULE = NULL",
     " WHERE LP07_ID = ", " LP07_FORMULE AS FORMULA", " LP07_QUOTAZIONI ", " LP07_ID = "},
    {vxContestoManutenzione, "LP17_FORMULEMANUT", "LP17_ID", "LP17_FORMULA", "LP17_DESCRIZIONE",
     "LP17_DITTA_CG18", "Formule della manutenzione listini", "UPDATE LP17_FORMULEMANUT ",
     " SET LP17_FORMULA = '", " SET LP17_FORMULA = NULL", " WHERE LP17_ID = ", " LP17_FORMULA AS FORMULA",
     " LP17_FORMULEMANUT ", " LP17_ID = "},
};

} // namespace

std::span<const EditingContext> editingContexts() {
    return kContexts;
}

const EditingContext* editingContext(int number) {
    for (const EditingContext& c : kContexts)
        if (c.number == number)
            return &c;
    return nullptr;
}

} // namespace tables
