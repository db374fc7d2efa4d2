// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "block_fixture.h"
#include "cli_golden.h"
#include "damage.h"
#include "mtf_writer.h"
#include "sample_media.h"
#include "support/temp_folder.h"

namespace ostrum::cli {
namespace {

namespace fs = std::filesystem;
using namespace catalog::testing;
using testing::RunCli;

class CliTest : public ::testing::Test {
  protected:
    testing::CliResult Run(const std::string& arguments) {
        return RunCli(arguments, (dir / "stderr").string());
    }
    std::string WriteImage(const std::vector<std::uint8_t>& bytes) {
        const auto path = (dir / "small.img").string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }

    test_support::TempFolder temp;
    const fs::path dir = temp.root();
};

// One set, one folder, a file with data (its STAN header right after the name, at 1024 + 100, so the
// data begins at 1146) and one whose stream is missing.
std::vector<std::uint8_t> SmallImage() {
    std::vector<std::uint8_t> bytes(4096, 0);
    PutSet(bytes, 0, u"Daily");
    PutDirectory(bytes, 512, std::u16string(u"DOCS\0", 5));
    PutFile(bytes, 1024, u"A.TXT", 12);
    PutTag(bytes, 1536, "FILE");
    PutName(bytes, 1536, 84, 90, u"NODATA.BIN");
    return bytes;
}

TEST_F(CliTest, ListJsonHasTheDocumentedShape) {
    const std::string image = WriteImage(SmallImage());
    const auto result = Run("list --json " + image);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"source\": \"" + image +
                  "\", \"nodes\": [\"TAPE MEDIA\\\\\", \"TAPE MEDIA\\\\BACKUP SET 1(_Daily)\\\\\", "
                  "\"TAPE MEDIA\\\\BACKUP SET 1(_Daily)\\\\DOCS\\\\\"], \"files\": ["
                  "{\"path\": \"TAPE MEDIA\\\\BACKUP SET 1(_Daily)\\\\DOCS\\\\A.TXT\", \"type\": \"plain "
                  "text document\", "
                  "\"size\": 12, \"data_offset\": 1146, \"chunk_index\": null}, "
                  "{\"path\": \"TAPE MEDIA\\\\BACKUP SET 1(_Daily)\\\\DOCS\\\\NODATA.BIN\", \"type\": \"BIN "
                  "File\", "
                  "\"size\": null, \"data_offset\": null, \"chunk_index\": null}], "
                  "\"files_found\": 1, \"status\": \"Total File Found :1\"}\n");
    EXPECT_EQ(result.err, "");  // no progress bar when standard error is not a terminal
}

TEST_F(CliTest, ListTextShowsTreeRowsAndStatus) {
    const auto result = Run("list " + WriteImage(SmallImage()));
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("\n  TAPE MEDIA\\\n    BACKUP SET 1(_Daily)\\\n      DOCS\\\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("size: 12   data at: 1146"), std::string::npos);
    EXPECT_NE(result.out.find("(data stream not found)"), std::string::npos);
    // The file count used to be "Files (2)" beside "Total File Found :1".
    EXPECT_NE(result.out.find("\nFiles (2, 1 with data):\n"), std::string::npos);
    EXPECT_NE(result.out.find("\nBackup sets (1):\n  BACKUP SET 1(_Daily): 2 file(s)\n"), std::string::npos);
    EXPECT_TRUE(result.out.ends_with("\n1 file found in 1 backup set\n")) << result.out;
}

// A listing that could not be written (a full disk) used to end with status 0, the listing cut short.
TEST_F(CliTest, ListingThatCannotBeWrittenFailsAndSaysWhy) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to write to";
    const std::string image = WriteImage(SmallImage());
    for (const char* form : {"list --json ", "list "}) {
        const auto result = Run(form + image + " >/dev/full");
        EXPECT_EQ(result.status, 1) << form;
        EXPECT_NE(result.err.find("cannot write the listing: " + std::string(std::strerror(ENOSPC))),
                  std::string::npos)
            << result.err;
    }
}

// A medium holding backup sets but no folder or file blocks (as a database backup does) used to list
// nothing at all, not even the sets.
TEST_F(CliTest, SetsWithoutFilesAreNamedAndSaidToHoldNone) {
    std::vector<std::uint8_t> bytes(4096, 0);
    PutSet(bytes, 0, u"Northwind-Full Database Backup");
    PutSet(bytes, 1024, u"Second");
    PutDirectory(bytes, 1536, std::u16string(u"LOGS\0", 5));
    const std::string image = WriteImage(bytes);
    const auto text = Run("list " + image);
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("\nFiles (0):\n\nBackup sets (2):\n"
                            "  BACKUP SET 1(_Northwind-Full Database Backup): holds no files or folders, as "
                            "database backups do\n"
                            "  BACKUP SET 2(_Second): folders, but no files\n"),
              std::string::npos)
        << text.out;
    // The JSON keeps its shape; the note goes to standard error.
    const auto json = Run("list --json " + image);
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("\"files\": [], \"files_found\": 0"), std::string::npos) << json.out;
    EXPECT_EQ(json.err,
              "ostrum-tape-cli: backup set BACKUP SET 1(_Northwind-Full Database Backup): holds no "
              "files or folders, as database backups do\n"
              "ostrum-tape-cli: backup set BACKUP SET 2(_Second): folders, but no files\n");
}

// A file without MTF data used to list as an empty medium with exit status 0.
TEST_F(CliTest, EmptyOrForeignFileListsNothingWithTheSearchText) {
    const std::string image = WriteImage(std::vector<std::uint8_t>(70000, 0x5A));
    const auto result = Run("list --json " + image);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(
        result.out.find("\"nodes\": [], \"files\": [], \"files_found\": 0, \"status\": \"Serching Files\"}"),
        std::string::npos)
        << result.out;
    // Blocks shifted off the 512-byte grid would look the same to the normal scan: the deep scan is named.
    EXPECT_EQ(result.err,
              "ostrum-tape-cli: list: no MTF data found in " + image +
                  " (70000 bytes examined)\nostrum-tape-cli: list: no file found; if the image was "
                  "cut or shifted by a few bytes, the deep scan may find its files: ostrum-tape-cli "
                  "list --deep " +
                  image + "\n");
}

// A source without MTF data used to list as an empty medium, and to be extracted from, with exit status 0.
// Of several media, each without MTF data is named and the others are listed and saved all the same.
TEST_F(CliTest, SourcesWithoutMtfDataAreNamedAndFail) {
    const std::string text = (dir / "x.txt").string(), out = (dir / "out").string();
    std::ofstream(text) << "hello world\n";
    const auto list = Run("list " + text);
    EXPECT_EQ(list.status, 1);
    EXPECT_EQ(list.err, "ostrum-tape-cli: list: no MTF data found in " + text + " (12 bytes examined)\n");
    EXPECT_TRUE(list.out.ends_with("\n0 files found in 0 backup sets\n")) << list.out;
    for (const std::string options : {"", "--dry-run "}) {
        const auto extract = Run("extract " + options + text + " " + out);
        EXPECT_EQ(extract.status, 1) << options;
        EXPECT_EQ(extract.err,
                  "ostrum-tape-cli: extract: no MTF data found in " + text + " (12 bytes examined)\n");
        EXPECT_FALSE(fs::exists(out)) << options;
    }

    const std::string image = WriteImage(SmallImage());
    const auto both = Run("list " + image + " " + text);
    EXPECT_EQ(both.status, 1);
    EXPECT_NE(both.out.find("1 file found in 1 backup set\n"), std::string::npos) << both.out;
    EXPECT_EQ(both.err, "ostrum-tape-cli: list: no MTF data found in " + text + " (12 bytes examined)\n");
    const auto saved = Run("extract " + image + " " + text + " " + out);
    EXPECT_EQ(saved.status, 1);
    EXPECT_TRUE(fs::exists(out + "/BACKUP SET 1(_Daily)/DOCS/A.TXT")) << saved.out << saved.err;
}

// A medium whose blocks left the grid after its TAPE block used to list no file without a word on why.
TEST_F(CliTest, ListHintsAtTheDeepScanWhenMtfDataHoldsNoFileAndNoSet) {
    namespace mw = ostrum::mtfwriter;
    const fs::path whole = dir / "whole.img", junked = dir / "junk 1.img";
    const auto manifest = mw::WriteImageFile(mw::SampleMedia(), whole);
    mw::DamageFile(whole, junked, mw::Damage::InsertJunk(manifest.sets[0].ssetOffset, 7));
    const auto listed = Run("list '" + junked.string() + "'");
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(
        listed.err,
        "ostrum-tape-cli: list: no file found; if the image was cut or shifted by a few bytes, the deep "
        "scan may find its files: ostrum-tape-cli list --deep '" +
            junked.string() + "'\n");
    EXPECT_EQ(Run("list --deep '" + junked.string() + "'").err, "");  // no hint after the deep scan
}

// Junk bytes inside an image made the normal scan lose the block grid there and list the files before them
// alone, without a word: it says where, and that the deep scan may find more. Clean media (compressed,
// checksummed and catalogued sets among them), zeroed and truncated ones, and the deep scan get no such word.
TEST_F(CliTest, ListSaysWhereTheNormalScanLostTheBlockGridAndNowhereElse) {
    namespace mw = ostrum::mtfwriter;
    mw::MediaDescription media;
    media.sets.push_back({.info = {.name = "Daily"}});
    for (std::uint64_t i = 0; i < 40; ++i) {
        mw::FileEntry file{.name = "F" + std::to_string(i) + ".BIN",
                           .data = mw::GeneratedData{3000 + 97 * i, i}};
        file.csum = i % 3 == 0;
        media.sets.back().entries.emplace_back(std::move(file));
    }
    const fs::path whole = dir / "whole.img", junked = dir / "ins.img";
    const auto manifest = mw::WriteImageFile(media, whole);
    const mw::ManifestFile& middle = manifest.files[20];
    mw::DamageFile(whole, junked, mw::Damage::InsertJunk(*middle.dataOffset + 100, 7));
    // Where the stream after its data should begin, on the 4-byte grid counted from its FILE block.
    const std::uint64_t dataEnd = *middle.dataOffset + middle.dataLength;
    const std::uint64_t lost = middle.fileBlockOffset + (dataEnd - middle.fileBlockOffset + 3) / 4 * 4;
    const auto listed = Run("list " + junked.string());
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find("\n21 files found in 1 backup set\n"), std::string::npos) << listed.out;
    EXPECT_EQ(listed.err,
              "ostrum-tape-cli: list: the normal scan lost the block grid at 1 place (first at byte " +
                  std::to_string(lost) + "): --deep may find more files\n");
    const auto deep = Run("list --deep " + junked.string());
    EXPECT_NE(deep.out.find("\n40 files found in 1 backup set\n"), std::string::npos) << deep.out;
    EXPECT_EQ(deep.err, "");

    mw::MediaDescription catalogued = mw::SampleMedia();
    catalogued.tape.mediaCatalog = true;
    mw::WriteImageFile(catalogued, dir / "sample.img");
    mw::DamageFile(
        whole, dir / "zeroed.img",
        mw::Damage::ZeroRange(manifest.files[10].fileBlockOffset,
                              manifest.files[12].fileBlockOffset - manifest.files[10].fileBlockOffset));
    mw::DamageFile(whole, dir / "short.img", mw::Damage::TruncateTo(*middle.dataOffset + 100));
    for (const char* name : {"whole.img", "sample.img", "zeroed.img", "short.img"}) {
        const auto quiet = Run("list " + (dir / name).string());
        EXPECT_EQ(quiet.status, 0) << name;
        EXPECT_EQ(quiet.err, "") << name;
    }
}

// Real media written by SQL Server: a media password in the TAPE block, the two stripes of one striped
// backup (two media families), and a compressed backup, which holds no MTF data at all.
TEST_F(CliTest, RealSqlServerMediaListTheirSetsOrSayTheyHoldNoMtfData) {
    const fs::path media = OSTRUM_REAL_MEDIA_SQL_DIR;
    if (!fs::is_directory(media)) GTEST_SKIP() << "no real media in " << media << " (set OSTRUM_SHARED_DIR)";
    const std::string
        stripe1 = (media / "sql2008-backups_RestoreTimeStripe_Stripe1_RestoreTimeStripe.bak").string(),
        stripe2 = (media / "sql2008-backups_RestoreTimeStripe_Stripe2_RestoreTimeStripe1.bak").string();
    for (const std::string& medium : {(media / "backuppassword_passwd.bak").string(), stripe1, stripe2}) {
        const auto listed = Run("list " + medium);
        EXPECT_EQ(listed.status, 0) << medium;
        EXPECT_EQ(listed.err, "") << medium;
        EXPECT_TRUE(
            listed.out.ends_with("\nFiles (0):\n\nBackup sets (1):\n  BACKUP SET 1(): holds no files or "
                                 "folders, as database backups do\n\n0 files found in 1 backup set\n"))
            << listed.out;
    }
    const auto stripes = Run("list " + stripe1 + " " + stripe2);
    EXPECT_EQ(stripes.status, 0);
    EXPECT_EQ(stripes.err, "ostrum-tape-cli: " + stripe2 +
                               " is medium 1 of media family 0xD461297C, not the medium after " + stripe1 +
                               " (medium 1 of media family 0x62F92839)\n");
    const std::string compressed = (media / "23d8f3c4_singlerestore_SharePoint_Config.bak").string();
    const auto foreign = Run("list " + compressed);
    EXPECT_EQ(foreign.status, 1);
    EXPECT_TRUE(foreign.err.starts_with("ostrum-tape-cli: list: no MTF data found in " + compressed +
                                        " (3759104 bytes examined)\n"))
        << foreign.err;
}

// The dry run used to add the files' claimed lengths in 64 bits, so two huge ones wrapped to a small total;
// it now reads the image, which ends long before the huge file's data do, and says that file would be
// cut short (the total of huge lengths is tested on a tape, where nothing is read again).
TEST_F(CliTest, DryRunSaysWhichFilesTheImageCutsShort) {
    std::vector<std::uint8_t> bytes(4096, 0);
    PutFile(bytes, 0, u"A.BIN", 0xFFFF'FFFF'FFFF'FF00ull);
    PutFile(bytes, 512, u"B.BIN", 0x200);
    const auto result = Run("extract --dry-run " + WriteImage(bytes) + " " + (dir / "out").string());
    EXPECT_NE(result.out.find("BACKUP SET 0/A.BIN.partial  (cut short: the image ends after 3974 of its "
                              "18446744073709551360 bytes on the medium)\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("\n1 files, 512 bytes would be saved under " + (dir / "out").string() +
                              "; 1 cut short\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.status, 0);
}

// A read error in an image used to go unreported: `list` said nothing and exited 0. The loopback
// interface's speed is a file of 4096 bytes whose every read fails (EINVAL): a real unreadable source.
TEST_F(CliTest, UnreadablePartsOfAnImageAreNamedAndListExitsOne) {
    const std::string unreadable = "/sys/class/net/lo/speed";
    const int probe = ::open(unreadable.c_str(), O_RDONLY | O_CLOEXEC);
    char byte = 0;
    const bool fails = probe >= 0 && ::read(probe, &byte, 1) < 0;
    if (probe >= 0) ::close(probe);
    if (!fails) GTEST_SKIP() << unreadable << " is missing or can be read on this system";
    const auto result = Run("list " + unreadable);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "ostrum-tape-cli: 1 unreadable part(s) of the image skipped, at byte 0; the last: "
              "cannot read '" +
                  unreadable + "' at byte 0: Invalid argument\n" +
                  "ostrum-tape-cli: list: no MTF data found in " + unreadable + " (0 bytes examined)\n");
    EXPECT_NE(result.out.find("Files (0"), std::string::npos);
}

TEST_F(CliTest, BadSourcesAndBadCommandLinesFailClearly) {
    auto missing = Run("list " + (dir / "absent.img").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "ostrum-tape-cli: list: cannot open '" + (dir / "absent.img").string() +
                               "': No such file or directory\n");
    EXPECT_EQ(missing.out, "");

    auto folder = Run("list " + dir.string());
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find("not an image file"), std::string::npos);

    // A character device used to scan as an empty image: 0 files and exit status 0.
    auto zero = Run("list /dev/zero");
    EXPECT_EQ(zero.status, 1);
    EXPECT_NE(
        zero.err.find("'/dev/zero': it is a character device, not an image file (tape drives are scanned "
                      "by their names //./tape0 to //./tape19)"),
        std::string::npos)
        << zero.err;

    EXPECT_EQ(Run("").status, 2);
    EXPECT_EQ(Run("list").status, 2);
    EXPECT_EQ(Run("list --xml a.img").status, 2);
    EXPECT_EQ(Run("frobnicate").err, "ostrum-tape-cli: unknown command 'frobnicate' (try --help)\n");
    EXPECT_EQ(Run("--help").status, 0);
}

// Missing sources and folders are refused by both commands as BadSourcesAndBadCommandLinesFailClearly and
// WrongCommandLinesAreUsageErrors show; a file that cannot be read (for the superuser, a kernel setting
// that can only be written) is too, with the system's reason.
TEST_F(CliTest, UnreadableSourceFailsWithTheSystemsReasonForListAndExtract) {
    std::string locked = WriteImage(SmallImage());
    fs::permissions(locked, fs::perms::none);
    if (::access(locked.c_str(), R_OK) == 0) locked = "/proc/sys/vm/drop_caches";
    const int probe = ::open(locked.c_str(), O_RDONLY | O_CLOEXEC);
    if (probe >= 0) ::close(probe);
    if (probe >= 0 || errno != EACCES) GTEST_SKIP() << "no file here that cannot be read";
    for (const std::string command : {"list", "extract"}) {
        const auto result =
            Run(command + " " + locked + (command == "extract" ? " " + (dir / "out").string() : ""));
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err,
                  "ostrum-tape-cli: " + command + ": cannot open '" + locked + "': Permission denied\n");
    }
    EXPECT_EQ(Run("extract " + dir.string() + " " + (dir / "out").string()).status, 1);
    EXPECT_FALSE(fs::exists(dir / "out"));
}

// `extract --help` used to be "unknown option", and a source whose name starts with a dash could not be
// given at all.
TEST_F(CliTest, EveryCommandHasHelpTheToolHasAVersionAndDashDashEndsTheOptions) {
    for (const std::string command : {"", "list ", "drives ", "image ", "extract "}) {
        const auto help = Run(command + "--help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("Exit status: 0 done; 1 the source"), std::string::npos)
            << command << help.out;
        EXPECT_NE(help.out.find("130 interrupted"), std::string::npos) << command;
    }
    const auto extract = Run("extract --help").out;
    EXPECT_NE(extract.find("keep-both (the\ndefault)"), std::string::npos) << extract;
    EXPECT_NE(extract.find("'*.txt' chooses every text file"), std::string::npos);
    EXPECT_EQ(Run("--version").out, "ostrum-tape-cli (Brivane Ostrum TAPE) 4.02\n");

    WriteImage(SmallImage());
    fs::rename(dir / "small.img", dir / "-small.img");
    const auto dashed = RunCli("list --json -- -small.img", (dir / "stderr").string(), dir.string());
    EXPECT_EQ(dashed.status, 0) << dashed.err;
    EXPECT_NE(dashed.out.find("\"files_found\": 1"), std::string::npos) << dashed.out;
    const auto taken = RunCli("list -small.img", (dir / "stderr").string(), dir.string());
    EXPECT_EQ(taken.status, 2);
    EXPECT_NE(taken.err.find("(try 'ostrum-tape-cli list --help')"), std::string::npos) << taken.err;
}

// An image cut by 100 bytes listed nothing at all; the deep scan finds every file, and extract saves them.
TEST_F(CliTest, DeepScanListsAndExtractsAnImageOffTheGrid) {
    namespace mw = ostrum::mtfwriter;
    const fs::path whole = dir / "whole.img", cut = dir / "cut.img";
    const auto manifest = mw::WriteImageFile(mw::SampleMedia(), whole);
    mw::DamageFile(whole, cut, mw::Damage::CutFront(100));
    const std::string found = "\"files_found\": " + std::to_string(manifest.files.size()) + ",";
    EXPECT_NE(Run("list --json " + whole.string()).out.find(found), std::string::npos);
    EXPECT_NE(Run("list --json " + cut.string()).out.find("\"files_found\": 0,"), std::string::npos);
    const auto deep = Run("list --json --deep " + cut.string());
    EXPECT_EQ(deep.status, 0) << deep.err;
    EXPECT_NE(deep.out.find(found), std::string::npos) << deep.out;

    const auto saved = Run("extract --deep " + cut.string() + " " + (dir / "out").string());
    EXPECT_EQ(saved.status, 0) << saved.out << saved.err;
    EXPECT_NE(saved.out.find("saved " + std::to_string(manifest.files.size()) + ", "), std::string::npos)
        << saved.out;
    EXPECT_EQ(Run("list --deep --attach 0=" + whole.string() + " //./tape0").status, 2);
}

// Ctrl-C during a scan used to end the program by the signal, mid-output.
TEST_F(CliTest, CtrlCStopsListAndExtractCleanly) {
    const std::string image = WriteImage(SmallImage());
    const std::string out = (dir / "out").string(), err = (dir / "err").string();
    const auto list = testing::RunCliInterrupted({"list", image}, out, err);
    EXPECT_EQ(list.status, 130);
    EXPECT_EQ(list.out, "");
    EXPECT_EQ(list.err,
              "ostrum-tape-cli: list: interrupted before the scan reached the end of the image; "
              "nothing is listed\n");
    const auto extract = testing::RunCliInterrupted({"extract", image, (dir / "saved").string()}, out, err);
    EXPECT_EQ(extract.status, 130);
    EXPECT_NE(
        extract.err.find("interrupted before the scan reached the end of the source; nothing was saved"),
        std::string::npos)
        << extract.err;
    EXPECT_FALSE(fs::exists(dir / "saved"));
}

}  // namespace
}  // namespace ostrum::cli
