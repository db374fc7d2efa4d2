// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The saving of one file, fed with the medium's bytes from its STAN stream header on, in whatever pieces
// the source delivers them: it checks the header, decides where the file goes, writes (or decodes) the
// data, checks them against a CSUM stream that follows them, and ends with a FileResult. The image and
// tape readers differ only in how they fetch the bytes.
//
// The checksum is verified here and only here: every data byte passes through Take, which sums it as it
// stands on the medium, and the stream header after the data is then read to see whether it is a CSUM.
// A reader that would move a file's data without Take (a copy inside the kernel) must first read the 22
// bytes at NextStreamHeaderDistance(length) from the STAN header and leave every file whose next stream
// is a CSUM to Take, or the file would be saved unverified.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalog/mtf_layout.h"
#include "decode/compressed_stream.h"
#include "save/destination.h"
#include "save/save_files.h"
#include "save/sparse_rebuild.h"

namespace ostrum::save {

// The data of one file handed to a writer of their own (SaveWriters): a new file in `folder` gets the
// `length` data bytes that lie in `bytes` from `bytesFrom` on. What became of them comes back in the rest.
struct DataJob {
    std::shared_ptr<const FolderHandle> folder;
    std::vector<std::uint8_t> bytes;
    std::size_t bytesFrom = 0;
    std::size_t length = 0;

    std::optional<OutputFile> output;  // none: it could not be created, for `error`
    std::string error;
    bool writeFailed = false;  // the destination refused the data: output->error() says why
    bool cancelled = false;    // the save was cancelled before the job was begun
};

// XOR of a stream's data as little-endian 32-bit words, the last one filled with zeros: the value of the
// CSUM stream that may follow it.
class StreamChecksum {
  public:
    void Add(std::span<const std::uint8_t> bytes);
    std::uint32_t value() const { return sum_; }

  private:
    std::uint32_t sum_ = 0;
    unsigned phase_ = 0;  // bytes of the current word already summed
};

// Why the 22 bytes at medium byte `headerAt`, just before a file's data, are no STAN stream header that
// a save may trust (not one, or one whose checksum fails); nothing when they are one.
std::optional<std::string> StanHeaderProblem(std::span<const std::uint8_t> header, std::uint64_t headerAt);

// What a STAN stream header says of the data after it, and how a save (or a preview) takes them.
struct StanStream {
    std::string problem;       // why the header cannot be trusted; nothing below is set then
    std::uint64_t length = 0;  // Stream Length
    bool sparse = false;       // runs follow it (SparseRebuild)
    bool lzs = false;          // Stac LZS frames (CompressedStreamDecoder)
    // Encrypted, or compressed by an algorithm this program cannot decode: the data are taken as they lie
    // on the medium, for this reason.
    std::string notDecoded;
};
StanStream ReadStanStream(std::span<const std::uint8_t> header, std::uint64_t headerAt);

// The end of a file's data that the source did not give: `why`, and how far the data had come.
std::string DataCutText(const std::string& why, std::uint64_t taken, std::uint64_t length, bool sparse);
// A CSUM stream whose value the data read do not give.
std::string ChecksumMismatchText(std::uint32_t recorded, std::uint32_t computed);

// From a stream header to the header of the stream after it: streams start on 4-byte boundaries.
std::uint64_t NextStreamHeaderDistance(std::uint64_t length);
// True when the 22 bytes are the header of a CSUM stream, the checksum of the data before it.
bool IsChecksumStreamHeader(std::span<const std::uint8_t> header);
// A CSUM stream's data: the 32-bit checksum.
inline constexpr std::uint64_t kChecksumLength = 4;
// Bytes after a stream's data up to the end of a CSUM stream's value: alignment, header and value.
inline constexpr std::size_t kMostTrailer = 3 + catalog::mtf::stream_hdr::kSize + kChecksumLength;

// Moves bytes from the front of `bytes` into `into` after the `have` already there, as many as fit; true
// once `into` is full.
bool Gather(std::span<std::uint8_t> into, std::size_t& have, std::span<const std::uint8_t>& bytes);

// What follows a stream's data: the alignment bytes, the next stream header and, when that is a CSUM
// stream's, its value, gathered from whatever pieces they come in and compared with the data's checksum.
class StreamTrailer {
  public:
    enum class Verdict : std::uint8_t { More, NoChecksum, Holds, Fails };

    // `length`: the Stream Length of the data it follows.
    explicit StreamTrailer(std::uint64_t length);

    std::size_t wanted() const { return wanted_ - have_; }
    // Takes the next bytes, leaving in `bytes` those after the verdict; `sum` is the data's
    // StreamChecksum value.
    Verdict Take(std::span<const std::uint8_t>& bytes, std::uint32_t sum);
    // The value a CSUM stream records, once taken.
    std::uint32_t recorded() const;

  private:
    std::array<std::uint8_t, kMostTrailer> bytes_{};
    std::size_t pad_ = 0;  // alignment bytes before the next stream header
    std::size_t have_ = 0;
    std::size_t wanted_ = 0;
};

// What the files of one save share.
struct SaveTarget {
    DestinationFolder& folder;
    ExistingFiles existing;  // an answer "for the rest" replaces Ask
    SaveSink& sink;
};

class FileExtraction {
  public:
    FileExtraction(const SaveItem& item, std::size_t index, SaveTarget& target);

    bool done() const { return stage_ == Stage::Done; }
    // Medium bytes it still needs (the header's, then the data's, then those of the stream header after
    // the data and of its checksum); 0 when done.
    std::uint64_t wanted() const;
    // While the data are taken: the bytes after them that it will want too when a CSUM follows, so that
    // a reader may deliver them with the data's last piece.
    std::uint64_t readAhead() const;
    // Takes the next medium bytes; what it does not want (past a CSUM, or after the data when no CSUM
    // follows) is passed over.
    void Take(std::span<const std::uint8_t> bytes);
    // The source has no more bytes for this file: `why` says why (its end, a read error).
    void SourceEnded(const std::string& why);
    // The next `count` data bytes are not to be had (`why` says where they lie): they are left as a hole
    // and the bytes after them go to their own place. A file with such a hole is kept as a part. Data that
    // are decoded or rebuilt on the way have no known place after a hole: the file ends before it.
    void SkipMissing(std::uint64_t count, const std::string& why);
    // Ends the file without a stream: nothing is written.
    void NotFound(const std::string& why);
    // Ends the file, not yet complete, with this outcome; what was written of it is removed.
    void Abandon(SaveOutcome outcome, const std::string& why);

    // True once the header is taken when the data are to be written as they lie on the medium, neither
    // decoded nor summed on the way. If, besides, no CSUM stream follows them (the caller reads the stream
    // header at NextStreamHeaderDistance(wanted()) from the STAN header: IsChecksumStreamHeader), they
    // may be written by a writer of their own (HandOver, then TakeBack) or copied inside the kernel
    // (DirectOutput, then DataCopied), which complete the file without reading what follows the data.
    bool PlainData() const;
    // The job of writing all the data, which lie in `bytes` from `from` on; the file waits for it to come
    // back.
    std::unique_ptr<DataJob> HandOver(std::vector<std::uint8_t> bytes, std::size_t from);
    // The job done: the file ends as its outcome says.
    void TakeBack(DataJob& job);
    // The output file, created now if need be; null when it cannot be (the file has failed then).
    OutputFile* DirectOutput();
    // `count` data bytes went into DirectOutput() by another way than Take.
    void DataCopied(std::uint64_t count);

    // True from the header on until the file is done: the data are being taken.
    bool takingData() const { return stage_ == Stage::Data; }
    // Data bytes taken so far, for progress.
    std::uint64_t dataTaken() const { return dataTaken_; }
    const std::string& destinationText() const { return destinationText_; }
    const SaveItem& item() const { return item_; }
    const FileResult& result() const { return result_; }

  private:
    enum class Stage : std::uint8_t { Header, Data, Trailer, Done };

    void Begin();
    void BeginTrailer();
    void TakeTrailer(std::span<const std::uint8_t> bytes);
    ExistingFiles AskAboutTakenName();
    bool EnsureOutput();
    bool WriteData(std::span<const std::uint8_t> bytes);
    void TakeSparse(std::span<const std::uint8_t> bytes);
    void Complete();
    void Truncate(const std::string& why);
    void Fail(const std::string& why);
    void End(SaveOutcome outcome, const std::string& reason);
    std::string folderPath() const;

    const SaveItem& item_;
    SaveTarget& target_;
    FileResult result_;
    std::vector<std::string> components_;  // folders below the destination, then the name
    std::string destinationText_;
    bool shortened_ = false;                            // a name in its path was too long for the destination
    ExistingFiles existing_ = ExistingFiles::KeepBoth;  // what is done if its name is taken
    Stage stage_ = Stage::Header;
    std::array<std::uint8_t, catalog::mtf::stream_hdr::kSize> header_{};
    std::size_t headerHave_ = 0;
    std::uint64_t length_ = 0;  // Stream Length
    std::uint64_t dataTaken_ = 0;
    StreamChecksum checksum_;
    std::optional<StreamTrailer> trailer_;  // once the data are whole
    std::optional<decode::CompressedStreamDecoder> decoder_;
    std::shared_ptr<const FolderHandle> folder_;  // where the file is created, once it is to be written
    std::optional<SparseRebuild> sparse_;         // a sparse file: its runs follow the STAN header
    std::optional<OutputFile> output_;            // created with the first data
    std::vector<std::string> missing_;            // why each hole SkipMissing left is there
};

}  // namespace ostrum::save
