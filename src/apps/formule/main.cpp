// formule: the command-line tool of the formula editor. Each subsystem adds its commands in a
// cmd_<subsystem>.cpp of this folder; this file parses the global options, opens the
// database on demand and runs the command.

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "apps/formule/Command.h"
#include "apps/formule/Texts.h"
#include "host/TranslationService.h"
#include "tables/EditingContext.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

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

// The arguments after the command's name beyond the ones it takes: the usage message, or "".
QString extraArguments(const Context& ctx, const Command& command, const QStringList& positional) {
    if (positional.size() <= command.arguments)
        return {};
    QString extra = positional.at(command.arguments);
    if (extra.size() > 40)
        extra = extra.left(40) + QStringLiteral("…");
    return ctx.tr(command.arguments == 0 ? text::NoArguments : text::OneArgument).arg(command.name, extra);
}

// The connection string of --db for a command that only reads: an embedded database is opened
// read-only (Mode=Read), so that the command works on a read-only file system and cannot write.
QString forUse(const QString& connectionString, DatabaseUse use) {
    if (use != DatabaseUse::SchemaRead)
        return connectionString;
    const ado::ConnectionString cs = ado::ConnectionString::parse(connectionString);
    if (ado::providerKind(cs) != ado::ProviderKind::Embedded)
        return connectionString;
    return connectionString + QStringLiteral(";Mode=Read");
}

// The first of the tables that hold the formulas of the editing contexts that the database
// lacks, or "" when it has them all.
QString missingTable(ado::Connection& connection) {
    for (const tables::EditingContext& context : tables::editingContexts()) {
        QString table = QString::fromLatin1(context.table);
        try {
            connection.Execute(QStringLiteral("SELECT 1 FROM %1 WHERE 1 = 0").arg(table));
        } catch (const core::ComError&) {
            const QList<ado::Error>& errors = connection.GetErrors().items();
            const bool invalidObject = std::any_of(errors.begin(), errors.end(),
                                                   [](const ado::Error& e) { return e.nativeError == 208; });
            if (!invalidObject)
                throw;
            return table;
        }
    }
    return {};
}

// Whether standard input is closed. Its descriptor then gets /dev/null, so that no file the
// tool opens (the database among them) takes descriptor 0 and is read as standard input.
bool takeClosedInput() {
    if (fcntl(STDIN_FILENO, F_GETFD) != -1 || errno != EBADF)
        return false;
    const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd > STDIN_FILENO)
        close(fd); // descriptor 0 was taken meanwhile: nothing to hold
    return true;
}

// Qt decodes the arguments as UTF-8 and turns what is not into U+FFFD: the bytes are checked
// before that (a NUL cannot be part of an argument). False, with the reason told, on a flaw.
bool argumentsAreText(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (const auto flaw = findTextFlaw(QByteArrayView(argv[i]))) {
            const QString message = describeTextFlaw(*flaw, QStringLiteral("argument %1").arg(i));
            std::fprintf(stderr, "formule: %s\n", message.toUtf8().constData());
            return false;
        }
    }
    return true;
}

// Runs the command and turns what it throws into the exit code and the error answer. A usage
// error that is the missing schema's message clears `noSchema`: it was told already.
int runCommand(Context& ctx, const Command& command, QCommandLineParser& parser,
               const QStringList& positional, QString& noSchema) {
    try {
        return command.run(ctx, parser, positional);
    } catch (const UsageError& e) {
        *ctx.err << "formule: " << e.message << "\n";
        if (e.message == noSchema)
            noSchema.clear();
        return ExitUsage;
    } catch (const core::ComError& e) {
        ctx.errorAnswer(command.name, e.info());
        return ctx.connectionFailed ? ExitUsage : ExitNegative;
    } catch (const std::exception&) {
        ctx.errorAnswer(command.name, core::currentErrorInfo(std::current_exception()));
        return ExitNegative;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    const bool inputClosed = takeClosedInput();
    if (!argumentsAreText(argc, argv))
        return ExitUsage;

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("formule"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FORMULE_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);

    const GlobalOptions options;
    // The options of every command line: help and the global options.
    const auto commonOptions = [&options](QCommandLineParser& p) {
        p.setApplicationDescription(description());
        p.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
        const QCommandLineOption help = p.addHelpOption();
        p.addOptions({options.db, options.lang, options.company, options.onError});
        return help;
    };
    // First pass: find the command; its own options are not known yet. --version of the tool is
    // known here only, so that a command may have a --version of its own (restore).
    QCommandLineParser first;
    const QCommandLineOption firstHelp = commonOptions(first);
    const QCommandLineOption versionOption = first.addVersionOption();
    first.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command to run (see above)."),
                                QStringLiteral("<command> [arguments]"));

    const QStringList arguments = QCoreApplication::arguments();
    first.parse(arguments);
    const QStringList firstPositional = first.positionalArguments();
    if (firstPositional.isEmpty()) {
        if (first.isSet(firstHelp))
            first.showHelp(ExitOk);
        if (first.isSet(versionOption))
            first.showVersion();
        err << "formule: no command given (see formule --help)\n";
        return ExitUsage;
    }
    const Command* command = findCommand(firstPositional.first());
    if (!command) {
        err << "formule: unknown command \"" << firstPositional.first() << "\" (see formule --help)\n";
        return ExitUsage;
    }

    // Second pass with the command's options.
    QCommandLineParser parser;
    const QCommandLineOption helpOption = commonOptions(parser);
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
    ctx.inputClosed = inputClosed;

    if (!readGlobalOptions(parser, options, ctx, err))
        return ExitUsage;
    host::TranslationService translation;
    translation.load(host::TranslationService::defaultDirectory(), ctx.language);
    ctx.translation = &translation;

    const QStringList positional = parser.positionalArguments().mid(1);
    if (const QString extra = extraArguments(ctx, *command, positional); !extra.isEmpty()) {
        err << "formule " << extra << "\n";
        return ExitUsage;
    }

    const bool defaultDatabase = !parser.isSet(options.db);
    const QString defaultPath = ado::setup::defaultDatabasePath();
    ctx.connectionString =
        defaultDatabase ? ado::setup::embeddedConnectionString(defaultPath) : parser.value(options.db);

    std::unique_ptr<ado::Connection> connection;
    // The database without the formula editor's tables: said once, whichever code opened it.
    QString noSchema;
    ctx.connection = [&]() -> ado::Connection* {
        if (connection)
            return connection.get();
        try {
            if (defaultDatabase && !QFileInfo::exists(defaultPath))
                ado::setup::initialize(ctx.connectionString, true);
            auto conn = std::make_unique<ado::Connection>();
            conn->Open(forUse(ctx.connectionString, command->database));
            if (command->database != DatabaseUse::AsItIs) {
                if (const QString table = missingTable(*conn); !table.isEmpty()) {
                    noSchema = ctx.tr(text::NoSchema).arg(command->name, table);
                    throw UsageError{noSchema};
                }
            }
            connection = std::move(conn);
        } catch (...) {
            ctx.connectionFailed = true;
            throw;
        }
        return connection.get();
    };

    ctx.textArgument = [&ctx](const QStringList& given, int index) {
        if (!fromStandardInput(given, index))
            return given.at(index);
        return readInput(ctx, STDIN_FILENO);
    };

    int code = runCommand(ctx, *command, parser, positional, noSchema);
    if (!noSchema.isEmpty()) {
        // The command went on without the database (a catalogue read as empty, say).
        err << "formule: " << noSchema << "\n";
        code = ExitUsage;
    }
    out.flush();
    err.flush();
    if (connection && connection->State() == 1)
        connection->Close();
    return code;
}
