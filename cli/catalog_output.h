// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Printing a catalog: readable text for people, JSON for scripts.

#include <string>
#include <string_view>

#include "catalog/catalog.h"
#include "catalog/image_scanner.h"
#include "output_buffer.h"

namespace ostrum::cli {

// Warns on standard error of the parts of an image that could not be read (how many, where, the last
// reason); false when there were none.
bool WarnOfUnreadableImageParts(const catalog::ImageScanSummary& summary);

// Files that got a size and a data position.
std::size_t FilesFound(const catalog::Catalog& catalog);

// "N files found in M backup sets" ("1 file", "1 backup set"): the files with data and the sets accepted.
std::string FoundSummaryText(const catalog::Catalog& catalog);

// The tree (indented, pre-order), the file rows, the backup sets met with what each holds, then the
// summary of what was found.
void PrintCatalogText(OutputBuffer& out, std::string_view source, const catalog::Catalog& catalog);

// Writes the rest of a listing out; false (after saying why on standard error) when it could not be written
// whole, e.g. to a full disk.
bool FinishListing(OutputBuffer& out);

// Notes on standard error each backup set that holds no files (a database backup, for one), which the
// JSON form shows nothing of.
void NoteSetsWithoutFiles(const catalog::Catalog& catalog);

// {"source", "nodes" (full paths, pre-order), "files" (path, type, size, data_offset, chunk_index, and for a
//  compressed stream stored_size and size_at_least),
//  "files_found", "status"}, and "catalog" (ComparisonJson) when the medium has a catalog of its own, and
//  "media" and "spread_files" (MediaSpanJson) when several media were read or files spread over them.
void PrintCatalogJson(OutputBuffer& out, std::string_view source, const catalog::Catalog& catalog,
                      std::string_view status);

}  // namespace ostrum::cli
