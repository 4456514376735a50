// formule: the command-line tool of the formula editor. Each subsystem adds its commands in a
// cmd_<subsystem>.cpp of this folder; this file parses the global options, opens the
// database on demand and runs the command.

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "apps/formule/Command.h"
#include "host/TranslationService.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cstdio>
#include <memory>

using namespace formule_cli;

namespace {

QString description() {
    QString text = QStringLiteral("Tools of the formula editor for price lists.\n\nCommands:\n");
    qsizetype width = 0;
    for (const Command& c : commands())
        width = qMax(width, c.name.size());
    for (const Command& c : commands())
        text += QStringLiteral("  %1  %2\n").arg(c.name.leftJustified(width), c.synopsis);
    text += QStringLiteral("\nRun \"formule <command> --help\" for the options of a command.\n"
                           "Exit codes: 0 success, 1 negative outcome, 2 bad usage or no database.");
    return text;
}

// The options every command takes.
struct GlobalOptions {
    QCommandLineOption db{
        QStringLiteral("db"),
        QStringLiteral("Connection string of the database (default: the demo database in the "
                       "user's data folder, created on first use)."),
        QStringLiteral("CONNSTR")};
    QCommandLineOption lang{QStringLiteral("lang"), QStringLiteral("Language of the texts: it or en."),
                            QStringLiteral("LANG"), QStringLiteral("it")};
    QCommandLineOption company{QStringLiteral("company"), QStringLiteral("Company code (default 1)."),
                               QStringLiteral("N"), QStringLiteral("1")};
    QCommandLineOption onError{
        QStringLiteral("on-error"),
        QStringLiteral("Answer to a failing step: abort (default) or ignore. Errors are printed on stderr."),
        QStringLiteral("abort|ignore"), QStringLiteral("abort")};
};

// --lang, --company and --on-error into the context; prints why not and returns false when one
// of them is not valid.
bool readGlobalOptions(const QCommandLineParser& parser, const GlobalOptions& options, Context& ctx,
                       QTextStream& err) {
    ctx.language = parser.value(options.lang);
    if (ctx.language != QLatin1String("it") && ctx.language != QLatin1String("en")) {
        err << "formule: --lang must be it or en, not \"" << ctx.language << "\"\n";
        return false;
    }
    const WholeNumber company = parseWholeNumber(parser.value(options.company), INT_MAX);
    if (!company.error.isEmpty()) {
        err << "formule: --company must be a whole number, not \"" << parser.value(options.company)
            << "\": " << company.error << "\n";
        return false;
    }
    ctx.company = static_cast<int>(company.value);
    const QString onError = parser.value(options.onError);
    if (onError != QLatin1String("abort") && onError != QLatin1String("ignore")) {
        err << "formule: --on-error must be abort or ignore, not \"" << onError << "\"\n";
        return false;
    }
    const int answer = onError == QLatin1String("abort") ? static_cast<int>(core::Answer::Abort)
                                                         : static_cast<int>(core::Answer::Ignore);
    ctx.errorAnswer = [&err, answer](const QString& procedure, const core::ErrorInfo& e) {
        err << procedure << ": error " << e.number << ": " << e.description << "\n";
        err.flush();
        return answer;
    };
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    // Qt decodes the arguments as UTF-8 and turns what is not into U+FFFD: the bytes are checked
    // before that (a NUL cannot be part of an argument).
    for (int i = 1; i < argc; ++i) {
        if (const auto flaw = findTextFlaw(QByteArrayView(argv[i]))) {
            const QString message = describeTextFlaw(*flaw, QStringLiteral("argument %1").arg(i));
            std::fprintf(stderr, "formule: %s\n", message.toUtf8().constData());
            return ExitUsage;
        }
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("formule"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.1"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);

    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const GlobalOptions options;
    parser.addOptions({options.db, options.lang, options.company, options.onError});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command to run (see above)."),
                                 QStringLiteral("<command> [arguments]"));

    const QStringList arguments = QCoreApplication::arguments();
    // First pass: find the command; its own options are not known yet.
    parser.parse(arguments);
    const QStringList firstPositional = parser.positionalArguments();
    if (firstPositional.isEmpty()) {
        if (parser.isSet(helpOption))
            parser.showHelp(ExitOk);
        if (parser.isSet(versionOption))
            parser.showVersion();
        err << "formule: no command given (see formule --help)\n";
        return ExitUsage;
    }
    const Command* command = findCommand(firstPositional.first());
    if (!command) {
        err << "formule: unknown command \"" << firstPositional.first() << "\" (see formule --help)\n";
        return ExitUsage;
    }

    // Second pass with the command's options.
    parser.clearPositionalArguments();
    parser.addPositionalArgument(command->name, command->synopsis, command->name);
    if (command->configure)
        command->configure(parser);
    if (!parser.parse(arguments)) {
        err << "formule " << command->name << ": " << parser.errorText() << "\n";
        return ExitUsage;
    }
    if (parser.isSet(helpOption))
        parser.showHelp(ExitOk);

    Context ctx;
    ctx.out = &out;
    ctx.err = &err;

    if (!readGlobalOptions(parser, options, ctx, err))
        return ExitUsage;
    host::TranslationService translation;
    translation.load(host::TranslationService::defaultDirectory(), ctx.language);
    ctx.translation = &translation;

    const bool defaultDatabase = !parser.isSet(options.db);
    const QString defaultPath = ado::setup::defaultDatabasePath();
    ctx.connectionString =
        defaultDatabase ? ado::setup::embeddedConnectionString(defaultPath) : parser.value(options.db);

    std::unique_ptr<ado::Connection> connection;
    ctx.connection = [&]() -> ado::Connection* {
        if (connection)
            return connection.get();
        try {
            if (defaultDatabase && !QFileInfo::exists(defaultPath))
                ado::setup::initialize(ctx.connectionString, true);
            auto conn = std::make_unique<ado::Connection>();
            conn->Open(ctx.connectionString);
            connection = std::move(conn);
        } catch (...) {
            ctx.connectionFailed = true;
            throw;
        }
        return connection.get();
    };

    ctx.textArgument = [](const QStringList& positional, int index) {
        if (index < positional.size() && positional.at(index) != QLatin1String("-"))
            return positional.at(index);
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            return QString();
        return decodeText(in.readAll(), QStringLiteral("standard input"));
    };

    int code = ExitOk;
    try {
        code = command->run(ctx, parser, parser.positionalArguments().mid(1));
    } catch (const UsageError& e) {
        err << "formule: " << e.message << "\n";
        code = ExitUsage;
    } catch (const core::ComError& e) {
        ctx.errorAnswer(command->name, e.info());
        code = ctx.connectionFailed ? ExitUsage : ExitNegative;
    } catch (const std::exception&) {
        ctx.errorAnswer(command->name, core::currentErrorInfo(std::current_exception()));
        code = ExitNegative;
    }
    out.flush();
    err.flush();
    if (connection && connection->State() == 1)
        connection->Close();
    return code;
}
