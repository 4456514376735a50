// formule where-used and check-all: the stored formulas of all records at once, through the
// same classes the demo host's windows use.

#include "Command.h"

#include "ado/Ado.h"
#include "language/WhereUsed.h"

#include <optional>

namespace {

using namespace formule_cli;

// --context N when given; `ok` false (the reason printed) when it is not 0, 1 or 2.
std::optional<int> contextFilter(Context& ctx, const QCommandLineParser& parser, const QString& command,
                                 bool& ok) {
    ok = true;
    if (!parser.isSet(QStringLiteral("context")))
        return std::nullopt;
    const auto context = parseContext(parser.value(QStringLiteral("context")));
    if (!context) {
        *ctx.err << command << ": --context must be 0, 1 or 2, not \""
                 << parser.value(QStringLiteral("context")) << "\"\n";
        ctx.err->flush();
        ok = false;
    }
    return context;
}

void addContextOption(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption(
        QStringLiteral("context"),
        QStringLiteral("Only the records of one editing context: 0 provider, 1 price list, 2 maintenance."),
        QStringLiteral("N")));
}

ado::Connection* openConnection(Context& ctx, const QString& command) {
    try {
        return ctx.connection();
    } catch (const core::ComError& e) {
        *ctx.err << command << ": cannot open the database: " << e.description() << '\n';
        ctx.err->flush();
        return nullptr;
    }
}

int runWhereUsed(Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
    const QString command = QStringLiteral("where-used");
    bool ok = true;
    const std::optional<int> context = contextFilter(ctx, parser, command, ok);
    if (!ok)
        return ExitUsage;
    if (positional.isEmpty()) {
        *ctx.err << command << ": name the element: [label], @VARIABLE, {category code} or |variant code|\n";
        ctx.err->flush();
        return ExitUsage;
    }
    core::FunctionServices services = hostServices(ctx);
    const auto name = language::parseElementName(
        positional.first(), [&services](const QString& t) { return services.translate(t); });
    if (!name) {
        *ctx.err << command << ": \"" << positional.first()
                 << "\" is no label of the dictionary, variable, {category} or |variant|\n";
        ctx.err->flush();
        return ExitUsage;
    }
    ado::Connection* connection = openConnection(ctx, command);
    if (!connection)
        return ExitUsage;
    language::WhereUsed search(*connection);
    const std::optional<language::UsedElement> element = search.resolve(*name);
    if (!element) {
        *ctx.err << command << ": no category with code " << name->text << '\n';
        ctx.err->flush();
        return ExitNegative;
    }
    const qint64 found = search.run(*element, context, [&ctx](const language::ElementUse& use) {
        *ctx.out << use.context << '\t' << use.id << '\t' << use.line << '\n';
    });
    ctx.out->flush();
    return found > 0 ? ExitOk : ExitNegative;
}

const Registrar whereUsedCommand(Command{
    QStringLiteral("where-used"),
    QStringLiteral("where-used [--context N] ELEMENT  the stored formulas that use a [label], @VARIABLE, "
                   "{category code} or |variant code|: CONTEXT<TAB>ID<TAB>LINE (exit 0 found, 1 not found)"),
    addContextOption,
    runWhereUsed,
});

} // namespace
