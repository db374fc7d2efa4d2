// SPDX-License-Identifier: GPL-3.0-or-later
// Saving from an image, reading the files in the order of the items, each as soon as its item comes (a
// scan may still be finding the next). A small file stored as it is, read with its header, goes to the
// writers (SaveWriters), which create it and write its data while the next files are read; such files are
// taken back, and named, in the order of the items. Any other file is saved here once the files before it
// are back: a large one stored as it is is copied inside the kernel, a decoded one read and written.

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "save/media_pieces.h"
#include "save/save_run.h"
#include "save/save_writers.h"

namespace ostrum::save {
namespace {

namespace stream_hdr = catalog::mtf::stream_hdr;

// Data copied or read here are taken in pieces this large: progress and a cancel follow them.
constexpr std::size_t kImageReadSize = 1 << 20;
// Files of up to this many bytes are read with their header, and handed to a writer with their data;
// larger ones are copied from the image by the writer itself.
constexpr std::uint64_t kReadWithHeader = 256u << 10;

class ImageSave {
  public:
    ImageSave(SaveRun& run, SaveItemSource& source, MediaImages& images)
        : run_(run), source_(source), images_(images), handedOver_(run) {}

    void Run();

  private:
    void SaveOne(std::size_t index);
    void SaveInPieces(FileExtraction& file, const SaveItem& item);
    static bool ChecksumFollows(const common::ImageFile& image, std::uint64_t headerAt, std::uint64_t length,
                                std::span<const std::uint8_t> read);
    void CopyData(const common::ImageFile& image, FileExtraction& file, std::uint64_t position);
    void ReadRest(const common::ImageFile& image, FileExtraction& file, std::uint64_t position,
                  std::uint64_t left = std::numeric_limits<std::uint64_t>::max());

    SaveRun& run_;
    SaveItemSource& source_;
    MediaImages& images_;
    HandedOverFiles handedOver_;
    std::vector<std::uint8_t> buffer_;
};

void ImageSave::Run() {
    while (!run_.cancelRequested() && !run_.destinationFull()) {
        auto item = source_.Next();
        if (!item) break;
        SaveOne(run_.Add(std::move(*item)));
    }
    handedOver_.TakeBackAll();
    run_.AddAll(source_);  // the items not reached
    if (run_.cancelRequested()) {
        run_.EndTheRest(SaveOutcome::Cancelled, "not reached: the save was cancelled");
    } else if (run_.destinationFull()) {
        run_.StopAtFullDestination();
    }
}

void ImageSave::SaveOne(std::size_t index) {
    const SaveItem& item = run_.items()[index];
    FileExtraction file = run_.Start(index);
    // A file of the same destination as one still with the writers waits for it: names are given in the
    // order of the items.
    if (handedOver_.Waits(file.destinationText())) handedOver_.TakeBackAll();
    if (auto reason = NoDataReason(item)) file.NotFound(*reason);
    if (file.done()) {
        handedOver_.TakeBackAll();
        return run_.Finish(file);
    }
    // A file the end of a medium cut lies in pieces, read one after the other.
    if (!item.parts.empty()) {
        handedOver_.TakeBackAll();
        SaveInPieces(file, item);
        return run_.Finish(file);
    }
    std::string error;
    const common::ImageFile* image = images_.Open(item.medium, error);
    if (image == nullptr) {
        handedOver_.TakeBackAll();
        file.SourceEnded(error);
        return run_.Finish(file);
    }

    // The header and, for a small file, its data and what follows them up to a CSUM stream's value, in
    // one read.
    const std::uint64_t position = *item.dataOffset - stream_hdr::kSize;
    const std::uint64_t expected = item.size.value_or(0);
    std::vector<std::uint8_t> bytes(stream_hdr::kSize +
                                    (expected <= kReadWithHeader ? expected + kMostTrailer : 0));
    const common::ImageRead read = image->Read(position, bytes);
    bytes.resize(read.count);
    const std::size_t header = std::min(read.count, stream_hdr::kSize);
    file.Take(std::span(bytes).first(header));
    // Data that need no look on the way go to a writer, or are copied inside the kernel; the others are
    // taken here, the bytes read with the header first.
    const bool plain = file.PlainData() && !ChecksumFollows(*image, position, file.wanted(), bytes);
    if (plain && header + file.wanted() <= read.count) {
        return handedOver_.HandOver(std::move(file), std::move(bytes), header);
    }
    handedOver_.TakeBackAll();
    std::uint64_t next = position + read.count;
    if (plain) {
        CopyData(*image, file, position + header);
        next = position + header + file.dataTaken();
    } else if (!file.done() && read.count > header) {
        file.Take(std::span(bytes).subspan(header));
    }
    if (!file.done()) ReadRest(*image, file, next);
    run_.Finish(file);
}

// Reads the pieces of a file spread over several media, from each medium's image in turn.
void ImageSave::SaveInPieces(FileExtraction& file, const SaveItem& item) {
    std::size_t gaps = 0;
    for (const catalog::DataPart& part : PiecesOf(item)) {
        if (part.missingBefore != 0) file.SkipMissing(part.missingBefore, item.missingBetween.at(gaps++));
        if (file.done()) return;
        std::string error;
        const common::ImageFile* image = images_.Open(part.medium, error);
        if (image == nullptr) return file.SourceEnded(error);
        ReadRest(*image, file, part.offset, part.length);
        if (file.done()) return;
    }
    file.SourceEnded(MissingRestText(item));
}

// Whether a CSUM stream follows the `length` data bytes of the stream whose header lies at image byte
// `headerAt`: from the bytes read from there on when they reach so far, else from the image. None follows
// where the image ends first.
bool ImageSave::ChecksumFollows(const common::ImageFile& image, std::uint64_t headerAt, std::uint64_t length,
                                std::span<const std::uint8_t> read) {
    const std::uint64_t next = NextStreamHeaderDistance(length);
    if (next + stream_hdr::kSize <= read.size()) {
        return IsChecksumStreamHeader(read.subspan(static_cast<std::size_t>(next), stream_hdr::kSize));
    }
    std::array<std::uint8_t, stream_hdr::kSize> following{};
    const common::ImageRead got = image.Read(headerAt + next, following);
    return got.count == following.size() && IsChecksumStreamHeader(following);
}

// Copies a file's data inside the kernel, as far as the kernel does; ReadRest does the rest.
void ImageSave::CopyData(const common::ImageFile& image, FileExtraction& file, std::uint64_t position) {
    OutputFile* output = file.DirectOutput();
    while (output != nullptr && !file.done()) {
        if (run_.cancelRequested()) return file.Abandon(SaveOutcome::Cancelled, "cancelled");
        const std::uint64_t want = std::min<std::uint64_t>(kImageReadSize, file.wanted());
        const std::uint64_t copied = output->CopyFrom(image.descriptor(), position, want);
        position += copied;
        file.DataCopied(copied);
        run_.ReportProgress(file.dataTaken());
        if (copied < want) return;
    }
}

// Reads the rest of a file, at most `left` bytes from `position` on, and hands it to the file to write. A
// short read ends the file.
void ImageSave::ReadRest(const common::ImageFile& image, FileExtraction& file, std::uint64_t position,
                         std::uint64_t left) {
    if (buffer_.empty()) buffer_.resize(kImageReadSize);
    while (!file.done() && left > 0) {
        if (run_.cancelRequested()) return file.Abandon(SaveOutcome::Cancelled, "cancelled");
        // The stream header that may follow the data is read with their last piece.
        const auto want = static_cast<std::size_t>(
            std::min({std::uint64_t{buffer_.size()}, file.wanted() + file.readAhead(), left}));
        const std::size_t got = image.ReadAt(position, std::span(buffer_).first(want));
        file.Take(std::span(buffer_).first(got));
        position += got;
        left -= got;
        run_.ReportProgress(file.dataTaken());
        if (got < want && !file.done()) file.SourceEnded(ShortReadReason(image, position));
    }
}

}  // namespace

void SaveFromImage(SaveRun& run, SaveItemSource& source) {
    MediaImages images(run.request());
    std::string error;
    if (images.Open(0, error) == nullptr) {
        run.AddAll(source);
        return run.SourceFailed(error);
    }
    ImageSave(run, source, images).Run();
}

}  // namespace ostrum::save
