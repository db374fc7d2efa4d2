// Golden cases of `list` and `extract` over a backup spread over two image files.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "cli_golden.h"
#include "mtf_writer.h"

namespace ostrum::cli {
namespace {

namespace fs = std::filesystem;
namespace mw = mtfwriter;
using testing::RunCli;

class MediaSpanCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("ostrum-cli-span-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    testing::CliResult Run(const std::string& arguments) {
        return RunCli(arguments, (dir / "stderr").string());
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

TEST_F(MediaSpanCliTest, TwoImagesInOrderListAndExtractAsOneBackupAndOneAloneSaysWhatIsMissing) {
    mw::MediaDescription media{.tape = {.logicalBlockSize = 512, .mediaFamilyId = 0xBEEF}};
    media.sets.push_back(
        {.info = {.name = "Daily"},
         .entries = {mw::DirectoryEntry{.path = {"DOCS"}},
                     mw::FileEntry{.name = "BIG.BIN", .data = mw::GeneratedData{.size = 20000, .seed = 3}},
                     mw::FileEntry{.name = "B.TXT", .data = mw::bytesOf("after")}}});
    mw::ImageFileSink first(Path("a.img")), second(Path("b.img"));
    std::vector<mw::Sink*> sinks{&first, &second};
    // TAPE, SSET, VOLB and DIRB take a 512-byte block each, so BIG.BIN's FILE block lies at 2048 and its data
    // begin at 2174: the first medium ends inside them at the logical block boundary 5120, after 2946 bytes.
    mw::writeSpannedMedia(media, sinks, std::vector<std::uint64_t>{5000});
    const std::string both = Path("a.img") + " " + Path("b.img");

    const auto listed = Run("list " + both);
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_TRUE(listed.out.ends_with("\nMedia (2):\n  " + Path("a.img") +
                                     ": medium 1 of media family 0x0000BEEF\n  " + Path("b.img") +
                                     ": medium 2 of media family 0x0000BEEF\n"
                                     "\nFiles spread over several media (1):\n"
                                     "  TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\BIG.BIN: 2946 bytes on " +
                                     Path("a.img") + ", 17054 on " + Path("b.img") + "\n"))
        << listed.out;
    EXPECT_NE(listed.out.find("Total File Found :2\n"), std::string::npos);
    const auto json = Run("list --json " + both);
    EXPECT_NE(
        json.out.find(
            ", \"spread_files\": [{\"path\": \"TAPE MEDIA\\\\BACKUP SET 1(_Daily)\\\\DOCS\\\\BIG.BIN\", "
            "\"parts\": [{\"medium\": 0, \"offset\": 2152, \"length\": 2968}, {\"medium\": 1, "),
        std::string::npos)
        << json.out;

    const auto saved = Run("extract " + both + " " + Path("out"));
    EXPECT_EQ(saved.status, 0) << saved.out << saved.err;
    EXPECT_EQ(fs::file_size(Path("out") + "/BACKUP SET 1(_Daily)/DOCS/BIG.BIN"), 20000u);

    const auto alone = Run("extract " + Path("a.img") + " " + Path("alone"));
    EXPECT_EQ(alone.status, 1);
    EXPECT_NE(
        alone.out.find("truncated: TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\BIG.BIN -> BACKUP SET "
                       "1(_Daily)/DOCS/BIG.BIN.partial: the rest of its data is on medium 2 of media family "
                       "0x0000BEEF, which was not read"),
        std::string::npos)
        << alone.out;
}

}  // namespace
}  // namespace ostrum::cli
