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
#include "sparse_rebuild.h"

namespace ostrum::selection {

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

    // Data bytes taken so far, for progress.
    std::uint64_t dataTaken() const { return dataTaken_; }
    const std::string& destinationText() const { return destinationText_; }
    const SaveItem& item() const { return item_; }
    const FileResult& result() const { return result_; }

  private:
    enum class Stage : std::uint8_t { Header, Data, Done };

    void Begin();
    void ChooseDecoding();
    ExistingFiles AskAboutTakenName();
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
    std::optional<CompressedStreamDecoder> decoder_;
    std::optional<SparseRebuild> sparse_;  // a sparse file: its runs follow the STAN header
    std::optional<OutputFile> output_;
};

}  // namespace ostrum::selection
