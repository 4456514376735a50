// A check's round trip through TDS (QODBC, FreeTDS, `formule serve`, the engine) next to the
// same check on the embedded connection, and a plain one-row query both ways.

#include "../../tests/ado/LocalServer.h"
#include "ado/Ado.h"
#include "check/GuardedRun.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// A formula as the check sends it: a few declarations and a few statements.
QString checkBatch() {
    return QStringLiteral("DECLARE @OUTPREZZO DECIMAL(18,4), @ATTPREZZO DECIMAL(18,4), @QTA1 INT\n"
                          "SET @ATTPREZZO = 100 SET @QTA1 = 12\n"
                          "IF @QTA1 > 10\n"
                          "    SET @OUTPREZZO = @ATTPREZZO * 0.95 + 50\n"
                          "ELSE\n"
                          "    SET @OUTPREZZO = @ATTPREZZO\n");
}

struct Connections {
    testing_tds::LocalServer server;
    std::unique_ptr<ado::Connection> embedded;
    std::unique_ptr<ado::Connection> served;

    Connections() {
        QString error;
        if (!server.start(error))
            qFatal("formule serve did not start: %s", qPrintable(error));
        embedded = std::make_unique<ado::Connection>();
        embedded->Open(server.embeddedConnectionString());
        served = std::make_unique<ado::Connection>();
        served->Open(server.connectionString());
    }
};

Connections& connections() {
    static Connections c;
    return c;
}

void runCheck(benchmark::State& state, ado::Connection& conn) {
    const QString batch = checkBatch();
    for (auto _ : state) {
        const check::GuardedOutcome out = check::runGuarded(conn, batch, check::checkLimits());
        if (!out.accepted())
            state.SkipWithError("the check failed");
        benchmark::DoNotOptimize(out);
    }
}

void runQuery(benchmark::State& state, ado::Connection& conn) {
    for (auto _ : state) {
        const ado::BatchOutcome out = conn.ExecuteBatch(QStringLiteral("SELECT 1 AS A, N'è' AS B"));
        benchmark::DoNotOptimize(out);
    }
}

void BM_CheckEmbedded(benchmark::State& state) {
    runCheck(state, *connections().embedded);
}
void BM_CheckThroughTds(benchmark::State& state) {
    runCheck(state, *connections().served);
}
void BM_QueryEmbedded(benchmark::State& state) {
    runQuery(state, *connections().embedded);
}
void BM_QueryThroughTds(benchmark::State& state) {
    runQuery(state, *connections().served);
}

BENCHMARK(BM_CheckEmbedded)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CheckThroughTds)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueryEmbedded)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueryThroughTds)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
