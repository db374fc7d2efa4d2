// SPDX-License-Identifier: GPL-3.0-or-later
// Describing a folder on disk: order, skipped links, names, times, and files that change before they are
// written.
#include "from_dir.h"

#include <gtest/gtest.h>

#include <chrono>

#include "chain_walker.h"
#include "test_media.h"

namespace ostrum::mtfwriter::testing {
namespace {

namespace fs = std::filesystem;

void SetMtime(const fs::path& p, std::int64_t unixSeconds) {
    const auto sys = std::chrono::sys_seconds{std::chrono::seconds{unixSeconds}};
    fs::last_write_time(p, std::chrono::file_clock::from_sys(sys));
}

std::vector<std::string> DescribeOrder(const DataSet& set) {
    std::vector<std::string> out;
    for (const Entry& e : set.entries) {
        if (const auto* d = std::get_if<DirectoryEntry>(&e)) {
            std::string path = "dir:";
            for (const Name& c : d->path) {
                path += '/';
                path += c.text();
            }
            out.push_back(path);
        } else {
            out.push_back(std::get<FileEntry>(e).name.text());
        }
    }
    return out;
}

TEST(FromDir, DirectoriesThenTheirFilesInNameOrderWithoutLinks) {
    TempDir tmp;
    const fs::path root = tmp / "tree";
    fs::create_directories(root / "sub" / "inner");
    fs::create_directories(root / "empty");
    WriteFile(root / "b.txt", "bee");
    WriteFile(root / "a.txt", "ay");
    WriteFile(root / "sub" / "z.bin", std::string(3000, 'z'));
    WriteFile(root / "sub" / "inner" / "deep.txt", "deep");
    WriteFile(root / "caf\xE9.txt", "latin-1 name");
    fs::create_symlink(root / "a.txt", root / "link.txt");
    fs::create_directory_symlink(root / "sub", root / "dirlink");
    SetMtime(root / "a.txt", 851976450);  // 1996-12-30 20:07:30 UTC
    SetMtime(root / "sub", 946684800);    // 2000-01-01 00:00:00 UTC

    const DataSet set = DescribeDirectory(root, {.name = "disk"});
    EXPECT_EQ(DescribeOrder(set),
              (std::vector<std::string>{"dir:", "a.txt", "b.txt", "caf\xC3\xA9.txt", "dir:/empty", "dir:/sub",
                                        "z.bin", "dir:/sub/inner", "deep.txt"}));
    const auto& a = std::get<FileEntry>(set.entries[1]);
    EXPECT_EQ(a.mtime, (MtfDate{1996, 12, 30, 20, 7, 30}));
    EXPECT_EQ(std::get<DirectoryEntry>(set.entries[5]).mtime, (MtfDate{2000, 1, 1, 0, 0, 0}));
    const auto& latin = std::get<FileEntry>(set.entries[3]);
    EXPECT_EQ(latin.name.units, u"caf\u00E9.txt") << "bytes that are not UTF-8 are kept as code units";

    MediaDescription media{.tape = {.logicalBlockSize = 512}, .sets = {set}};
    MemorySink sink;
    const Manifest m = WriteMedia(media, sink);
    const Walk walk = WalkImage(sink.bytes, 512);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();
    ASSERT_EQ(m.files.size(), 5u);
    EXPECT_EQ(Slice(sink.bytes, *m.files[3].dataOffset, 3000), BytesOf(std::string(3000, 'z')));
    EXPECT_EQ(m.files[3].directory, "sub");
    EXPECT_EQ(m.files[4].directory, "sub\\inner");
    EXPECT_EQ(walk.ofType("DIRB")[0]->name, std::u16string(1, u'\0'));
}

TEST(FromDir, RejectsWhatIsNotAFolderAndFilesThatChangedSize) {
    TempDir tmp;
    EXPECT_THROW(DescribeDirectory(tmp / "missing", {}), MediaError);
    WriteFile(tmp / "plain", "x");
    EXPECT_THROW(DescribeDirectory(tmp / "plain", {}), MediaError);

    const fs::path root = tmp / "changing";
    fs::create_directories(root);
    WriteFile(root / "grows.txt", "12345");
    WriteFile(root / "shrinks.txt", "1234567890");
    const DataSet set = DescribeDirectory(root, {.name = "c"});

    WriteFile(root / "grows.txt", "1234567");
    CountingSink sink;
    try {
        WriteMedia({.sets = {set}}, sink);
        FAIL() << "a file that grew after it was described must fail the write";
    } catch (const MediaError& e) {
        EXPECT_NE(std::string(e.what()).find("grows.txt"), std::string::npos) << e.what();
    }
    WriteFile(root / "grows.txt", "12345");
    WriteFile(root / "shrinks.txt", "123");
    EXPECT_THROW(WriteMedia({.sets = {set}}, sink), MediaError);
}

}  // namespace
}  // namespace ostrum::mtfwriter::testing
