// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/deep_scan.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "catalog/block_tags.h"
#include "catalog/image_reads.h"
#include "catalog/mtf_layout.h"
#include "catalog/scan_context.h"
#include "common/saturating.h"

namespace ostrum::catalog {
namespace {

using mtf::kChunkSize;
using mtf::kSlotSize;

// The bytes read past each chunk, so that a block beginning anywhere in the chunk has its slot (and so
// its header and names) whole in one view; blocks are at most 1,024 bytes long.
constexpr std::size_t kLookahead = 1024;

// The image's bytes from one chunk's start on: the chunk and the lookahead after it. The lookahead read
// with one chunk is kept as the beginning of the next, so that every byte is read once. After a read
// that fails, nothing more is read until the next chunk boundary past the failure, as the normal scan
// skips an unreadable chunk.
class DeepWindow {
  public:
    DeepWindow(const common::ImageSource& image, std::uint64_t size, ImageScanSummary& summary)
        : image_(image), size_(size), summary_(summary), buffer_(kChunkSize + kLookahead) {}

    // The bytes from `start` on; each call's start is the previous one plus a chunk.
    ByteSpan Next(std::uint64_t start) {
        valid_ = valid_ > kChunkSize && start == start_ + kChunkSize ? valid_ - kChunkSize : 0;
        if (valid_ > 0) std::memmove(buffer_.data(), buffer_.data() + kChunkSize, valid_);
        start_ = start;
        if (start >= resumeAt_) Fill();
        return ByteSpan(buffer_.data(), valid_);
    }

  private:
    void Fill() {
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), size_ - start_));
        if (valid_ >= wanted) return;
        const auto into = std::span(buffer_).subspan(valid_, wanted - valid_);
        const std::size_t got = ReadChunk(image_, start_ + valid_, into, summary_).size();
        valid_ += got;
        if (got < into.size()) {
            const std::uint64_t failedAt = start_ + valid_;
            resumeAt_ = (failedAt / kChunkSize + 1) * kChunkSize;
        }
    }

    const common::ImageSource& image_;
    std::uint64_t size_;
    ImageScanSummary& summary_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t start_ = 0;
    std::size_t valid_ = 0;       // bytes of buffer_ that hold the image from start_ on
    std::uint64_t resumeAt_ = 0;  // the first chunk start that may be read again after a failure
};

// Examines the chunk's positions below `end`. Every position where four upper-case letters begin is a
// candidate, which the slots that the normal scan acts on are too (their tags are such letters). A
// candidate that holds a descriptor block's tag is examined as a slot when it lies on the image's own
// grid or on the current one, or when its header checksum holds, which also moves the current grid
// there. Returns false when the scan was stopped.
bool ExamineDeep(ScanContext& context, const ChunkView& chunk, std::size_t end, std::uint64_t& grid,
                 std::vector<std::uint64_t>& masks, const std::atomic<bool>& scanActive) {
    const ByteSpan bytes = chunk.bytes();
    return ForEachTagCandidate(bytes, end, masks, [&](std::size_t at) {
        if (!scanActive.load(std::memory_order_relaxed)) return false;
        if (!IsDescriptorBlockTag(*ReadLE32(bytes, at))) return true;
        const std::uint64_t phase = (chunk.position() + at) % kSlotSize;
        if (BlockHeaderChecksumHolds(bytes, at)) {
            grid = phase;
        } else if (phase != 0 && phase != grid) {
            return true;
        }
        ExamineSlot(context, chunk, at);
        return true;
    });
}

}  // namespace

namespace {

// The upper-case mask of one whole 64-byte block, or of the `count` bytes there are.
std::uint64_t BlockMask(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t mask = 0;
#if defined(__SSE2__)
    if (count >= 64) {
        // 'A'..'Z' moved to -128..-103 as signed bytes; every other byte lands above.
        const __m128i shift = _mm_set1_epi8(static_cast<char>(0x80 - 'A'));
        const __m128i limit = _mm_set1_epi8(static_cast<char>(-128 + 26));
        for (int part = 0; part < 4; ++part) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
            const __m128i upper = _mm_cmplt_epi8(_mm_add_epi8(v, shift), limit);
            mask |= std::uint64_t{static_cast<std::uint32_t>(_mm_movemask_epi8(upper))} << (16 * part);
        }
        return mask;
    }
#endif
    const std::size_t n = std::min<std::size_t>(count, 64);
    for (std::size_t j = 0; j < n; ++j) {
        mask |= std::uint64_t{bytes[j] >= 'A' && bytes[j] <= 'Z'} << j;
    }
    return mask;
}

#if defined(__x86_64__)
// The same, 32 bytes at a time, on processors that have AVX2; whole blocks only.
__attribute__((target("avx2"))) void WholeBlockMasksAvx2(const std::uint8_t* bytes, std::size_t blocks,
                                                         std::uint64_t* masks) {
    const __m256i shift = _mm256_set1_epi8(static_cast<char>(0x80 - 'A'));
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(-128 + 26));
    for (std::size_t k = 0; k < blocks; ++k) {
        const auto* at = reinterpret_cast<const __m256i*>(bytes + 64 * k);
        const __m256i low = _mm256_add_epi8(_mm256_loadu_si256(at), shift);
        const __m256i high = _mm256_add_epi8(_mm256_loadu_si256(at + 1), shift);
        const auto lowBits = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(limit, low)));
        const auto highBits =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(limit, high)));
        masks[k] = lowBits | (std::uint64_t{highBits} << 32);
    }
}

// Turns the upper-case masks of words [0, count) into candidate masks, four words at a time; returns how
// many it did. Each word needs the one after it, which is read before it is changed.
__attribute__((target("avx2"))) std::size_t CandidatesAvx2(std::uint64_t* masks, std::size_t count) {
    std::size_t k = 0;
    for (; k + 4 < count; k += 4) {
        const __m256i current = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(masks + k));
        const __m256i following = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(masks + k + 1));
        __m256i candidates = current;
        candidates = _mm256_and_si256(
            candidates, _mm256_or_si256(_mm256_srli_epi64(current, 1), _mm256_slli_epi64(following, 63)));
        candidates = _mm256_and_si256(
            candidates, _mm256_or_si256(_mm256_srli_epi64(current, 2), _mm256_slli_epi64(following, 62)));
        candidates = _mm256_and_si256(
            candidates, _mm256_or_si256(_mm256_srli_epi64(current, 3), _mm256_slli_epi64(following, 61)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(masks + k), candidates);
    }
    return k;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// The upper-case masks of the bytes, into masks[0, (size + 63) / 64).
void UpperCaseMasks(ByteSpan bytes, std::span<std::uint64_t> masks) {
    const std::size_t whole = bytes.size() / 64;
    std::size_t k = 0;
#if defined(__x86_64__)
    if (HasAvx2()) {
        WholeBlockMasksAvx2(bytes.data(), whole, masks.data());
        k = whole;
    }
#endif
    for (; k * 64 < bytes.size(); ++k) masks[k] = BlockMask(bytes.data() + 64 * k, bytes.size() - 64 * k);
}

}  // namespace

void TagCandidateMasks(ByteSpan bytes, std::span<std::uint64_t> masks) {
    UpperCaseMasks(bytes, masks);
    const std::size_t count = (bytes.size() + 63) / 64;  // masks[count] stays zero: nothing follows
    std::size_t k = 0;
#if defined(__x86_64__)
    if (HasAvx2()) k = CandidatesAvx2(masks.data(), count);
#endif
    for (; k < count; ++k) {
        const std::uint64_t current = masks[k];
        const std::uint64_t following = masks[k + 1];
        masks[k] = current & ((current >> 1) | (following << 63)) & ((current >> 2) | (following << 62)) &
                   ((current >> 3) | (following << 61));
    }
}

int DeepScanImage(const common::ImageSource& image, ScanContext& context, CatalogSink& sink,
                  const std::atomic<bool>& scanActive, ImageScanSummary& summary) {
    const std::uint64_t size = image.Size().value_or(0);
    sink.StatusLine("Serching Files");
    DeepWindow window(image, size, summary);
    std::uint64_t grid = 0;  // where, modulo 512, the last block header whose checksum holds began
    std::vector<std::uint64_t> masks;
    std::uint64_t reach = 0;  // the end of the bytes delivered so far: each counts once as examined
    if (size < kSlotSize) summary.found.bytesExamined = size;  // too short to hold a block
    for (std::uint64_t start = 0; size >= kSlotSize && start <= size - kSlotSize; start += kChunkSize) {
        if (!scanActive.load(std::memory_order_relaxed)) return 0;
        const ByteSpan bytes = window.Next(start);
        if (start + bytes.size() > reach) {
            summary.found.bytesExamined += start + bytes.size() - std::max(reach, start);
            reach = start + bytes.size();
        }
        ImageFollowing following(image, start + bytes.size());
        const ChunkView chunk(bytes, start, std::nullopt, &following);
        const std::size_t end = std::min(kChunkSize, bytes.size());
        AdvanceFrameWalk(context, chunk);
        if (!ExamineDeep(context, chunk, end, grid, masks, scanActive)) return 0;
        const std::uint64_t done = std::min(start + kChunkSize, size);
        sink.Progress(common::PercentOf(done, size));
        sink.PositionLine(PositionText(done, size));
    }
    return 1;
}

}  // namespace ostrum::catalog
