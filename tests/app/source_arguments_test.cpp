// The desktop program's command line: an image, or a tape drive with virtual tapes attached.
#include "app/source_arguments.h"

#include "app_fixture.h"

namespace ostrum::app::testing {
namespace {

std::optional<ScanSource> Parse(std::vector<std::string> words, std::string& error) {
    return ParseSourceArguments(words, error);
}

TEST(SourceArguments, AnImageOrATapeDriveWithItsVirtualTapes) {
    TestFolder folder;
    {
        mw::TapFileSink sink(folder.path("t.tap"), 65536);
        mw::writeMedia(windowMedia(), sink);
    }
    std::string error;
    auto image = Parse({"some/tape.img"}, error);
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->SourceIsTape);
    EXPECT_EQ(image->SourcePath, "some/tape.img");

    auto tape = Parse(
        {"--attach", "3=" + folder.path("t.tap").string(), "--capacity", "1000000", "//./tape3"}, error);
    ASSERT_TRUE(tape) << error;
    EXPECT_TRUE(tape->SourceIsTape);
    EXPECT_EQ(tape->SourcePath, "//./tape3");
    EXPECT_NE(tape->tapeDevices->Attached(3), nullptr);

    // A tape scan through the attached drive finds what the image scan finds.
    RecoveryWindow window(*tape);
    ASSERT_TRUE(waitForScanEnd(window));
    EXPECT_EQ(window.catalog().rowCount(), windowMediaPaths().size());

    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"--attach", "x=" + folder.path("t.tap").string(), "//./tape0"},
             {"--attach", "0=" + folder.path("none.tap").string(), "//./tape0"},
             {"a.img", "b.img"},
             {"//./tape20"},
             {"--verbose", "a.img"},
             {"--attach"}}) {
        EXPECT_FALSE(Parse(wrong, error)) << wrong.back();
        EXPECT_FALSE(error.empty()) << wrong.back();
    }
    EXPECT_FALSE(Parse({}, error));
    EXPECT_TRUE(error.empty());  // nothing given: the program says what it expects
}

}  // namespace
}  // namespace ostrum::app::testing
