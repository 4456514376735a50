// Speed of the compiled evaluator on a formula of about 2 KB: 30 IF/SET lines with five category
// and two variant references, in the SQL form the formula language writes. Reported apart, each
// beside its target (printed, never asserted):
//   - compile: the first call in a new process (this program started again with --first-call,
//     median over several processes) and warm (median of repeated calls); target under 1 ms;
//   - evaluations a second on one core (target 200,000, 5 us each), the first evaluation of a
//     new process apart;
//   - 1,000,000 rows through two such formulas on two threads, the rows made as they are
//     evaluated (streamed), with the process's peak resident memory (targets: 5 s, 200 MB);
//   - the engine's run of the same batch the trial run sends (declarations, inputs, formula,
//     SELECT of the variables) on a sample of the same rows, and the ratio of the two; the
//     sample is compared too (values, types, NULLs, errors).
// A formula the evaluator leaves to the engine is reported as such, with the engine's figures.
//
//   evaluator_bench [--rows N] [--processes N]

#include "BenchData.h"
#include "Differential.h"
#include "FormulaGenerator.h"

#include "check/Declarations.h"
#include "language/References.h"

#include <QCoreApplication>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

namespace compiled = tsql::compiled;
namespace refs = language::refs;
using Clock = std::chrono::steady_clock;

double microsecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// The formula: 30 lines, each an IF with its SET or a SET, five category references (text,
// number, flag, number, text) and two variant references. `variant` changes its constants so
// that the two formulas of the streamed run differ.
QString formula(int variant) {
    const QString k = QString::number(variant);
    const QString c1 = refs::categorySubQuery(0, QStringLiteral("123"));
    const QString c2 = refs::categorySubQuery(1, QStringLiteral("124"));
    const QString c3 = refs::categorySubQuery(2, QStringLiteral("125"));
    const QString c4 = refs::categorySubQuery(1, QStringLiteral("126"));
    const QString c5 = refs::categorySubQuery(0, QStringLiteral("127"));
    const QString v1 = refs::variantSubQuery(QStringLiteral("V01"));
    const QString v2 = refs::variantSubQuery(QStringLiteral("V02"));
    const QStringList lines{
        QStringLiteral("SET @OUTPREZZO = @ATTPREZZO"),
        QStringLiteral("IF %1 = 'ROSSO' SET @OUTSC1PERC = 3 + %2").arg(c1, k),
        QStringLiteral("IF %1 > 2 SET @OUTMAG1PERC = 4").arg(c2),
        QStringLiteral("IF %1 = 1 SET @OUTMAGIMP = @ATTMAGIMP + 20").arg(c3),
        QStringLiteral("SET @OUTSCIMP = ISNULL(%1, 0) / 2").arg(c4),
        QStringLiteral("IF %1 = 'BLU' SET @OUTMAGIMP += 15").arg(v1),
        QStringLiteral("IF %1 = 'ELETTRICA' AND %2 LIKE 'LINEA%' SET @OUTMAG2PERC = 1.5").arg(v2, c5),
        QStringLiteral("IF @QTA1 > 100 SET @OUTPREZZO *= 0.95"),
        QStringLiteral("IF @MG66_FAM_MG53 = 'MPRI' SET @OUTSC2PERC = 2.5"),
        QStringLiteral("IF @MG19_ZONA = 'NORD' SET @OUTSC3PERC = 1"),
        QStringLiteral("SET @OUTPREZZO = ROUND(@OUTPREZZO, 2)"),
        QStringLiteral("IF @DO11_TIPODOC = 2 SET @OUTSC4PERC = 0.5"),
        QStringLiteral("IF @DATARIF >= '20240101' SET @OUTPREZZO += %1").arg(k),
        QStringLiteral("IF @CG16_PROV = 'MI' SET @OUTSC5PERC = 1.25"),
        QStringLiteral("SET @OUTSC6PERC = IIF(@QTA2 > 50, 2, 0)"),
        QStringLiteral("IF @PESONETTO > 1000 SET @OUTMAGIMP += 30"),
        QStringLiteral("IF @DO13_TOTMERCE1 > 5000 SET @OUTSC1PERC += 1"),
        QStringLiteral("SET @OUTMAG1PERC = ISNULL(@OUTMAG1PERC, 0)"),
        QStringLiteral("IF @MG66_MARCA_MG64 LIKE 'A%' SET @OUTPREZZO -= 1"),
        QStringLiteral("IF @VOLUME < 10 SET @OUTMAG2PERC += 0.5"),
        QStringLiteral("IF @DO11_CLIFOR_CG44 = 12 SET @OUTSC2PERC = 5"),
        QStringLiteral("SET @OUTSCIMP += ISNULL(@INSCIMP, 0)"),
        QStringLiteral("IF @COLLI > 3 SET @OUTMAGIMP *= 1.1"),
        QStringLiteral("IF @MG19_CATEG <> '' SET @OUTSC3PERC += 0.25"),
        QStringLiteral("IF @QTA2 > 0 SET @OUTPREZZO += 0.1"),
        QStringLiteral("IF @OUTPREZZO < 0 SET @OUTPREZZO = 0"),
        QStringLiteral("IF YEAR(@DATARIF) = 2024 SET @OUTSC4PERC += 0.1"),
        QStringLiteral("IF @QTA1 IS NULL SET @OUTPREZZO = @INPREZZO"),
        QStringLiteral("SET @OUTMAG2PERC = ISNULL(@OUTMAG2PERC, 0)"),
        QStringLiteral("SET @OUTPREZZO = ROUND(@OUTPREZZO, 4)"),
    };
    return lines.join(QStringLiteral("\r\n"));
}

// Rows of inputs of realistic values: the variables the formula names, and the documents of the
// categories and variants it reads.
std::vector<differential::InputRow> rowPool(const differential::Prepared& p, int count) {
    const std::vector<differential::Declared> named = differential::Harness::namedVariables(p);
    static const char* const texts[] = {"ROSSO", "BLU", "LINEA 1", "VERDE"};
    std::vector<differential::InputRow> rows;
    for (int k = 0; k < count; ++k) {
        differential::SeededChoices choices(std::uint64_t(k) + 1);
        differential::InputRow row = differential::generateRow(choices, named, {}, {});
        const QString t = QString::fromLatin1(texts[k % 4]);
        row.categories = {{QStringLiteral("123"), t},
                          {QStringLiteral("124"), QString::number(k % 5) + QStringLiteral(".5")},
                          {QStringLiteral("125"), QString::number(k % 2)},
                          {QStringLiteral("126"), QString::number(k % 7)},
                          {QStringLiteral("127"), t}};
        row.variants = {
            {QStringLiteral("V01"), QString::fromLatin1(texts[(k + 1) % 4])},
            {QStringLiteral("V02"), k % 3 ? QStringLiteral("ELETTRICA") : QStringLiteral("DIESEL")}};
        rows.push_back(std::move(row));
    }
    return rows;
}

compiled::Row programRow(const differential::Prepared& p, const differential::InputRow& row) {
    compiled::Row out;
    for (int slot : p.program->inputs()) {
        const compiled::Variable& v = p.program->variables()[size_t(slot)];
        out.values.push_back(row.values.value(v.name, tsql::Value::nullOf(v.type)));
    }
    out.categories = row.categories;
    out.variants = row.variants;
    return out;
}

// --first-call: the compile and the first evaluation of this new process, in microseconds.
int firstCall() {
    const QString text = formula(0);
    const QString declarations = check::ProductionDeclarations();
    const auto start = Clock::now();
    const compiled::Compiled c = compiled::compile(declarations, text);
    const double compileUs = microsecondsSince(start);
    double evaluateUs = -1;
    if (c.program) {
        differential::Harness harness;
        const differential::Prepared p = harness.prepare({QStringLiteral("bench"), text, {}});
        const compiled::Row row = programRow(p, rowPool(p, 1).front());
        compiled::Runner runner(c.program);
        const auto at = Clock::now();
        benchmark::DoNotOptimize(runner.run(row).size());
        evaluateUs = microsecondsSince(at);
    }
    std::printf("%.3f %.3f\n", compileUs, evaluateUs);
    return 0;
}

void firstCalls(int processes) {
    std::vector<double> compiles, evaluations;
    for (int i = 0; i < processes; ++i) {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--first-call")});
        p.waitForFinished(120000);
        const QStringList parts = QString::fromUtf8(p.readAllStandardOutput()).trimmed().split(u' ');
        if (parts.size() == 2) {
            compiles.push_back(parts[0].toDouble());
            evaluations.push_back(parts[1].toDouble());
        }
    }
    std::printf(
        "compile, first call in a new process  %9.1f us   (target < 1000 us; median of %d processes)\n",
        bench::median(compiles), processes);
    std::printf("evaluation, first in a new process    %9.1f us\n", bench::median(evaluations));
}

double warmCompile(const QString& text) {
    std::vector<double> times;
    for (int i = 0; i < 201; ++i) {
        const auto start = Clock::now();
        const compiled::Compiled c = compiled::compile(check::ProductionDeclarations(), text);
        times.push_back(microsecondsSince(start));
        benchmark::DoNotOptimize(c.program.get());
    }
    return bench::median(times);
}

// Evaluations a second of one runner on one thread over the pool, for about two seconds.
double evaluationsPerSecond(const differential::Prepared& p, const std::vector<compiled::Row>& rows) {
    compiled::Runner runner(p.program);
    qint64 done = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    while (elapsed < 2e6) {
        for (const compiled::Row& row : rows)
            benchmark::DoNotOptimize(runner.run(row).error.has_value());
        done += qint64(rows.size());
        elapsed = microsecondsSince(start);
    }
    return double(done) / (elapsed / 1e6);
}

// `rows` rows, each through both programs, on two threads; a row is made from the pool as it
// is needed (the price changes with its number), so nothing grows with the number of rows.
double streamed(const differential::Prepared& a, const differential::Prepared& b,
                const std::vector<differential::InputRow>& pool, qint64 rows, qint64* failed) {
    std::atomic<qint64> errors{0};
    auto work = [&](qint64 from, qint64 to) {
        compiled::Runner ra(a.program), rb(b.program);
        std::vector<compiled::Row> rowsA, rowsB;
        for (const differential::InputRow& r : pool) {
            rowsA.push_back(programRow(a, r));
            rowsB.push_back(programRow(b, r));
        }
        qint64 own = 0;
        for (qint64 k = from; k < to; ++k) {
            const size_t at = size_t(k) % pool.size();
            compiled::Row& rowA = rowsA[at];
            tsql::Value* first = rowA.values.empty() ? nullptr : &rowA.values[0];
            if (first && first->type.id == tsql::TypeId::Decimal && !first->null &&
                first->type.precision - first->type.scale >= 3) {
                __int128 unit = 1;
                for (int s = 0; s < first->n.scale; ++s)
                    unit *= 10;
                first->n.v = __int128(k % 1000) * unit;
            }
            own += ra.run(rowA).error.has_value();
            own += rb.run(rowsB[at]).error.has_value();
        }
        errors += own;
    };
    const auto start = Clock::now();
    std::thread second(work, rows / 2, rows);
    work(0, rows / 2);
    second.join();
    *failed = errors;
    return microsecondsSince(start) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--first-call"))
        return firstCall();
    qint64 rows = 1000000;
    int processes = 7;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--rows"))
            rows = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--processes"))
            processes = std::max(1, args[i + 1].toInt());
    }
    const QString textA = formula(0);
    const QString textB = formula(1);
    std::printf("formula: %lld characters, %lld lines, 5 category and 2 variant references\n",
                static_cast<long long>(textA.size()), static_cast<long long>(textA.count(u'\n') + 1));
    differential::Harness harness;
    const differential::Prepared a = harness.prepare({QStringLiteral("A"), textA, {}});
    const differential::Prepared b = harness.prepare({QStringLiteral("B"), textB, {}});
    const std::vector<differential::InputRow> pool = rowPool(a, 256);

    // The engine on a sample of the rows, as the trial run sends them.
    tsql::Session& session = harness.session();
    const int sample = 200;
    const auto engineStart = Clock::now();
    qint64 engineErrors = 0;
    for (int k = 0; k < sample; ++k) {
        const tsql::IsolatedRun r =
            session.runIsolated(differential::engineBatch(a, pool[size_t(k) % pool.size()]), false);
        engineErrors += r.result.error.has_value();
    }
    const double engineUs = microsecondsSince(engineStart) / sample;
    std::printf(
        "engine, the trial run's batch         %9.1f us a row (%lld of %d rows stopped by an error)\n",
        engineUs, static_cast<long long>(engineErrors), sample);

    if (!a.program || !b.program) {
        const compiled::Fallback f = a.fallback.value_or(b.fallback.value_or(compiled::Fallback{}));
        std::printf("the evaluator leaves the formula to the engine: %s (line %d, column %d)\n",
                    qPrintable(f.construct), f.line, f.column);
        return 0;
    }
    for (int k = 0; k < sample; ++k) {
        const differential::Comparison c = harness.compare(a, pool[size_t(k) % pool.size()], false);
        if (c.verdict == differential::Verdict::Difference) {
            std::printf("DIFFERENT from the engine:\n%s\n", qPrintable(c.detail));
            return 1;
        }
    }
    std::printf("the evaluator agrees with the engine on %d rows\n", sample);
    firstCalls(processes);
    std::printf("compile, warm                         %9.1f us   (target < 1000 us)\n", warmCompile(textA));

    std::vector<compiled::Row> programRows;
    for (const differential::InputRow& r : pool)
        programRows.push_back(programRow(a, r));
    const double perSecond = evaluationsPerSecond(a, programRows);
    std::printf(
        "evaluations on one core               %9.0f /s  (%.2f us each; target >= 200,000/s, <= 5 us)\n",
        perSecond, 1e6 / perSecond);
    std::printf("ratio to the engine                   %9.0f x\n", engineUs / (1e6 / perSecond));

    qint64 failed = 0;
    const double before = bench::residentMegabytes();
    const double seconds = streamed(a, b, pool, rows, &failed);
    std::printf(
        "%lld rows through two formulas, 2 threads %6.2f s   (target < 5 s; %lld evaluations stopped by an "
        "error)\n",
        static_cast<long long>(rows), seconds, static_cast<long long>(failed));
    std::printf("resident memory: before %.1f MB, peak %.1f MB   (target < 200 MB)\n", before,
                bench::peakResidentMegabytes());
    return 0;
}
