#pragma once

#include "check/Services.h"
#include "check/SyntaxCheck.h"
#include "core/Error.h"
#include "core/TextBox.h"
#include "core/Variant.h"
#include "editing/FormulaHistory.h"

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
        // Who writes, from where and why, for the version every write appends to the history
        // (LP31_VERSIONI, in the transaction of the UPDATE). Unset: the window, no user named.
        std::function<VersionAuthor()> author;
        // The version of the record the writer read (0: none kept yet); unset: not compared.
        // When the record has another latest version, `moved` is asked with it after the
        // transaction ended: true writes over it (once; a record that moved again is left as it
        // is), false or unset writes nothing (lastMoved() then names the newer version).
        std::function<std::optional<int>()> expectedVersion;
        std::function<bool(const FormulaVersion& newer)> moved;
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
    // The version the last UpdateFormula appended (0: none, for no record matched or no write).
    int lastVersion() const { return m_version; }
    // Whether the last write went through with no version, on a database without the history table.
    bool lastUnrecorded() const { return m_unrecorded; }
    // The newer version that stopped the last UpdateFormula (see Options::expectedVersion).
    const std::optional<FormulaVersion>& lastMoved() const { return m_moved; }

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
    int m_version = 0;
    bool m_unrecorded = false;
    std::optional<FormulaVersion> m_moved;
};

} // namespace editing
