// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/byte_reader.h"

#include <gtest/gtest.h>

#include <vector>

namespace ostrum::catalog {
namespace {

// The checksums fold eight bytes at a time: every even count from any offset, with bytes set at every
// place, must give what XORing the 16-bit words one by one gives, and a range past the bytes nothing.
TEST(XorOfLE16Words, EqualsTheWordByWordXorAtEveryOffsetAndLength) {
    std::vector<std::uint8_t> bytes(80);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    for (std::size_t offset = 0; offset < 9; ++offset) {
        for (std::size_t count = 0; offset + count <= bytes.size(); count += 2) {
            std::uint16_t expected = 0;
            for (std::size_t word = 0; word < count; word += 2) expected ^= *ReadLE16(bytes, offset + word);
            EXPECT_EQ(XorOfLE16Words(bytes, offset, count), expected) << offset << " " << count;
        }
    }
    EXPECT_EQ(XorOfLE16Words(bytes, 70, 12), std::nullopt);
    EXPECT_EQ(XorOfLE16Words(bytes, 81, 0), std::nullopt);
}

}  // namespace
}  // namespace ostrum::catalog
