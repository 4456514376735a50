#include "tree/StrutturaTree.h"

#include <gtest/gtest.h>

namespace {

TEST(TreeKeys, ZeroFilledIds) {
    struct Case {
        core::Variant value;
        int digits;
        const char* expected;
    };
    const Case cases[] = {
        {core::Variant::fromInt32(7), 3, "007"},
        {core::Variant::fromInt32(602), 3, "602"},
        {core::Variant::fromInt32(1234), 3, "1234"},
        {core::Variant::fromInt32(0), 3, "000"},
        {core::Variant("7"), 3, "007"},
        {core::Variant("34"), 3, "034"},
        {core::Variant::fromInt32(12), 10, "0000000012"},
        {core::Variant::fromInt64(12345678901LL), 10, "12345678901"},
        {core::Variant::fromDecimal(core::Decimal::fromInt64(35)), 3, "035"},
        {core::Variant::fromInt32(-5), 3, "-005"},
        {core::Variant("abc"), 3, "abc"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tree::formatId(c.value, c.digits), QString::fromUtf8(c.expected)) << c.expected;
}

} // namespace
