// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program's command line: an image, or a tape drive with virtual tapes attached.
#include "app/source_arguments.h"

#include "app_fixture.h"

namespace ostrum::app::testing {
namespace {

std::optional<ScanSource> Parse(std::vector<std::string> words, std::string& error) {
    return parseSourceArguments(words, error);
}

TEST(SourceArguments, AnImageOrATapeDriveWithItsVirtualTapes) {
    TestFolder folder;
    {
        mw::TapFileSink sink(folder.path("t.tap"), 65536);
        mw::WriteMedia(windowMedia(), sink);
    }
    std::string error;
    auto image = Parse({"some/tape.img"}, error);
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->isTape);
    EXPECT_EQ(image->path, "some/tape.img");

    auto tape = Parse(
        {"--attach", "3=" + folder.path("t.tap").string(), "--capacity", "1000000", "//./tape3"}, error);
    ASSERT_TRUE(tape) << error;
    EXPECT_TRUE(tape->isTape);
    EXPECT_EQ(tape->path, "//./tape3");
    EXPECT_NE(tape->tapeDevices->Attached(3), nullptr);

    // A tape scan through the attached drive finds what the image scan finds.
    RecoveryWindow window(*tape);
    ASSERT_TRUE(waitForScanEnd(window));
    EXPECT_EQ(window.catalog().rowCount(), windowMediaPaths().size());

    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"--attach", "x=" + folder.path("t.tap").string(), "//./tape0"},
             {"--attach", "0=" + folder.path("none.tap").string(), "//./tape0"},
             {"a.img", "//./tape0"},
             {"//./tape20"},
             {"--verbose", "a.img"},
             {"--attach"}}) {
        EXPECT_FALSE(Parse(wrong, error)) << wrong.back();
        EXPECT_FALSE(error.empty()) << wrong.back();
    }
}

TEST(SourceArguments, NoMediumStartsTheWizardWithTheAttachedDrivesAndATapeFileGetsADriveOfItsOwn) {
    TestFolder folder;
    {
        mw::TapFileSink sink(folder.path("t.tap"), 65536);
        mw::WriteMedia(windowMedia(), sink);
    }
    const std::string tape = folder.path("t.tap").string();
    std::string error;
    auto none = Parse({}, error);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->path.empty());

    auto wizard = Parse({"--attach", "2=" + tape}, error);
    ASSERT_TRUE(wizard) << error;
    EXPECT_TRUE(wizard->path.empty());
    EXPECT_NE(wizard->tapeDevices->Attached(2), nullptr);

    // A tape file named as the medium goes into the first drive without one.
    auto file = Parse({"--attach", "0=" + tape, tape}, error);
    ASSERT_TRUE(file) << error;
    EXPECT_TRUE(file->isTape);
    EXPECT_EQ(file->path, "//./tape1");
    EXPECT_EQ(file->tapeDevices->Attached(1)->options().path, tape);
    EXPECT_FALSE(Parse({folder.path("none.TAP").string()}, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace ostrum::app::testing
