#pragma once

#include "core/Error.h"
#include "core/HostServices.h"

#include <QByteArrayView>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <optional>

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
    // when the argument is missing (see readInput). Throws UsageError when standard input cannot
    // be read, is longer than MaxInputBytes or is not UTF-8 text.
    std::function<QString(const QStringList& positional, int index)> textArgument;
    // Standard input was closed when the tool started (its descriptor then holds /dev/null, so
    // that no file the tool opens takes its place).
    bool inputClosed = false;
    // The text of --lang for an Italian text of the tool.
    QString tr(const QString& italianText) const;
};

// Whether the text argument at `index` is read from standard input: "-", or no argument there.
bool fromStandardInput(const QStringList& positional, int index);

// Standard input (and every "-" argument) is read up to this many bytes.
inline constexpr qsizetype MaxInputBytes = qsizetype(16) * 1024 * 1024;

// Reads the descriptor `fd` to its end as UTF-8 text (a byte order mark at its start dropped),
// a block at a time: it stops at the first NUL byte or byte that is not UTF-8 and at more than
// `limit` bytes, so that no input makes the tool read or keep more than that. `inputClosed` says
// that the descriptor stands for a closed standard input. Throws UsageError with the reason (the
// byte offset of a flaw, the limit, the system's reason for a failed read).
QString readInput(const Context& ctx, int fd, qsizetype limit = MaxInputBytes);

// The tool as host of the subsystems: the connection of --db (opened on first use; may throw),
// the translation service of --lang, the tool's error answer; no message box (every question
// answered No) and no record, unless a command sets them.
core::FunctionServices hostServices(Context& ctx);

// The reason the translation of `formula` to SQL form fails when it goes over the text limit of
// a pass (language::refs::MaxPassLength characters), naming the formula's length and the limit;
// "" when it does not. The translation is the check's (references as placeholders, nothing
// looked up).
QString textLimitReason(const Context& ctx, const QString& formula);

// Has the error answer of `services` say, instead of the translation's bare Overflow, that the
// translation of `formula` went over the text limit, with the formula's length and the limit;
// the translation is then abandoned. Other errors go to the answer it had.
void explainTextLimit(const Context& ctx, core::FunctionServices& services, const QString& formula);

// Opens the database of --db; prints "COMMAND: cannot open the database: why" and returns null
// when it cannot.
ado::Connection* openConnection(Context& ctx, const QString& command);

// What a command needs of the database of --db, checked once when the tool opens it.
enum class DatabaseUse {
    AsItIs,    // any database, read and written as the command's text says (sql, check-sql)
    Schema,    // the formula editor's tables; the command may write
    SchemaRead // the formula editor's tables, opened read-only: the command never writes
};

// The options and arguments a command declares: each goes to the parser it was made for (none
// when only the table is wanted), and is kept in declaration order for the command's help, the
// manual page and the shell completion, which so always show what the parser takes.
class CommandLine {
public:
    struct Argument {
        QString name;
        QString description; // Italian; shown through the translation of --lang
        QString syntax;
    };
    explicit CommandLine(QCommandLineParser* parser = nullptr)
        : m_parser(parser) {}
    bool addOption(const QCommandLineOption& option);
    bool addOptions(const QList<QCommandLineOption>& options);
    void addPositionalArgument(const QString& name, const QString& description, const QString& syntax = {});
    const QList<QCommandLineOption>& options() const { return m_options; }
    const QList<Argument>& arguments() const { return m_arguments; }

private:
    QCommandLineParser* m_parser;
    QList<QCommandLineOption> m_options;
    QList<Argument> m_arguments;
};

// A sub-command of the tool. `configure` adds the command's own options to the parser;
// `run` receives the parsed parser (positional arguments after the command name) and
// returns the exit code. The tool refuses more than `arguments` positional arguments before
// the command runs.
struct Command {
    QString name;
    QString synopsis; // one line for --help
    std::function<void(CommandLine&)> configure;
    std::function<int(Context&, const QCommandLineParser&, const QStringList& positional)> run;
    int arguments = 0;
    DatabaseUse database = DatabaseUse::AsItIs;
};

// Bad usage found while a command runs, for instance standard input that is not text: the tool
// prints "formule: <message>" on standard error and exits with ExitUsage.
struct UsageError {
    QString message;
};

// A whole number given on the command line: decimal digits 0-9 only (at most 18), spaces or tabs
// around them allowed; no sign, separator, decimal point or exponent. `error` says what is wrong
// with any other text, or that the number is above `maximum`; it is empty when `value` holds the
// number.
struct WholeNumber {
    qint64 value = 0;
    QString error;
};
inline constexpr qint64 MaxWholeNumber = 999'999'999'999'999'999; // 18 digits
WholeNumber parseWholeNumber(const QString& text, qint64 maximum = MaxWholeNumber);

// The editing context of --context: exactly 0, 1 or 2 (spaces or tabs around allowed).
std::optional<int> parseContext(const QString& text);

// The first flaw of bytes meant as UTF-8 text, at its offset from the first byte (counted from
// 0): the start of a sequence that is not well-formed UTF-8 (a stray continuation byte, a lead
// byte without its continuation bytes, an overlong form, a surrogate, a code point above
// U+10FFFF, the bytes C0, C1, F5-FF) or a NUL byte.
struct TextFlaw {
    enum class Kind { InvalidUtf8, Nul };
    Kind kind;
    qsizetype offset;
};
std::optional<TextFlaw> findTextFlaw(QByteArrayView bytes);

// "<what> is not valid UTF-8 at byte offset N" or "<what> holds a NUL byte at byte offset N".
QString describeTextFlaw(const TextFlaw& flaw, const QString& what);

// Registration: each subsystem's commands live in a cmd_<subsystem>.cpp of this folder and
// register themselves at start-up with a static Registrar.
void registerCommand(Command command);
const QList<Command>& commands(); // sorted by name
const Command* findCommand(const QString& name);

struct Registrar {
    explicit Registrar(Command command) { registerCommand(std::move(command)); }
};

} // namespace formule_cli
