// formule test and formule case add: the test cases kept with the stored formulas, through the
// same classes as the editor's trial panel.

#include "Command.h"
#include "Help.h"
#include "TrialValues.h"

#include "ado/Ado.h"
#include "check/BulkCheck.h"
#include "check/TestCases.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <map>

namespace {

using namespace formule_cli;

const QString NameOption = QStringLiteral("name");
const QString FormatOption = QStringLiteral("format");
const QString AuthorOption = QStringLiteral("author");

// The values of --set, --category and --variant as eval takes them (written as `reading` writes
// them), keyed and written as a case keeps them.
QHash<QString, QString> givenValues(const QCommandLineParser& parser,
                                    const check::TrialTranslateFn& translate, check::TrialReading reading) {
    const QList<check::TrialInput> typed = trialValues(parser, translate);
    for (const check::TrialInput& input : typed)
        if (input.element.kind == check::TrialElement::Kind::Variant && input.element.key.isEmpty())
            throw Usage{tx(QStringLiteral("--variant vuole CODICE=VALORE, non \"=%1\"")).arg(input.text)};
    check::TrialBatch refused;
    const std::optional<QList<check::TrialInput>> stored =
        check::trialStoredInputs(typed, reading, translate, refused);
    if (!stored)
        throw Usage{refused.refusal};
    QHash<QString, QString> out;
    for (const check::TrialInput& input : *stored)
        out.insert(check::inputKey(input.element), input.text);
    return out;
}

// The user who records a case: --author, or the login the tool runs under.
QString author(const QCommandLineParser& parser) {
    if (parser.isSet(AuthorOption))
        return parser.value(AuthorOption).trimmed();
    for (const char* name : {"USER", "LOGNAME", "USERNAME"})
        if (QString login = qEnvironmentVariable(name); !login.isEmpty())
            return login;
    return {};
}

int runCaseAdd(Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
    core::FunctionServices services = hostServices(ctx);
    const check::TrialTranslateFn translate = [&services](const QString& t) { return services.translate(t); };
    check::TestCase made;
    QHash<QString, QString> given;
    try {
        if (positional.value(0) != QLatin1String("add"))
            throw Usage{tx(
                QStringLiteral("l'unica azione è add (formule case add --context N --id ID --name NOME)"))};
        if (!parser.isSet(ContextOption) || !parser.isSet(IdOption) || !parser.isSet(NameOption))
            throw Usage{tx(QStringLiteral("--context, --id e --name sono obbligatori"))};
        made.context = *contextOf(parser);
        made.id = idOf(parser);
        if (const QString problem = check::caseNameProblem(parser.value(NameOption), translate);
            !problem.isEmpty())
            throw Usage{problem};
        given = givenValues(parser, translate, check::readingOf(ctx.language));
    } catch (const Usage& u) {
        *ctx.err << "case: " << u.message << '\n';
        return ExitUsage;
    }
    ado::Connection* connection = openConnection(ctx, QStringLiteral("case"));
    if (!connection)
        return ExitUsage;
    check::TestCaseStore store(*connection);
    try {
        if (!store.available()) {
            *ctx.err << "case: " << translate(check::casemsg::NoTable) << '\n';
            return ExitUsage;
        }
        const std::optional<QString> sql = check::storedFormula(*connection, made.context, made.id);
        if (!sql) {
            *ctx.err << "case: " << translate(check::casemsg::NoRecord).arg(made.context).arg(made.id)
                     << '\n';
            return ExitUsage;
        }
        check::TrialOptions options;
        options.translate = translate;
        const check::TrialResult result =
            check::runTrial(*connection, *sql, check::caseInputs({.inputs = given}).inputs, options);
        if (!result.ran) {
            *ctx.err << "case: " << result.message << '\n';
            return result.refusedKey.isEmpty() ? ExitNegative : ExitUsage;
        }
        const check::TestCase recorded =
            check::caseFromRun(made.context, made.id, parser.value(NameOption), given, result);
        check::TestCase withAuthor = recorded;
        withAuthor.author = author(parser);
        const QDateTime now = QDateTime::currentDateTime();
        withAuthor.created = now.addMSecs(-now.time().msec());
        store.add(withAuthor, translate);
        for (const check::TrialOutput& out : result.outputs)
            if (out.after)
                *ctx.out << check::trialLabel(out.element, translate) << '\t' << *out.after << '\n';
    } catch (const core::ComError& e) {
        *ctx.err << "case: " << e.description() << '\n';
        return ExitNegative;
    }
    return ExitOk;
}

enum class Format { Tsv, Csv, Json };

QString tsvField(QString text) {
    for (QChar& c : text)
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    return text;
}

void writeLine(QTextStream& out, Format format, const check::TestCase& c, const check::CaseOutcome& o,
               bool first) {
    const QString verdict = o.passed ? QStringLiteral("PASS") : QStringLiteral("FAIL");
    switch (format) {
    case Format::Tsv:
        out << c.context << '\t' << c.id << '\t' << tsvField(c.name) << '\t' << verdict << '\t'
            << tsvField(o.difference) << '\n';
        break;
    case Format::Csv:
        out << c.context << ',' << c.id << ',' << check::csvField(c.name) << ',' << verdict << ','
            << check::csvField(o.difference) << '\n';
        break;
    case Format::Json: {
        const QJsonObject object{{QStringLiteral("context"), c.context},
                                 {QStringLiteral("id"), c.id},
                                 {QStringLiteral("case"), c.name},
                                 {QStringLiteral("result"), verdict},
                                 {QStringLiteral("difference"), o.difference}};
        out << (first ? "\n" : ",\n")
            << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
        break;
    }
    }
}

int runTest(Context& ctx, const QCommandLineParser& parser, const QStringList&) {
    core::FunctionServices services = hostServices(ctx);
    const check::TrialTranslateFn translate = [&services](const QString& t) { return services.translate(t); };
    std::optional<int> context;
    std::optional<qint64> id;
    Format format = Format::Tsv;
    try {
        if (parser.isSet(ContextOption))
            context = contextOf(parser);
        if (parser.isSet(IdOption))
            id = idOf(parser);
        const QString f = parser.value(FormatOption);
        if (f == QLatin1String("csv"))
            format = Format::Csv;
        else if (f == QLatin1String("json"))
            format = Format::Json;
        else if (f != QLatin1String("tsv"))
            throw Usage{tx(QStringLiteral("--format deve essere tsv, csv o json, non \"%1\"")).arg(f)};
    } catch (const Usage& u) {
        *ctx.err << "test: " << u.message << '\n';
        return ExitUsage;
    }
    ado::Connection* connection = openConnection(ctx, QStringLiteral("test"));
    if (!connection)
        return ExitUsage;
    check::TestCaseStore store(*connection);
    qint64 passed = 0;
    qint64 failed = 0;
    try {
        if (!store.available()) {
            *ctx.err << "test: " << translate(check::casemsg::NoTable) << '\n';
            return ExitUsage;
        }
        // The cases by record, each record's formula read and prepared once.
        std::map<std::pair<int, qint64>, QList<check::TestCase>> byRecord;
        for (check::TestCase& c : store.loadAll(context, id))
            byRecord[{c.context, c.id}].append(std::move(c));
        QTextStream& out = *ctx.out;
        if (format == Format::Csv)
            out << "CONTEXT,ID,CASE,RESULT,DIFFERENCE\n";
        else if (format == Format::Json)
            out << '[';
        check::TrialOptions options;
        options.translate = translate;
        bool first = true;
        for (const auto& [key, cases] : byRecord) {
            const std::optional<QString> sql = check::storedFormula(*connection, key.first, key.second);
            QList<check::CaseOutcome> outcomes;
            if (sql) {
                outcomes = check::runCases(*connection, *sql, cases, options);
            } else {
                for (const check::TestCase& c : cases)
                    outcomes.append({c.name,
                                     false,
                                     translate(check::casemsg::NoRecord).arg(key.first).arg(key.second),
                                     {},
                                     {}});
            }
            for (qsizetype i = 0; i < cases.size(); ++i) {
                writeLine(out, format, cases.at(i), outcomes.at(i), first);
                first = false;
                ++(outcomes.at(i).passed ? passed : failed);
            }
        }
        if (format == Format::Json)
            out << (first ? "]\n" : "\n]\n");
        out.flush();
    } catch (const core::ComError& e) {
        *ctx.err << "test: " << e.description() << '\n';
        return ExitUsage;
    }
    *ctx.err << "PASS " << passed << ", FAIL " << failed << '\n';
    return failed == 0 ? ExitOk : ExitNegative;
}

const Registrar testCommand(Command{
    QStringLiteral("test"),
    QStringLiteral("esegue i casi di prova conservati con le formule memorizzate: CONTESTO<TAB>ID<TAB>NOME "
                   "CASO<TAB>PASS|FAIL<TAB>prima differenza (uscita 0 tutti superati, 1 altrimenti)"),
    [](CommandLine& parser) {
        addTrialRecordOptions(parser);
        parser.addOption(QCommandLineOption(
            FormatOption,
            QStringLiteral("Uscita: tsv (predefinita), csv con una riga di intestazione, json."),
            QStringLiteral("tsv|csv|json"), QStringLiteral("tsv")));
    },
    runTest,
    0,
    DatabaseUse::Schema,
});

const Registrar caseCommand(Command{
    QStringLiteral("case"),
    QStringLiteral("registra un caso di prova (case add): i valori dati e le uscite che la formula "
                   "memorizzata calcola su di essi; stampa [Etichetta]<TAB>valore per ogni uscita non NULL"),
    [](CommandLine& parser) {
        addTrialRecordOptions(parser);
        parser.addOption(QCommandLineOption(
            NameOption, QStringLiteral("Il nome del caso (unico per il record)."), QStringLiteral("NAME")));
        addTrialValueOptions(parser);
        parser.addOption(QCommandLineOption(AuthorOption,
                                            QStringLiteral("Chi registra il caso (predefinito: l'utente)."),
                                            QStringLiteral("WHO")));
        parser.addPositionalArgument(QStringLiteral("ACTION"), QStringLiteral("add"), QStringLiteral("add"));
    },
    runCaseAdd,
    1,
    DatabaseUse::Schema,
});

} // namespace
