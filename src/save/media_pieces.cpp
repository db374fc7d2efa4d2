// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/media_pieces.h"

#include <limits>

#include "catalog/mtf_layout.h"

namespace ostrum::save {

std::vector<catalog::DataPart> PiecesOf(const SaveItem& item) {
    constexpr std::uint64_t kToTheEnd = std::numeric_limits<std::uint64_t>::max();
    if (item.parts.empty())
        return {{item.medium, *item.dataOffset - catalog::mtf::stream_hdr::kSize, kToTheEnd}};
    std::vector<catalog::DataPart> pieces = item.parts;
    // After the last piece of a file that is whole, its streams go on as on any medium (a CSUM may follow).
    if (item.missingMedium.empty()) pieces.back().length = kToTheEnd;
    return pieces;
}

std::string MissingRestText(const SaveItem& item) {
    return "the rest of its data is on " +
           (item.missingMedium.empty() ? "another medium" : item.missingMedium) + ", which was not read";
}

std::optional<std::string> NoDataReason(const SaveItem& item) {
    if (!item.dataOffset) return "the scan found no data stream for it";
    if (*item.dataOffset < catalog::mtf::stream_hdr::kSize)
        return "its data position " + std::to_string(*item.dataOffset) + " leaves no room for a header";
    return std::nullopt;
}

std::string ShortReadReason(const common::ImageFile& image, std::uint64_t position) {
    const auto size = image.Size();
    if (size && position >= *size) return "the image ends at byte " + std::to_string(*size);
    return image.error().empty() ? "the image could not be read at byte " + std::to_string(position)
                                 : image.error();
}

MediaImages::MediaImages(const SaveRequest& request) : paths_{request.sourcePath} {
    paths_.insert(paths_.end(), request.laterSources.begin(), request.laterSources.end());
    images_.resize(paths_.size());
    errors_.resize(paths_.size());
}

const common::ImageFile* MediaImages::Open(std::uint32_t medium, std::string& error) {
    if (medium >= paths_.size()) {
        error = "it lies on medium " + std::to_string(medium + 1) + ", and only " +
                std::to_string(paths_.size()) + " were given";
        return nullptr;
    }
    if (!images_[medium] && errors_[medium].empty()) {
        auto image = std::make_unique<common::ImageFile>();
        if (common::OpenImageFile(*image, paths_[medium])) {
            images_[medium] = std::move(image);
        } else {
            errors_[medium] = image->error();
        }
    }
    error = errors_[medium];
    return images_[medium].get();
}

}  // namespace ostrum::save
