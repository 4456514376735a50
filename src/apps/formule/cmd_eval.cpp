// formule eval: the trial run of a display-form formula on values given on the command line,
// through the same class as the editor's trial panel.

#include "Command.h"
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
        *ctx.err
            << "eval: no trace on this connection (the embedded engine gives one, SQL Server does not)\n";
        return;
    }
    QStringList lines;
    for (int line : *result.executedLines)
        lines << QString::number(line);
    *ctx.err << "executed lines: " << lines.join(u' ') << '\n';
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
        *ctx.err << "path: " << check::describePath(*result.path, translate) << '\n';
    if (!result.ran) {
        *ctx.err << result.message << '\n';
        if (result.formulaLine > 0)
            *ctx.err << "formula line " << result.formulaLine << '\n';
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
    QStringLiteral("eval [--set NAME=VALUE]... [--category ID=VALUE]... [--variant CODE=VALUE]... [--all] "
                   "[--trace] [--explain] [--engine] [TEXT|-]  run a formula in display form on the values "
                   "given, changing nothing; prints [Label]<TAB>value for every output left non-NULL"),
    [](QCommandLineParser& parser) {
        addTrialValueOptions(parser);
        parser.addOption(QCommandLineOption(All, QStringLiteral("Print every output, NULL as NULL.")));
        parser.addOption(QCommandLineOption(
            Trace, QStringLiteral("Print the formula's lines that ran on standard error.")));
        parser.addOption(QCommandLineOption(
            Explain, QStringLiteral("Print on standard error which evaluation ran the formula, and why.")));
        parser.addOption(QCommandLineOption(
            EngineOnly,
            QStringLiteral("Run the formula on the engine even where the compiled evaluator could: "
                           "the reference, for a comparison.")));
        parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("The formula in display form."),
                                     QStringLiteral("[TEXT|-]"));
    },
    runEval,
    1,
    DatabaseUse::Schema,
});

} // namespace
