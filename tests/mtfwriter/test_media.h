// SPDX-License-Identifier: GPL-3.0-or-later
// Shared fixtures for the writer tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "chain_walker.h"
#include "mtf_writer.h"
#include "support/same_bytes.h"
#include "support/temp_folder.h"

namespace ostrum::mtfwriter::testing {

inline std::vector<std::uint8_t> ExpectedBytes(const FileData& data) {
    if (const auto* b = std::get_if<std::vector<std::uint8_t>>(&data)) return *b;
    const auto& g = std::get<GeneratedData>(data);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(g.size));
    FillGenerated(g.seed, 0, out);
    return out;
}

inline std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& image, std::uint64_t off,
                                       std::uint64_t n) {
    if (off > image.size() || n > image.size() - off) return {};
    return {image.begin() + static_cast<std::ptrdiff_t>(off),
            image.begin() + static_cast<std::ptrdiff_t>(off + n)};
}

// Two sets with folders and files of awkward sizes and the per-file options; the second set is compressed
// when asked.
inline MediaDescription MixedMedia(std::uint16_t logicalBlockSize, bool compressSecondSet) {
    MediaDescription m;
    m.tape = {
        .mediaName = "Test tape", .logicalBlockSize = logicalBlockSize, .date = {2024, 3, 5, 10, 20, 30}};
    DataSet first{.info = {.name = "Daily",
                           .description = "first set",
                           .userName = "tester",
                           .date = {2024, 3, 5, 11, 0, 0}}};
    first.entries = {
        DirectoryEntry{.path = {}, .mtime = {2023, 1, 1, 0, 0, 0}},
        FileEntry{.name = "EMPTY.TXT", .mtime = {2023, 1, 2, 3, 4, 5}, .data = BytesOf("")},
        FileEntry{.name = "ONE.BIN", .data = BytesOf("x")},
        DirectoryEntry{.path = {"DOCS", "LETTERS"}, .mtime = {2022, 12, 31, 23, 59, 58}},
        FileEntry{.name = "A.TXT", .data = BytesOf("Dear reader,\nthis is a letter.\n")},
        // FILE (88) + name (18) + alignment (2) + STAN header (22) + 382 bytes = 512: no SPAD with 512-byte
        // blocks.
        FileEntry{.name = "EXACT.BIN", .data = GeneratedData{.size = 382, .seed = 1}},
        FileEntry{.name = "SECURE.DOC",
                  .data = GeneratedData{.size = 5000, .seed = 2},
                  .naclBytes = 600,
                  .csum = true},
        FileEntry{.name = "ODD.DAT", .data = GeneratedData{.size = 1023, .seed = 3}, .csum = true},
    };
    DataSet second{
        .info = {.name = "Weekly", .compressed = compressSecondSet, .date = {2024, 3, 6, 1, 2, 3}}};
    std::string text;
    for (int i = 0; i < 4000; ++i) text += "line " + std::to_string(i % 50) + " of the weekly report\n";
    second.entries = {
        DirectoryEntry{.path = {"apps", "fred"}},
        FileEntry{.name = "report.txt", .data = BytesOf(text), .csum = true},
        FileEntry{.name = "noise.bin", .data = GeneratedData{.size = 70000, .seed = 4}},
        FileEntry{.name = "tiny", .data = BytesOf("ab")},
    };
    m.sets = {first, second};
    return m;
}

// A SIMH .tap file taken apart.
struct ParsedTap {
    std::vector<std::uint8_t> data;  // the records' data back to back
    std::vector<std::uint32_t> recordSizes;
    std::vector<std::uint64_t> marks;  // data offsets of the tape marks
    bool endOfMedium = false;
    std::string error;
};

inline ParsedTap ParseTap(const std::vector<std::uint8_t>& tap) {
    ParsedTap p;
    std::size_t pos = 0;
    while (pos < tap.size()) {
        if (tap.size() - pos < 4) return p.error = "truncated length", p;
        const std::uint32_t len = ReadU32(tap, pos);
        pos += 4;
        if (len == 0xFFFFFFFFu) {
            p.endOfMedium = true;
            if (pos != tap.size()) p.error = "bytes after the end-of-medium marker";
            return p;
        }
        if (len == 0) {
            p.marks.push_back(p.data.size());
            continue;
        }
        const std::size_t padded = len + (len % 2);
        if (tap.size() - pos < padded + 4) return p.error = "truncated record", p;
        p.data.insert(p.data.end(), tap.begin() + static_cast<std::ptrdiff_t>(pos),
                      tap.begin() + static_cast<std::ptrdiff_t>(pos + len));
        if (len % 2 && tap[pos + len] != 0) return p.error = "non-zero pad byte", p;
        pos += padded;
        if (ReadU32(tap, pos) != len) return p.error = "trailing length differs", p;
        pos += 4;
        p.recordSizes.push_back(len);
    }
    p.error = "no end-of-medium marker";
    return p;
}

using TempDir = test_support::TempFolder;

inline std::vector<std::uint8_t> ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& p, std::string_view content) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

}  // namespace ostrum::mtfwriter::testing
