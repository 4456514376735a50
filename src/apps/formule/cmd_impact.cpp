// formule impact: the impact preview of a changed formula over the record's test cases, the rows of
// a CSV and generated rows, through the same classes as the editor's "Anteprima impatto".

#include "Command.h"
#include "Help.h"
#include "ImpactReport.h"
#include "TrialValues.h"

#include "ado/Ado.h"
#include "check/Impact.h"
#include "check/ImpactTexts.h"
#include "check/Messages.h"
#include "language/FormulaLanguage.h"

#include <QFile>

#include <cstdio>
#include <unistd.h>

namespace {

using namespace formule_cli;

const QString InputsOption = QStringLiteral("inputs");
const QString NumbersOption = QStringLiteral("numbers");
const QString GenerateOption = QStringLiteral("generate");
const QString TopOption = QStringLiteral("top");
const QString FormatOption = QStringLiteral("format");
const QString EngineOption = QStringLiteral("engine");

struct ImpactArguments {
    int context = 0;
    qint64 id = 0;
    int top = 10;
    ReportFormat format = ReportFormat::Text;
    check::ImpactNumbers numbers = check::ImpactNumbers::C;
};

ImpactArguments argumentsOf(const QCommandLineParser& parser) {
    ImpactArguments a;
    if (!parser.isSet(ContextOption) || !parser.isSet(IdOption))
        throw Usage{tx(QStringLiteral("--context e --id sono obbligatori"))};
    a.context = *contextOf(parser);
    a.id = idOf(parser);
    const WholeNumber top = parseWholeNumber(parser.value(TopOption), 10000);
    if (!top.error.isEmpty())
        throw Usage{tx(QStringLiteral("--top vuole il numero di righe da mostrare (al massimo 10000): %1"))
                        .arg(top.error)};
    a.top = int(top.value);
    const std::optional<ReportFormat> format = reportFormat(parser.value(FormatOption));
    if (!format)
        throw Usage{tx(QStringLiteral("--format deve essere text, tsv, csv o json, non \"%1\""))
                        .arg(parser.value(FormatOption))};
    a.format = *format;
    const QString numbers = parser.value(NumbersOption).toLower();
    if (numbers == QLatin1String("language"))
        a.numbers = check::ImpactNumbers::Language;
    else if (numbers != QLatin1String("c"))
        throw Usage{tx(QStringLiteral("--numbers deve essere C o language, non \"%1\""))
                        .arg(parser.value(NumbersOption))};
    return a;
}

// A progress bar on standard error, redrawn when its percentage moves.
class ProgressBar {
public:
    void show(qint64 done, qint64 total) {
        const int percent = total > 0 ? int(std::min(done, total) * 100 / total) : -1;
        if (percent == m_last && total > 0)
            return;
        m_last = percent;
        constexpr int Width = 30;
        if (total > 0) {
            const int filled = percent * Width / 100;
            std::fprintf(stderr, "\r[%s%s] %3d%% %lld/%lld", QByteArray(filled, '#').constData(),
                         QByteArray(Width - filled, ' ').constData(), percent, static_cast<long long>(done),
                         static_cast<long long>(total));
        } else {
            std::fprintf(stderr, "\r%lld", static_cast<long long>(done));
        }
        std::fflush(stderr);
        m_drawn = true;
    }
    ~ProgressBar() { clear(); }
    void clear() {
        if (m_drawn)
            std::fprintf(stderr, "\r%60s\r", "");
        m_drawn = false;
    }

private:
    int m_last = -2;
    bool m_drawn = false;
};

// "impact: FILE:LINE:COLUMN: why" (the line and the column when known).
void printCsvError(Context& ctx, const QString& file, const check::ImpactInputError& error) {
    *ctx.err << "impact: " << file;
    if (error.line > 0)
        *ctx.err << ':' << error.line;
    if (error.column > 0)
        *ctx.err << ':' << error.column;
    *ctx.err << ": " << error.message << '\n';
}

// The rows of the preview: the record's test cases, then the CSV's, then the generated ones.
// Prints the reason and returns null when the CSV or the spec cannot be read.
std::unique_ptr<check::ImpactSource> rowsOf(Context& ctx, ado::Connection& connection,
                                            const QCommandLineParser& parser, const ImpactArguments& a,
                                            const check::ImpactElementFn& elements,
                                            const check::TrialTranslateFn& translate, QFile& csv) {
    std::vector<std::unique_ptr<check::ImpactSource>> sources;
    check::TestCaseStore store(connection);
    if (store.available())
        sources.push_back(check::caseRows(store.load(a.context, a.id), translate));
    if (parser.isSet(InputsOption)) {
        csv.setFileName(parser.value(InputsOption));
        if (!csv.open(QIODevice::ReadOnly)) {
            *ctx.err << "impact: " << csv.fileName() << ": " << csv.errorString() << '\n';
            return nullptr;
        }
        auto made = check::csvRows(&csv, elements, a.numbers, translate, check::readingOf(ctx.language));
        if (const auto* error = std::get_if<check::ImpactInputError>(&made)) {
            printCsvError(ctx, csv.fileName(), *error);
            return nullptr;
        }
        sources.push_back(std::move(std::get<std::unique_ptr<check::ImpactSource>>(made)));
    }
    if (parser.isSet(GenerateOption)) {
        auto made = check::generatedRows(parser.value(GenerateOption), elements, translate);
        if (const auto* error = std::get_if<check::ImpactInputError>(&made)) {
            *ctx.err << "impact: --generate: " << error->message << '\n';
            return nullptr;
        }
        sources.push_back(std::move(std::get<std::unique_ptr<check::ImpactSource>>(made)));
    }
    return check::chainedRows(std::move(sources));
}

int runImpact(Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
    core::FunctionServices services = hostServices(ctx);
    const check::TrialTranslateFn translate = [&services](const QString& t) { return services.translate(t); };
    ImpactArguments a;
    try {
        a = argumentsOf(parser);
    } catch (const Usage& u) {
        *ctx.err << "impact: " << u.message << '\n';
        return ExitUsage;
    }
    const QString text = ctx.textArgument(positional, 0);
    ado::Connection* connection = openConnection(ctx, QStringLiteral("impact"));
    if (!connection)
        return ExitUsage;
    services.f.connection = [connection] { return connection; };
    core::FunctionServices silentServices = services;
    silentServices.f.errorAnswer = core::suppressErrors();
    language::FormulaLanguage language(services);
    language::FormulaLanguage silent(silentServices);
    try {
        const std::optional<QString> stored = check::storedFormula(*connection, a.context, a.id);
        if (!stored) {
            *ctx.err << "impact: " << translate(check::casemsg::NoRecord).arg(a.context).arg(a.id) << '\n';
            return ExitUsage;
        }
        const QString sql = language.decodeToken(text, false);
        if (language.lastErrorCount() > 0) {
            *ctx.err << "impact: " << translate(check::msg::NotTranslated) << '\n';
            return ExitUsage;
        }
        QFile csv;
        const std::unique_ptr<check::ImpactSource> rows =
            rowsOf(ctx, *connection, parser, a, check::languageElements(silent, translate), translate, csv);
        if (!rows)
            return ExitUsage;
        check::ImpactOptions options;
        options.top = a.top;
        options.trial.translate = translate;
        options.trial.compiled = !parser.isSet(EngineOption);
        ProgressBar bar;
        if (isatty(STDERR_FILENO))
            options.progress = [&bar](qint64 done, qint64 total) { bar.show(done, total); };
        const check::ImpactReport report = check::runImpact(*connection, *stored, sql, *rows, options);
        bar.clear();
        if (report.inputError) {
            printCsvError(ctx, csv.fileName(), *report.inputError);
            return ExitUsage;
        }
        writeReport(*ctx.out, report, a.format, translate);
        ctx.out->flush();
        return report.failedNew + report.failedBoth > 0 ? ExitNegative : ExitOk;
    } catch (const core::ComError& e) {
        *ctx.err << "impact: " << e.description() << '\n';
        return ExitUsage;
    }
}

const Registrar impactCommand(Command{
    QStringLiteral("impact"),
    QStringLiteral("anteprima di cosa fa una formula modificata alle uscite di quella memorizzata sui casi "
                   "di prova del record e sulle righe date, senza cambiare nulla (uscita 0 eseguita, 1 la "
                   "nuova formula fallisce su una riga, 2 ingresso errato)"),
    [](CommandLine& parser) {
        addTrialRecordOptions(parser);
        parser.addOption(
            QCommandLineOption(InputsOption,
                               QStringLiteral("Un CSV di righe di ingresso: un'intestazione che nomina gli "
                                              "ingressi in forma visualizzata, poi una riga per linea."),
                               QStringLiteral("FILE.csv")));
        parser.addOption(QCommandLineOption(
            NumbersOption,
            QStringLiteral("Come il CSV scrive numeri e date: C (1234.5, aaaa-mm-gg) o language (quella di "
                           "--lang); una prima riga #locale=C|it|en prevale."),
            QStringLiteral("C|language"), QStringLiteral("C")));
        parser.addOption(QCommandLineOption(
            GenerateOption,
            QStringLiteral(
                "Righe generate da un intervallo per ingresso: \"[Prezzo lordo - CURR]=da 10 a 100 passo 10; "
                "[Quantità 1]=5 casuali da 1 a 1000 seme 7\" (da/a/passo, casuali/seme)."),
            QStringLiteral("SPEC")));
        parser.addOption(QCommandLineOption(TopOption,
                                            QStringLiteral("Righe che cambiano di più, per uscita."),
                                            QStringLiteral("K"), QStringLiteral("10")));
        parser.addOption(QCommandLineOption(FormatOption,
                                            QStringLiteral("Uscita: text (predefinita), tsv, csv o json."),
                                            QStringLiteral("text|tsv|csv|json"), QStringLiteral("text")));
        parser.addOption(QCommandLineOption(
            EngineOption,
            QStringLiteral(
                "Esegui entrambe le formule sul motore anche dove potrebbe il valutatore compilato.")));
        parser.addPositionalArgument(QStringLiteral("NEW_FORMULA"),
                                     QStringLiteral("La formula modificata in forma visualizzata."),
                                     QStringLiteral("[NEW_FORMULA|-]"));
    },
    runImpact,
    1,
    DatabaseUse::Schema,
});

} // namespace
