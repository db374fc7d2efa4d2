#pragma once
// The saving of one file, fed with the medium's bytes from its STAN stream header on, in whatever pieces
// the source delivers them: it checks the header, decides where the file goes, writes (or decodes) the
// data, and ends with a FileResult. The image and tape readers differ only in how they fetch the bytes.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalog/mtf_layout.h"
#include "compressed_stream.h"
#include "destination.h"
#include "save_files.h"

namespace ostrum::selection {

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
    // Medium bytes it still needs (the header's, then the data's); 0 when done.
    std::uint64_t wanted() const;
    // Takes the next medium bytes, at most wanted().
    void Take(std::span<const std::uint8_t> bytes);
    // The source has no more bytes for this file: `why` says why (its end, a read error).
    void SourceEnded(const std::string& why);
    // Ends the file without a stream: nothing is written.
    void NotFound(const std::string& why);
    // Ends the file, not yet complete, with this outcome; what was written of it is removed.
    void Abandon(SaveOutcome outcome, const std::string& why);

    // True once the header is taken when the data are to be written as they lie on the medium, neither
    // decoded nor looked at on the way: they may then be written by a writer of their own (HandOver, then
    // TakeBack) or copied inside the kernel (DirectOutput, then DataCopied).
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
    const FileResult& result() const { return result_; }

  private:
    enum class Stage : std::uint8_t { Header, Data, Done };

    void Begin();
    void ChooseDecoding();
    ExistingFiles AskAboutTakenName();
    bool EnsureOutput();
    bool WriteData(std::span<const std::uint8_t> bytes);
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
    std::optional<CompressedStreamDecoder> decoder_;
    std::shared_ptr<const FolderHandle> folder_;  // where the file is created, once it is to be written
    std::optional<OutputFile> output_;    // created with the first data
};

}  // namespace ostrum::selection
