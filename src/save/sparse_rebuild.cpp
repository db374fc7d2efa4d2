// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/sparse_rebuild.h"

#include <algorithm>
#include <cstring>

#include "catalog/block_tags.h"
#include "catalog/byte_reader.h"
#include "catalog/scan_context.h"

namespace ostrum::save {

namespace mtf = catalog::mtf;
namespace stream_hdr = catalog::mtf::stream_hdr;
using catalog::ByteSpan;

SparseRebuild::SparseRebuild(std::uint64_t stanLength) : runLength_(stanLength), end_(stanLength) {
    if (runLength_ == 0) EndRun();
}

std::uint64_t SparseRebuild::wanted() const {
    switch (stage_) {
        case Stage::Run:
            return runLength_ - runDone_;
        case Stage::Pad:
            return padLeft_;
        case Stage::Header:
        case Stage::Frame:
            return gatherWanted_ - gatheredHave_;
        case Stage::Done:
        case Stage::Failed:
            break;
    }
    return 0;
}

SparseRebuild::Status SparseRebuild::Take(ByteSpan bytes, const RunOutput& output) {
    while (!bytes.empty()) {
        Status status = Status::More;
        switch (stage_) {
            case Stage::Run:
                status = TakeRun(bytes, output);
                break;
            case Stage::Pad: {
                const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), padLeft_));
                padLeft_ -= count;
                consumed_ += count;
                bytes = bytes.subspan(count);
                if (padLeft_ == 0) StartHeader();
                break;
            }
            case Stage::Header:
            case Stage::Frame: {
                const std::size_t count = std::min(bytes.size(), gatherWanted_ - gatheredHave_);
                std::memcpy(gathered_.data() + gatheredHave_, bytes.data(), count);
                gatheredHave_ += count;
                consumed_ += count;
                bytes = bytes.subspan(count);
                if (gatheredHave_ < gatherWanted_) break;
                status = stage_ == Stage::Header ? HeaderTaken() : FrameTaken(output);
                break;
            }
            case Stage::Done:
                return Status::Done;
            case Stage::Failed:
                return Status::Damaged;
        }
        if (status != Status::More) return status;
    }
    return stage_ == Stage::Done ? Status::Done : Status::More;
}

std::optional<std::uint64_t> SparseRebuild::runPlace() const {
    if (stage_ != Stage::Run) return std::nullopt;
    return runOffset_ + runDone_;
}

void SparseRebuild::PassRun(std::uint64_t count) {
    if (stage_ != Stage::Run) return;
    count = std::min(count, runLength_ - runDone_);
    runDone_ += count;
    dataTaken_ += count;
    consumed_ += count;
    if (runDone_ == runLength_) EndRun();
}

SparseRebuild::Status SparseRebuild::TakeRun(ByteSpan& bytes, const RunOutput& output) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), runLength_ - runDone_));
    if (!output(runOffset_ + runDone_, bytes.first(count))) {
        stage_ = Stage::Failed;
        return Status::OutputFailed;
    }
    runDone_ += count;
    dataTaken_ += count;
    consumed_ += count;
    bytes = bytes.subspan(count);
    if (runDone_ == runLength_) EndRun();
    return Status::More;
}

// Streams start on 4-byte boundaries; the STAN header does, so counting from it is enough.
void SparseRebuild::EndRun() {
    padLeft_ = (stream_hdr::kAlignment - consumed_ % stream_hdr::kAlignment) % stream_hdr::kAlignment;
    stage_ = Stage::Pad;
    if (padLeft_ == 0) StartHeader();
}

void SparseRebuild::StartHeader() {
    stage_ = Stage::Header;
    gatheredHave_ = 0;
    gatherWanted_ = stream_hdr::kSize;
}

SparseRebuild::Status SparseRebuild::HeaderTaken() {
    const ByteSpan header = ByteSpan(gathered_).first(stream_hdr::kSize);
    // An EOTM here is the end of the medium, not of the runs: the rest of the file is on the next medium.
    if (catalog::HasTagAt(header, stream_hdr::kStreamId, catalog::BlockTagTable[catalog::kTagEOTM])) {
        return Fail(
            "the end of the medium cuts its sparse runs, whose rest this program does not follow onto the "
            "next medium");
    }
    // Any other stream (a CSUM, the SPAD, the next block) ends the runs.
    if (!catalog::HasTagAt(header, stream_hdr::kStreamId, catalog::kSparseStreamTag)) {
        stage_ = Stage::Done;
        return Status::Done;
    }
    if (!catalog::StreamHeaderChecksumHolds(header))
        return Fail("damaged SPAR stream header after the run ending at byte " + std::to_string(end_));
    const std::uint16_t attributes = *catalog::ReadLE16(header, stream_hdr::kMediaFormatAttributes);
    if ((attributes & (mtf::kMediaFormatCompressed | mtf::kMediaFormatEncrypted)) != 0)
        return Fail("a SPAR stream is compressed or encrypted, which this program cannot rebuild");
    streamLength_ = *catalog::ReadLE64(header, stream_hdr::kStreamLength);
    if (streamLength_ < mtf::sparse_frame::kOffsetOnlySize)
        return Fail("a SPAR stream of " + std::to_string(streamLength_) + " bytes has no room for its frame");
    stage_ = Stage::Frame;
    gatherWanted_ = stream_hdr::kSize + static_cast<std::size_t>(
                                            std::min<std::uint64_t>(streamLength_, mtf::sparse_frame::kSize));
    return Status::More;
}

SparseRebuild::Status SparseRebuild::FrameTaken(const RunOutput& output) {
    const ByteSpan frame = ByteSpan(gathered_).subspan(stream_hdr::kSize, gatherWanted_ - stream_hdr::kSize);
    const auto run = catalog::ReadSparseFrame(frame, streamLength_);
    if (!run) {
        return Fail("a SPAR stream's run (at byte " + std::to_string(*catalog::ReadLE64(frame, 0)) +
                    ") lies beyond any file believed");
    }
    end_ = std::max(end_, run->offset + run->length);
    stage_ = Stage::Run;
    runOffset_ = run->offset;
    runLength_ = run->length;
    runDone_ = 0;
    // With the offset-only framing the bytes gathered after the offset are already the run's first.
    ByteSpan first = frame.subspan(static_cast<std::size_t>(run->frameSize));
    if (first.empty()) {
        if (runLength_ == 0) EndRun();
        return Status::More;
    }
    consumed_ -= first.size();  // counted once when gathered, again when taken
    return TakeRun(first, output);
}

SparseRebuild::Status SparseRebuild::Fail(const std::string& why) {
    stage_ = Stage::Failed;
    error_ = why;
    return Status::Damaged;
}

}  // namespace ostrum::save
