// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/block_tags.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrum::catalog {
namespace {

int Classify(std::string first4) {
    std::vector<std::uint8_t> slot(512, 0);
    std::copy(first4.begin(), first4.end(), slot.begin());
    return LookupBlockTag(slot);
}

TEST(BlockTagTable, EveryTagClassifiesAsItsIndexInTableOrder) {
    const char* expected[] = {"TAPE", "SFMB", "SSET", "VOLB", "DIRB", "FILE", "ESET", "EOTM", "CFIL", "ESPB",
                              "TSMP", "TFDD", "NACL", "NTQU", "CSUM", "STAN", "SPAD", "FEND", "NTOI"};
    ASSERT_EQ(BlockTagTable.size(), 19u);
    for (int i = 0; i < 19; ++i) EXPECT_EQ(Classify(expected[i]), i) << expected[i];
}

TEST(BlockTagTable, ZerosUnknownAndCaseAreTellApart) {
    EXPECT_EQ(Classify(std::string(4, '\0')), kTagAllZero);
    EXPECT_EQ(Classify("file"), kTagUnknown);  // case-sensitive
    EXPECT_EQ(Classify(std::string("FIL\0", 4)), kTagUnknown);
    EXPECT_EQ(Classify(std::string("\0ILE", 4)), kTagUnknown);  // only all four zero bytes give -2
    EXPECT_EQ(Classify("STAN"), kTagSTAN);
    // A slot too short to hold a tag is not a block.
    const std::vector<std::uint8_t> shortSlot = {'F', 'I', 'L'};
    EXPECT_EQ(LookupBlockTag(shortSlot), kTagUnknown);
}

}  // namespace
}  // namespace ostrum::catalog
