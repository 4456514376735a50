// formule eval: the trial run of a display-form formula on values given on the command line,
// through the same class as the editor's trial panel.

#include "Command.h"
#include "Help.h"
#include "TrialValues.h"

#include "check/Messages.h"
#include "check/TrialRun.h"
#include "language/FormulaLanguage.h"

namespace {

using namespace formule_cli;

const QString All = QStringLiteral("all");
const QString Trace = QStringLiteral("trace");
const QString Explain = QStringLiteral("explain");
const QString EngineOnly = QStringLiteral("engine");

void printTrace(Context& ctx, const check::TrialResult& result) {
    if (!result.executedLines) {
        *ctx.err << "eval: "
                 << tx(QStringLiteral(
                        "nessuna traccia su questa connessione (la dà il motore incorporato, SQL "
                        "Server no)"))
                 << '\n';
        return;
    }
    QStringList lines;
    for (int line : *result.executedLines)
        lines << QString::number(line);
    *ctx.err << tx(QStringLiteral("righe eseguite: %1")).arg(lines.join(u' ')) << '\n';
}

int runEval(Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
    core::FunctionServices services = hostServices(ctx);
    const check::TrialTranslateFn translate = [&services](const QString& text) {
        return services.translate(text);
    };
    QList<check::TrialInput> given;
    try {
        given = trialValues(parser, translate);
    } catch (const Usage& u) {
        *ctx.err << "eval: " << u.message << '\n';
        return ExitUsage;
    }
    const QString text = ctx.textArgument(positional, 0);
    ado::Connection* connection = openConnection(ctx, QStringLiteral("eval"));
    if (!connection)
        return ExitUsage;
    services.f.connection = [connection] { return connection; };
    language::FormulaLanguage language(services);
    const QString sql = language.decodeToken(text, false);
    if (language.lastErrorCount() > 0) {
        *ctx.err << "eval: " << translate(check::msg::NotTranslated) << '\n';
        return ExitNegative;
    }
    check::TrialOptions options;
    options.trace = parser.isSet(Trace);
    options.translate = translate;
    options.compiled = !parser.isSet(EngineOnly);
    options.reading = check::readingOf(ctx.language); // the values as the language of the run writes them
    check::TrialResult result;
    try {
        result = check::runTrial(*connection, sql, given, options);
    } catch (const core::ComError& e) {
        *ctx.err << "eval: " << e.description() << '\n';
        return ExitUsage;
    }
    if (!result.refusedKey.isEmpty()) {
        *ctx.err << "eval: " << result.message << '\n';
        return ExitUsage;
    }
    if (options.trace)
        printTrace(ctx, result);
    if (parser.isSet(Explain) && result.path)
        *ctx.err << tx(QStringLiteral("percorso: %1")).arg(check::describePath(*result.path, translate))
                 << '\n';
    if (!result.ran) {
        *ctx.err << result.message << '\n';
        if (result.formulaLine > 0)
            *ctx.err << tx(QStringLiteral("riga della formula %1")).arg(result.formulaLine) << '\n';
        return ExitNegative;
    }
    for (const check::TrialOutput& out : result.outputs) {
        if (out.after || parser.isSet(All))
            *ctx.out << check::trialLabel(out.element, translate) << '\t'
                     << out.after.value_or(QStringLiteral("NULL")) << '\n';
    }
    return ExitOk;
}

const Registrar evalCommand(Command{
    QStringLiteral("eval"),
    QStringLiteral("esegue una formula in forma visualizzata sui valori dati, senza cambiare nulla; stampa "
                   "[Etichetta]<TAB>valore per ogni uscita rimasta non NULL"),
    [](CommandLine& parser) {
        addTrialValueOptions(parser);
        parser.addOption(QCommandLineOption(All, QStringLiteral("Stampa ogni uscita, NULL come NULL.")));
        parser.addOption(QCommandLineOption(
            Trace, QStringLiteral("Stampa sullo standard error le righe della formula eseguite.")));
        parser.addOption(QCommandLineOption(
            Explain, QStringLiteral(
                         "Stampa sullo standard error quale valutazione ha eseguito la formula, e perché.")));
        parser.addOption(QCommandLineOption(
            EngineOnly, QStringLiteral("Esegui la formula sul motore anche dove potrebbe il valutatore "
                                       "compilato: il riferimento, per un confronto.")));
        parser.addPositionalArgument(QStringLiteral("TEXT"),
                                     QStringLiteral("La formula in forma visualizzata."),
                                     QStringLiteral("[TEXT|-]"));
    },
    runEval,
    1,
    DatabaseUse::Schema,
});

} // namespace
