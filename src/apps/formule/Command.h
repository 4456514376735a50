#pragma once

#include "core/Error.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

namespace ado {
class Connection;
}
namespace host {
class TranslationService;
}

namespace formule_cli {

// Exit codes of the tool.
inline constexpr int ExitOk = 0;
inline constexpr int ExitNegative = 1; // the command ran and its outcome is negative
inline constexpr int ExitUsage = 2;    // bad usage, or the database could not be opened

// What a command gets from the tool: the global options, the opened connection, the
// translation service of --lang, the error answer of the tool (abort unless told otherwise,
// printing the error on stderr), and the streams.
struct Context {
    QString connectionString;                     // --db
    QString language;                             // --lang (it, en)
    int company = 1;                              // --company
    std::function<ado::Connection*()> connection; // opened on first use; throws core::ComError
    bool connectionFailed = false; // set when opening the connection failed (the tool then exits 2)
    host::TranslationService* translation = nullptr;
    core::ErrorAnswerFn errorAnswer;
    QTextStream* out = nullptr; // standard output, UTF-8
    QTextStream* err = nullptr; // standard error, UTF-8
    // Reads the command's text argument: the argument itself, or standard input for "-" or
    // when the argument is missing.
    std::function<QString(const QStringList& positional, int index)> textArgument;
};

// A sub-command of the tool. `configure` adds the command's own options to the parser;
// `run` receives the parsed parser (positional arguments after the command name) and
// returns the exit code.
struct Command {
    QString name;
    QString synopsis; // one line for --help
    std::function<void(QCommandLineParser&)> configure;
    std::function<int(Context&, const QCommandLineParser&, const QStringList& positional)> run;
};

// Registration: each subsystem's commands live in a cmd_<subsystem>.cpp of this folder and
// register themselves at start-up with a static Registrar.
void registerCommand(Command command);
const QList<Command>& commands(); // sorted by name
const Command* findCommand(const QString& name);

struct Registrar {
    explicit Registrar(Command command) { registerCommand(std::move(command)); }
};

} // namespace formule_cli
