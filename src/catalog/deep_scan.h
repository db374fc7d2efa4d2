#pragma once
// The deep scan of an image: block headers found at any byte offset, for media whose blocks have left
// the 512-byte grid (an image cut or shifted by a few bytes, junk bytes inside it).

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "byte_reader.h"
#include "catalog.h"
#include "image_scanner.h"

namespace ostrum::catalog {

// True when the word (a slot's first four bytes read little-endian) is the tag of a descriptor block,
// TAPE to ESPB: the blocks that begin with a common block header and its checksum.
bool IsDescriptorBlockTag(std::uint32_t word);

// True when the common block header at `offset` is whole in `bytes` and its Header Checksum is the XOR
// of the 25 words before it.
bool BlockHeaderChecksumHolds(ByteSpan bytes, std::size_t offset);

// Bit j set when bytes[j] is an upper-case ASCII letter, for j < 64 and j < count.
std::uint64_t UpperCaseMask(const std::uint8_t* bytes, std::size_t count);

// Calls visit(p), in increasing order, for every p < end at which four upper-case letters begin (every
// block tag does); the bytes after `end` still count as the letters that follow. Stops when visit
// returns false, and then returns false.
template <typename Visit>
bool ForEachTagCandidate(ByteSpan bytes, std::size_t end, Visit&& visit) {
    constexpr std::size_t kBlock = 64;
    std::uint64_t current = UpperCaseMask(bytes.data(), bytes.size());
    for (std::size_t block = 0; block < end; block += kBlock) {
        const std::size_t next = block + kBlock;
        const std::uint64_t following =
            next < bytes.size() ? UpperCaseMask(bytes.data() + next, bytes.size() - next) : 0;
        std::uint64_t candidates = current & ((current >> 1) | (following << 63)) &
                                   ((current >> 2) | (following << 62)) & ((current >> 3) | (following << 61));
        if (end - block < kBlock) candidates &= (std::uint64_t{1} << (end - block)) - 1;
        for (; candidates != 0; candidates &= candidates - 1) {
            if (!visit(block + static_cast<std::size_t>(__builtin_ctzll(candidates)))) return false;
        }
        current = following;
    }
    return true;
}

// The deep scan behind ScanImageFile with ImageScanOptions::deep: chunks, progress, stopping and read
// failures as the normal scan has them.
int DeepScanImage(const ImageSource& image, Catalog& catalog, CatalogSink& sink,
                  const std::atomic<bool>& scanActive, ImageScanSummary& summary);

}  // namespace ostrum::catalog
