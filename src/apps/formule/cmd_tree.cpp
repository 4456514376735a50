// formule tree: prints the element tree of the editor, one node a line.

#include "Command.h"
#include "Help.h"

#include "host/TranslationService.h"
#include "tree/StrutturaTree.h"
#include "tree/TextSink.h"

namespace {

using namespace formule_cli;

int runTree(Context& ctx, const QCommandLineParser& parser, const QStringList&) {
    const std::optional<int> context = parseContext(parser.value(QStringLiteral("context")));
    if (!context) {
        *ctx.err << "tree: "
                 << tx(QStringLiteral("--context deve essere 0 (condizione), 1 (listino) o 2 (manutenzione "
                                      "listini), non \"%1\""))
                        .arg(parser.value(QStringLiteral("context")))
                 << "\n";
        ctx.err->flush();
        return ExitUsage;
    }
    const QString variants = parser.value(QStringLiteral("variants")).toLower();
    if (variants != QStringLiteral("on") && variants != QStringLiteral("off")) {
        *ctx.err << "tree: "
                 << tx(QStringLiteral("--variants deve essere on o off, non \"%1\""))
                        .arg(parser.value(QStringLiteral("variants")))
                 << "\n";
        ctx.err->flush();
        return ExitUsage;
    }

    ado::Connection* connection = openConnection(ctx, QStringLiteral("tree"));
    if (!connection)
        return ExitUsage;

    core::FunctionServices services = hostServices(ctx);
    services.f.connection = [connection] { return connection; };
    const int treeContext = *context;
    services.f.context = [treeContext] { return treeContext; };
    const bool variantsOn = variants == QStringLiteral("on");
    tree::StrutturaTree builder(services, {.ditta = QString::number(ctx.company),
                                           .variantSetting = [variantsOn]() -> std::optional<core::Variant> {
                                               return core::Variant::fromInt32(variantsOn ? 1 : 0);
                                           }});
    tree::TextSink sink(*ctx.out);
    const tree::BuildOutcome outcome = builder.LoadStrutturaTree(sink);
    ctx.out->flush();
    return outcome == tree::BuildOutcome::Completed ? ExitOk : ExitNegative;
}

const Registrar registrar(Command{
    QStringLiteral("tree"),
    QStringLiteral(
        "stampa l'albero degli elementi, un nodo per riga (chiave<TAB>testo, due spazi per livello)"),
    [](CommandLine& parser) {
        parser.addOption(QCommandLineOption(
            QStringLiteral("context"),
            QStringLiteral(
                "Contesto di modifica: 0 condizione, 1 listino, 2 manutenzione listini (senza ramo entità)."),
            QStringLiteral("N"), QStringLiteral("0")));
        parser.addOption(
            QCommandLineOption(QStringLiteral("variants"),
                               QStringLiteral("L'impostazione delle varianti del configuratore dell'ospite."),
                               QStringLiteral("on|off"), QStringLiteral("off")));
    },
    runTree,
    0,
    DatabaseUse::SchemaRead,
});

} // namespace
