// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Byte comparisons that say where two runs of bytes part, instead of only that they differ (or printing
// them whole): the first differing offset and both bytes there, or where the shorter one ends.
//
//     EXPECT_TRUE(SameBytes(ReadWholeFile(saved), expected)) << name;

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace ostrum::test_support {

inline ::testing::AssertionResult SameBytes(std::span<const std::uint8_t> actual,
                                            std::span<const std::uint8_t> expected) {
    const auto hex = [](std::uint8_t byte) {
        char text[5];
        std::snprintf(text, sizeof text, "0x%02X", byte);
        return std::string(text);
    };
    const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (a == actual.end() && e == expected.end()) return ::testing::AssertionSuccess();
    const std::size_t at = static_cast<std::size_t>(a - actual.begin());
    auto failure = ::testing::AssertionFailure()
                   << actual.size() << " bytes against the " << expected.size() << " expected; ";
    if (a != actual.end() && e != expected.end())
        return failure << "they differ first at byte " << at << ": " << hex(*a) << " against " << hex(*e);
    return failure << "the same up to byte " << at << ", where the "
                   << (a == actual.end() ? "bytes end" : "expected end");
}

}  // namespace ostrum::test_support
