// formule check, declarations, show, save, clear: the syntax check and the stored formula of a
// record, through the same classes the editor window uses.

#include "Command.h"
#include "Help.h"
#include "HistoryTexts.h"
#include "RecordSave.h"
#include "Texts.h"

#include "ado/Ado.h"
#include "check/Declarations.h"
#include "check/Messages.h"
#include "check/ProductionRun.h"
#include "check/SyntaxCheck.h"
#include "core/NullSafe.h"
#include "diagnostics/Diagnostics.h"
#include "editing/FormulaStore.h"
#include "host/TranslationService.h"
#include "language/FormulaLanguage.h"
#include "language/StoredFormulas.h"
#include "tables/FormulaTables.h"
#include "tables/Literals.h"

#include <QRegularExpression>

#include <memory>
#include <optional>

namespace formule_cli {

std::optional<Record> recordOptions(Context& ctx, const QCommandLineParser& parser, const QString& command) {
    Record record;
    const auto context = parseContext(parser.value(QStringLiteral("context")));
    if (!context) {
        *ctx.err << command << ": "
                 << tx(QStringLiteral("--context deve essere 0 (condizione), 1 (listino) o 2 (manutenzione "
                                      "listini), non \"%1\""))
                        .arg(parser.value(QStringLiteral("context")))
                 << "\n";
        ctx.err->flush();
        return std::nullopt;
    }
    record.context = *context;
    const QString id = parser.value(QStringLiteral("id"));
    if (id.trimmed().isEmpty()) {
        *ctx.err << command << ": "
                 << tx(QStringLiteral("--id è obbligatorio (il record che contiene la formula)")) << "\n";
        ctx.err->flush();
        return std::nullopt;
    }
    const WholeNumber number = parseWholeNumber(id);
    if (!number.error.isEmpty()) {
        *ctx.err
            << command << ": "
            << tx(QStringLiteral("--id deve essere un numero intero, non \"%1\": %2")).arg(id, number.error)
            << "\n";
        ctx.err->flush();
        return std::nullopt;
    }
    record.id = QString::number(number.value);
    return record;
}

void addRecordOptions(CommandLine& parser) {
    parser.addOption(
        QCommandLineOption(QStringLiteral("context"),
                           QStringLiteral("Contesto di modifica: 0 condizione (LP01_PROVIDER), 1 listino "
                                          "(LP07_QUOTAZIONI), 2 manutenzione listini (LP17_FORMULEMANUT)."),
                           QStringLiteral("N"), QStringLiteral("0")));
    parser.addOption(QCommandLineOption(QStringLiteral("id"), QStringLiteral("Identificativo del record."),
                                        QStringLiteral("ID")));
}

} // namespace formule_cli

namespace {

using namespace formule_cli;

// The server's message of a failed check with the line and column of the display form `text`,
// the formula as the user wrote it, in place of those of the SQL form that was sent: the editor's
// strip and lint place a message so (diagnostics::placeInDisplay).
QString placedInDisplay(const check::SyntaxCheck& checker, const QString& text) {
    QString message = checker.lastServerMessage();
    if (checker.lastBatchLine() <= 0)
        return message;
    static const QRegularExpression header(QStringLiteral(R"(^(Msg \d+, Level \d+, State \d+, Line )\d+: )"));
    const QRegularExpressionMatch m = header.match(message);
    if (!m.hasMatch())
        return message;
    diagnostics::Diagnostic d;
    diagnostics::placeInDisplay(d, checker.lastBatchLine(), checker.lastBatchColumn(), text,
                                checker.lastTranslation().text, checker.lastTranslation().map,
                                check::SyntaxCheck::declarationLines());
    message.replace(0, m.capturedLength(), m.captured(1) + QString::number(d.line) + QStringLiteral(": "));
    static const QRegularExpression column(QStringLiteral(R"( \(column \d+\)$)"));
    const QRegularExpressionMatch c = column.match(message);
    if (c.hasMatch() && d.column > 0)
        message.replace(c.capturedStart(), c.capturedLength(), QStringLiteral(" (column %1)").arg(d.column));
    return message;
}

// The check of a formula in display form, as the window's check button runs it.
int runCheck(Context& ctx, const QCommandLineParser&, const QStringList& positional) {
    const QString text = ctx.textArgument(positional, 0);
    ado::Connection* connection = openConnection(ctx, QStringLiteral("check"));
    if (!connection)
        return ExitUsage;
    core::FunctionServices services = hostServices(ctx);
    services.f.connection = [connection] { return connection; };
    explainTextLimit(ctx, services, text);
    language::FormulaLanguage language(services);
    core::StringTextBox box(text);
    check::SyntaxCheck checker(box, services, {.decode = check::decodeWith(language)});
    const bool correct = !checker.CheckFormula(false).isEmpty();
    if (correct) {
        *ctx.out << services.translate(check::msg::Correct) << '\n';
    } else {
        // The message names the line of the formula (the declaration block is not counted). When
        // the server could not judge the formula, the message says so and nothing else.
        if (!checker.lastServerBusy())
            *ctx.out << services.translate(check::msg::NotCorrect) << '\n';
        *ctx.out << placedInDisplay(checker, text) << '\n';
        // The verdict stays the check's; a line says when the formula as saved is correct.
        if (!checker.lastServerBusy() && check::passesAsStored(services, text))
            *ctx.out << services.translate(check::msg::CorrectAsStored) << '\n';
    }
    ctx.out->flush();
    return correct ? ExitOk : ExitNegative;
}

int runDeclarations(Context& ctx, const QCommandLineParser&, const QStringList&) {
    *ctx.out << check::BuildDeclarations();
    ctx.out->flush();
    return ExitOk;
}

// The stored formula in display form, as the window shows it when it opens.
int runShow(Context& ctx, const QCommandLineParser& parser, const QStringList&) {
    const auto record = recordOptions(ctx, parser, QStringLiteral("show"));
    if (!record)
        return ExitUsage;
    ado::Connection* connection = openConnection(ctx, QStringLiteral("show"));
    if (!connection)
        return ExitUsage;
    const QString sql =
        *tables::formulaSelectStatement(record->context, tables::identifierText(core::Variant(record->id)));
    const ado::RecordsetPtr rs = connection->Execute(sql);
    if (!rs || !rs->IsOpen() || rs->IsBOF() || rs->IsEOF()) {
        *ctx.err << "show: " << ctx.tr(text::NoRecord).arg(record->id, QString::number(record->context))
                 << '\n';
        ctx.err->flush();
        return ExitNegative;
    }
    const QString stored = core::RTrimN(rs->GetFields().Item(QStringLiteral("FORMULA")).Value()).toString();
    core::FunctionServices services = hostServices(ctx);
    language::FormulaLanguage language(services);
    QString display = language.encodeToken(stored);
    if (language.lastErrorCount() > 0) {
        // An empty or partial text printed with success would be taken for the formula.
        *ctx.err << "show: "
                 << ctx.tr(text::StoredNotShown)
                        .arg(record->id, QString::number(record->context), QString::number(stored.size()))
                 << '\n';
        ctx.err->flush();
        return ExitNegative;
    }
    display = language::singledQuotes(display);
    *ctx.out << display;
    if (!display.isEmpty() && !display.endsWith(u'\n'))
        *ctx.out << '\n';
    ctx.out->flush();
    return ExitOk;
}

} // namespace

namespace formule_cli {

int saveRecord(Context& ctx, const Record& record, const SaveRequest& request) {
    const QString& text = request.text;
    const bool yes = request.yes;
    const QString& command = request.command;
    ado::Connection* connection = openConnection(ctx, command);
    if (!connection)
        return ExitUsage;
    // The record must exist: an UPDATE of no row would report success and write nothing.
    const ado::RecordsetPtr existing = connection->Execute(
        *tables::formulaSelectStatement(record.context, tables::identifierText(core::Variant(record.id))));
    if (!existing || !existing->IsOpen() || existing->IsEOF()) {
        *ctx.err << command << ": "
                 << ctx.tr(text::NoRecordNothingWritten).arg(record.id, QString::number(record.context))
                 << '\n';
        ctx.err->flush();
        return ExitNegative;
    }
    bool asked = false;
    bool failed = false;
    core::FunctionServices services = hostServices(ctx);
    services.f.connection = [connection] { return connection; };
    services.f.messageBox = [&](const QString&, int, const QString&) {
        asked = true;
        return yes ? check::answer::Yes : check::answer::No;
    };
    services.f.errorAnswer = [&](const QString& procedure, const core::ErrorInfo& error) {
        failed = true;
        return ctx.errorAnswer(procedure, error);
    };
    explainTextLimit(ctx, services, text);
    services.f.context = [&record] { return record.context; };
    services.f.id = [&record] { return core::Variant(record.id); };
    language::FormulaLanguage language(services);
    core::StringTextBox box(text);
    check::SyntaxCheck checker(box, services, {.decode = check::decodeWith(language)});
    editing::VersionAuthor author{editing::Origin::Tool, toolUser(ctx), request.version.comment};
    editing::FormulaStore store(box, services,
                                {.checkFormula = editing::FormulaStore::checkWith(checker),
                                 .decode = check::decodeWith(language),
                                 .canEncode = check::canEncodeWith(language),
                                 .author = [&author] { return author; },
                                 .expectedVersion = [&request] { return request.version.expected; }});
    store.UpdateFormula();
    if (const std::optional<editing::FormulaVersion>& newer = store.lastMoved()) {
        *ctx.err << command << ": "
                 << ctx.tr(editing::historymsg::Moved)
                        .arg(*request.version.expected)
                        .arg(newer->version)
                        .arg(newer->user.isEmpty() ? ctx.tr(editing::historymsg::Unknown) : newer->user,
                             newer->when)
                 << '\n';
        ctx.err->flush();
        return ExitNegative;
    }

    if (asked) {
        if (!checker.lastServerBusy())
            *ctx.err << services.translate(check::msg::NotCorrect) << '\n';
        if (!checker.lastServerMessage().isEmpty())
            *ctx.err << checker.lastServerMessage() << '\n';
        if (!yes)
            *ctx.err << command << ": " << ctx.tr(text::NotSaved) << '\n';
        ctx.err->flush();
    }
    if (store.lastWritten()) {
        *ctx.out << store.SqlText() << '\n';
        if (store.lastVersion() > 0)
            *ctx.err << command << ": " << ctx.tr(history::text::Saved).arg(store.lastVersion()) << '\n';
        else if (store.lastUnrecorded())
            *ctx.err << command << ": " << ctx.tr(history::text::NotRecorded) << '\n';
        ctx.out->flush();
        return ExitOk;
    }
    if (!asked && !failed) {
        *ctx.err << command << ": " << ctx.tr(text::NothingWritten) << '\n';
        ctx.err->flush();
    }
    return ExitNegative;
}

} // namespace formule_cli

namespace {

int runSave(Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
    const auto record = recordOptions(ctx, parser, QStringLiteral("save"));
    if (!record)
        return ExitUsage;
    // Only an empty argument saves an empty text (the window's save of an empty box); standard
    // input without text is more likely a mistake than a wish to remove the formula.
    const QString text = ctx.textArgument(positional, 0);
    if (fromStandardInput(positional, 0) && text.trimmed().isEmpty()) {
        *ctx.err << ctx.tr(text::NoTextOnInput).arg(QStringLiteral("save")) << '\n';
        ctx.err->flush();
        return ExitUsage;
    }
    const auto version = versionOptions(ctx, parser, QStringLiteral("save"));
    if (!version)
        return ExitUsage;
    return saveRecord(ctx, *record,
                      {QStringLiteral("save"), text, parser.isSet(QStringLiteral("yes")), *version});
}

int runClear(Context& ctx, const QCommandLineParser& parser, const QStringList&) {
    const auto record = recordOptions(ctx, parser, QStringLiteral("clear"));
    if (!record)
        return ExitUsage;
    const auto version = versionOptions(ctx, parser, QStringLiteral("clear"));
    if (!version)
        return ExitUsage;
    return saveRecord(ctx, *record, {QStringLiteral("clear"), QString(), false, *version});
}

const Registrar checkCommand(Command{
    QStringLiteral("check"),
    QStringLiteral("controlla una formula in forma visualizzata sul server; stampa l'esito e, se non è "
                   "corretta, il messaggio del server (uscita 0 corretta, 1 non corretta)"),
    {},
    runCheck,
    1,
    DatabaseUse::Schema,
});

const Registrar declarationsCommand(Command{
    QStringLiteral("declarations"),
    QStringLiteral("stampa il blocco di dichiarazioni che precede una formula sotto controllo"),
    {},
    runDeclarations,
});

const Registrar showCommand(Command{
    QStringLiteral("show"),
    QStringLiteral("stampa la formula memorizzata di un record in forma visualizzata"),
    addRecordOptions,
    runShow,
    0,
    DatabaseUse::SchemaRead,
});

const Registrar saveCommand(Command{
    QStringLiteral("save"),
    QStringLiteral(
        "salva una formula in forma visualizzata in un record; una formula che non supera il controllo si "
        "salva solo con --yes; stampa l'istruzione. Un TEXT vuoto ('') salva una formula vuota (NULL), come "
        "la finestra; uno standard input illeggibile o senza testo non scrive nulla (uscita 2): clear "
        "elimina una formula. Ogni scrittura aggiunge una versione alla storia della formula; "
        "--expect-version rifiuta (uscita 1, nulla scritto) se l'ultima versione del record è un'altra"),
    [](CommandLine& parser) {
        addRecordOptions(parser);
        parser.addOption(
            QCommandLineOption(QStringLiteral("yes"),
                               QStringLiteral("Salva comunque una formula che non supera il controllo.")));
        addVersionOptions(parser, true);
    },
    runSave,
    1,
    DatabaseUse::Schema,
});

const Registrar clearCommand(Command{
    QStringLiteral("clear"),
    QStringLiteral(
        "elimina la formula memorizzata di un record (scrive NULL, una versione a sé); stampa l'istruzione"),
    [](CommandLine& parser) {
        addRecordOptions(parser);
        addVersionOptions(parser, true);
    },
    runClear,
    0,
    DatabaseUse::Schema,
});

} // namespace
