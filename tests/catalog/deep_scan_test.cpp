// SPDX-License-Identifier: GPL-3.0-or-later
// The deep scan's search for block tags at any byte offset, worked out on whole 64-byte blocks with
// vector instructions and on the rest bit by bit, against its plain definition.

#include "catalog/deep_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace ostrum::catalog {
namespace {

bool Upper(std::uint8_t byte) {
    return byte >= 'A' && byte <= 'Z';
}

TEST(DeepScan, TagCandidatesAreExactlyWhereFourUpperCaseLettersBegin) {
    std::mt19937 random(12);
    // Mostly letters, so that runs of four are common, and the bytes on either side of 'A'..'Z' (also
    // with the top bit set, which a signed comparison could take for letters).
    const std::vector<std::uint8_t> others = {'@', '[', 'a', 'z', 0xC1, 0xDA, 0x00, 0xFF};
    for (std::size_t size : {0, 3, 4, 63, 64, 67, 255, 320, 1000, 4161}) {
        std::vector<std::uint8_t> bytes(size);
        for (auto& byte : bytes) {
            byte = random() % 4 != 0 ? static_cast<std::uint8_t>('A' + random() % 26)
                                     : others[random() % others.size()];
        }
        std::vector<std::uint64_t> masks;
        std::vector<std::size_t> found;
        ForEachTagCandidate(bytes, size, masks, [&](std::size_t at) {
            found.push_back(at);
            return true;
        });
        std::vector<std::size_t> expected;
        for (std::size_t at = 0; at + 4 <= size; ++at) {
            if (Upper(bytes[at]) && Upper(bytes[at + 1]) && Upper(bytes[at + 2]) && Upper(bytes[at + 3])) {
                expected.push_back(at);
            }
        }
        EXPECT_EQ(found, expected) << size;
    }
}

}  // namespace
}  // namespace ostrum::catalog
