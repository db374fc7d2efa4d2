// SPDX-License-Identifier: GPL-3.0-or-later
// Sums and percentages of counts from the medium stop at their limits instead of wrapping.

#include "common/saturating.h"

#include <gtest/gtest.h>

namespace ostrum::common {
namespace {

constexpr std::uint64_t kMax = UINT64_MAX;

// Progress used to be done * 100 / total in 64 bits: past 184 PB of claimed length the product wrapped and
// the bar jumped back (2^62 of 2^63 showed 0 % instead of 50 %).
TEST(Saturating, PercentagesOfHugeCountsAreRightAndSumsStopAtTheLimit) {
    EXPECT_EQ(PercentOf(1ull << 62, 1ull << 63), 50);
    EXPECT_EQ(PercentOf(kMax, kMax), 100);
    EXPECT_EQ(PercentOf(kMax - 1, kMax), 99);
    EXPECT_EQ(PercentOf(1, 3), 33);
    EXPECT_EQ(PercentOf(500, 100), 100);  // more done than announced
    EXPECT_EQ(PercentOf(7, 0), 100);      // nothing to do
    EXPECT_EQ(SaturatingAdd(kMax - 10, 10), kMax);
    EXPECT_EQ(SaturatingAdd(kMax - 10, 11), kMax);
    EXPECT_EQ(SaturatingAdd(kMax, kMax), kMax);
    EXPECT_EQ(SaturatingAdd(2, 3), 5u);
}

}  // namespace
}  // namespace ostrum::common
