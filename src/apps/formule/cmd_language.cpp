// Formula language commands of the tool: to-sql and to-display translate a formula between
// the display form and the SQL form, exactly as the editor does.

#include "apps/formule/Command.h"
#include "host/TranslationService.h"
#include "language/FormulaLanguage.h"

using namespace formule_cli;

namespace {

const QString kCheckMode = QStringLiteral("check-mode");

// Runs one translation with the tool's services; an error answered with abort (or anything
// but retry and ignore) has already been printed by the tool's error answer and ends the
// command with exit code 1.
int translate(Context& ctx, const QStringList& positional,
              const std::function<QString(language::FormulaLanguage&, const QString&)>& run) {
    QString text = ctx.textArgument(positional, 0);
    // A formula read from standard input loses the line feed that ends its last line.
    if (fromStandardInput(positional, 0)) {
        if (text.endsWith(u'\n'))
            text.chop(text.endsWith(QLatin1String("\r\n")) ? 2 : 1);
    }

    bool aborted = false;
    core::FunctionServices services = hostServices(ctx);
    services.f.errorAnswer = [&ctx, &aborted](const QString& procedure, const core::ErrorInfo& error) {
        const int answer = ctx.errorAnswer(procedure, error);
        if (answer != static_cast<int>(core::Answer::Retry) &&
            answer != static_cast<int>(core::Answer::Ignore))
            aborted = true;
        return answer;
    };

    language::FormulaLanguage language(services);
    const QString result = run(language, text);
    if (aborted)
        return ctx.connectionFailed ? ExitUsage : ExitNegative;
    *ctx.out << result << "\n";
    return ExitOk;
}

const Registrar toSql(Command{
    QStringLiteral("to-sql"),
    QStringLiteral(
        "traduce una formula dalla forma visualizzata alla forma SQL (TEXT, o lo standard input per \"-\")"),
    [](CommandLine& parser) {
        parser.addOption(QCommandLineOption(
            kCheckMode,
            QStringLiteral(
                "Scrivi i riferimenti come i segnaposto del controllo di sintassi, senza cercarli.")));
        parser.addPositionalArgument(QStringLiteral("TEXT"),
                                     QStringLiteral("La formula in forma visualizzata."),
                                     QStringLiteral("[TEXT|-]"));
    },
    [](Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
        const bool checkMode = parser.isSet(kCheckMode);
        return translate(ctx, positional,
                         [checkMode](language::FormulaLanguage& language, const QString& text) {
                             return language.decodeToken(text, checkMode);
                         });
    },
    1,
    DatabaseUse::SchemaRead,
});

const Registrar toDisplay(Command{
    QStringLiteral("to-display"),
    QStringLiteral(
        "traduce una formula dalla forma SQL alla forma visualizzata (TEXT, o lo standard input per \"-\")"),
    [](CommandLine& parser) {
        parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("La formula in forma SQL."),
                                     QStringLiteral("[TEXT|-]"));
    },
    [](Context& ctx, const QCommandLineParser&, const QStringList& positional) {
        return translate(ctx, positional, [](language::FormulaLanguage& language, const QString& text) {
            return language.encodeToken(text);
        });
    },
    1,
    DatabaseUse::SchemaRead,
});

} // namespace
