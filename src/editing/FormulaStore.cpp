#include "check/FormulaStore.h"

#include "ado/Ado.h"
#include "check/Messages.h"
#include "core/NullSafe.h"
#include "language/References.h"
#include "language/StoredFormulas.h"

namespace check {

std::optional<QString> updateStatement(int context, const std::optional<QString>& storedText,
                                       const QString& idText) {
    const core::EditingContext* c = core::editingContext(context);
    if (!c)
        return std::nullopt;
    QString sql = QLatin1String(c->updateTable);
    if (storedText)
        sql += QLatin1String(c->setFormula) + *storedText + u'\'';
    else
        sql += QLatin1String(c->setNull);
    return sql + QLatin1String(c->updateWhere) + idText;
}

std::optional<QString> selectStatement(int context, const QString& idText) {
    const core::EditingContext* c = core::editingContext(context);
    if (!c)
        return std::nullopt;
    return QStringLiteral("SELECT ") + QLatin1String(c->selectColumn) + QStringLiteral(" FROM ") +
           QLatin1String(c->selectFrom) + QStringLiteral(" WHERE ") + QLatin1String(c->selectWhere) + idText;
}

QString identifierText(const core::Variant& id) {
    const core::Variant value = core::CDecN(id);
    if (value.type() == core::VarType::Decimal)
        return value.toDecimal().toString();
    return value.toString();
}

std::function<core::Variant(bool)> FormulaStore::checkWith(SyntaxCheck& check) {
    return [&check](bool showMessage) { return check.CheckFormula(showMessage); };
}

FormulaStore::FormulaStore(TextBox& formulaBox, core::HostServices& host, Options options)
    : m_box(formulaBox)
    , m_host(host)
    , m_options(std::move(options)) {}

QString FormulaStore::tr(const QString& text) const {
    return m_host.translate(text);
}

int FormulaStore::ask(const QString& prompt, int code, const QString& title) const {
    return m_host.messageBox(prompt, code, title);
}

void FormulaStore::UpdateFormula() {
    m_written = false;
    // The steps below run under one trap: on an error the user may abort (leave), retry the
    // step or ignore it (go on with the next one). Each step checks the state the earlier ones
    // left, so an ignored failure never leads to a write built from missing pieces.
    bool haveText = false; // the box was read
    bool empty = false;    // ... and holds nothing but blanks
    bool stop = false;     // nothing more is to be done
    QString trimmed;
    QString stored;
    bool translated = false;
    bool confirmed = false;
    bool built = false; // the statement of this save is in SqlText
    auto executing = [&](bool wantEmpty) { return haveText && !stop && empty == wantEmpty; };
    auto connection = [&]() {
        ado::Connection* c = m_host.connection();
        if (!c)
            throw core::ComError(core::err::ObjectVariableNotSet,
                                 QStringLiteral("Object variable or With block variable not set"));
        return c;
    };
    auto context = [&]() { return m_host.editingContext(); };
    auto id = [&]() { return m_host.recordId(); };
    auto noContext = [&]() {
        return core::ComError(
            core::err::InvalidProcedureCall,
            QStringLiteral("Editing context %1 has no table to save the formula in").arg(context()));
    };

    core::runSteps(
        QStringLiteral("UpdateFormula"), m_host.errorAnswerFn(),
        {
            [&] {
                trimmed = core::RTrimN(core::Variant(m_box.text())).toString();
                empty = trimmed.isEmpty();
                haveText = true;
            },
            // A formula: translate it (references expanded) and double its apostrophes.
            [&] {
                if (!executing(false))
                    return;
                const Translation t =
                    m_options.decode ? m_options.decode(trimmed, false) : Translation{trimmed, false, {}};
                stored = t.text;
                // The translation reports its own errors; a result it reached through one (empty,
                // or cut short when the error was ignored) is not the formula, and writing it
                // would lose the formula.
                translated = !t.failed && !stored.isEmpty();
                if (!translated)
                    stop = true;
            },
            // What is written must open again: a stored form whose translation back fails
            // (longer than the text limit on the way) would show an empty box next time.
            [&] {
                if (!executing(false) || !m_options.canEncode || m_options.canEncode(stored))
                    return;
                stop = true;
                throw core::ComError(core::err::Overflow,
                                     tr(msg::TooLong).arg(stored.size()).arg(language::refs::MaxPassLength));
            },
            [&] {
                if (executing(false))
                    stored = language::doubledQuotes(stored);
            },
            [&] {
                if (executing(false) && core::RTrimN(id()).toString().isEmpty())
                    stop = true;
            },
            [&] {
                // A check that cannot run counts as failed: the user is asked.
                if (executing(false) && m_options.checkFormula && !m_options.checkFormula(false).isEmpty())
                    confirmed = true;
            },
            [&] {
                if (!executing(false) || confirmed)
                    return;
                const int reply = ask(tr(msg::Attention) + msg::CrLf + tr(msg::NotCorrect) + msg::CrLf +
                                          tr(msg::SaveAnyway),
                                      msg::SaveAnywayCode, tr(msg::SaveTitle));
                if (reply == answer::Yes)
                    confirmed = true;
                else
                    stop = true;
            },
            [&] {
                if (!executing(false) || !confirmed)
                    return;
                const auto sql = updateStatement(context(), stored, identifierText(id()));
                if (!sql)
                    throw noContext();
                m_sqlText = *sql;
                built = true;
            },
            [&] {
                if (!executing(false) || !confirmed || !translated || !built)
                    return;
                connection()->Execute(m_sqlText);
                m_written = true;
                if (m_options.written)
                    m_options.written();
            },
            // An empty box: NULL, without testing the identifier and without a question.
            [&] {
                if (!executing(true))
                    return;
                const auto sql = updateStatement(context(), std::nullopt, identifierText(id()));
                if (!sql)
                    throw noContext();
                m_sqlText = *sql;
                built = true;
            },
            [&] {
                if (!executing(true) || !built)
                    return;
                connection()->Execute(m_sqlText);
                m_written = true;
                if (m_options.written)
                    m_options.written();
            },
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

} // namespace check
