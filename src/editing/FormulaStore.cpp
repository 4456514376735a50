#include "editing/FormulaStore.h"

#include "ado/Ado.h"
#include "check/Messages.h"
#include "core/NullSafe.h"
#include "language/References.h"
#include "language/StoredFormulas.h"
#include "tables/FormulaTables.h"
#include "tables/Literals.h"

namespace editing {

namespace msg = check::msg;
namespace answer = check::answer;

std::function<core::Variant(bool)> FormulaStore::checkWith(check::SyntaxCheck& check) {
    return [&check](bool showMessage) { return check.CheckFormula(showMessage); };
}

FormulaStore::FormulaStore(core::TextBox& formulaBox, core::HostServices& host, Options options)
    : m_box(formulaBox)
    , m_host(host)
    , m_options(std::move(options)) {}

QString FormulaStore::tr(const QString& text) const {
    return m_host.translate(text);
}

int FormulaStore::ask(const QString& prompt, int code, const QString& title) const {
    return m_host.messageBox(prompt, code, title);
}

// The steps of one save, in the order UpdateFormula runs them under one trap: on an error the
// user may abort (leave), retry the step or ignore it (go on with the next one). A step that
// failed and was ignored leaves its part of the state unset, and each step below states what it
// needs of the earlier ones, so an ignored failure never leads to a write built from missing
// pieces. A box with a formula goes through the formula steps, an empty box through the clearing
// steps; a step that decides nothing is to be written stops the rest.
class FormulaStore::Save {
public:
    explicit Save(FormulaStore& store)
        : m_store(store) {}

    // Reads the box, trailing blanks trimmed. Needs nothing.
    void readBox() {
        m_trimmed = core::RTrimN(core::Variant(m_store.m_box.text())).toString();
        m_box = m_trimmed.isEmpty() ? Box::Empty : Box::Formula;
    }

    // ---- A formula ----

    // Translates the formula to its SQL form (references expanded). Needs: a formula. The
    // translation reports its own errors; a result it reached through one (empty, or cut short
    // when the error was ignored) is not the formula, and writing it would lose the formula: it
    // stops the save.
    void translate() {
        if (!formula())
            return;
        const FormulaStore::Options& o = m_store.m_options;
        const check::Translation t =
            o.decode ? o.decode(m_trimmed, false) : check::Translation{m_trimmed, false, {}};
        m_stored = t.text;
        m_sqlForm = t.text;
        m_translated = !t.failed && !m_stored.isEmpty();
        if (!m_translated)
            m_stopped = true;
    }

    // What is written must open again: a stored form whose translation back fails (longer than
    // the text limit on the way) would show an empty box next time; it stops the save with an
    // error. Needs: a formula, and a test of the stored form (none: every form is taken to open).
    void requireReopenable() {
        const FormulaStore::Options& o = m_store.m_options;
        if (!formula() || !o.canEncode || o.canEncode(m_stored))
            return;
        m_stopped = true;
        throw core::ComError(
            core::err::Overflow,
            m_store.tr(msg::TooLong).arg(m_stored.size()).arg(language::refs::MaxPassLength));
    }

    // Doubles the apostrophes of the SQL form, as the statement carries it. Needs: a formula.
    void doubleQuotes() {
        if (formula())
            m_stored = language::doubledQuotes(m_stored);
    }

    // A record without an identifier is not written. Needs: a formula.
    void requireIdentifier() {
        if (formula() && core::RTrimN(m_store.m_host.recordId()).toString().isEmpty())
            m_stopped = true;
    }

    // The silent check: a formula it passes needs no confirmation; one it fails, or a check that
    // cannot run, is left to the user. Needs: a formula.
    void checkSilently() {
        const FormulaStore::Options& o = m_store.m_options;
        if (formula() && o.checkFormula && !o.checkFormula(false).isEmpty())
            m_confirmed = true;
    }

    // Asks whether to save a formula the check did not pass; any answer but Yes stops the save.
    // Needs: a formula not confirmed yet.
    void askUser() {
        if (!formula() || m_confirmed)
            return;
        const int reply = m_store.ask(m_store.tr(msg::Attention) + msg::CrLf + m_store.tr(msg::NotCorrect) +
                                          msg::CrLf + m_store.tr(msg::SaveAnyway),
                                      msg::SaveAnywayCode, m_store.tr(msg::SaveTitle));
        if (reply == answer::Yes)
            m_confirmed = true;
        else
            m_stopped = true;
    }

    // The last word before a formula is written (the record's test cases). Needs: a confirmed
    // formula.
    void confirmWrite() {
        const FormulaStore::Options& o = m_store.m_options;
        if (formula() && m_confirmed && o.confirmWrite && !o.confirmWrite(m_sqlForm))
            m_stopped = true;
    }

    // Builds the UPDATE of the formula into SqlText. Needs: a confirmed formula.
    void buildFormulaUpdate() {
        if (formula() && m_confirmed)
            build(m_stored);
    }

    // Runs the statement built. Needs: a confirmed formula, its translation, and the statement
    // of this save (SqlText may still hold an earlier one when the building failed).
    void writeFormula() {
        if (formula() && m_confirmed && m_translated && m_built)
            write(m_sqlForm);
    }

    // ---- An empty box: NULL, without testing the identifier and without a question ----

    // Builds the UPDATE to NULL into SqlText. Needs: an empty box.
    void buildClearUpdate() {
        if (clearing())
            build(std::nullopt);
    }

    // Runs it. Needs: an empty box and the statement of this save.
    void writeClear() {
        if (clearing() && m_built)
            write(std::nullopt);
    }

private:
    enum class Box { Unread, Formula, Empty };

    bool formula() const { return m_box == Box::Formula && !m_stopped; }
    bool clearing() const { return m_box == Box::Empty && !m_stopped; }

    void build(const std::optional<QString>& stored) {
        const int context = m_store.m_host.editingContext();
        m_idText = tables::identifierText(m_store.m_host.recordId());
        const auto sql = tables::formulaUpdateStatement(context, stored, m_idText);
        if (!sql)
            throw core::ComError(
                core::err::InvalidProcedureCall,
                QStringLiteral("Editing context %1 has no table to save the formula in").arg(context));
        m_store.m_sqlText = *sql;
        m_built = true;
    }

    // Runs the UPDATE built and appends the version of `sqlForm` in one transaction.
    void write(const std::optional<QString>& sqlForm) {
        ado::Connection* connection = m_store.m_host.connection();
        if (!connection)
            throw core::ComError(core::err::ObjectVariableNotSet,
                                 QStringLiteral("Object variable or With block variable not set"));
        const FormulaStore::Options& o = m_store.m_options;
        VersionedWrite w{.context = m_store.m_host.editingContext(),
                         .idText = m_idText,
                         .sqlForm = sqlForm,
                         .updateStatement = m_store.m_sqlText,
                         .author = o.author ? o.author() : VersionAuthor{},
                         .expected = o.expectedVersion ? o.expectedVersion() : std::nullopt};
        const HistoryTranslateFn translate = [this](const QString& text) { return m_store.tr(text); };
        VersionedOutcome outcome = writeVersioned(*connection, w, translate);
        if (outcome.newer) {
            // Asked outside the transaction: nothing is held while the user decides.
            m_store.m_moved = outcome.newer;
            if (!o.moved || !o.moved(*outcome.newer))
                return;
            w.expected = outcome.newer->version;
            outcome = writeVersioned(*connection, w, translate);
            if (outcome.newer) {
                m_store.m_moved = outcome.newer;
                return;
            }
            m_store.m_moved.reset();
        }
        m_store.m_version = outcome.version;
        m_store.m_unrecorded = outcome.unrecorded;
        m_store.m_written = true;
        if (o.written)
            o.written();
    }

    FormulaStore& m_store;
    Box m_box = Box::Unread;
    bool m_stopped = false;    // a step decided that nothing is written
    bool m_translated = false; // the SQL form is the formula's own
    bool m_confirmed = false;  // the check passed it or the user said Yes
    bool m_built = false;      // SqlText holds the statement of this save
    QString m_trimmed;
    QString m_stored;
    QString m_sqlForm; // the SQL form before its apostrophes are doubled
    QString m_idText;  // the identifier as the UPDATE writes it
};

void FormulaStore::UpdateFormula() {
    m_written = false;
    m_version = 0;
    m_unrecorded = false;
    m_moved.reset();
    Save save(*this);
    core::runSteps(QStringLiteral("UpdateFormula"), m_host.errorAnswerFn(),
                   {
                       [&] { save.readBox(); },
                       [&] { save.translate(); },
                       [&] { save.requireReopenable(); },
                       [&] { save.doubleQuotes(); },
                       [&] { save.requireIdentifier(); },
                       [&] { save.checkSilently(); },
                       [&] { save.askUser(); },
                       [&] { save.confirmWrite(); },
                       [&] { save.buildFormulaUpdate(); },
                       [&] { save.writeFormula(); },
                       [&] { save.buildClearUpdate(); },
                       [&] { save.writeClear(); },
                   });
}

void FormulaStore::clickSave() {
    core::runStep(QStringLiteral("IMG_SAVE_ButtonClick"), m_host.errorAnswerFn(),
                  [this] { UpdateFormula(); });
}

bool FormulaStore::clickClear() {
    bool cleared = false;
    core::runSteps(QStringLiteral("IMG_CLEAR_ButtonClick"), m_host.errorAnswerFn(),
                   {
                       [&] {
                           cleared = ask(tr(msg::ConfirmClear), msg::ConfirmClearCode, tr(msg::ClearTitle)) ==
                                     answer::Yes;
                       },
                       [&] {
                           if (cleared)
                               m_box.setText(QString());
                       },
                       [&] {
                           if (cleared)
                               UpdateFormula();
                       },
                   });
    return cleared;
}

} // namespace editing
