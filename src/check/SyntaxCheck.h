#pragma once

#include "check/GuardedRun.h"
#include "check/Services.h"
#include "core/Error.h"
#include "core/HostServices.h"
#include "core/TextBox.h"
#include "core/Variant.h"

#include <QString>

namespace check {

// The syntax check of the formula box: the declarations followed by the formula translated in
// check mode run on the server; the formula is correct when the server accepts the batch.
//
// The check never changes data: the batch runs through runGuarded, inside a transaction that
// is always rolled back and within checkLimits(). A formula holding a statement that could
// defeat that (see guardBatch) is not sent and counts as not correct; so does a batch that
// changed the transaction count, a connection that already has a transaction open, and a
// formula whose translation reported an error.
//
// The server's message never reaches the message box: it goes to the log sink (the host log
// file) and stays readable through lastServerMessage().
// What the check needs besides its host services, which give the connection (none: not
// correct), the message box and the translation of its texts.
struct SyntaxCheckOptions {
    DecodeFn decode; // decodeToken; unset = the text is already in SQL form
    LogFn log;       // unset = the message is only kept
    ado::CommandLimits limits = checkLimits();
    // Where the batch runs; unset = on the host's connection, on the caller's thread.
    GuardedRunFn run;
    // Told at the end of every check, whatever its outcome (the window shows where it failed).
    std::function<void(const class SyntaxCheck&)> checked;
};

class SyntaxCheck {
public:
    using Options = SyntaxCheckOptions;

    // `formulaBox` and `host` must outlive the check.
    SyntaxCheck(core::TextBox& formulaBox, core::HostServices& host, Options options = {});

    // CheckFormula: checks the whole text of the formula box, untrimmed. Returns True when the
    // server executed the batch without an error, Empty in every other case. With ShowMessage
    // True the outcome is shown in the message box. Never throws.
    core::Variant CheckFormula(bool ShowMessage);

    // The IMG_CHECK click (and Ctrl+H): CheckFormula(True) under the trap
    // "IMG_CHECK_ButtonClick".
    void clickCheck(const core::ErrorAnswerFn& errorAnswer);

    // What the last check found.
    bool lastCorrect() const { return m_correct; }
    // Whether the last check told the user its outcome (ShowMessage True: the button, Ctrl+H),
    // not the save's silent check.
    bool lastShown() const { return m_shown; }
    // The last check reached no verdict because of the server (busy, too slow, connection lost:
    // see serverUnavailable): lastServerMessage() says so instead of pointing at the formula. The
    // outcome is still "not correct" (Empty, and the message box's prescribed text).
    bool lastServerBusy() const { return m_busy; }
    // The server's first message (or why the formula was not sent); empty after a correct check.
    const QString& lastServerMessage() const { return m_serverMessage; }
    // The line of the formula the message refers to, from 1; 0 when unknown or in the
    // declarations.
    int lastFormulaLine() const { return m_formulaLine; }
    // The batch of the last check (empty when the check failed before building it).
    const QString& lastBatch() const { return m_batch; }
    // Where the batch's message points: its line in the batch (from 1, 0 when unknown) and
    // column (from 1, 0 when the server gives none); the formula in check mode and its map
    // back to the text of the box, to place the message in the formula (see
    // diagnostics::placeInDisplay).
    int lastBatchLine() const { return m_batchLine; }
    int lastBatchColumn() const { return m_batchColumn; }
    const Translation& lastTranslation() const { return m_translation; }

    // The text sent to the server for a formula whose check-mode SQL form is `sql`.
    static QString checkBatch(const QString& sql);
    // Lines that precede the formula in the batch.
    static int declarationLines();

private:
    bool runBatch(ado::Connection* connection);
    void fail(const QString& message, int formulaLine = 0, int batchLine = 0, int column = 0);
    void show(bool correct);
    QString tr(const QString& text) const;

    core::TextBox& m_box;
    core::HostServices& m_host;
    Options m_options;
    bool m_correct = false;
    bool m_shown = false;
    bool m_busy = false;
    QString m_serverMessage;
    int m_formulaLine = 0;
    int m_batchLine = 0;
    int m_batchColumn = 0;
    Translation m_translation;
    QString m_batch;
    qsizetype m_prefixLength = 0; // the declaration block at the head of m_batch
};

} // namespace check
