// Diagnostics commands of the tool: lint reports what the editor's live diagnostics report,
// one line each, without running the formula.

#include "apps/formule/Command.h"
#include "diagnostics/Diagnostics.h"
#include "diagnostics/ElementCatalog.h"

#include <algorithm>

using namespace formule_cli;

namespace {

int lint(Context& ctx, const QStringList& positional) {
    if (positional.size() > 1) {
        *ctx.err
            << "lint: give the formula as one argument (quote it), or \"-\" to read it from standard input\n";
        return ExitUsage;
    }
    QString text = ctx.textArgument(positional, 0);
    // A formula read from standard input loses the line feed that ends its last line.
    if ((positional.isEmpty() || positional.first() == QLatin1String("-")) && text.endsWith(u'\n'))
        text.chop(text.endsWith(QLatin1String("\r\n")) ? 2 : 1);
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
    QStringLiteral("Diagnostics of a display-form formula without running it: LINE:COLUMN: error|warning: "
                   "message (TEXT, or standard input for \"-\")."),
    [](QCommandLineParser& parser) {
        parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("The formula in display form."),
                                     QStringLiteral("[TEXT|-]"));
    },
    [](Context& ctx, const QCommandLineParser&, const QStringList& positional) {
        return lint(ctx, positional);
    }});

} // namespace
