// Speed and memory of the impact preview: two formulas of about 2 KB (30 IF/SET lines, five
// category and two variant references, the second with other constants) over 100,000 and
// 1,000,000 rows of a CSV whose header names 25 inputs in display form. Reported, never asserted:
//   - in process: csvRows (its reading pass included) and runImpact, the first call of the process
//     (cold: compile, first rows) apart from a second one (warm), wall time and rows a second;
//   - through `formule impact` as shipped: a process reading the CSV, and a process generating as
//     many rows from --generate; wall time, rows a second, the child's peak resident memory;
//   - this process's peak resident memory.
// Targets: 100,000 rows under 1 s, 1,000,000 under 5 s and 200 MB.
//
//   impact_bench [--rows N[,N...]] [--tool PATH] [--keep DIR]
// --keep writes the database, the CSVs and the new formula (new.txt, display form) into DIR and
// leaves them there, to profile the tool on them.

#include "BenchData.h"

#include "ado/Ado.h"
#include "check/Impact.h"
#include "core/HostServices.h"
#include "language/FormulaLanguage.h"
#include "language/References.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace {

namespace refs = language::refs;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time (user and system) of this process or of its children that ended, in seconds.
double cpuSeconds(int who) {
    struct rusage usage {};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Category 100003 of the bench database: code B000003, text.
const int FifthCategory = 3;

QString formula(int variant) {
    const QString k = QString::number(variant);
    const QString c1 = refs::categorySubQuery(0, QStringLiteral("123"));
    const QString c2 = refs::categorySubQuery(1, QStringLiteral("124"));
    const QString c3 = refs::categorySubQuery(2, QStringLiteral("125"));
    const QString c4 = refs::categorySubQuery(0, QStringLiteral("126"));
    const QString c5 = refs::categorySubQuery(0, QString::number(bench::categoryId(FifthCategory)));
    const QString v1 = refs::variantSubQuery(QStringLiteral("V01"));
    const QString v2 = refs::variantSubQuery(QStringLiteral("V02"));
    const QStringList lines{
        QStringLiteral("SET @OUTPREZZO = @ATTPREZZO"),
        QStringLiteral("IF %1 = 'ROSSO' SET @OUTSC1PERC = 3 + %2").arg(c1, k),
        QStringLiteral("IF %1 > 2 SET @OUTMAG1PERC = 4").arg(c2),
        QStringLiteral("IF %1 = 1 SET @OUTMAGIMP = @ATTMAGIMP + 20").arg(c3),
        QStringLiteral("IF %1 = 'LINEA 1' SET @OUTSCIMP = 2").arg(c4),
        QStringLiteral("IF %1 = 'BLU' SET @OUTMAGIMP = ISNULL(@OUTMAGIMP, 0) + 15").arg(v1),
        QStringLiteral("IF %1 = 'ELETTRICA' AND %2 LIKE 'LINEA%' SET @OUTMAG2PERC = 1.5").arg(v2, c5),
        QStringLiteral("IF @QTA1 > 100 SET @OUTPREZZO = @OUTPREZZO * 0.95"),
        QStringLiteral("IF @MG66_FAM_MG53 = 'MPRI' SET @OUTSC2PERC = 2.5"),
        QStringLiteral("IF @MG19_ZONA = 'NOR' SET @OUTSC3PERC = 1"),
        QStringLiteral("SET @OUTPREZZO = ROUND(@OUTPREZZO, 2)"),
        QStringLiteral("IF @DO11_TIPODOC = 2 SET @OUTSC4PERC = 0.5"),
        QStringLiteral("IF @DATARIF >= '20240101' SET @OUTPREZZO = @OUTPREZZO + %1").arg(k),
        QStringLiteral("IF @CG16_PROV = 'MI' SET @OUTSC5PERC = 1.25"),
        QStringLiteral("SET @OUTSC6PERC = IIF(@QTA2 > 50, 2, 0)"),
        QStringLiteral("IF @PESONETTO > 1000 SET @OUTMAGIMP = ISNULL(@OUTMAGIMP, 0) + 30"),
        QStringLiteral("IF @DO13_TOTMERCE1 > 5000 SET @OUTSC1PERC = ISNULL(@OUTSC1PERC, 0) + 1"),
        QStringLiteral("SET @OUTMAG1PERC = ISNULL(@OUTMAG1PERC, 0)"),
        QStringLiteral("IF @MG66_MARCA_MG64 LIKE 'A%' SET @OUTPREZZO = @OUTPREZZO - 1"),
        QStringLiteral("IF @VOLUME < 10 SET @OUTMAG2PERC = ISNULL(@OUTMAG2PERC, 0) + 0.5"),
        QStringLiteral("IF @DO11_CLIFOR_CG44 = 12 SET @OUTSC2PERC = 5"),
        QStringLiteral("SET @OUTSCIMP = ISNULL(@OUTSCIMP, 0) + ISNULL(@INSCIMP, 0)"),
        QStringLiteral("IF @COLLI > 3 SET @OUTMAGIMP = ISNULL(@OUTMAGIMP, 0) * 1.1"),
        QStringLiteral("IF @MG19_CATEG <> '' SET @OUTSC3PERC = ISNULL(@OUTSC3PERC, 0) + 0.25"),
        QStringLiteral("IF @QTA2 > 0 SET @OUTPREZZO = @OUTPREZZO + 0.1"),
        QStringLiteral("IF @OUTPREZZO < 0 SET @OUTPREZZO = 0"),
        QStringLiteral("IF YEAR(@DATARIF) = 2024 SET @OUTSC4PERC = ISNULL(@OUTSC4PERC, 0) + 0.1"),
        QStringLiteral("IF @QTA1 IS NULL SET @OUTPREZZO = @INPREZZO"),
        QStringLiteral("SET @OUTMAG2PERC = ISNULL(@OUTMAG2PERC, 0)"),
        QStringLiteral("SET @OUTPREZZO = ROUND(@OUTPREZZO * 1.0%1, 4)").arg(k),
    };
    return lines.join(QStringLiteral("\r\n"));
}

// The CSV's columns, in display form, and the value of row k in each.
struct Column {
    QString header;
    std::function<QByteArray(qint64 k)> value;
};

QList<Column> columns() {
    auto label = [](const char* name) {
        return check::trialLabel(*check::declaredElement(QLatin1String(name)));
    };
    auto number = [](qint64 k, int modulo, int decimals) {
        return QByteArray::number(double(k % modulo) + (decimals ? double(k % 97) / 100 : 0), 'f', decimals);
    };
    auto pick = [](qint64 k, std::initializer_list<const char*> texts) {
        return QByteArray(texts.begin()[size_t(k) % texts.size()]);
    };
    return {
        {label("@ATTPREZZO"), [=](qint64 k) { return number(k, 1000, 2); }},
        {label("@INPREZZO"), [=](qint64 k) { return number(k * 7, 1000, 2); }},
        {label("@ATTMAGIMP"), [=](qint64 k) { return number(k, 50, 2); }},
        {label("@QTA1"), [=](qint64 k) { return number(k, 200, 0); }},
        {label("@QTA2"), [=](qint64 k) { return number(k * 3, 100, 0); }},
        {label("@MG66_FAM_MG53"),
         [=](qint64 k) {
             return pick(k, {"MPRI", "SEMI", "FINI"});
         }},
        {label("@MG19_ZONA"),
         [=](qint64 k) {
             return pick(k, {"NOR", "SUD", "CEN", "EST"});
         }},
        {label("@DO11_TIPODOC"), [=](qint64 k) { return number(k, 4, 0); }},
        {label("@DATARIF"),
         [=](qint64 k) {
             return pick(k, {"2023-12-31", "2024-03-15", "2025-01-02"});
         }},
        {label("@CG16_PROV"),
         [=](qint64 k) {
             return pick(k, {"MI", "TO", "RM", "NA", "BO"});
         }},
        {label("@PESONETTO"), [=](qint64 k) { return number(k * 13, 2000, 2); }},
        {label("@DO13_TOTMERCE1"), [=](qint64 k) { return number(k * 31, 9000, 2); }},
        {label("@MG66_MARCA_MG64"),
         [=](qint64 k) {
             return pick(k, {"ACME", "BETA", "ALFA"});
         }},
        {label("@VOLUME"), [=](qint64 k) { return number(k, 20, 2); }},
        {label("@DO11_CLIFOR_CG44"), [=](qint64 k) { return number(k, 30, 0); }},
        {label("@INSCIMP"), [=](qint64 k) { return number(k, 10, 2); }},
        {label("@COLLI"), [=](qint64 k) { return number(k, 6, 0); }},
        {label("@MG19_CATEG"),
         [=](qint64 k) {
             return pick(k, {"A", "", "B"});
         }},
        {QStringLiteral("{C01 - Colore}"),
         [=](qint64 k) {
             return pick(k, {"ROSSO", "BLU", "VERDE"});
         }},
        {QStringLiteral("{C02 - Altezza massima}"), [=](qint64 k) { return number(k, 5, 1); }},
        {QStringLiteral("{C03 - Certificazione CE}"), [=](qint64 k) { return number(k, 2, 0); }},
        {QStringLiteral("{C04 - Linea prodotto}"),
         [=](qint64 k) {
             return pick(k, {"LINEA 1", "LINEA 2"});
         }},
        {QStringLiteral("{%1 - Categoria di prova %2}")
             .arg(bench::categoryCode(FifthCategory))
             .arg(FifthCategory),
         [=](qint64 k) {
             return pick(k, {"LINEA 1", "ALTRA"});
         }},
        {QStringLiteral("|V01 - Colore scocca|"),
         [=](qint64 k) {
             return pick(k, {"BLU", "NERO"});
         }},
        {QStringLiteral("|V02 - Motorizzazione|"),
         [=](qint64 k) {
             return pick(k, {"ELETTRICA", "DIESEL", "IBRIDA"});
         }},
    };
}

bool writeCsv(const QString& path, qint64 rows) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QList<Column> cols = columns();
    QStringList headers;
    for (const Column& c : cols)
        headers << c.header;
    f.write(headers.join(u',').toUtf8() + '\n');
    QByteArray line;
    for (qint64 k = 0; k < rows; ++k) {
        line.clear();
        for (qsizetype i = 0; i < cols.size(); ++i) {
            if (i)
                line += ',';
            line += cols[i].value(k);
        }
        line += '\n';
        f.write(line);
    }
    return true;
}

struct Timing {
    double seconds = 0;
    double cpu = 0; // processor seconds, every thread
    qint64 rows = 0;
    qint64 changed = 0;
    qint64 failed = 0;
};

Timing inProcess(ado::Connection& connection, language::FormulaLanguage& language, const QString& oldSql,
                 const QString& newSql, const QString& csvPath) {
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds(RUSAGE_SELF);
    QFile csv(csvPath);
    csv.open(QIODevice::ReadOnly);
    auto made = check::csvRows(&csv, check::languageElements(language), check::ImpactNumbers::C);
    if (auto* e = std::get_if<check::ImpactInputError>(&made)) {
        std::printf("the CSV is refused: line %d, column %d: %s\n", e->line, e->column,
                    qPrintable(e->message));
        return {};
    }
    const check::ImpactReport report =
        check::runImpact(connection, oldSql, newSql, *std::get<std::unique_ptr<check::ImpactSource>>(made));
    if (report.inputError)
        std::printf("the CSV was refused: %s\n", qPrintable(report.inputError->message));
    Timing t{secondsSince(start), cpuSeconds(RUSAGE_SELF) - cpuStart, report.rows, 0,
             report.failedOld + report.failedNew + report.failedBoth};
    for (const check::ImpactOutput& o : report.outputs)
        t.changed += o.changed;
    return t;
}

// The tool as shipped, its wall time and the largest peak resident memory of the children so far.
Timing throughTool(const QString& tool, const QStringList& args, const QString& display, double* peakMb) {
    QProcess p;
    const double cpuStart = cpuSeconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    p.start(tool, args);
    p.waitForStarted();
    p.write(display.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(600000);
    Timing t{secondsSince(start), 0, 0, 0, p.exitCode()};
    const QByteArray out = p.readAllStandardOutput();
    const QList<QByteArray> first = out.split('\n').value(0).split('\t');
    t.rows = first.value(1).toLongLong();
    struct rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    *peakMb = double(usage.ru_maxrss) / 1024.0;
    t.cpu = cpuSeconds(RUSAGE_CHILDREN) - cpuStart;
    if (p.exitCode() > 1)
        std::printf("the tool failed: %s\n", p.readAllStandardError().constData());
    return t;
}

void report(const char* what, const Timing& t, const char* target) {
    std::printf("%-40s %8lld rows %7.3f s %8.0f rows/s  cpu %7.3f s %s\n", what,
                static_cast<long long>(t.rows), t.seconds, t.seconds > 0 ? double(t.rows) / t.seconds : 0,
                t.cpu, target);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QList<qint64> sizes{100000, 1000000};
    QString tool = QDir(app.applicationDirPath()).filePath(QStringLiteral("formule"));
    QString keep;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--rows")) {
            sizes.clear();
            for (const QString& n : args[i + 1].split(u','))
                sizes << n.toLongLong();
        } else if (args[i] == QLatin1String("--tool")) {
            tool = args[i + 1];
        } else if (args[i] == QLatin1String("--keep")) {
            keep = args[i + 1];
        }
    }
    QTemporaryDir temporary;
    const QDir dir(keep.isEmpty() ? temporary.path() : keep);
    if (!keep.isEmpty())
        QDir().mkpath(keep);
    const QString db = bench::makeDatabase(dir.filePath(QStringLiteral("impact.sqlite")), 10, 10);
    if (db.isEmpty())
        return 1;
    ado::Connection connection;
    connection.Open(db);
    const QString oldSql = formula(0);
    const QString newSql = formula(1);
    QString stored = oldSql;
    connection.Execute(QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = '%1' WHERE LP07_ID = 1")
                           .arg(stored.replace(u'\'', QStringLiteral("''"))));
    core::FunctionServices services({.connection = [&connection] { return &connection; },
                                     .translate = {},
                                     .messageBox = {},
                                     .errorAnswer = core::suppressErrors(),
                                     .context = {},
                                     .id = {}});
    language::FormulaLanguage language(services);
    const QString display = language.encodeToken(newSql);
    if (!keep.isEmpty()) {
        QFile out(dir.filePath(QStringLiteral("new.txt")));
        if (out.open(QIODevice::WriteOnly))
            out.write(display.toUtf8());
    }
    std::printf(
        "formulas: %lld and %lld characters, 30 lines, 5 category and 2 variant references; %lld inputs "
        "a row\n",
        static_cast<long long>(oldSql.size()), static_cast<long long>(newSql.size()),
        static_cast<long long>(columns().size()));

    bool first = true;
    for (qint64 rows : sizes) {
        const QString csv = dir.filePath(QStringLiteral("rows-%1.csv").arg(rows));
        if (!writeCsv(csv, rows))
            return 1;
        const char* target = rows <= 100000 ? "(target < 1 s)" : "(target < 5 s)";
        const Timing cold = inProcess(connection, language, oldSql, newSql, csv);
        report(first ? "in process, CSV, first call (cold)" : "in process, CSV, first of this size", cold,
               target);
        first = false;
        const Timing warm = inProcess(connection, language, oldSql, newSql, csv);
        report("in process, CSV, warm", warm, target);
        std::printf("   outputs changed in %lld row-outputs, %lld rows failed on one side or both\n",
                    static_cast<long long>(warm.changed), static_cast<long long>(warm.failed));
        double peak = 0;
        // The CSV's header and the formula's display form are Italian: the tool reads them in Italian.
        const QStringList common{QStringLiteral("--lang"), QStringLiteral("it"),
                                 QStringLiteral("--db"),   db,
                                 QStringLiteral("impact"), QStringLiteral("--context"),
                                 QStringLiteral("1"),      QStringLiteral("--id"),
                                 QStringLiteral("1"),      QStringLiteral("--format"),
                                 QStringLiteral("tsv")};
        const Timing file = throughTool(
            tool, common + QStringList{QStringLiteral("--inputs"), csv, QStringLiteral("-")}, display, &peak);
        report("formule impact --inputs (a process)", file, target);
        std::printf("   peak resident memory of the tool: %.1f MB (target < 200 MB)\n", peak);
        const QString spec = QStringLiteral("%1=%2 casuali da 1 a 1000 seme 7; %3=da 1 a 100 passo 1")
                                 .arg(columns()[0].header)
                                 .arg(rows / 100)
                                 .arg(columns()[3].header);
        const Timing generated =
            throughTool(tool, common + QStringList{QStringLiteral("--generate"), spec, QStringLiteral("-")},
                        display, &peak);
        report("formule impact --generate (a process)", generated, target);
        std::printf("   peak resident memory of the tool: %.1f MB\n", peak);
        if (keep.isEmpty())
            QFile::remove(csv);
    }
    std::printf("peak resident memory of this process: %.1f MB\n", bench::peakResidentMegabytes());
    return 0;
}
