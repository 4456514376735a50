// Cost of the decimal operations and of the variant conversions that every value read from a
// recordset goes through.
#include "core/Decimal.h"
#include "core/NullSafe.h"
#include "core/Variant.h"

#include <benchmark/benchmark.h>

using core::Decimal;

namespace {

const Decimal kA = *Decimal::parse(u"12345678901234.5678");
const Decimal kB = *Decimal::parse(u"3.14159265358979323846");

void BM_DecimalParse(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Decimal::parse(u"-1234567.8901234567890123"));
}
BENCHMARK(BM_DecimalParse);

void BM_DecimalToString(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(kB.toString());
}
BENCHMARK(BM_DecimalToString);

void BM_DecimalAdd(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(kA.add(kB));
}
BENCHMARK(BM_DecimalAdd);

void BM_DecimalMultiply(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(kA.multiply(kB));
}
BENCHMARK(BM_DecimalMultiply);

void BM_DecimalDivide(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(kA.divide(kB));
}
BENCHMARK(BM_DecimalDivide);

void BM_Int64Add(benchmark::State& state) {
    // The baseline the decimal operations compare to.
    std::int64_t a = 1234567890123, b = 314159;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(a + b);
    }
}
BENCHMARK(BM_Int64Add);

void BM_CDecNOfText(benchmark::State& state) {
    const core::Variant v(QStringLiteral("1234.50"));
    for (auto _ : state)
        benchmark::DoNotOptimize(core::CDecN(v));
}
BENCHMARK(BM_CDecNOfText);

void BM_RTrimNOfText(benchmark::State& state) {
    const core::Variant v(QStringLiteral("CODICE    "));
    for (auto _ : state)
        benchmark::DoNotOptimize(core::RTrimN(v));
}
BENCHMARK(BM_RTrimNOfText);

void BM_CStrOfDouble(benchmark::State& state) {
    const core::Variant v = core::Variant::fromDouble(1234.5678);
    for (auto _ : state)
        benchmark::DoNotOptimize(v.toString());
}
BENCHMARK(BM_CStrOfDouble);

} // namespace

BENCHMARK_MAIN();
