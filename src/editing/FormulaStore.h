#pragma once

#include "check/Services.h"
#include "check/SyntaxCheck.h"
#include "check/TextBox.h"
#include "core/EditingContext.h"
#include "core/Error.h"
#include "core/Variant.h"

#include <QString>

#include <optional>

namespace check {

using core::EnumContestoFormule;
using core::vxContestoListino;
using core::vxContestoManutenzione;
using core::vxContestoProvider;

// The statement that writes a formula: `storedText` is the SQL form with its apostrophes already
// doubled, or nullopt for NULL; `idText` the identifier as text. nullopt for a context other
// than 0, 1 and 2.
std::optional<QString> updateStatement(int context, const std::optional<QString>& storedText,
                                       const QString& idText);

// The statement that reads the stored formula (column FORMULA), as the window's first
// activation builds it. nullopt for a context other than 0, 1 and 2.
std::optional<QString> selectStatement(int context, const QString& idText);

// The identifier as the statements write it: the plain text of CDecN(id). Throws ComError 13
// for an identifier that is no number.
QString identifierText(const core::Variant& id);

// Saving and clearing the formula of the window's record.
class FormulaStore {
public:
    // The host gives the connection (none: error 91), the message box, the error display
    // (VisualizzaErrore), the editing context and record id of the window's class, and the
    // translation of the message-box texts.
    struct Options {
        std::function<core::Variant(bool ShowMessage)> checkFormula; // the silent check; see checkWith
        DecodeFn decode;               // decodeToken; unset = the text is already in SQL form
        CanEncodeFn canEncode;         // unset = every stored form is taken to open again
        std::function<void()> written; // told after a statement wrote the record
    };

    // The check of the same formula box, for Services::checkFormula. `check` must outlive it.
    static std::function<core::Variant(bool)> checkWith(SyntaxCheck& check);

    // `formulaBox` and `host` must outlive the store.
    FormulaStore(TextBox& formulaBox, core::HostServices& host, Options options);

    // UpdateFormula: writes the SQL form of the formula box (trailing blanks trimmed) into the
    // record of the context, after a silent check and, when the check fails, the user's
    // confirmation; writes NULL for an empty box without asking; writes nothing when the
    // identifier is empty. Errors go to the error answer as "UpdateFormula"; never throws.
    void UpdateFormula();

    // The IMG_SAVE click (and Ctrl+S): UpdateFormula under the trap "IMG_SAVE_ButtonClick".
    void clickSave();
    // The IMG_CLEAR click: asks "Confermi l'eliminazione della formula?" and, on Yes, empties the
    // box and saves (NULL). Returns true when the user answered Yes.
    bool clickClear();

    // The last statement built (the window's SqlText).
    const QString& SqlText() const { return m_sqlText; }
    // Whether the last UpdateFormula executed its statement.
    bool lastWritten() const { return m_written; }

private:
    QString tr(const QString& text) const;
    int ask(const QString& prompt, int code, const QString& title) const;

    TextBox& m_box;
    core::HostServices& m_host;
    Options m_options;
    QString m_sqlText;
    bool m_written = false;
};

} // namespace check
