// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/file_preview.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "catalog/image_scanner.h"
#include "catalog/mtf_layout.h"
#include "decode/compressed_stream.h"
#include "save/file_extraction.h"
#include "save/media_pieces.h"
#include "save/sparse_rebuild.h"
#include "save/tape_positions.h"
#include "tape/tape_operations.h"

namespace ostrum::save {
namespace {

namespace stream_hdr = catalog::mtf::stream_hdr;
using catalog::ByteSpan;

// Takes a file's medium bytes from its stream header on, as FileExtraction does, and keeps the first
// `limit` bytes of what a save would write.
class PreviewReader {
  public:
    PreviewReader(const SaveItem& item, std::size_t limit, FilePreview& preview)
        : item_(item), limit_(limit), preview_(preview) {
        if (item.headMissing)
            problems_.push_back("its beginning is on " + item.missingMedium + ", which was not read");
    }

    bool done() const { return stage_ == Stage::Done; }

    // Medium bytes it wants read next; 0 while it wants bytes passed over (passable()).
    std::uint64_t wanted() const {
        switch (stage_) {
            case Stage::Header:
                return stream_hdr::kSize - headerHave_;
            case Stage::Data:
                if (sparse_) {
                    const auto place = sparse_->runPlace();
                    if (!place) return sparse_->wanted();
                    return *place >= limit_ ? 0 : std::min<std::uint64_t>(sparse_->wanted(), limit_ - *place);
                }
                return (decoder_ ? stream_.length : PlainEnd()) - taken_;
            case Stage::Trailer:
                return trailer_->wanted();
            case Stage::Done:
                break;
        }
        return 0;
    }
    // Bytes after those wanted that it will want too: with the header, the data a plain file shows and what
    // follows them; with data shown whole, the stream header after them and a CSUM's value.
    std::uint64_t readAhead() const {
        if (stage_ == Stage::Header)
            return std::min<std::uint64_t>(limit_, item_.size.value_or(limit_)) + kMostTrailer;
        if (stage_ == Stage::Data && !decoder_ && !sparse_ && stream_.length <= limit_)
            return NextStreamHeaderDistance(stream_.length) - stream_.length + kChecksumLength;
        return 0;
    }
    // Run bytes of a sparse file that lie past the bytes shown: passed over, never read.
    std::uint64_t passable() const {
        if (stage_ != Stage::Data || !sparse_) return 0;
        const auto place = sparse_->runPlace();
        return place && *place >= limit_ ? sparse_->wanted() : 0;
    }
    void Pass(std::uint64_t count) {
        sparse_->PassRun(count);
        taken_ = sparse_->dataTaken();
    }

    void Take(ByteSpan bytes);
    // The medium bytes the scan says are missing before `part` (on media not read) are skipped.
    void SkipGapBefore(const catalog::DataPart& part);
    void SourceEnded(const std::string& why);
    // The file is not to be had at all, for `why`.
    void Fail(const std::string& why) { End(why); }
    // The reading is over: the bytes get their size and the problems met are told.
    void Finish();

  private:
    enum class Stage : std::uint8_t { Header, Data, Trailer, Done };

    // Where the bytes of a file taken as it lies end: the limit, or the end of its data.
    std::uint64_t PlainEnd() const { return std::min<std::uint64_t>(stream_.length, limit_); }
    void Begin();
    ByteSpan TakeData(ByteSpan bytes);
    ByteSpan TakePlain(ByteSpan bytes);
    ByteSpan TakeCompressed(ByteSpan bytes);
    void TakeSparse(ByteSpan bytes);
    void DataWhole();
    void TakeTrailer(ByteSpan bytes);
    void SkipMissing(std::uint64_t count, const std::string& why);
    void Complete();
    void End(const std::string& problem = {});
    void Append(ByteSpan bytes);

    const SaveItem& item_;
    const std::size_t limit_;
    FilePreview& preview_;
    Stage stage_ = Stage::Header;
    std::array<std::uint8_t, stream_hdr::kSize> header_{};
    std::size_t headerHave_ = 0;
    StanStream stream_;
    std::uint64_t taken_ = 0;  // medium bytes of the data taken (and passed over)
    StreamChecksum checksum_;
    std::optional<decode::CompressedStreamDecoder> decoder_;
    bool decodedPast_ = false;  // the frames decoded gave more than the limit
    bool holes_ = false;        // data on media not read were left as zeros
    std::optional<SparseRebuild> sparse_;
    bool runsWhole_ = false;  // a sparse file's runs ended as they should
    std::optional<StreamTrailer> trailer_;
    std::vector<std::string> problems_;  // in the order met
    std::size_t gaps_ = 0;               // gaps skipped, each named by the item's missingBetween in turn
};

void PreviewReader::Take(ByteSpan bytes) {
    if (stage_ == Stage::Header && Gather(header_, headerHave_, bytes)) Begin();
    if (stage_ == Stage::Data && !bytes.empty()) bytes = TakeData(bytes);
    if (stage_ == Stage::Trailer && !bytes.empty()) TakeTrailer(bytes);
}

void PreviewReader::Begin() {
    stream_ = ReadStanStream(ByteSpan(header_), *item_.dataOffset - stream_hdr::kSize);
    if (!stream_.problem.empty()) return End(stream_.problem);
    preview_.note = stream_.notDecoded;
    stage_ = Stage::Data;
    if (stream_.sparse) {
        preview_.bytes.assign(limit_, 0);
        sparse_.emplace(stream_.length);
    } else if (stream_.lzs) {
        decoder_.emplace();
    } else {
        preview_.bytes.reserve(static_cast<std::size_t>(PlainEnd()));
        if (stream_.length == 0) {
            DataWhole();
        } else if (PlainEnd() == 0) {
            End();
        }
    }
}

ByteSpan PreviewReader::TakeData(ByteSpan bytes) {
    if (sparse_) {
        TakeSparse(bytes);
        return {};
    }
    return decoder_ ? TakeCompressed(bytes) : TakePlain(bytes);
}

ByteSpan PreviewReader::TakePlain(ByteSpan bytes) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), PlainEnd() - taken_));
    Append(bytes.first(count));
    checksum_.Add(bytes.first(count));
    taken_ += count;
    if (taken_ == stream_.length) {
        DataWhole();
    } else if (taken_ == PlainEnd()) {
        End();
    }
    return bytes.subspan(count);
}

ByteSpan PreviewReader::TakeCompressed(ByteSpan bytes) {
    const auto count =
        static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), stream_.length - taken_));
    const auto status = decoder_->Take(bytes.first(count), [this](ByteSpan decoded) {
        Append(decoded);
        return true;
    });
    checksum_.Add(bytes.first(count));
    taken_ += count;
    if (status != decode::CompressedStreamDecoder::Status::Ok) {
        End(decoder_->error());
    } else if (taken_ == stream_.length) {
        DataWhole();
    } else if (preview_.bytes.size() == limit_) {
        End();  // enough decoded: the frames after are not read
    }
    return bytes.subspan(count);
}

void PreviewReader::TakeSparse(ByteSpan bytes) {
    const auto status = sparse_->Take(bytes, [this](std::uint64_t offset, ByteSpan run) {
        if (offset < limit_) {
            const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(run.size(), limit_ - offset));
            std::memcpy(preview_.bytes.data() + offset, run.data(), count);
        }
        return true;
    });
    taken_ = sparse_->dataTaken();
    runsWhole_ = status == SparseRebuild::Status::Done;
    if (runsWhole_) return Complete();
    if (status != SparseRebuild::Status::More) End(sparse_->error());
}

// All the stream's data are taken: with no hole among them, a CSUM stream after them is checked.
void PreviewReader::DataWhole() {
    if (holes_) return Complete();  // a CSUM over data with a hole could only fail
    stage_ = Stage::Trailer;
    trailer_.emplace(stream_.length);
}

void PreviewReader::TakeTrailer(ByteSpan bytes) {
    const StreamTrailer::Verdict verdict = trailer_->Take(bytes, checksum_.value());
    if (verdict == StreamTrailer::Verdict::More) return;
    if (verdict == StreamTrailer::Verdict::Fails)
        problems_.push_back(ChecksumMismatchText(trailer_->recorded(), checksum_.value()));
    Complete();
}

void PreviewReader::Complete() {
    if (decoder_ && decoder_->Finish() != decode::CompressedStreamDecoder::Status::Ok)
        return End(decoder_->error());
    End();
}

void PreviewReader::End(const std::string& problem) {
    if (!problem.empty()) problems_.push_back(problem);
    stage_ = Stage::Done;
}

void PreviewReader::Append(ByteSpan bytes) {
    const std::size_t room = limit_ - preview_.bytes.size();
    if (bytes.size() > room) decodedPast_ = true;
    preview_.bytes.insert(preview_.bytes.end(), bytes.begin(), bytes.begin() + std::min(room, bytes.size()));
}

void PreviewReader::SkipGapBefore(const catalog::DataPart& part) {
    if (part.missingBefore == 0) return;
    const bool named = gaps_ < item_.missingBetween.size();
    SkipMissing(part.missingBefore, named ? item_.missingBetween[gaps_++] : MissingRestText(item_));
}

void PreviewReader::SkipMissing(std::uint64_t count, const std::string& why) {
    if (stage_ != Stage::Data) return;
    if (decoder_ || sparse_ || count > stream_.length - taken_) return SourceEnded(why);
    // The save leaves a hole there; it reads as zeros.
    const std::uint64_t shown = std::min(count, PlainEnd() - taken_);
    preview_.bytes.resize(preview_.bytes.size() + static_cast<std::size_t>(shown));
    problems_.push_back(why);
    holes_ = true;
    taken_ += count;
    if (taken_ == stream_.length) {
        Complete();
    } else if (taken_ >= PlainEnd()) {
        End();
    }
}

void PreviewReader::SourceEnded(const std::string& why) {
    switch (stage_) {
        case Stage::Header:
            return End("not found: " + why + ", inside its stream header");
        case Stage::Data:
            // What the frame the medium ended in decodes to belongs to the part recovered.
            if (decoder_)
                decoder_->DecodeCutFrame([this](ByteSpan decoded) {
                    Append(decoded);
                    return true;
                });
            return End(DataCutText(why, taken_, stream_.length, sparse_.has_value()));
        case Stage::Trailer:
            return Complete();  // the data are whole; what may follow them is not to be had
        case Stage::Done:
            break;
    }
}

void PreviewReader::Finish() {
    if (!stream_.problem.empty()) {
        preview_.longer = false;
    } else if (sparse_) {
        // The file is as long as its FILE block says, unless its runs reach further; when they broke off,
        // what is known of it ends with the furthest run, as the part a save keeps does.
        const std::uint64_t size = std::max(item_.size.value_or(0), sparse_->end());
        const std::uint64_t known = runsWhole_ ? size : sparse_->end();
        preview_.bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(known, limit_)));
        preview_.longer = size > preview_.bytes.size();
    } else if (decoder_) {
        const std::uint64_t size = decoder_->announced().value_or(0);
        preview_.longer = decodedPast_ || size > preview_.bytes.size();
    } else {
        preview_.longer = stream_.length > preview_.bytes.size();
    }
    for (const std::string& problem : problems_)
        preview_.error += (preview_.error.empty() ? "" : "; ") + problem;
}

// Reads from one image the bytes the reader wants, at most `left` from `position` on.
void ReadFrom(const common::ImageFile& image, PreviewReader& reader, std::uint64_t position,
              std::uint64_t left, std::vector<std::uint8_t>& buffer) {
    while (!reader.done() && left > 0) {
        if (const std::uint64_t pass = std::min(reader.passable(), left); pass > 0) {
            reader.Pass(pass);
            position += pass;
            left -= pass;
            continue;
        }
        const auto want = static_cast<std::size_t>(
            std::min({reader.wanted() + reader.readAhead(), std::uint64_t{buffer.size()}, left}));
        if (want == 0) return;
        const std::size_t got = image.ReadAt(position, std::span(buffer).first(want));
        reader.Take(std::span(buffer).first(got));
        position += got;
        left -= got;
        if (got < want && !reader.done()) reader.SourceEnded(ShortReadReason(image, position));
    }
}

// Reads a file's preview from a tape as the tape save reads it: pass after pass from the tape's start until
// the pass of its ChunkIndex places its stream header, then the bytes of its pieces that the reader wants.
// The reading stops with the pass that makes the reader done.
class TapePreviewRead {
  public:
    TapePreviewRead(const SaveItem& item, PreviewReader& reader) : item_(item), reader_(reader) {}

    // False when it was cancelled.
    bool Run(const SaveRequest& request, const std::atomic<bool>& cancel, const TapeReadProgress& progress);

  private:
    void Place(const tape::TapePass& pass);
    void Feed(const tape::TapePass& pass);
    bool Enter(std::size_t piece);

    const SaveItem& item_;
    PreviewReader& reader_;
    std::vector<TapePiece> pieces_;  // none until its header is placed
    std::size_t piece_ = 0;
    std::uint64_t next_ = 0;  // the delivered byte the reader gets next
    bool begun_ = false;      // the reader has been given bytes
};

bool TapePreviewRead::Run(const SaveRequest& request, const std::atomic<bool>& cancel,
                          const TapeReadProgress& progress) {
    tape::PreparedTape prepared;
    if (tape::TapeResult result =
            tape::PrepareTapeForReading(*request.tapeDevices, request.sourcePath, prepared);
        !result) {
        reader_.Fail(result.error());
        return true;
    }
    // The cancel flag is the reader's stop request, tested before every read.
    tape::TapePassReader passes(*prepared.drive, cancel);
    std::uint64_t count = 0;
    std::string lastReadError;
    while (!reader_.done()) {
        const auto pass = passes.Next();
        if (!pass) break;
        ++count;
        if (progress) progress(pass->shownPosition + pass->bytes.size());
        if (pass->read.end == tape::ReadEnd::Error) {
            lastReadError = pass->read.error;
            // The failed block's bytes are missing from a file it cut; a header still ahead is placed by
            // its own read.
            if (begun_) {
                reader_.SourceEnded("read " + std::to_string(pass->chunkIndex) + " of the tape failed (" +
                                    pass->read.error + ")");
                break;
            }
        }
        if (pieces_.empty() && pass->chunkIndex == *item_.chunkIndex) Place(*pass);
        if (!pieces_.empty()) Feed(*pass);
    }
    if (reader_.done()) return true;
    if (passes.end() == tape::TapePassReader::End::Stopped) {
        reader_.Fail("cancelled");
        return false;
    }
    const std::string why = TapeEndText(passes.end(), count, lastReadError);
    if (pieces_.empty()) {
        reader_.Fail("not found: " + why + ", before the read where it was catalogued");
    } else {
        reader_.SourceEnded(why);
    }
    return true;
}

void TapePreviewRead::Place(const tape::TapePass& pass) {
    std::string why;
    const auto headerAt = HeaderOnTape(item_, pass, why);
    if (!headerAt) return reader_.Fail("not found: " + why);
    pieces_ = PiecesOnTape(item_, *headerAt);
    Enter(0);
}

// Moves to the piece (false past the last, where the file is cut); the bytes missing before it are
// skipped.
bool TapePreviewRead::Enter(std::size_t piece) {
    piece_ = piece;
    if (piece_ == pieces_.size()) {
        reader_.SourceEnded(MissingRestText(item_));
        return false;
    }
    next_ = pieces_[piece_].start;
    if (piece_ < item_.parts.size()) reader_.SkipGapBefore(item_.parts[piece_]);
    return true;
}

void TapePreviewRead::Feed(const tape::TapePass& pass) {
    const std::uint64_t passStart = pass.deliveredTotal - pass.bytes.size();
    while (!reader_.done() && next_ < pass.deliveredTotal) {
        if (next_ >= pieces_[piece_].end) {
            if (!Enter(piece_ + 1)) return;
            continue;
        }
        if (next_ < passStart) {
            // Pieces out of order: what the reader wants was delivered by a read already gone.
            return reader_.SourceEnded("its data at delivered byte " + std::to_string(next_) +
                                       " lie before read " + std::to_string(pass.chunkIndex) +
                                       " of the tape");
        }
        const std::uint64_t room = std::min(pass.deliveredTotal, pieces_[piece_].end) - next_;
        if (const std::uint64_t passed = std::min(reader_.passable(), room); passed > 0) {
            reader_.Pass(passed);
            next_ += passed;
            begun_ = true;
            continue;
        }
        const std::uint64_t count = std::min(reader_.wanted(), room);
        if (count == 0) return reader_.SourceEnded(MissingRestText(item_));  // it wants nothing more here
        reader_.Take(
            pass.bytes.subspan(static_cast<std::size_t>(next_ - passStart), static_cast<std::size_t>(count)));
        next_ += count;
        begun_ = true;
    }
}

}  // namespace

FilePreview ReadPreview(const SaveItem& item, const SaveRequest& request, std::size_t count) {
    const std::atomic<bool> never{false};
    return ReadPreview(item, request, never, {}, count);
}

FilePreview ReadPreview(const SaveItem& item, const SaveRequest& request, const std::atomic<bool>& cancel,
                        const TapeReadProgress& progress, std::size_t count) {
    FilePreview preview;
    if (request.sourceIsTape) {
        if (auto problem = TapeSourceProblem(request)) {
            preview.error = *problem;
            return preview;
        }
    }
    auto reason = NoDataReason(item);
    if (!reason && request.sourceIsTape) reason = NotOnTapeReason(item);
    if (reason) {
        preview.error = "not found: " + *reason;
        return preview;
    }
    PreviewReader reader(item, count, preview);
    if (request.sourceIsTape) {
        preview.cancelled = !TapePreviewRead(item, reader).Run(request, cancel, progress);
        reader.Finish();
        return preview;
    }
    MediaImages images(request);
    // One read takes the header, the bytes shown and what follows them; a compressed file reads on in
    // pieces of this size until its frames have given enough.
    std::vector<std::uint8_t> buffer(count + stream_hdr::kSize + kMostTrailer);
    for (const catalog::DataPart& part : PiecesOf(item)) {
        reader.SkipGapBefore(part);
        if (reader.done()) break;
        std::string error;
        const common::ImageFile* image = images.Open(part.medium, error);
        if (image == nullptr) {
            reader.SourceEnded(error);
            break;
        }
        ReadFrom(*image, reader, part.offset, part.length, buffer);
        if (reader.done()) break;
    }
    if (!reader.done()) reader.SourceEnded(MissingRestText(item));
    reader.Finish();
    return preview;
}

}  // namespace ostrum::save
