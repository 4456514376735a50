// Diagnostics commands of the tool: lint reports what the editor's live diagnostics report,
// one line each, without running the formula.

#include "apps/formule/Command.h"
#include "diagnostics/Diagnostics.h"
#include "diagnostics/ElementCatalog.h"

#include <algorithm>

using namespace formule_cli;

namespace {

int lint(Context& ctx, const QStringList& positional) {
    QString text = ctx.textArgument(positional, 0);
    // A formula read from standard input loses the line feed that ends its last line.
    if (fromStandardInput(positional, 0) && text.endsWith(u'\n'))
        text.chop(text.endsWith(QLatin1String("\r\n")) ? 2 : 1);
    // The translation the diagnostics run cannot take a text over its limit: said as it is,
    // rather than as the findings of a text cut short.
    if (const QString reason = textLimitReason(ctx, text); !reason.isEmpty()) {
        *ctx.out << diagnostics::formatDiagnostic({.message = reason}) << "\n";
        return ExitNegative;
    }
    core::FunctionServices services = hostServices(ctx);
    const diagnostics::ElementCatalog catalog =
        diagnostics::ElementCatalog::load(services, QString::number(ctx.company));
    diagnostics::DiagnosticsEngine engine(catalog,
                                          [&services](const QString& s) { return services.translate(s); });
    const QList<diagnostics::Diagnostic> found = engine.analyse(text);
    for (const diagnostics::Diagnostic& d : found)
        *ctx.out << diagnostics::formatDiagnostic(d) << "\n";
    const bool failed = std::any_of(found.begin(), found.end(), [](const diagnostics::Diagnostic& d) {
        return d.severity == diagnostics::Severity::Error;
    });
    return failed ? ExitNegative : ExitOk;
}

const Registrar lintCommand(Command{
    QStringLiteral("lint"),
    QStringLiteral("diagnostica di una formula in forma visualizzata senza eseguirla: RIGA:COLONNA: "
                   "error|warning: messaggio (TEXT, o lo standard input per \"-\")"),
    [](CommandLine& parser) {
        parser.addPositionalArgument(QStringLiteral("TEXT"),
                                     QStringLiteral("La formula in forma visualizzata."),
                                     QStringLiteral("[TEXT|-]"));
    },
    [](Context& ctx, const QCommandLineParser&, const QStringList& positional) {
        return lint(ctx, positional);
    },
    1,
    DatabaseUse::SchemaRead,
});

} // namespace
