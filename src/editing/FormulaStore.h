#pragma once

#include "check/Services.h"
#include "check/SyntaxCheck.h"
#include "core/Error.h"
#include "core/TextBox.h"
#include "core/Variant.h"

#include <QString>

#include <optional>

namespace editing {

// Saving and clearing the formula of the window's record.
class FormulaStore {
public:
    // The host gives the connection (none: error 91), the message box, the error display
    // (VisualizzaErrore), the editing context and record id of the window's class, and the
    // translation of the message-box texts.
    struct Options {
        std::function<core::Variant(bool ShowMessage)> checkFormula; // the silent check; see checkWith
        check::DecodeFn decode;        // decodeToken; unset = the text is already in SQL form
        check::CanEncodeFn canEncode;  // unset = every stored form is taken to open again
        std::function<void()> written; // told after a statement wrote the record
        // Asked once a formula has passed the check (or the user took it anyway), just before it
        // is written, with its SQL form: false stops the save (the record's test cases differ and
        // the user did not confirm). Unset: nothing more is asked.
        std::function<bool(const QString& sqlForm)> confirmWrite;
    };

    // The check of the same formula box, for Services::checkFormula. `check` must outlive it.
    static std::function<core::Variant(bool)> checkWith(check::SyntaxCheck& check);

    // `formulaBox` and `host` must outlive the store.
    FormulaStore(core::TextBox& formulaBox, core::HostServices& host, Options options);

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
    // One UpdateFormula: its steps and the state they hand on (FormulaStore.cpp).
    class Save;

    QString tr(const QString& text) const;
    int ask(const QString& prompt, int code, const QString& title) const;

    core::TextBox& m_box;
    core::HostServices& m_host;
    Options m_options;
    QString m_sqlText;
    bool m_written = false;
};

} // namespace editing
