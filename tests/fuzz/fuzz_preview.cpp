// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the preview with arbitrary media: every file the scan finds is previewed, and its text encoding
// told. Each file is also saved (and the save checked, fuzz_save_support.h): a preview shows a file as the
// save writes it, so a file saved whole must begin with the preview's bytes, and go on after them exactly
// when the preview says it is longer.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_save_support.h"
#include "save/file_preview.h"
#include "save/text_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ostrum;
    const fuzz::Media media({std::span(data, size)});
    const auto found = media.Scan();
    std::vector<save::SaveItem> items;
    for (std::size_t row = 0; row < found->rowCount(); ++row) items.push_back(save::SaveItemOf(*found, row));
    const save::SaveReport report = fuzz::SaveAndCheck(media, items);
    const save::SaveRequest request = media.Request(fuzz::WorkFolder::path() / "out");
    for (std::size_t i = 0; i < items.size(); ++i) {
        const save::FilePreview preview = save::ReadPreview(items[i], request);
        fuzz::Require(preview.bytes.size() <= save::kPreviewBytes, "a preview longer than a preview");
        const save::DetectedText text = save::DetectText(preview.bytes, preview.longer);
        fuzz::Require(text.markSize <= preview.bytes.size(), "a byte order mark longer than the bytes");
        fuzz::Require(
            (text.encoding == save::TextEncoding::Binary) == save::EncodingName(text.encoding).empty(),
            "an encoding without a name");
        const save::FileResult& result = report.files[i];
        if (result.outcome != save::SaveOutcome::Saved && result.outcome != save::SaveOutcome::SavedRenamed)
            continue;
        const std::vector<std::uint8_t> saved =
            fuzz::ReadWhole(fuzz::WorkFolder::path() / "out" / result.savedAs);
        const std::size_t shown = std::min(saved.size(), save::kPreviewBytes);
        // A checksum that fails keeps the file as written, and the preview says so.
        fuzz::Require(preview.error.empty() || result.checksum == save::ChecksumCheck::Mismatch,
                      result.savedAs + " is saved whole, but its preview says " + preview.error);
        fuzz::Require(
            std::equal(preview.bytes.begin(), preview.bytes.end(), saved.begin(), saved.begin() + shown),
            "the preview of " + result.savedAs + " is not how the file begins");
        fuzz::Require(preview.longer == (saved.size() > shown),
                      "the preview of " + result.savedAs + " says wrongly whether the file goes on");
    }
    return 0;
}
