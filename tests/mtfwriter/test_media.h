// Shared fixtures for the writer tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "chain_walker.h"
#include "mtf_writer.h"

namespace ostrum::mtfwriter::testing {

inline std::vector<std::uint8_t> expectedBytes(const FileData& data) {
    if (const auto* b = std::get_if<std::vector<std::uint8_t>>(&data)) return *b;
    const auto& g = std::get<GeneratedData>(data);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(g.size));
    fillGenerated(g.seed, 0, out);
    return out;
}

inline std::vector<std::uint8_t> slice(const std::vector<std::uint8_t>& image, std::uint64_t off, std::uint64_t n) {
    if (off > image.size() || n > image.size() - off) return {};
    return {image.begin() + static_cast<std::ptrdiff_t>(off), image.begin() + static_cast<std::ptrdiff_t>(off + n)};
}

// Two sets with folders and files of awkward sizes and the per-file options; the second set is compressed when
// asked.
inline MediaDescription mixedMedia(std::uint16_t logicalBlockSize, bool compressSecondSet) {
    MediaDescription m;
    m.tape = {.mediaName = "Test tape", .logicalBlockSize = logicalBlockSize,
              .date = {2024, 3, 5, 10, 20, 30}};
    DataSet first{.info = {.name = "Daily", .description = "first set", .userName = "tester",
                           .date = {2024, 3, 5, 11, 0, 0}}};
    first.entries = {
        DirectoryEntry{.path = {}, .mtime = {2023, 1, 1, 0, 0, 0}},
        FileEntry{.name = "EMPTY.TXT", .mtime = {2023, 1, 2, 3, 4, 5}, .data = bytesOf("")},
        FileEntry{.name = "ONE.BIN", .data = bytesOf("x")},
        DirectoryEntry{.path = {"DOCS", "LETTERS"}, .mtime = {2022, 12, 31, 23, 59, 58}},
        FileEntry{.name = "A.TXT", .data = bytesOf("Dear reader,\nthis is a letter.\n")},
        // FILE (88) + name (18) + alignment (2) + STAN header (22) + 382 bytes = 512: no SPAD with 512-byte blocks.
        FileEntry{.name = "EXACT.BIN", .data = GeneratedData{.size = 382, .seed = 1}},
        FileEntry{.name = "SECURE.DOC", .data = GeneratedData{.size = 5000, .seed = 2}, .naclBytes = 600,
                  .csum = true},
        FileEntry{.name = "ODD.DAT", .data = GeneratedData{.size = 1023, .seed = 3}, .csum = true},
    };
    DataSet second{.info = {.name = "Weekly", .compressed = compressSecondSet, .date = {2024, 3, 6, 1, 2, 3}}};
    std::string text;
    for (int i = 0; i < 4000; ++i) text += "line " + std::to_string(i % 50) + " of the weekly report\n";
    second.entries = {
        DirectoryEntry{.path = {"apps", "fred"}},
        FileEntry{.name = "report.txt", .data = bytesOf(text), .csum = true},
        FileEntry{.name = "noise.bin", .data = GeneratedData{.size = 70000, .seed = 4}},
        FileEntry{.name = "tiny", .data = bytesOf("ab")},
    };
    m.sets = {first, second};
    return m;
}

}  // namespace ostrum::mtfwriter::testing
