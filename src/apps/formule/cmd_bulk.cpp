// formule where-used and check-all: the stored formulas of all records at once, through the
// same classes the demo host's windows use.

#include "Command.h"
#include "Help.h"

#include "ado/Ado.h"
#include "check/BulkCheck.h"
#include "language/WhereUsed.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

#include <unistd.h>

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
        *ctx.err << command << ": "
                 << tx(QStringLiteral("--context deve essere 0, 1 o 2, non \"%1\""))
                        .arg(parser.value(QStringLiteral("context")))
                 << "\n";
        ctx.err->flush();
        ok = false;
    }
    return context;
}

void addContextOption(CommandLine& parser) {
    parser.addOption(QCommandLineOption(
        QStringLiteral("context"),
        QStringLiteral("Solo i record di un contesto di modifica: 0 condizione, 1 listino, 2 manutenzione."),
        QStringLiteral("N")));
}

int runWhereUsed(Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
    const QString command = QStringLiteral("where-used");
    bool ok = true;
    const std::optional<int> context = contextFilter(ctx, parser, command, ok);
    if (!ok)
        return ExitUsage;
    if (positional.isEmpty()) {
        *ctx.err << command << ": "
                 << tx(QStringLiteral(
                        "indica l'elemento: [etichetta], @VARIABILE, {codice categoria} o |codice "
                        "variante|"))
                 << '\n';
        ctx.err->flush();
        return ExitUsage;
    }
    core::FunctionServices services = hostServices(ctx);
    const auto name = language::parseElementName(
        positional.first(), [&services](const QString& t) { return services.translate(t); });
    if (!name) {
        *ctx.err << command << ": "
                 << tx(QStringLiteral(
                           "\"%1\" non è un'etichetta del dizionario, una variabile, una {categoria} o "
                           "una |variante|"))
                        .arg(positional.first())
                 << '\n';
        ctx.err->flush();
        return ExitUsage;
    }
    ado::Connection* connection = openConnection(ctx, command);
    if (!connection)
        return ExitUsage;
    language::WhereUsed search(*connection);
    const std::optional<language::UsedElement> element = search.resolve(*name);
    if (!element) {
        *ctx.err << command << ": " << tx(QStringLiteral("nessuna categoria con codice %1")).arg(name->text)
                 << '\n';
        ctx.err->flush();
        return ExitNegative;
    }
    const qint64 found = search.run(*element, context, [&ctx](const language::ElementUse& use) {
        *ctx.out << use.context << '\t' << use.id << '\t' << use.line << '\n';
    });
    ctx.out->flush();
    return found > 0 ? ExitOk : ExitNegative;
}

// A message on one tab-separated line.
QString tsvField(QString text) {
    for (QChar& c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

enum class Format { Tsv, Csv, Json };

// Writes the results as they come, in the format asked for.
class ResultWriter {
public:
    ResultWriter(QTextStream& out, Format format)
        : m_out(out)
        , m_format(format) {
        if (m_format == Format::Csv)
            m_out << "CONTEXT,ID,VERDICT,MESSAGE\n";
        else if (m_format == Format::Json)
            m_out << '[';
    }

    void write(const check::CheckedFormula& r) {
        const QString verdict = check::verdictName(r.verdict);
        switch (m_format) {
        case Format::Tsv:
            m_out << r.context << '\t' << r.id << '\t' << verdict << '\t' << tsvField(r.message) << '\n';
            break;
        case Format::Csv:
            m_out << r.context << ',' << r.id << ',' << verdict << ',' << check::csvField(r.message) << '\n';
            break;
        case Format::Json: {
            const QJsonObject object{{QStringLiteral("context"), r.context},
                                     {QStringLiteral("id"), r.id},
                                     {QStringLiteral("verdict"), verdict},
                                     {QStringLiteral("message"), r.message},
                                     {QStringLiteral("line"), r.line}};
            m_out << (m_first ? "\n" : ",\n")
                  << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
            break;
        }
        }
        m_first = false;
    }

    void finish() {
        if (m_format == Format::Json)
            m_out << (m_first ? "]\n" : "\n]\n");
        m_out.flush();
    }

private:
    QTextStream& m_out;
    Format m_format;
    bool m_first = true;
};

// The progress bar on standard error when it is a terminal: redrawn at most every 1%.
class ProgressBar {
public:
    ProgressBar(QTextStream& err, qint64 total)
        : m_err(err)
        , m_total(total) {}

    void step(qint64 done) {
        if (m_total <= 0)
            return;
        const int percent = static_cast<int>(done * 100 / m_total);
        if (percent == m_shown && done != m_total)
            return;
        m_shown = percent;
        const int filled = percent * 40 / 100;
        m_err << '\r' << '[' << QString(filled, u'#') << QString(40 - filled, u'.') << "] " << done << '/'
              << m_total;
        m_err.flush();
    }
    void end() {
        if (m_total > 0 && m_shown >= 0)
            m_err << '\n';
    }

private:
    QTextStream& m_err;
    qint64 m_total;
    int m_shown = -1;
};

int runCheckAll(Context& ctx, const QCommandLineParser& parser, const QStringList&) {
    const QString command = QStringLiteral("check-all");
    bool ok = true;
    const std::optional<int> context = contextFilter(ctx, parser, command, ok);
    if (!ok)
        return ExitUsage;
    const QString formatText = parser.value(QStringLiteral("format"));
    Format format = Format::Tsv;
    bool formatKnown = formatText == QLatin1String("tsv");
    if (formatText == QLatin1String("csv")) {
        format = Format::Csv;
        formatKnown = true;
    } else if (formatText == QLatin1String("json")) {
        format = Format::Json;
        formatKnown = true;
    }
    const WholeNumber jobs = parseWholeNumber(parser.value(QStringLiteral("jobs")), 64);
    if (!formatKnown || !jobs.error.isEmpty() || jobs.value < 1) {
        *ctx.err << command << ": "
                 << tx(QStringLiteral(
                        "--format deve essere tsv, csv o json e --jobs un numero intero da 1 a 64"))
                 << '\n';
        ctx.err->flush();
        return ExitUsage;
    }
    ado::Connection* connection = openConnection(ctx, command);
    if (!connection)
        return ExitUsage;
    core::FunctionServices services = hostServices(ctx);
    check::BulkCheck bulk({.connectionString = ctx.connectionString,
                           .context = context,
                           .jobs = static_cast<int>(jobs.value),
                           .translate = [&services](const QString& t) { return services.translate(t); },
                           .cancelled = {},
                           .judgement = parser.isSet(QStringLiteral("as-editor"))
                                            ? check::Judgement::AsEditor
                                            : check::Judgement::AsProduction,
                           .after = {},
                           .cases = !parser.isSet(QStringLiteral("no-cases"))});
    const bool terminal = isatty(STDERR_FILENO) == 1;
    ProgressBar progress(*ctx.err, terminal ? check::BulkCheck::countRecords(*connection, context) : 0);
    ResultWriter writer(*ctx.out, format);
    QElapsedTimer timer;
    timer.start();
    qint64 done = 0;
    const check::BulkSummary summary = bulk.run(*connection, [&](const check::CheckedFormula& r) {
        writer.write(r);
        progress.step(++done);
    });
    writer.finish();
    progress.end();
    *ctx.err << "OK " << summary.ok << ", ERROR " << summary.error << ", STALE " << summary.stale
             << ", UNCHECKED " << summary.unchecked;
    // Written only when a case differs: the line stays as it was for a run without one.
    if (summary.cases > 0)
        *ctx.err << ", CASE " << summary.cases;
    *ctx.err << ", "
             << tx(QStringLiteral("%1 formule in %2 s"))
                    .arg(summary.total())
                    .arg(QString::number(timer.elapsed() / 1000.0, 'f', 2))
             << "\n";
    ctx.err->flush();
    return summary.total() == summary.ok ? ExitOk : ExitNegative;
}

const Registrar checkAllCommand(Command{
    QStringLiteral("check-all"),
    QStringLiteral("controlla ogni formula memorizzata come la esegue la produzione (la forma SQL "
                   "memorizzata con le sue sottoquery), poi i casi di prova di ognuna corretta: "
                   "CONTESTO<TAB>ID<TAB>OK|ERROR|STALE|UNCHECKED|CASE<TAB>MESSAGGIO; conteggi e tempo sullo "
                   "standard error (uscita 0 tutte OK, 1 altrimenti)"),
    [](CommandLine& parser) {
        addContextOption(parser);
        parser.addOption(QCommandLineOption(
            QStringLiteral("format"),
            QStringLiteral("Uscita: tsv (predefinita), csv con una riga di intestazione, json."),
            QStringLiteral("tsv|csv|json"), QStringLiteral("tsv")));
        parser.addOption(QCommandLineOption(
            QStringLiteral("jobs"), QStringLiteral("Connessioni che controllano insieme (predefinito 1)."),
            QStringLiteral("N"), QStringLiteral("1")));
        parser.addOption(QCommandLineOption(
            QStringLiteral("as-editor"),
            QStringLiteral("Giudica ogni formula come il controllo dell'editor, con categorie e varianti "
                           "sostituite dai segnaposto, anziché come la esegue la produzione.")));
        parser.addOption(
            QCommandLineOption(QStringLiteral("no-cases"),
                               QStringLiteral("Non eseguire i casi di prova conservati con le formule.")));
    },
    runCheckAll,
    0,
    DatabaseUse::Schema,
});

const Registrar whereUsedCommand(Command{
    QStringLiteral("where-used"),
    QStringLiteral("le formule memorizzate che usano un'[etichetta], una @VARIABILE, un {codice categoria} o "
                   "un |codice variante|: CONTESTO<TAB>ID<TAB>RIGA (uscita 0 trovato, 1 non trovato)"),
    addContextOption,
    runWhereUsed,
    1,
    DatabaseUse::SchemaRead,
});

} // namespace
