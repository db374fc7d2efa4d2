// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Arithmetic on counts that come from the medium (64-bit stream lengths, capacities): a sum or a
// percentage stops at its limit instead of wrapping round to a small, wrong number.

#include <algorithm>
#include <cstdint>
#include <limits>

namespace ostrum::common {

// a + b, or the largest value when the sum does not fit.
constexpr std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max()
                                                             : a + b;
}

// ⌊done × 100 / total⌋ without a product that can wrap, at most 100; 100 when there is nothing to do.
constexpr int PercentOf(std::uint64_t done, std::uint64_t total) {
    if (total == 0) return 100;
    const unsigned __int128 percent = static_cast<unsigned __int128>(done) * 100 / total;
    return static_cast<int>(std::min<unsigned __int128>(percent, 100));
}

}  // namespace ostrum::common
