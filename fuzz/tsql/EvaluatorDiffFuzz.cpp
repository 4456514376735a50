// libFuzzer target of the compiled evaluator against the engine: the input's bytes are the
// generator's choices (a formula, then up to four rows of inputs and category and variant
// nodes); any difference in a value, a type, a NULL, an error or the lines that ran aborts with
// the difference and its reproducer. At exit it prints how many formulas and rows it compared.

#include "FuzzOptions.h"

#include "Differential.h"
#include "FormulaGenerator.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

struct Totals {
    differential::Harness harness;
    ~Totals() {
        const differential::Counts& n = harness.counts();
        std::fprintf(stderr,
                     "[ differential ] %lld formulas, %lld compiled, %lld fell back; %lld rows: %lld same, "
                     "%lld errors only, %lld refused inputs, %lld different\n",
                     static_cast<long long>(n.formulas), static_cast<long long>(n.compiled),
                     static_cast<long long>(n.fallbacks), static_cast<long long>(n.rows),
                     static_cast<long long>(n.same), static_cast<long long>(n.unseen),
                     static_cast<long long>(n.refused), static_cast<long long>(n.differences));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzz::MaxInput)
        return 0;
    static Totals totals;
    differential::ByteChoices choices(data, size);
    const differential::GeneratedFormula g = differential::generateFormula(choices);
    const differential::Prepared p = totals.harness.prepare({QStringLiteral("fuzz"), g.formula, {}});
    if (!p.program)
        return 0;
    const std::vector<differential::Declared> named = differential::Harness::namedVariables(p);
    const int rows = 1 + int(choices.below(4));
    for (int r = 0; r < rows; ++r) {
        const differential::InputRow row =
            differential::generateRow(choices, named, g.categoryIds, g.variantCodes);
        const differential::Comparison c = totals.harness.compare(p, row, r % 2 == 0);
        if (c.verdict == differential::Verdict::Difference) {
            std::fprintf(stderr, "DIFFERENCE\n%s\n", c.detail.toUtf8().constData());
            __builtin_trap();
        }
    }
    return 0;
}
