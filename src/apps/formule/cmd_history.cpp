// formule history, diff and restore: the versions every write of a formula keeps, through the
// same history and save as the editor window; and the version options of save and clear.

#include "Command.h"
#include "HistoryTexts.h"
#include "RecordSave.h"

#include "ado/Ado.h"
#include "check/BulkCheck.h"
#include "core/NullSafe.h"
#include "editing/FormulaHistory.h"
#include "editing/TextDiff.h"
#include "language/FormulaLanguage.h"
#include "language/StoredFormulas.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <climits>

#include <pwd.h>
#include <unistd.h>

namespace formule_cli {

namespace htext = history::text;

void addVersionOptions(CommandLine& parser, bool expectVersion) {
    parser.addOption(
        QCommandLineOption(QStringLiteral("comment"),
                           QStringLiteral("Un commento conservato con la versione che questa scrittura "
                                          "aggiunge (una riga, al massimo 400 caratteri)."),
                           QStringLiteral("TEXT")));
    if (expectVersion)
        parser.addOption(QCommandLineOption(
            QStringLiteral("expect-version"),
            QStringLiteral(
                "Scrivi solo se l'ultima versione del record è V (0: nessuna versione ancora conservata)."),
            QStringLiteral("V")));
}

std::optional<VersionOptions> versionOptions(Context& ctx, const QCommandLineParser& parser,
                                             const QString& command) {
    VersionOptions options;
    options.comment = parser.value(QStringLiteral("comment"));
    QString problem =
        editing::commentProblem(options.comment, [&ctx](const QString& t) { return ctx.tr(t); });
    if (problem.isEmpty() && parser.optionNames().contains(QStringLiteral("expect-version"))) {
        const QString given = parser.value(QStringLiteral("expect-version"));
        const WholeNumber number = parseWholeNumber(given, INT_MAX);
        if (!number.error.isEmpty())
            problem = ctx.tr(htext::BadExpectVersion).arg(given);
        else
            options.expected = int(number.value);
    }
    if (problem.isEmpty())
        return options;
    *ctx.err << command << ": " << problem << '\n';
    ctx.err->flush();
    return std::nullopt;
}

QString toolUser(const Context& ctx) {
    try {
        const QString login = ado::ConnectionString::parse(ctx.connectionString).firstOf(ado::keys::UserId);
        if (!login.trimmed().isEmpty())
            return login.trimmed();
    } catch (const core::ComError&) {
        // A connection string the tool could not open names no one.
    }
    for (const char* name : {"USER", "LOGNAME", "USERNAME"})
        if (QString login = qEnvironmentVariable(name); !login.isEmpty())
            return login;
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return {};
}

} // namespace formule_cli

namespace {

using namespace formule_cli;
namespace htext = formule_cli::history::text;

// A usage problem found while reading a command's options: printed as "COMMAND: message", exit 2.
struct Usage {
    QString message;
};

int usage(Context& ctx, const QString& command, const QString& message) {
    *ctx.err << command << ": " << message << '\n';
    ctx.err->flush();
    return ExitUsage;
}

// A version number of --version, --from, --to: 1 or more.
int versionNumber(Context& ctx, const QCommandLineParser& parser, const QString& option) {
    const QString given = parser.value(option);
    const WholeNumber number = parseWholeNumber(given, INT_MAX);
    if (!number.error.isEmpty() || number.value < 1)
        throw Usage{ctx.tr(htext::BadVersion).arg(QStringLiteral("--") + option, given)};
    return int(number.value);
}

editing::HistoryTranslateFn translator(Context& ctx) {
    return [&ctx](const QString& text) { return ctx.tr(text); };
}

// The history of the database, refused by name when the table is missing.
std::optional<editing::FormulaHistory> openHistory(Context& ctx, const QString& command) {
    ado::Connection* connection = openConnection(ctx, command);
    if (!connection)
        return std::nullopt;
    editing::FormulaHistory history(*connection, translator(ctx));
    if (!history.available()) {
        usage(ctx, command, ctx.tr(editing::historymsg::NoTable));
        return std::nullopt;
    }
    return history;
}

// The display form of a version's SQL form ("" for a clear), as show prints it; nullopt when it
// cannot be shown.
std::optional<QString> displayForm(Context& ctx, const std::optional<QString>& sqlForm) {
    if (!sqlForm)
        return QString();
    core::FunctionServices services = hostServices(ctx);
    language::FormulaLanguage language(services);
    const QString display = language.encodeToken(core::RTrimN(core::Variant(*sqlForm)).toString());
    if (language.lastErrorCount() > 0)
        return std::nullopt;
    return language::singledQuotes(display);
}

// ---- history ----

enum class Format { Tsv, Csv, Json };

void printVersions(QTextStream& out, Format format, const QList<editing::FormulaVersion>& versions) {
    if (format == Format::Json) {
        QJsonArray array;
        for (const editing::FormulaVersion& v : versions)
            array.append(
                QJsonObject{{QStringLiteral("version"), v.version},
                            {QStringLiteral("when"), v.when},
                            {QStringLiteral("who"), v.user},
                            {QStringLiteral("from"), v.origin},
                            {QStringLiteral("comment"), v.comment},
                            {QStringLiteral("hash"), v.hash.isEmpty() ? QJsonValue() : QJsonValue(v.hash)}});
        out << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
        return;
    }
    if (format == Format::Csv)
        out << "VERSION,WHEN,WHO,FROM,COMMENT\n";
    for (const editing::FormulaVersion& v : versions) {
        if (format == Format::Csv)
            out << v.version << ',' << v.when << ',' << check::csvField(v.user) << ',' << v.origin << ','
                << check::csvField(v.comment) << '\n';
        else
            out << v.version << '\t' << v.when << '\t' << v.user << '\t' << v.origin << '\t' << v.comment
                << '\n';
    }
}

// --prune-before: a date (the start of that day, UTC) or a UTC time, as the history writes it.
std::optional<QString> pruneDate(const QString& given) {
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d(T\\d\\d:\\d\\d:\\d\\dZ)?$"));
    const QString text = given.trimmed();
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const QDateTime time = text.size() == 10
                               ? QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd"))
                               : QDateTime::fromString(text, QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
    if (!time.isValid())
        return std::nullopt;
    return text;
}

int runPrune(Context& ctx, const QCommandLineParser& parser) {
    const QString command = QStringLiteral("history");
    if (parser.isSet(QStringLiteral("context")) || parser.isSet(QStringLiteral("id")))
        return usage(ctx, command, ctx.tr(htext::PruneWithRecord));
    const std::optional<QString> date = pruneDate(parser.value(QStringLiteral("prune-before")));
    if (!date)
        return usage(ctx, command, ctx.tr(htext::BadDate).arg(parser.value(QStringLiteral("prune-before"))));
    std::optional<editing::FormulaHistory> history = openHistory(ctx, command);
    if (!history)
        return ExitUsage;
    const qint64 deleted = history->pruneBefore(*date);
    *ctx.out << ctx.tr(htext::Pruned).arg(deleted) << '\n';
    ctx.out->flush();
    return ExitOk;
}

int runHistory(Context& ctx, const QCommandLineParser& parser, const QStringList&) {
    const QString command = QStringLiteral("history");
    if (parser.isSet(QStringLiteral("prune-before")))
        return runPrune(ctx, parser);
    const auto record = recordOptions(ctx, parser, command);
    if (!record)
        return ExitUsage;
    const QString formatText = parser.value(QStringLiteral("format"));
    Format format = Format::Tsv;
    if (formatText == QLatin1String("csv"))
        format = Format::Csv;
    else if (formatText == QLatin1String("json"))
        format = Format::Json;
    else if (formatText != QLatin1String("tsv"))
        return usage(ctx, command, ctx.tr(htext::BadFormat).arg(formatText));
    std::optional<editing::FormulaHistory> history = openHistory(ctx, command);
    if (!history)
        return ExitUsage;
    const QList<editing::FormulaVersion> versions = history->list(record->context, record->id.toLongLong());
    printVersions(*ctx.out, format, versions);
    ctx.out->flush();
    if (versions.isEmpty()) {
        *ctx.err << command << ": "
                 << ctx.tr(editing::historymsg::NoHistory).arg(record->context).arg(record->id) << '\n';
        ctx.err->flush();
    }
    return ExitOk;
}

// ---- diff ----

// One side of a diff: its label and its display form.
struct Side {
    QString label;
    QString text;
};

// The version `number` of the record as a side; throws Usage naming what is wrong.
Side versionSide(Context& ctx, editing::FormulaHistory& history, const Record& record, int number) {
    const std::optional<editing::FormulaVersion> v =
        history.load(record.context, record.id.toLongLong(), number);
    if (!v)
        throw Usage{ctx.tr(editing::historymsg::NoVersion).arg(number).arg(record.context).arg(record.id)};
    const std::optional<QString> display = displayForm(ctx, v->sqlForm);
    if (!display)
        throw Usage{ctx.tr(htext::NotShown).arg(number)};
    return {QStringLiteral("v%1").arg(number), *display};
}

int runDiff(Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
    const QString command = QStringLiteral("diff");
    const auto record = recordOptions(ctx, parser, command);
    if (!record)
        return ExitUsage;
    const bool withText = parser.isSet(QStringLiteral("text")) || !positional.isEmpty();
    try {
        if ((withText && parser.isSet(QStringLiteral("to"))) ||
            (parser.isSet(QStringLiteral("text")) && !positional.isEmpty()))
            throw Usage{ctx.tr(htext::ToAndText)};
        // 0: not given.
        const int from =
            parser.isSet(QStringLiteral("from")) ? versionNumber(ctx, parser, QStringLiteral("from")) : 0;
        const int to =
            parser.isSet(QStringLiteral("to")) ? versionNumber(ctx, parser, QStringLiteral("to")) : 0;
        std::optional<editing::FormulaHistory> history = openHistory(ctx, command);
        if (!history)
            return ExitUsage;
        const int latest = history->latestVersion(record->context, record->id.toLongLong());
        if (latest == 0)
            throw Usage{ctx.tr(editing::historymsg::NoHistory).arg(record->context).arg(record->id)};
        Side right;
        if (withText) {
            // --text TEXT, or the argument: "-" reads standard input.
            const QStringList given = parser.isSet(QStringLiteral("text"))
                                          ? QStringList{parser.value(QStringLiteral("text"))}
                                          : positional;
            right = {given.first() == QLatin1String("-") ? QStringLiteral("-") : QStringLiteral("text"),
                     ctx.textArgument(given, 0)};
        } else {
            right = versionSide(ctx, *history, *record, to > 0 ? to : latest);
        }
        // Against a text: the latest version; between versions: the one before the right side's.
        const int leftNumber = from > 0 ? from : withText ? latest : (to > 0 ? to : latest) - 1;
        if (leftNumber < 1)
            throw Usage{ctx.tr(htext::NoPrevious)};
        const Side left = versionSide(ctx, *history, *record, leftNumber);
        const QString diff = editing::unifiedDiff(left.text, right.text, left.label, right.label);
        *ctx.out << diff;
        ctx.out->flush();
        return diff.isEmpty() ? ExitOk : ExitNegative;
    } catch (const Usage& u) {
        return usage(ctx, command, u.message);
    }
}

// ---- restore ----

int runRestore(Context& ctx, const QCommandLineParser& parser, const QStringList&) {
    const QString command = QStringLiteral("restore");
    const auto record = recordOptions(ctx, parser, command);
    if (!record)
        return ExitUsage;
    const auto version = versionOptions(ctx, parser, command);
    if (!version)
        return ExitUsage;
    QString text;
    try {
        if (!parser.isSet(QStringLiteral("version")))
            throw Usage{ctx.tr(htext::VersionRequired)};
        const int number = versionNumber(ctx, parser, QStringLiteral("version"));
        std::optional<editing::FormulaHistory> history = openHistory(ctx, command);
        if (!history)
            return ExitUsage;
        const std::optional<editing::FormulaVersion> v =
            history->load(record->context, record->id.toLongLong(), number);
        if (!v) {
            *ctx.err
                << command << ": "
                << ctx.tr(editing::historymsg::NoVersion).arg(number).arg(record->context).arg(record->id)
                << '\n';
            ctx.err->flush();
            return ExitNegative;
        }
        const std::optional<QString> display = displayForm(ctx, v->sqlForm);
        if (!display)
            throw Usage{ctx.tr(htext::NotShown).arg(number)};
        text = *display;
    } catch (const Usage& u) {
        return usage(ctx, command, u.message);
    }
    return saveRecord(ctx, *record, {command, text, parser.isSet(QStringLiteral("yes")), *version});
}

const Registrar historyCommand(Command{
    QStringLiteral("history"),
    QStringLiteral(
        "elenca le versioni conservate della formula di un record, la più recente prima: VERSIONE, QUANDO "
        "(UTC), CHI, DA (finestra, strumento, importazione), COMMENTO; --prune-before elimina le versioni "
        "scritte prima di DATE (AAAA-MM-GG o AAAA-MM-GGTHH:MM:SSZ) tranne l'ultima di ogni record"),
    [](CommandLine& parser) {
        addRecordOptions(parser);
        parser.addOption(QCommandLineOption(
            QStringLiteral("format"),
            QStringLiteral("Uscita: tsv (predefinita), csv con una riga di intestazione, json."),
            QStringLiteral("tsv|csv|json"), QStringLiteral("tsv")));
        parser.addOption(QCommandLineOption(
            QStringLiteral("prune-before"),
            QStringLiteral("Elimina le versioni anteriori a DATE, tenendo l'ultima di ogni record."),
            QStringLiteral("DATE")));
    },
    runHistory,
    0,
    DatabaseUse::Schema,
});

const Registrar diffCommand(Command{
    QStringLiteral("diff"),
    QStringLiteral("diff unificato delle forme visualizzate di due versioni (predefinito: la penultima "
                   "contro l'ultima), o di una versione (predefinita: l'ultima) contro TEXT o lo standard "
                   "input (-); uscita 0 uguali, 1 diverse"),
    [](CommandLine& parser) {
        addRecordOptions(parser);
        parser.addOption(QCommandLineOption(QStringLiteral("from"), QStringLiteral("La versione a sinistra."),
                                            QStringLiteral("V")));
        parser.addOption(QCommandLineOption(QStringLiteral("to"), QStringLiteral("La versione a destra."),
                                            QStringLiteral("V")));
        parser.addOption(QCommandLineOption(
            QStringLiteral("text"),
            QStringLiteral("Una formula in forma visualizzata a destra (- la legge dallo standard input)."),
            QStringLiteral("TEXT")));
    },
    runDiff,
    1,
    DatabaseUse::SchemaRead,
});

const Registrar restoreCommand(Command{
    QStringLiteral("restore"),
    QStringLiteral("salva di nuovo una versione conservata, attraverso il salvataggio (il suo controllo; "
                   "--yes salva una che non lo supera): una nuova versione; stampa l'istruzione"),
    [](CommandLine& parser) {
        addRecordOptions(parser);
        parser.addOption(QCommandLineOption(
            QStringLiteral("version"), QStringLiteral("La versione da ripristinare."), QStringLiteral("V")));
        parser.addOption(
            QCommandLineOption(QStringLiteral("yes"),
                               QStringLiteral("Salva comunque una versione che non supera il controllo.")));
        addVersionOptions(parser, true);
    },
    runRestore,
    0,
    DatabaseUse::Schema,
});

} // namespace
