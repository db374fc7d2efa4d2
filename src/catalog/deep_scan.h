// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The deep scan of an image: block headers found at any byte offset, for media whose blocks have left
// the 512-byte grid (an image cut or shifted by a few bytes, junk bytes inside it).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "catalog/byte_reader.h"
#include "catalog/catalog.h"
#include "catalog/image_scanner.h"

namespace ostrum::catalog {

// masks[k] bit j set when four upper-case ASCII letters begin at bytes[64k + j] (as every block tag
// does); masks past the bytes are zero. `masks` holds at least (bytes.size() + 63) / 64 + 1 words.
void TagCandidateMasks(ByteSpan bytes, std::span<std::uint64_t> masks);

// Calls visit(p), in increasing order, for every p < end at which four upper-case letters begin; the bytes
// after `end` still count as the letters that follow. Stops when visit returns false, and then returns
// false. `masks` is scratch space, kept by the caller between calls.
template <typename Visit>
bool ForEachTagCandidate(ByteSpan bytes, std::size_t end, std::vector<std::uint64_t>& masks, Visit&& visit) {
    constexpr std::size_t kBlock = 64;
    masks.assign((bytes.size() + kBlock - 1) / kBlock + 1, 0);
    TagCandidateMasks(bytes, masks);
    for (std::size_t k = 0, block = 0; block < end; ++k, block += kBlock) {
        std::uint64_t candidates = masks[k];
        if (candidates == 0) continue;
        if (end - block < kBlock) candidates &= (std::uint64_t{1} << (end - block)) - 1;
        for (; candidates != 0; candidates &= candidates - 1) {
            if (!visit(block + static_cast<std::size_t>(__builtin_ctzll(candidates)))) return false;
        }
    }
    return true;
}

// The deep scan behind ScanImageFile with ImageScanOptions::deep, into the context's catalog: chunks,
// progress, stopping, read failures and the bytes examined as the normal scan has them.
int DeepScanImage(const common::ImageSource& image, ScanContext& context, CatalogSink& sink,
                  const std::atomic<bool>& scanActive, ImageScanSummary& summary);

}  // namespace ostrum::catalog
