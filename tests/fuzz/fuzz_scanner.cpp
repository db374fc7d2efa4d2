// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the image scanner with arbitrary media: the bytes become an in-memory image that is scanned
// exactly as an image on disk is, chunk by chunk and slot by slot, names, stream headers and all, and then
// again by the deep scan, which looks for block headers at every byte offset.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "catalog/image_scanner.h"

namespace {

// The input is placed twice in one image: at its start, and so that it runs across the end of the first
// 65,536-byte chunk into the tail. Every input thus exercises the chunk, the chunk-boundary and the tail
// paths of the scanner; the rest of the image is zero, which the scanner passes over cheaply.
constexpr std::size_t kChunk = 65536;
constexpr std::size_t kSecondCopy = kChunk - 512;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ostrum::catalog;
    std::vector<std::uint8_t> bytes(kSecondCopy + std::max<std::size_t>(size, 1024), 0);
    if (size > 0) {
        std::memcpy(bytes.data(), data, std::min(size, kSecondCopy));
        std::memcpy(bytes.data() + kSecondCopy, data, size);
    }
    for (bool deep : {false, true}) {
        Catalog catalog(std::make_shared<ExtensionFileInfo>());
        CatalogSink sink;
        std::atomic<bool> active{true};
        ImageScanSummary summary;
        const ImageScanOptions options{.deep = deep};
        if (ScanImageFile(ostrum::common::MemoryImage(bytes), catalog, sink, active, &summary, options) != 1)
            __builtin_trap();
        if (summary.readErrors != 0) __builtin_trap();  // memory never fails to read
        // Every row the scan made must satisfy the catalog's own promises.
        for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
            const auto& row = catalog.row(i);
            if (!row.path().starts_with(kMediaRootPrefix)) __builtin_trap();
            if (row.dataOffset() && *row.dataOffset() > bytes.size() + kChunk + 2048) __builtin_trap();
        }
    }
    return 0;
}
