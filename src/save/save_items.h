// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The save items of catalog rows: what a save, a preview or any other reader of the files chosen needs of
// each row, copied out of the catalog, with the pieces of a file spread over several media.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalog/catalog.h"

namespace ostrum::save {

// What the engine needs of one FileRow; copied, so that the catalog may change while a save runs.
struct SaveItem {
    std::string catalogPath;
    std::optional<std::uint64_t> size;        // Stream Length from the scan
    std::optional<std::uint64_t> dataOffset;  // first data byte of the STAN stream
    std::optional<std::uint64_t> chunkIndex;  // tape scans: the pass that met the FILE block
    std::uint64_t modified = 0;               // the FILE block's modification date as stored, 0 unknown
    std::optional<std::uint64_t> dataOffsetInChunk;  // tape scans: the data's offset in read ChunkIndex

    // Several media read as one: the medium holding its FILE block (0 is sourcePath).
    std::uint32_t medium = 0;
    // Where its stream header and data lie when they are not together after DataOffset - 22 on that medium
    // (the end of a medium cut them): the pieces to read, in order. Empty otherwise.
    std::vector<catalog::DataPart> parts = {};
    // What holds the rest of its data when the pieces end before its length ("medium 2 of media family
    // 0x4F535452"), or, with headMissing, what holds its beginning.
    std::string missingMedium = {};
    bool headMissing = false;  // its pieces continue a file whose beginning lies on a medium not read
    // For each part with bytes missing before it, in order, what holds them ("bytes 1398 to 151413 are on
    // medium 2 of media family 0x4F535452, which was not read").
    std::vector<std::string> missingBetween = {};
};

// The item of the catalog's row `row`: its own fields, the medium holding its FILE block and, when its
// data lie in pieces (the end of a medium cut them, or its beginning is on a medium not read), the pieces
// and what holds the rest.
SaveItem SaveItemOf(const catalog::Catalog& catalog, std::size_t row);
// The items of the checked rows, in FoundFilesList order.
std::vector<SaveItem> CheckedItems(const catalog::Catalog& catalog);

// The item of a row from its own fields alone: a file whose data follow its stream header on the first
// medium. For a scan still running on another thread, whose media span is not to be read meanwhile; a row
// the media span holds pieces of takes SaveItemOf.
SaveItem RowItem(const catalog::FileRow& row);

}  // namespace ostrum::save
