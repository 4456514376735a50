// Speed of the syntax check on the embedded engine: the declaration block followed by a formula
// of about 2,000 characters (target: under 2 ms for the whole check), compared with parsing alone,
// and a batch of one megabyte (target: under a second, no crash).

#include "BenchData.h"
#include "check/Declarations.h"
#include "tsql/Session.h"
#include "tsql/text/Parser.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

QString formula(int minimumLength) {
    const QString piece = QStringLiteral(
        "IF @QTA1 > 100 AND @MG66_FAM_MG53 IN ('MPRI','PFIN') AND {C} = 'ROSSO'\r\n"
        "    SET @OUTPREZZO = ROUND(ISNULL(@ATTPREZZO, 0) * 1.1, 2) - (@INSC1PERC * @ATTPREZZO / 100)\r\n"
        "ELSE\r\n"
        "    SET @OUTSC1PERC = CASE WHEN @DO11_TIPODOC = 2 THEN 2.5 ELSE COALESCE(@ATTSC1PERC, 0) END\r\n");
    QString f;
    while (f.size() < minimumLength)
        f += QString(piece).replace(QStringLiteral("{C}"), QStringLiteral("@DO30_CODART_MG66"));
    return f;
}

QSqlDatabase database() {
    static QSqlDatabase db = [] {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tsql_bench"));
        d.setDatabaseName(QStringLiteral(":memory:"));
        d.open();
        QSqlQuery(d).exec(QStringLiteral("CREATE TABLE CM01_CATEGORIECOMM (CM01_IDCATEGORIA DECIMAL(10,0), "
                                         "CM01_CODICE CHAR(10), CM01_DESCR VARCHAR(80))"));
        return d;
    }();
    return db;
}

const QString& checkBatch() {
    static const QString b = check::BuildDeclarations() + formula(2000);
    return b;
}

// The check batch as an edited formula gives it: a text the engine has not seen before (the
// engine keeps the batches it compiled, so sending one text again measures only the run).
QString editedCheckBatch() {
    static int edits = 0;
    return checkBatch() + QStringLiteral("-- %1\r\n").arg(++edits);
}

const QString& megabyteBatch() {
    static const QString b = [] {
        QString s = check::BuildDeclarations();
        const QString line =
            QStringLiteral("SET @OUTPREZZO = ISNULL(@ATTPREZZO, 0) * 1.1 + 2 -- recalculated\r\n");
        while (s.size() < 1024 * 1024)
            s += line;
        return s;
    }();
    return b;
}

void BM_ParseOnly(benchmark::State& state) {
    for (auto _ : state) {
        tsql::Batch b = tsql::parseBatch(checkBatch());
        benchmark::DoNotOptimize(b.statements.size());
    }
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMicrosecond);

void BM_CheckBatch(benchmark::State& state) {
    tsql::Session session(database());
    for (auto _ : state) {
        const QString batch = editedCheckBatch();
        session.beginTransaction();
        tsql::RunResult r = session.run(batch);
        session.rollbackTransaction();
        if (r.error)
            state.SkipWithError(r.error->message.toStdString().c_str());
    }
}
BENCHMARK(BM_CheckBatch)->Unit(benchmark::kMicrosecond);

void BM_MegabyteBatch(benchmark::State& state) {
    tsql::Session session(database());
    for (auto _ : state) {
        tsql::RunResult r = session.run(megabyteBatch());
        if (r.error)
            state.SkipWithError(r.error->message.toStdString().c_str());
    }
}
BENCHMARK(BM_MegabyteBatch)->Unit(benchmark::kMillisecond)->Iterations(3);

template <class F> double averageMicroseconds(int runs, F&& f) {
    auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < runs; ++k)
        f();
    auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(end - start).count() / runs;
}

// --megabyte-memory: the 1 MB batch once, first in a new process: its time and how much the
// process's resident memory grew to hold it (peak against the start).
int megabyteMemory() {
    tsql::Session session(database());
    const QString& batch = megabyteBatch();
    const double before = bench::residentMegabytes();
    const auto start = std::chrono::steady_clock::now();
    const tsql::RunResult r = session.run(batch);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("1 MB batch, first in a new process: %.1f ms, resident before %.1f MB, peak %.1f MB (grew "
                "%.1f MB)%s\n",
                ms, before, bench::peakResidentMegabytes(), bench::peakResidentMegabytes() - before,
                r.error ? " ERROR" : "");
    return r.error ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--megabyte-memory") == 0)
        return megabyteMemory();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    tsql::Session session(database());
    const int runs = 200;
    double parse = averageMicroseconds(runs, [] { tsql::parseBatch(checkBatch()); });
    double check = averageMicroseconds(runs, [&] {
        session.beginTransaction();
        session.run(editedCheckBatch());
        session.rollbackTransaction();
    });
    double again = averageMicroseconds(runs, [&] {
        session.beginTransaction();
        session.run(checkBatch());
        session.rollbackTransaction();
    });
    double mb = averageMicroseconds(3, [&] { session.run(megabyteBatch()); });
    std::printf("\nCheck batch: %lld characters (formula %lld)\n",
                static_cast<long long>(checkBatch().size()),
                static_cast<long long>(checkBatch().size() - check::BuildDeclarations().size()));
    std::printf("parse only      %9.1f us\n", parse);
    std::printf("full check      %9.1f us  (edited formula)\n", check);
    std::printf("check / parse   %9.2f\n", check / parse);
    std::printf("same text again %9.1f us\n", again);
    std::printf("1 MB batch      %9.1f ms  (warm; --megabyte-memory for a new process)\n", mb / 1000);
    return 0;
}
