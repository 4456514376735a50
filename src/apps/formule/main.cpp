// formule: the command-line tool of the formula editor. Each subsystem adds its commands in a
// cmd_<subsystem>.cpp of this folder; this file parses the global options, opens the
// database on demand and runs the command.

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "apps/formule/Command.h"
#include "apps/formule/Help.h"
#include "apps/formule/Texts.h"
#include "host/TranslationService.h"
#include "tables/EditingContext.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcessEnvironment>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

using namespace formule_cli;

namespace {

// --lang, --company and --on-error into the context; prints why not and returns false when one
// of them is not valid.
bool readGlobalOptions(const QCommandLineParser& parser, Context& ctx, QTextStream& err) {
    if (parser.isSet(QStringLiteral("lang")) && ctx.language != QLatin1String("it") &&
        ctx.language != QLatin1String("en")) {
        err << "formule: " << tx(QStringLiteral("--lang deve essere it o en, non \"%1\"")).arg(ctx.language)
            << "\n";
        return false;
    }
    const QString companyText = parser.value(QStringLiteral("company"));
    const WholeNumber company = parseWholeNumber(companyText, INT_MAX);
    if (!company.error.isEmpty()) {
        err << "formule: "
            << tx(QStringLiteral("--company deve essere un numero intero, non \"%1\": %2"))
                   .arg(companyText, company.error)
            << "\n";
        return false;
    }
    ctx.company = static_cast<int>(company.value);
    const QString onError = parser.value(QStringLiteral("on-error"));
    if (onError != QLatin1String("abort") && onError != QLatin1String("ignore")) {
        err << "formule: "
            << tx(QStringLiteral("--on-error deve essere abort o ignore, non \"%1\"")).arg(onError) << "\n";
        return false;
    }
    const int answer = onError == QLatin1String("abort") ? static_cast<int>(core::Answer::Abort)
                                                         : static_cast<int>(core::Answer::Ignore);
    ctx.errorAnswer = [&err, answer](const QString& procedure, const core::ErrorInfo& e) {
        err << procedure << ": " << tx(QStringLiteral("errore %1: %2")).arg(e.number).arg(e.description)
            << "\n";
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

// Qt decodes the arguments as UTF-8 and turns what is not into U+FFFD: the bytes of argv are
// checked before any argument is used but the language (a NUL cannot be part of an argument).
// False, with the reason told in the language of the run, on a flaw.
bool argumentsAreText(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (const auto flaw = findTextFlaw(QByteArrayView(argv[i]))) {
            const QString message = describeTextFlaw(*flaw, tx(QStringLiteral("l'argomento %1")).arg(i));
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

// The connection string when --db is left out: FORMULE_DB, then the first line of the file
// named by FORMULE_DB_FILE, then the demo database in the user's data folder. Empty, with the
// reason in `problem`, when FORMULE_DB_FILE names a file that cannot be read.
QString defaultConnection(const QProcessEnvironment& environment, QString& problem) {
    if (const QString db = environment.value(QStringLiteral("FORMULE_DB")); !db.trimmed().isEmpty())
        return db.trimmed();
    if (const QString path = environment.value(QStringLiteral("FORMULE_DB_FILE")); !path.isEmpty()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > 65536) {
            problem = tx(QStringLiteral("FORMULE_DB_FILE: il file \"%1\" non si può leggere")).arg(path);
            return {};
        }
        return QString::fromUtf8(file.readLine(65536)).trimmed();
    }
    return {};
}

// Where the database of a connection string is, for the note of a writing command: the data
// source and the database, never the login or the password.
QString databaseShown(const QString& connectionString) {
    const ado::ConnectionString cs = ado::ConnectionString::parse(connectionString);
    QString where = cs.value(QStringLiteral("Data Source"));
    if (const QString catalog = cs.value(QStringLiteral("Initial Catalog")); !catalog.isEmpty())
        where += QStringLiteral(" (") + catalog + u')';
    return where;
}

// Turns on the formule.* logging categories for --verbose, and keeps Qt's own ODBC warnings off
// the terminal unless the logging is on.
bool verboseLogging = false;
void logMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QLatin1String category(context.category ? context.category : "default");
    const bool odbc =
        category.startsWith(QLatin1String("qt.sql")) || message.startsWith(QLatin1String("QODBC"));
    if (odbc && !verboseLogging)
        return;
    std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, message)));
}

// First pass over the arguments: the command they name, its own options not known yet. --version
// of the tool is known here only, so that a command may have a --version of its own (restore).
// Null, with `exitCode` set, when the run ends here: the tool's help, no command, an unknown one.
const Command* commandOf(const QStringList& arguments, QTextStream& out, QTextStream& err, int& exitCode) {
    QCommandLineParser first;
    first.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    first.addOptions(commonOptions());
    const QCommandLineOption versionOption = first.addVersionOption();
    first.parse(arguments);
    const QStringList firstPositional = first.positionalArguments();
    exitCode = ExitUsage;
    if (firstPositional.isEmpty()) {
        if (first.isSet(QStringLiteral("help"))) {
            out << toolHelp();
            exitCode = ExitOk;
            return nullptr;
        }
        if (first.isSet(versionOption))
            first.showVersion();
        err << "formule: " << tx(QStringLiteral("nessun comando indicato (vedi formule --help)")) << "\n";
        return nullptr;
    }
    const Command* command = findCommand(firstPositional.first());
    if (!command) {
        err << "formule: "
            << tx(QStringLiteral("comando sconosciuto \"%1\" (vedi formule --help)"))
                   .arg(firstPositional.first())
            << "\n";
    }
    return command;
}

// Second pass, with the command's options. False, with `exitCode` set, when the run ends here:
// the command's help, or options it does not take.
bool parseFor(const Command& command, const QStringList& arguments, QCommandLineParser& parser,
              QTextStream& out, QTextStream& err, int& exitCode) {
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOptions(commonOptions());
    parser.addPositionalArgument(command.name, QString(), command.name);
    CommandLine declared(&parser);
    if (command.configure)
        command.configure(declared);
    if (!parser.parse(arguments)) {
        err << "formule " << command.name << ": " << parser.errorText() << "\n";
        exitCode = ExitUsage;
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out << commandHelp(command);
        exitCode = ExitOk;
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    const bool inputClosed = takeClosedInput();

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("formule"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FORMULE_VERSION));
    qInstallMessageHandler(logMessage);

    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);

    // The language first: every text from here on, the help included, is in it.
    const QStringList arguments = QCoreApplication::arguments();
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    Context ctx;
    ctx.language = toolLanguage(arguments, environment);
    const QString shownLanguage = ctx.language == QLatin1String("it") || ctx.language == QLatin1String("en")
                                      ? ctx.language
                                      : host::TranslationService::localeLanguage(environment);
    host::TranslationService translation;
    translation.load(host::TranslationService::defaultDirectory(), shownLanguage);
    setToolTranslation(&translation);
    // Qt's own texts (the parser's "Unknown option") in the same language.
    host::TranslationService::installQtCatalogue(shownLanguage);
    // Qt turned what is not UTF-8 into U+FFFD; argv still holds the bytes as given.
    if (!argumentsAreText(argc, argv))
        return ExitUsage;

    int exitCode = ExitOk;
    const Command* command = commandOf(arguments, out, err, exitCode);
    if (!command)
        return exitCode;
    QCommandLineParser parser;
    if (!parseFor(*command, arguments, parser, out, err, exitCode))
        return exitCode;
    verboseLogging = parser.isSet(QStringLiteral("verbose"));
    if (verboseLogging)
        QLoggingCategory::setFilterRules(QStringLiteral("formule.*=true"));

    ctx.out = &out;
    ctx.err = &err;
    ctx.inputClosed = inputClosed;
    if (!readGlobalOptions(parser, ctx, err))
        return ExitUsage;
    ctx.language = shownLanguage;
    ctx.translation = &translation;

    const QStringList positional = parser.positionalArguments().mid(1);
    if (const QString extra = extraArguments(ctx, *command, positional); !extra.isEmpty()) {
        err << "formule " << extra << "\n";
        return ExitUsage;
    }

    QString problem;
    const QString fromEnvironment =
        parser.isSet(QStringLiteral("db")) ? QString() : defaultConnection(environment, problem);
    if (!problem.isEmpty()) {
        err << "formule: " << problem << "\n";
        return ExitUsage;
    }
    const bool defaultDatabase = !parser.isSet(QStringLiteral("db")) && fromEnvironment.isEmpty();
    const QString defaultPath = ado::setup::defaultDatabasePath();
    ctx.connectionString = parser.isSet(QStringLiteral("db")) ? parser.value(QStringLiteral("db"))
                           : defaultDatabase ? ado::setup::embeddedConnectionString(defaultPath)
                                             : fromEnvironment;
    // A command that may write says which database it writes when --db does not name it.
    const bool noteDatabase = !parser.isSet(QStringLiteral("db")) &&
                              command->database != DatabaseUse::SchemaRead &&
                              command->name != QLatin1String("help");

    std::unique_ptr<ado::Connection> connection;
    // The database without the formula editor's tables: said once, whichever code opened it.
    QString noSchema;
    ctx.connection = [&]() -> ado::Connection* {
        if (connection)
            return connection.get();
        try {
            if (defaultDatabase && !QFileInfo::exists(defaultPath))
                ado::setup::initialize(ctx.connectionString, true);
            if (noteDatabase) {
                err << "formule: "
                    << tx(QStringLiteral("%1 usa il database %2 (--db non indicato)"))
                           .arg(command->name, databaseShown(ctx.connectionString))
                    << "\n";
                err.flush();
            }
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
