// Finding elements from the command line: the completion candidates of a fragment and the help
// of an element, as the editor's completion list and help line show them.

#include "apps/formule/Command.h"
#include "apps/formule/Help.h"
#include "diagnostics/ElementCatalog.h"
#include "diagnostics/ElementHelp.h"
#include "diagnostics/ElementSearch.h"

using namespace formule_cli;

namespace {

std::shared_ptr<const diagnostics::ElementCatalog> loadCatalog(Context& ctx, core::HostServices& services) {
    return std::make_shared<const diagnostics::ElementCatalog>(
        diagnostics::ElementCatalog::load(services, QString::number(ctx.company)));
}

int complete(Context& ctx, const QStringList& positional) {
    if (positional.size() != 1 || !diagnostics::ElementSearch::kindOf(positional.first())) {
        *ctx.err << "complete: "
                 << tx(QStringLiteral("dai un solo frammento che inizia con [, { o | (tra virgolette)"))
                 << '\n';
        return ExitUsage;
    }
    core::FunctionServices services = hostServices(ctx);
    const diagnostics::ElementSearch search(loadCatalog(ctx, services));
    const QList<diagnostics::Candidate> found = search.complete(positional.first());
    for (const diagnostics::Candidate& c : found)
        *ctx.out << c.inserted << "\n";
    return found.isEmpty() ? ExitNegative : ExitOk;
}

int describe(Context& ctx, const QStringList& positional) {
    if (positional.size() != 1) {
        *ctx.err << "describe: "
                 << tx(QStringLiteral("dai un solo elemento con i suoi delimitatori (tra virgolette)"))
                 << '\n';
        return ExitUsage;
    }
    core::FunctionServices services = hostServices(ctx);
    const diagnostics::ElementHelp help(
        loadCatalog(ctx, services), [&services](const QString& s) { return services.translate(s); },
        diagnostics::ElementHelp::connectionDataType(services));
    const std::optional<diagnostics::ElementInfo> info = help.describe(positional.first());
    if (!info) {
        *ctx.err << "describe: " << tx(QStringLiteral("elemento sconosciuto %1")).arg(positional.first())
                 << '\n';
        return ExitNegative;
    }
    for (const QString& line : help.lines(*info))
        *ctx.out << line << "\n";
    return ExitOk;
}

const Registrar completeCommand(Command{
    QStringLiteral("complete"),
    QStringLiteral(
        "gli elementi che un frammento che inizia con [, { o | può diventare, i migliori prima, uno per riga "
        "(al massimo 50), scritti come vengono inseriti; uscita 1 se non ce n'è nessuno"),
    [](CommandLine& parser) {
        parser.addPositionalArgument(QStringLiteral("FRAGMENT"),
                                     QStringLiteral("Quanto digitato, per esempio \"[quantita 1\"."));
    },
    [](Context& ctx, const QCommandLineParser&, const QStringList& positional) {
        return complete(ctx, positional);
    },
    1,
    DatabaseUse::SchemaRead,
});

const Registrar describeCommand(Command{
    QStringLiteral("describe"),
    QStringLiteral("che cos'è un elemento: la sua variabile, il tipo SQL, il gruppo e l'uso; l'id e il tipo "
                   "di valore di una categoria; il codice di una variante"),
    [](CommandLine& parser) {
        parser.addPositionalArgument(
            QStringLiteral("ELEMENT"),
            QStringLiteral("L'elemento con i suoi delimitatori, per esempio \"[Prezzo lordo]\"."));
    },
    [](Context& ctx, const QCommandLineParser&, const QStringList& positional) {
        return describe(ctx, positional);
    },
    1,
    DatabaseUse::SchemaRead,
});

} // namespace
