// SPDX-License-Identifier: GPL-3.0-or-later
// Destination names made from CatalogPaths, free names, and MTF dates as file times.

#include "save/save_path.h"

#include <gtest/gtest.h>

namespace ostrum::save {
namespace {

using Components = std::vector<std::string>;

TEST(SavePath, CatalogPathLosesItsRootAndKeepsItsFolders) {
    EXPECT_EQ(DestinationComponents("TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\A.TXT"),
              (Components{"BACKUP SET 1(_Daily)", "DOCS", "A.TXT"}));
    EXPECT_EQ(DestinationComponents("TAPE MEDIA\\BACKUP SET 0\\A.TXT"),
              (Components{"BACKUP SET 0", "A.TXT"}));
    EXPECT_EQ(DestinationComponents("A.TXT"), (Components{"A.TXT"}));
}

TEST(SavePath, ComponentsThatCouldLeaveTheDestinationAreReplaced) {
    EXPECT_EQ(DestinationComponents("TAPE MEDIA\\S\\..\\..\\etc\\passwd.txt"),
              (Components{"S", "__", "__", "etc", "passwd.txt"}));
    EXPECT_EQ(DestinationComponents("TAPE MEDIA\\S\\.\\\\x.txt\\"),
              (Components{"S", "_", "_", "x.txt", "_"}));
    EXPECT_EQ(DestinationComponents("TAPE MEDIA\\S\\/etc/passwd.txt"), (Components{"S", "_etc_passwd.txt"}));
    EXPECT_EQ(SafeComponent(std::string_view("a\0b", 3)), "a_b");
    EXPECT_EQ(SafeComponent("..."), "...");  // an ordinary name on Linux
    EXPECT_EQ(SafeComponent("..a"), "..a");
    EXPECT_EQ(JoinComponents(Components{"S", "__", "x"}), "S/__/x");
}

TEST(SavePath, NumberedNamesGoBeforeTheExtension) {
    EXPECT_EQ(NumberedName("A.TXT", 1), "A (1).TXT");
    EXPECT_EQ(NumberedName("archive.tar.gz", 12), "archive.tar (12).gz");
    EXPECT_EQ(NumberedName("README", 2), "README (2)");
    EXPECT_EQ(NumberedName(".profile", 1), ".profile (1)");
    EXPECT_EQ(NumberedName("CUT.BIN.partial", 1), "CUT.BIN (1).partial");
}

TEST(SavePath, LongNamesAreCutToTheLimitWithAHashAndTheirShortExtension) {
    EXPECT_EQ(FitName("A.TXT", 255), "A.TXT");
    const std::string plain(300, 'x');
    const std::string cut = FitName(plain, 255);
    EXPECT_EQ(cut.size(), 255u);
    EXPECT_TRUE(cut.starts_with(std::string(246, 'x') + "~")) << cut;
    EXPECT_NE(FitName(plain + "y", 255), FitName(plain + "z", 255));
    // An "extension" too long to be one is cut with the rest of the name.
    const std::string dotted = FitName("a." + plain, 255);
    EXPECT_EQ(dotted.size(), 255u);
    EXPECT_EQ(dotted.find('~'), 246u) << dotted;
    // Three-byte characters: the cut never splits one.
    std::string wide;
    for (int i = 0; i < 100; ++i) wide += "\u20AC";
    const std::string euro = FitName(wide + ".doc", 255);
    EXPECT_EQ(euro.size(), 240u + 9u + 4u);  // 80 characters of 3 bytes, "~" and 8 digits, ".doc"
    EXPECT_TRUE(euro.ends_with(".doc"));
}

TEST(SavePath, MtfDatesBecomeUtcSeconds) {
    // 1996-12-31 20:07:30 is stored as 1F 33 3F 41 DE.
    EXPECT_EQ(MtfDateToUnixTime(0x1F333F41DEull), 852062850);
    EXPECT_EQ(MtfDateToUnixTime(0), std::nullopt);
    // 2023-02-30 is no day; hour 24 is no hour.
    const auto pack = [](std::uint64_t y, std::uint64_t mo, std::uint64_t d, std::uint64_t h,
                         std::uint64_t mi,
                         std::uint64_t s) { return y << 26 | mo << 22 | d << 17 | h << 12 | mi << 6 | s; };
    EXPECT_EQ(MtfDateToUnixTime(pack(2023, 1, 2, 3, 4, 5)), 1672628645);
    EXPECT_EQ(MtfDateToUnixTime(pack(2023, 2, 30, 0, 0, 0)), std::nullopt);
    EXPECT_EQ(MtfDateToUnixTime(pack(2023, 1, 1, 24, 0, 0)), std::nullopt);
    EXPECT_EQ(MtfDateToUnixTime(pack(1960, 1, 1, 0, 0, 0)), -315619200);
}

}  // namespace
}  // namespace ostrum::save
