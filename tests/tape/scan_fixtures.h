// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the scan and copy tests share: sinks that record what they are told, catalog summaries to
// compare, and MTF media made by the project's writer.

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "mtf_writer.h"
#include "tape/tape_imaging.h"

namespace ostrum::tape::testing {

namespace mw = mtfwriter;

struct RecordingCatalogSink final : catalog::CatalogSink {
    void StatusLine(std::string_view text) override { status.emplace_back(text); }
    void PositionLine(std::string_view text) override { positions.emplace_back(text); }
    void Progress(int percent) override { progress.push_back(percent); }
    std::vector<std::string> status, positions;
    std::vector<int> progress;
};

struct RecordingImagingSink final : ImagingSink {
    void ProgressLabel(std::string_view text) override { labels.emplace_back(text); }
    void TotalSize(std::string_view text) override { totals.emplace_back(text); }
    void Progress(int percent) override { progress.push_back(percent); }
    std::vector<std::string> labels, totals;
    std::vector<int> progress;
};

std::unique_ptr<catalog::Catalog> NewCatalog();

// One line per row: "path|size|dataOffset|chunkIndex" (absent values empty), and the tree's full paths.
std::vector<std::string> RowLines(const catalog::Catalog& catalog, bool withOffsets);
std::vector<std::string> NodePaths(const catalog::Catalog& catalog);

// Three sets: files behind security streams (one pushes STAN past the 512-byte window), long names
// that cross 512-byte reads, folders, a compressed set, empty and large files.
mw::MediaDescription SampleMedia();

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path);

}  // namespace ostrum::tape::testing
