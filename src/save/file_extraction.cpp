// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/file_extraction.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "catalog/block_tags.h"
#include "catalog/byte_reader.h"
#include "catalog/scan_context.h"
#include "common/hex_text.h"
#include "save/save_path.h"

namespace ostrum::save {

namespace stream_hdr = catalog::mtf::stream_hdr;
using catalog::ByteSpan;

namespace {

constexpr std::array<char, 4> kChecksumStreamId = {'C', 'S', 'U', 'M'};

}  // namespace

void StreamChecksum::Add(ByteSpan bytes) {
    auto addByte = [this](std::uint8_t byte) {
        sum_ ^= std::uint32_t{byte} << (8 * phase_);
        phase_ = (phase_ + 1) % 4;
    };
    std::size_t i = 0;
    for (; i < bytes.size() && phase_ != 0; ++i) addByte(bytes[i]);
    if constexpr (std::endian::native == std::endian::little) {
        // Two little-endian words at a time; their halves fold into one word at the end.
        std::uint64_t wide = 0;
        for (; i + 8 <= bytes.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            wide ^= word;
        }
        sum_ ^= static_cast<std::uint32_t>(wide) ^ static_cast<std::uint32_t>(wide >> 32);
    }
    for (; i < bytes.size(); ++i) addByte(bytes[i]);
}

bool Gather(std::span<std::uint8_t> into, std::size_t& have, ByteSpan& bytes) {
    const std::size_t count = std::min(bytes.size(), into.size() - have);
    std::memcpy(into.data() + have, bytes.data(), count);
    have += count;
    bytes = bytes.subspan(count);
    return have == into.size();
}

StreamTrailer::StreamTrailer(std::uint64_t length)
    : pad_(static_cast<std::size_t>(NextStreamHeaderDistance(length) - stream_hdr::kSize - length)),
      wanted_(pad_ + stream_hdr::kSize) {}

StreamTrailer::Verdict StreamTrailer::Take(ByteSpan& bytes, std::uint32_t sum) {
    while (Gather(std::span(bytes_).first(wanted_), have_, bytes)) {
        if (wanted_ > pad_ + stream_hdr::kSize) return recorded() == sum ? Verdict::Holds : Verdict::Fails;
        if (!IsChecksumStreamHeader(std::span(bytes_).subspan(pad_, stream_hdr::kSize)))
            return Verdict::NoChecksum;
        wanted_ += kChecksumLength;  // the CSUM's value, from the same bytes when they hold it
    }
    return Verdict::More;
}

std::uint32_t StreamTrailer::recorded() const {
    return *catalog::ReadLE32(ByteSpan(bytes_), pad_ + stream_hdr::kSize);
}

bool IsChecksumStreamHeader(ByteSpan header) {
    return header.size() >= stream_hdr::kSize &&
           catalog::HasTagAt(header, stream_hdr::kStreamId, kChecksumStreamId) &&
           catalog::StreamHeaderChecksumHolds(header) &&
           *catalog::ReadLE64(header, stream_hdr::kStreamLength) == kChecksumLength;
}

std::uint64_t NextStreamHeaderDistance(std::uint64_t length) {
    return stream_hdr::NextHeaderDistance(0, length);
}

FileExtraction::FileExtraction(const SaveItem& item, std::size_t index, SaveTarget& target)
    : item_(item), target_(target), components_(DestinationComponents(item.catalogPath)) {
    for (auto& component : components_) {
        std::string fitted = target.folder.Fit(component);
        if (fitted.size() == component.size()) continue;
        component = std::move(fitted);
        shortened_ = true;
    }
    destinationText_ = JoinComponents(components_);
    result_.item = index;
    result_.catalogPath = item.catalogPath;
}

std::uint64_t FileExtraction::wanted() const {
    switch (stage_) {
        case Stage::Header:
            return stream_hdr::kSize - headerHave_;
        case Stage::Data:
            return sparse_ ? sparse_->wanted() : length_ - dataTaken_;
        case Stage::Trailer:
            return trailer_->wanted();
        case Stage::Done:
            break;
    }
    return 0;
}

std::uint64_t FileExtraction::readAhead() const {
    if (stage_ != Stage::Data) return 0;
    return NextStreamHeaderDistance(length_) - length_ + kChecksumLength;
}

std::string FileExtraction::folderPath() const {
    return JoinComponents(std::span(components_).first(components_.size() - 1));
}

void FileExtraction::Take(ByteSpan bytes) {
    if (stage_ == Stage::Header && Gather(header_, headerHave_, bytes)) Begin();
    if (stage_ == Stage::Data && !bytes.empty() && sparse_) return TakeSparse(bytes);
    if (stage_ == Stage::Data && !bytes.empty()) {
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), length_ - dataTaken_));
        dataTaken_ += count;
        checksum_.Add(bytes.first(count));
        if (!WriteData(bytes.first(count))) return;
        bytes = bytes.subspan(count);
        if (dataTaken_ == length_) {
            // A CSUM after data with a hole could only fail: the file is kept as a part instead.
            if (!missing_.empty()) return Truncate({});
            BeginTrailer();
        }
    }
    if (stage_ == Stage::Trailer && !bytes.empty()) TakeTrailer(bytes);
}

// The data are whole: the alignment bytes and the stream header after them are read next.
void FileExtraction::BeginTrailer() {
    stage_ = Stage::Trailer;
    trailer_.emplace(length_);
}

// Any stream but a CSUM after the data completes the file unverified; a CSUM's value must be the data's sum.
void FileExtraction::TakeTrailer(ByteSpan bytes) {
    switch (trailer_->Take(bytes, checksum_.value())) {
        case StreamTrailer::Verdict::More:
            return;
        case StreamTrailer::Verdict::NoChecksum:
            break;
        case StreamTrailer::Verdict::Holds:
            result_.checksum = ChecksumCheck::Verified;
            break;
        case StreamTrailer::Verdict::Fails:
            result_.checksum = ChecksumCheck::Mismatch;
            result_.reason = ChecksumMismatchText(trailer_->recorded(), checksum_.value()) +
                             "; kept as written" + (result_.reason.empty() ? "" : "; " + result_.reason);
            break;
    }
    Complete();
}

std::optional<std::string> StanHeaderProblem(ByteSpan header, std::uint64_t headerAt) {
    if (header.size() < stream_hdr::kSize ||
        std::memcmp(header.data() + stream_hdr::kStreamId, "STAN", 4) != 0) {
        return "not found: the 22 bytes at medium byte " + std::to_string(headerAt) +
               ", just before its data, are not a STAN stream header";
    }
    // A stray "STAN" in file data, or a header hit by damage, would make its length a guess: nothing is
    // written on the strength of it.
    if (!catalog::StreamHeaderChecksumHolds(header)) {
        return "damaged stream header: the checksum of the 22 bytes at medium byte " +
               std::to_string(headerAt) + " does not hold";
    }
    return std::nullopt;
}

StanStream ReadStanStream(ByteSpan header, std::uint64_t headerAt) {
    StanStream stream;
    if (auto problem = StanHeaderProblem(header, headerAt)) {
        stream.problem = std::move(*problem);
        return stream;
    }
    stream.length = *catalog::ReadLE64(header, stream_hdr::kStreamLength);
    if (catalog::IsSparseStream(header)) {
        if (stream.length > catalog::kMaxSparseFileBytes)
            stream.problem =
                "damaged stream header: a sparse STAN stream of " + std::to_string(stream.length) + " bytes";
        stream.sparse = true;
        return stream;
    }
    const std::uint16_t attributes = *catalog::ReadLE16(header, stream_hdr::kMediaFormatAttributes);
    const std::uint16_t encryption = *catalog::ReadLE16(header, stream_hdr::kDataEncryptionAlgorithm);
    const std::uint16_t compression = *catalog::ReadLE16(header, stream_hdr::kDataCompressionAlgorithm);
    if (attributes & catalog::mtf::kMediaFormatEncrypted) {
        stream.notDecoded = "the stream is encrypted (algorithm " + common::Hex16(encryption) +
                            "); saved as it is on the medium, not decoded";
    } else if (attributes & catalog::mtf::kMediaFormatCompressed) {
        if (compression == catalog::mtf::kCompressionStacLzs) {
            stream.lzs = true;
        } else {
            stream.notDecoded = "the stream is compressed with algorithm " + common::Hex16(compression) +
                                ", which this program cannot decode; saved as it is on the medium";
        }
    }
    return stream;
}

std::string DataCutText(const std::string& why, std::uint64_t taken, std::uint64_t length, bool sparse) {
    if (sparse) return why + ", after " + std::to_string(taken) + " bytes of its sparse runs";
    return why + ", after " + std::to_string(taken) + " of " + std::to_string(length) + " bytes";
}

std::string ChecksumMismatchText(std::uint32_t recorded, std::uint32_t computed) {
    return "its CSUM stream records " + common::Hex32(recorded) + ", the data read give " +
           common::Hex32(computed);
}

void FileExtraction::Begin() {
    const std::uint64_t headerAt = *item_.dataOffset - stream_hdr::kSize;
    const StanStream stream = ReadStanStream(ByteSpan(header_), headerAt);
    if (!stream.problem.empty()) return Fail(stream.problem);
    length_ = stream.length;
    if (stream.sparse) {
        sparse_.emplace(length_);
    } else if (stream.lzs) {
        decoder_.emplace();
    } else if (!stream.notDecoded.empty()) {
        result_.decoded = false;
        result_.reason = stream.notDecoded;
    }

    const auto folders = std::span(components_).first(components_.size() - 1);
    const std::string& name = components_.back();
    existing_ = target_.existing;
    if ((existing_ == ExistingFiles::Skip || existing_ == ExistingFiles::Ask) &&
        !target_.folder.SavedThisRun(destinationText_) && target_.folder.Exists(folders, name)) {
        if (existing_ == ExistingFiles::Ask) existing_ = AskAboutTakenName();
        if (existing_ == ExistingFiles::Skip)
            return End(SaveOutcome::Skipped, "'" + destinationText_ + "' already exists");
    }
    // A name free now that is taken by the time the file is complete is kept both, never replaced.
    if (existing_ == ExistingFiles::Ask) existing_ = ExistingFiles::KeepBoth;
    std::string error;
    folder_ = target_.folder.OpenFolder(folders, error);
    if (!folder_) return Fail(error);
    stage_ = Stage::Data;
    if (length_ == 0 && !sparse_) BeginTrailer();
}

// The output file is created with the first bytes to write, or at the end of an empty file.
bool FileExtraction::EnsureOutput() {
    if (output_) return true;
    std::string error;
    output_ = target_.folder.CreateIn(folder_, error);
    if (output_) return true;
    Fail(error);
    return false;
}

bool FileExtraction::PlainData() const {
    return stage_ == Stage::Data && !output_ && !decoder_ && !sparse_ && dataTaken_ == 0;
}

std::unique_ptr<DataJob> FileExtraction::HandOver(std::vector<std::uint8_t> bytes, std::size_t from) {
    auto job = std::make_unique<DataJob>();
    job->folder = folder_;
    job->length = static_cast<std::size_t>(length_ - dataTaken_);
    job->bytes = std::move(bytes);
    job->bytesFrom = from;
    return job;
}

void FileExtraction::TakeBack(DataJob& job) {
    if (stage_ != Stage::Data) return;
    if (job.cancelled) return Abandon(SaveOutcome::Cancelled, "cancelled");
    if (!job.output) return Fail(job.error);
    output_ = std::move(job.output);
    dataTaken_ += output_->written();
    if (job.writeFailed) return Fail(output_->error());
    if (dataTaken_ == length_) Complete();
}

OutputFile* FileExtraction::DirectOutput() {
    return stage_ == Stage::Data && EnsureOutput() ? &*output_ : nullptr;
}

void FileExtraction::DataCopied(std::uint64_t count) {
    dataTaken_ += count;
    if (dataTaken_ == length_) Complete();
}

ExistingFiles FileExtraction::AskAboutTakenName() {
    const ExistingFileAnswer answer = target_.sink.AskExisting(result_.item, destinationText_);
    const ExistingFiles choice =
        answer.choice == ExistingFiles::Ask ? ExistingFiles::KeepBoth : answer.choice;
    if (answer.forTheRest) target_.existing = choice;
    return choice;
}

bool FileExtraction::WriteData(ByteSpan bytes) {
    if (!EnsureOutput()) return false;
    if (!decoder_) {
        if (output_->Write(bytes)) return true;
        Fail(output_->error());
        return false;
    }
    const auto status = decoder_->Take(bytes, [this](ByteSpan decoded) { return output_->Write(decoded); });
    if (status == decode::CompressedStreamDecoder::Status::Ok) return true;
    if (status == decode::CompressedStreamDecoder::Status::OutputFailed) {
        Fail(output_->error());
    } else {
        Truncate(decoder_->error());
    }
    return false;
}

void FileExtraction::TakeSparse(ByteSpan bytes) {
    if (!EnsureOutput()) return;
    const SparseRebuild::Status status = sparse_->Take(
        bytes, [this](std::uint64_t offset, ByteSpan run) { return output_->WriteAt(offset, run); });
    dataTaken_ = sparse_->dataTaken();
    switch (status) {
        case SparseRebuild::Status::More:
            break;
        case SparseRebuild::Status::Done:
            return Complete();
        case SparseRebuild::Status::Damaged:
            return Truncate(sparse_->error());
        case SparseRebuild::Status::OutputFailed:
            return Fail(output_->error());
    }
}

void FileExtraction::Complete() {
    if (!EnsureOutput()) return;
    if (decoder_ && decoder_->Finish() != decode::CompressedStreamDecoder::Status::Ok)
        return Truncate(decoder_->error());
    if (item_.headMissing)
        return Truncate("its beginning is on " + item_.missingMedium + ", which was not read");
    // A sparse file gets its full size, which the catalog has from its FILE block, unless its runs reach
    // further; the holes stay holes.
    if (sparse_ && !output_->SetSize(std::max(item_.size.value_or(0), sparse_->end())))
        return Fail(output_->error());
    if (auto seconds = MtfDateToUnixTime(item_.modified)) output_->SetModified(*seconds);
    const std::string& name = components_.back();
    std::string used;
    switch (output_->Commit(name, existing_, used)) {
        case OutputFile::Named::AsAsked:
            break;
        case OutputFile::Named::Renamed:
            result_.reason =
                "'" + name + "' was taken" + (result_.reason.empty() ? "" : "; " + result_.reason);
            break;
        case OutputFile::Named::Skipped:
            return End(SaveOutcome::Skipped, "'" + destinationText_ + "' already exists");
        case OutputFile::Named::Failed:
            return Fail(output_->error());
    }
    if (shortened_) {
        result_.reason = "names longer than the " + std::to_string(target_.folder.nameLimit()) +
                         " bytes the destination takes were shortened" +
                         (result_.reason.empty() ? "" : "; " + result_.reason);
    }
    const std::string folder = folderPath();
    result_.savedAs = folder.empty() ? used : folder + "/" + used;
    result_.bytesWritten = output_->written();
    End(used == name && !shortened_ ? SaveOutcome::Saved : SaveOutcome::SavedRenamed, {});
}

void FileExtraction::Truncate(const std::string& why) {
    std::string reason;
    for (const std::string& hole : missing_) reason += (reason.empty() ? "" : "; ") + hole;
    if (!why.empty()) reason += (reason.empty() ? "" : "; ") + why;
    if (decoder_ && !EnsureOutput()) return;
    // What the frame the medium ended in decodes to belongs to the part recovered, as the bytes of an
    // uncompressed file do.
    if (decoder_ && output_ && decoder_->DecodeCutFrame([this](ByteSpan decoded) {
            return output_->Write(decoded);
        }) != decode::CompressedStreamDecoder::Status::Ok) {
        return Fail(why + "; the part read could not be kept either: " + output_->error());
    }
    if (sparse_ && output_ && output_->written() > 0 && !output_->SetSize(sparse_->end())) {
        return Fail(why + "; the part read could not be kept either: " + output_->error());
    }
    if (output_ && output_->written() > 0) {
        std::string used;
        const std::string partialName = target_.folder.Fit(components_.back() + std::string(kPartialSuffix));
        if (output_->Commit(partialName, ExistingFiles::KeepBoth, used) == OutputFile::Named::Failed) {
            return Fail(why + "; the part read could not be kept either: " + output_->error());
        }
        const std::string folder = folderPath();
        result_.savedAs = folder.empty() ? used : folder + "/" + used;
        result_.bytesWritten = output_->written();
        reason += "; the " + std::to_string(result_.bytesWritten) + " bytes recovered are kept as '" +
                  result_.savedAs + "'";
    } else if (output_) {
        output_->Discard();
    }
    End(SaveOutcome::Truncated, reason);
}

void FileExtraction::Fail(const std::string& why) {
    if (output_) output_->Discard();
    End(SaveOutcome::Failed, why);
}

void FileExtraction::End(SaveOutcome outcome, const std::string& reason) {
    stage_ = Stage::Done;
    result_.outcome = outcome;
    if (!reason.empty()) result_.reason = result_.reason.empty() ? reason : reason + "; " + result_.reason;
}

void FileExtraction::SourceEnded(const std::string& why) {
    if (stage_ == Stage::Header) return Fail("not found: " + why + ", inside its stream header");
    // The data are whole; only what may follow them is missing, so the file is saved unverified.
    if (stage_ == Stage::Trailer) return Complete();
    if (stage_ == Stage::Data) Truncate(DataCutText(why, dataTaken_, length_, sparse_.has_value()));
}

void FileExtraction::SkipMissing(std::uint64_t count, const std::string& why) {
    if (stage_ != Stage::Data) return;
    if (decoder_ || sparse_ || count > length_ - dataTaken_) return SourceEnded(why);
    if (!EnsureOutput()) return;
    if (!output_->Skip(count)) return Fail(output_->error());
    missing_.push_back(why);
    dataTaken_ += count;
    if (dataTaken_ == length_) Truncate({});
}

void FileExtraction::NotFound(const std::string& why) {
    Fail("not found: " + why);
}

void FileExtraction::Abandon(SaveOutcome outcome, const std::string& why) {
    if (stage_ == Stage::Done) return;
    if (output_) output_->Discard();
    End(outcome, why);
}

}  // namespace ostrum::save
