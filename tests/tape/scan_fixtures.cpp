// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan_fixtures.h"

#include <fstream>
#include <iterator>

#include "catalog/shell_file_info.h"

namespace ostrum::tape::testing {
namespace {

mw::FileEntry File(std::string name, std::size_t size, std::uint32_t nacl = 0) {
    return mw::FileEntry{.name = std::move(name),
                         .mtime = {2004, 5, 6, 7, 8, 9},
                         .data = mw::GeneratedData{.size = size, .seed = size + nacl},
                         .naclBytes = nacl};
}

std::string Optional(const std::optional<std::uint64_t>& value) {
    return value ? std::to_string(*value) : "";
}

}  // namespace

std::unique_ptr<catalog::Catalog> NewCatalog() {
    return std::make_unique<catalog::Catalog>(std::make_shared<catalog::ExtensionFileInfo>());
}

std::vector<std::string> RowLines(const catalog::Catalog& catalog, bool withOffsets) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        const catalog::FileRow& row = catalog.row(i);
        std::string line = row.path().str() + "|" + Optional(row.size());
        if (withOffsets) line += "|" + Optional(row.dataOffset()) + "|" + Optional(row.chunkIndex());
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> NodePaths(const catalog::Catalog& catalog) {
    std::vector<std::string> paths;
    for (catalog::NodeId id : catalog.PreOrder()) paths.push_back(catalog.FullPath(id));
    return paths;
}

mw::MediaDescription SampleMedia() {
    // 456 bytes of name, in the root so that its path stays within 260 characters: it runs past the first
    // 512 bytes of its FILE block.
    const std::string longName = std::string(224, 'L') + ".TXT";
    mw::MediaDescription media{.tape = {.mediaName = "Tape 1", .logicalBlockSize = 1024}};
    media.sets.push_back(
        {.info = {.name = "Daily"},
         .entries = {mw::DirectoryEntry{}, File("ROOT.TXT", 10), File(longName, 300),
                     mw::DirectoryEntry{.path = {"DOCS", "LETTERS"}}, File("A.TXT", 1000),
                     File("SECURE.DOC", 5000, 700), File("EMPTY.DAT", 0), File("BIG.BIN", 300000)}});
    media.sets.push_back({.info = {.name = "Weekly"},
                          .entries = {mw::DirectoryEntry{.path = {"apps", "fred"}},
                                      File("report.txt", 70000, 200), File("tiny.c", 2)}});
    media.sets.push_back({.info = {.name = "Packed", .compressed = true},
                          .entries = {mw::DirectoryEntry{.path = {"LOGS"}}, File("big.log", 200000)}});
    return media;
}

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace ostrum::tape::testing
