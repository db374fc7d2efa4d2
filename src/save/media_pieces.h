// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Saving files from several media read as one: which medium holds each piece of a file, and the image of
// each medium, opened when a file first needs it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "common/byte_source.h"
#include "save/save_files.h"

namespace ostrum::save {

// The pieces of the medium to read for an item, in order: its own, or the stream header and all that
// follows it on its medium.
std::vector<catalog::DataPart> PiecesOf(const SaveItem& item);

// Why a file whose pieces have all been read is not whole: the medium holding the rest was not read.
std::string MissingRestText(const SaveItem& item);

// Why the item's data are not to be looked for: the scan found no data stream, or no room for a stream
// header before its data. Nothing when they are.
std::optional<std::string> NoDataReason(const SaveItem& item);

// Why an image gave fewer bytes than asked at `position`: a read error, or its end.
std::string ShortReadReason(const common::ImageFile& image, std::uint64_t position);

// The images of a save's media: sourcePath, then laterSources.
class MediaImages {
  public:
    explicit MediaImages(const SaveRequest& request);
    // The image of the medium, opened the first time it is asked for; nothing (with `error`) when it cannot
    // be opened or was not given.
    const common::ImageFile* Open(std::uint32_t medium, std::string& error);

  private:
    std::vector<std::string> paths_;
    std::vector<std::unique_ptr<common::ImageFile>> images_;
    std::vector<std::string> errors_;
};

}  // namespace ostrum::save
