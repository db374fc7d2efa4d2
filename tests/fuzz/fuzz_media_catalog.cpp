// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the parsers of the medium's own catalog: the input's first byte picks the TFDD (file and folder
// detail) or the TSMP (set map) parser, the rest is the stream's data.

#include <cstddef>
#include <cstdint>
#include <span>

#include "catalog/catalog.h"
#include "catalog/media_catalog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ostrum::catalog;
    if (size == 0) return 0;
    const std::span<const std::uint8_t> stream(data + 1, size - 1);
    if (data[0] & 1) {
        const SetMap map = ParseSetMap(stream);
        // An entry takes at least its fixed part of the stream.
        if (map.entries.size() > stream.size() / 91) __builtin_trap();
    } else {
        const Fdd fdd = ParseFdd(stream);
        // A record takes at least its 36-byte common part; a detail without its end says why.
        if (fdd.records.size() > stream.size() / 36) __builtin_trap();
        if (!fdd.ended && fdd.problem.empty()) __builtin_trap();
        std::size_t unusable = 0;
        for (const CataloguedFile& file : FilesOf(fdd, "BACKUP SET 1()", unusable)) {
            if (!file.path.starts_with(kMediaRootPrefix)) __builtin_trap();
        }
    }
    return 0;
}
