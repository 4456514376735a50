// Display-to-SQL and SQL-to-display translation of (a) a typical formula of about 2,000
// characters with five references and (b) a formula of 30,000 characters with 50 category and
// 50 variant references, on embedded databases of 1,000, 10,000 and 100,000 categories and
// variants, through the host's translation service (English catalogues), as the editor runs
// them. Each translation is compared with the plain transcription of the loops
// (Transcription.cpp): the outputs must be identical. Reported apart:
//   - warm: the median of repeated calls in one process, ours against the transcription's;
//   - first call: one call in a new process (this program started again with --first-call),
//     the median over several processes, ours against the transcription's first call.
// No allocator tuning or processor pinning: the programs do neither.
//
//   language_bench [--rows N]... [--processes N] [--keep DIR]

#include "BenchData.h"
#include "Transcription.h"

#include "ado/Ado.h"
#include "host/TranslationService.h"
#include "language/Dictionary.h"
#include "language/References.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The references of a formula: `count` rows spread evenly over a table of `rows` rows.
std::vector<int> spread(int count, int rows, unsigned seed) {
    std::vector<int> ks;
    for (int i = 0; i < count; ++i)
        ks.push_back(1 + static_cast<int>((static_cast<qint64>(i) * rows) / count + seed % 7) % rows);
    return ks;
}

// A stored formula (SQL form) of exactly `length` characters: statements over dictionary
// variables, with the given category and variant references spread over it.
QString sqlFormula(int length, int categories, int variants, int rows, unsigned seed) {
    std::mt19937 rng(seed);
    const auto& entries = language::Dictionary::entries();
    auto variable = [&] { return entries[std::uniform_int_distribution<int>(0, 136)(rng)].variable; };
    QStringList refs;
    for (int k : spread(categories, rows, seed))
        refs << language::refs::categorySubQuery(k % 3, QString::number(bench::categoryId(k))) +
                    QStringLiteral(" = 'A'");
    for (int k : spread(variants, rows, seed + 1))
        refs << language::refs::variantSubQuery(bench::variantCode(k)) + QStringLiteral(" = 'B'");
    std::shuffle(refs.begin(), refs.end(), rng);
    const QString refHead = QStringLiteral("IF ");
    const QString refTail = QStringLiteral(" SET @OUTSC1PERC = 5\r\n");
    qsizetype refsLength = 0;
    for (const QString& r : refs)
        refsLength += refHead.size() + r.size() + refTail.size();
    const qsizetype fillerPerRef = std::max<qsizetype>(0, (length - refsLength) / (refs.size() + 1));
    QString text;
    auto filler = [&](qsizetype target) {
        const qsizetype end = text.size() + target;
        for (;;) {
            const QString line = QStringLiteral("SET ") + variable() + QStringLiteral(" = ") + variable() +
                                 QStringLiteral(" + ") + variable() + QStringLiteral(" * 2 -- ricalcolo\r\n");
            if (text.size() + line.size() > end)
                break;
            text += line;
        }
    };
    for (const QString& r : refs) {
        filler(fillerPerRef);
        text += refHead + r + refTail;
    }
    filler(length - text.size());
    if (text.size() + 3 <= length)
        text += QStringLiteral("-- ") + QString(length - text.size() - 3, u'=');
    else if (text.size() < length)
        text += QString(length - text.size(), u' ');
    return text;
}

// The pieces a translation runs with, as the editor has them: a connection, the translation
// service with the English catalogues, an error display that reports.
struct Setup {
    ado::Connection connection;
    host::TranslationService translation;
    core::FunctionServices host;
    language::Services services;
    language::FormulaLanguage lang;

    explicit Setup(const QString& cs)
        : host({.connection = [this] { return &connection; },
                .translate = [this](const QString& s) { return translation.Traduci(s); },
                .errorAnswer =
                    [](const QString& procedure, const core::ErrorInfo& e) {
                        std::printf("error in %s: %d %s\n", qPrintable(procedure), e.number,
                                    qPrintable(e.description));
                        return 3;
                    }})
        , services{&host, {}}
        , lang(services) {
        translation.load(host::TranslationService::defaultDirectory(), QStringLiteral("en"));
        connection.Open(cs);
    }

    QString run(bool transcription, bool toSql, const QString& input) {
        if (transcription)
            return toSql ? transcription::decodeToken(services, input, false)
                         : transcription::encodeToken(services, input);
        return toSql ? lang.decodeToken(input, false) : lang.encodeToken(input);
    }
};

// --first-call: one translation in this new process; prints its milliseconds.
int firstCall(const QStringList& args) {
    const QString cs = args.value(0);
    const bool transcription = args.value(1) == QLatin1String("transcription");
    const bool toSql = args.value(2) == QLatin1String("to-sql");
    QFile file(args.value(3));
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    const QString input = QString::fromUtf8(file.readAll());
    Setup s(cs);
    const auto start = Clock::now();
    const QString out = s.run(transcription, toSql, input);
    const double ms = msSince(start);
    benchmark::DoNotOptimize(out);
    std::printf("%.4f\n", ms);
    return 0;
}

struct Case {
    QString name;
    QString input;
    bool toSql;
    int repetitions;
};

// The median of `processes` first calls, each in a new process.
double firstCallMedian(const QString& cs, const QString& inputFile, bool transcription, bool toSql,
                       int processes) {
    std::vector<double> times;
    for (int i = 0; i < processes; ++i) {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--first-call"), cs,
                 transcription ? QStringLiteral("transcription") : QStringLiteral("ours"),
                 toSql ? QStringLiteral("to-sql") : QStringLiteral("to-display"), inputFile});
        p.waitForFinished(600000);
        bool ok = false;
        const double ms = QString::fromUtf8(p.readAllStandardOutput()).trimmed().toDouble(&ok);
        if (ok)
            times.push_back(ms);
    }
    return bench::median(times);
}

double warmMedian(Setup& s, bool transcription, const Case& c, QString* output) {
    std::vector<double> times;
    s.run(transcription, c.toSql, c.input); // the first call is reported apart
    for (int r = 0; r < c.repetitions; ++r) {
        const auto start = Clock::now();
        QString out = s.run(transcription, c.toSql, c.input);
        times.push_back(msSince(start));
        if (output)
            *output = std::move(out);
    }
    return bench::median(times);
}

bool measureSize(int rows, int processes, const QDir& dir) {
    const QString path = dir.filePath(QStringLiteral("rows%1.sqlite").arg(rows));
    const QString cs = bench::makeDatabase(path, rows, rows);
    if (cs.isEmpty())
        return false;
    Setup s(cs);
    const QString typicalSql = sqlFormula(2000, 3, 2, rows, 7);
    const QString bigSql = sqlFormula(30000, 50, 50, rows, 11);
    const QString typicalDisplay = s.lang.encodeToken(typicalSql);
    const QString bigDisplay = s.lang.encodeToken(bigSql);
    const std::vector<Case> cases{
        {QStringLiteral("(a) 2 KB, display to SQL"), typicalDisplay, true, 51},
        {QStringLiteral("(a) 2 KB, SQL to display"), typicalSql, false, 51},
        {QStringLiteral("(b) 30 KB/100 refs, display to SQL"), bigDisplay, true, 11},
        {QStringLiteral("(b) 30 KB/100 refs, SQL to display"), bigSql, false, 11},
    };
    bool ok = true;
    for (const Case& c : cases) {
        QString ours;
        QString plain;
        const double oursWarm = warmMedian(s, false, c, &ours);
        const double plainWarm =
            warmMedian(s, true, {c.name, c.input, c.toSql, c.repetitions > 11 ? 11 : 3}, &plain);
        const QString inputFile = dir.filePath(QStringLiteral("input.txt"));
        QFile f(inputFile);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(c.input.toUtf8());
        f.close();
        const double oursFirst = firstCallMedian(cs, inputFile, false, c.toSql, processes);
        const double plainFirst = firstCallMedian(cs, inputFile, true, c.toSql, processes);
        const bool identical = ours == plain;
        ok &= identical;
        std::printf("%7d rows | %-36s | warm %8.3f ms (transcription %9.3f ms, %6.1fx) | first call %8.3f ms "
                    "(transcription %9.3f ms, %6.1fx) | %s\n",
                    rows, qPrintable(c.name), oursWarm, plainWarm, plainWarm / oursWarm, oursFirst,
                    plainFirst, plainFirst / oursFirst, identical ? "identical" : "DIFFERENT");
        std::fflush(stdout);
    }
    if (s.lang.decodeToken(bigDisplay, false) != bigSql ||
        s.lang.decodeToken(typicalDisplay, false) != typicalSql) {
        std::printf("round trip: DIFFERENT\n");
        ok = false;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--first-call"))
        return firstCall(args.mid(1));
    std::vector<int> sizes;
    int processes = 5;
    QString keep; // a directory that keeps the databases and the last input
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--rows"))
            sizes.push_back(args[i + 1].toInt());
        else if (args[i] == QLatin1String("--processes"))
            processes = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--keep"))
            keep = args[i + 1];
    }
    if (sizes.empty())
        sizes = {1000, 10000, 100000};
    QTemporaryDir dir;
    bool ok = true;
    for (int rows : sizes)
        ok &= measureSize(rows, processes, QDir(keep.isEmpty() ? dir.path() : keep));
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
