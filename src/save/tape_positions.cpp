// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/tape_positions.h"

#include <limits>

#include "catalog/mtf_layout.h"
#include "tape/read_failures.h"

namespace ostrum::save {

namespace stream_hdr = catalog::mtf::stream_hdr;

std::optional<std::string> TapeSourceProblem(const SaveRequest& request) {
    if (request.tapeDevices == nullptr) return "no tape devices to open '" + request.sourcePath + "'";
    if (!request.laterSources.empty()) return std::string(kOneTapeAtATime);
    return std::nullopt;
}

std::optional<std::string> NotOnTapeReason(const SaveItem& item) {
    if (!item.dataOffset) return "the scan found no data stream for it";
    if (!item.chunkIndex) return "the scan gave it no ChunkIndex, which a tape needs";
    return std::nullopt;
}

std::optional<std::uint64_t> HeaderOffsetInPass(const SaveItem& item, const tape::TapePass& pass) {
    if (item.dataOffsetInChunk) {
        if (*item.dataOffsetInChunk < stream_hdr::kSize) return std::nullopt;
        return *item.dataOffsetInChunk - stream_hdr::kSize;
    }
    if (*item.dataOffset < pass.deliveredTotal + stream_hdr::kSize) return std::nullopt;
    return *item.dataOffset - stream_hdr::kSize - pass.deliveredTotal;
}

std::optional<std::uint64_t> HeaderOnTape(const SaveItem& item, const tape::TapePass& pass,
                                          std::string& why) {
    if (pass.read.end == tape::ReadEnd::Error) {
        why = "read " + std::to_string(pass.chunkIndex) + " of the tape, where the scan found it, failed (" +
              pass.read.error + ")";
        return std::nullopt;
    }
    const auto offset = HeaderOffsetInPass(item, pass);
    if (!offset) {
        why = "its data position " + std::to_string(*item.dataOffset) + " lies before read " +
              std::to_string(pass.chunkIndex) + " of the tape, where it was catalogued";
        return std::nullopt;
    }
    return pass.deliveredTotal - pass.bytes.size() + *offset;
}

std::vector<TapePiece> PiecesOnTape(const SaveItem& item, std::uint64_t headerAt) {
    if (item.parts.empty()) return {{headerAt, std::numeric_limits<std::uint64_t>::max()}};
    const std::uint64_t scanned = *item.dataOffset - stream_hdr::kSize;
    std::vector<TapePiece> pieces;
    for (const catalog::DataPart& part : item.parts) {
        // Unsigned arithmetic wraps back right for a piece before `scanned` (the header of a file whose
        // beginning is missing lies before its data).
        const std::uint64_t start = headerAt + (part.offset - scanned);
        pieces.push_back({start, start + part.length});
    }
    return pieces;
}

std::string TapeEndText(tape::TapePassReader::End end, std::uint64_t passes,
                        const std::string& lastReadError) {
    switch (end) {
        case tape::TapePassReader::End::EndOfData:
            return "the tape's recorded data end after read " + std::to_string(passes);
        case tape::TapePassReader::End::GaveUp:
            return "the tape gave " + std::to_string(tape::kMaxConsecutiveReadFailures) +
                   " failed reads in a row (last: " + lastReadError + ")";
        default:
            return "the tape reading stopped";
    }
}

}  // namespace ostrum::save
