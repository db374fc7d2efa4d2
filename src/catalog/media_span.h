// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Backups spread over several media. When a backup program fills a tape (or a .bkf part) it ends the medium
// with an EOTM block, at a block boundary or inside a file's data, and goes on on the next medium of the
// same media family: a TAPE block with the next sequence number, then the set's SSET, VOLB and DIRB again
// with the continuation bit, and, when a file was cut, its FILE block again with a STAN header flagged as
// continued, whose data (the bytes still to come) start at the next logical block.
//
// Several media scanned in order are one catalog: the set goes on under its label, and a file cut by the
// end of a medium is one row whose data lie in parts, one per medium. MediaSpan keeps what the scan learnt
// of the media and of such files; the scan's handlers below fill it.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalog/chunk_view.h"

namespace ostrum::common {
class ImageSource;
}  // namespace ostrum::common

namespace ostrum::catalog {

class Catalog;
struct ScanContext;

// What a medium's TAPE block says of it.
struct MediumLabel {
    std::uint32_t family = 0;            // media family id
    std::uint16_t sequence = 0;          // from 1 within the family
    std::uint16_t logicalBlockSize = 0;  // 512 or 1024, 0 when the block gives neither
};

// "medium 2 of media family 0x4F535452"
std::string LabelText(const MediumLabel& label);
// What a medium read after another says of itself when its label does not follow that one's: "B.img is medium
// 1 of media family 0x4F535452, not the medium after A.img (medium 1 of media family 0x00C0FFEE)".
std::string NotTheMediumAfterText(const std::string& name, const MediumLabel& label,
                                  const std::string& before, const MediumLabel& beforeLabel);

// The label of a sound TAPE block (its fixed part, from the block's first byte); nothing for other bytes.
std::optional<MediumLabel> LabelOfTapeBlock(ByteSpan block);
// The label of the medium an image holds, when its first block is a sound TAPE block.
std::optional<MediumLabel> ReadMediumLabel(const common::ImageSource& image);

// The order in which media given to be read as one backup are read.
struct MediaOrder {
    std::vector<std::size_t> order;  // indexes of the media given, in the order to read them
    // Why they are not one backup: a medium of another media family than the labelled one given before it,
    // in the words of NotTheMediumAfterText. Empty when they may be.
    std::string refusal;
    bool Reordered() const;
};
// When every medium's label is known (`labels` holds one per name), the media are read by their sequence
// numbers; else in the order given. Media of different families are refused.
MediaOrder OrderMedia(std::span<const std::string> names, std::span<const std::optional<MediumLabel>> labels);

// What is said when image files were not given in the order of their sequence numbers.
inline constexpr char kMediaSortedNote[] = "media sorted by sequence number";
// Image files given as the media of one backup, in the order to read them.
struct ImageMediaOrder {
    std::vector<std::string> paths;  // in the order to read them
    bool reordered = false;          // not the order given
    // Why they are not read at all: one cannot be opened (the system's words), or is of another media
    // family than the one before it (MediaOrder::refusal). Empty when they may be.
    std::string error;
    // "media sorted by sequence number: two.img, two_b.img" when reordered, else empty.
    std::string NoteText() const;
};
// Opens each image to read the label of its first block, and orders them by OrderMedia.
ImageMediaOrder OrderImageMedia(std::span<const std::string> paths);

// A piece of the medium that holds part of a file: the stream header, or data.
struct DataPart {
    std::uint32_t medium = 0;  // which of the media scanned, from 0
    std::uint64_t offset = 0;  // on that medium, counted as its scan counts positions
    std::uint64_t length = 0;
    // Data bytes of the file between the part before and this one: they lie on media that were not read.
    std::uint64_t missingBefore = 0;
};

// A file whose data do not all follow its stream header on its own medium.
struct SpannedFile {
    // The bytes to read, in order: the STAN header and the data before the end of its medium, then the
    // data of each later medium, after its continuation blocks.
    std::vector<DataPart> parts;
    // It continues data whose start lies on a medium that was not scanned: its parts are the continued
    // STAN header and the data after it, and the file's first bytes are missing.
    bool headMissing = false;
    std::uint32_t cutOnMedium = 0;  // the medium whose end cut it last
};

class MediaSpan {
  public:
    // Names a medium (0 for the first) and says that its rows start at `firstRow`. A scan of one medium
    // needs no call: what it learns goes to medium 0.
    void BeginMedium(std::uint32_t medium, std::string name, std::size_t firstRow);
    std::size_t mediumCount() const { return media_.size(); }
    // The name a medium was given ("medium N" when none).
    std::string mediumName(std::uint32_t medium) const;
    std::optional<MediumLabel> label(std::uint32_t medium) const;
    void NoteLabel(std::uint32_t medium, const MediumLabel& label);
    // The medium whose scan found the row.
    std::uint32_t MediumOfRow(std::size_t row) const;

    SpannedFile& Spanned(std::size_t row) { return files_[row]; }
    const SpannedFile* FindSpanned(std::size_t row) const;
    const std::map<std::size_t, SpannedFile>& spanned() const { return files_; }
    // The data bytes the parts hold (header bytes not counted).
    static std::uint64_t DataBytes(const SpannedFile& file);
    // Where in the file's data the parts end: their data bytes and the bytes missing between them.
    static std::uint64_t DataEnd(const SpannedFile& file);

    // What the rest of a file cut on `medium` needs: "medium 2 of media family 0x4F535452" when the medium's
    // label is known, else "the medium after NAME".
    std::string NextMediumText(std::uint32_t medium) const;
    // What holds the beginning of a file continued on `medium`, in the same words.
    std::string PreviousMediumText(std::uint32_t medium) const;
    // What holds the part of the file of `row` (`size` data bytes) that the media read lack, in the same
    // words: the medium before when its beginning is missing, the one after when its rest is; empty when it
    // is whole or lies on one medium.
    std::string MissingMediumText(std::size_t row, std::uint64_t size) const;
    // What holds the data missing before part `index` of the file (its missingBefore bytes): "bytes 1398 to
    // 151413 are on medium 2 of media family 0x4F535452".
    std::string GapText(const SpannedFile& file, std::size_t index) const;
    // Everything the media read lack of the file of `row`, each part with ", which was not read": the bytes
    // missing between its parts, and its beginning or its rest. Empty when it is whole.
    std::string MissingText(std::size_t row, std::uint64_t size) const;
    // The media between two media read that were not read, by their labels when these say how many lie
    // between: "media 2 to 3 of media family 0x4F535452", else what NextMediumText says of `before`.
    std::string MediaBetweenText(std::uint32_t before, std::uint32_t after) const;
    // Media given in an order the labels contradict, and the like: said to the user, never fatal.
    const std::vector<std::string>& notes() const { return notes_; }
    void Note(std::string note) { notes_.push_back(std::move(note)); }

  private:
    struct Medium {
        std::string name;
        std::size_t firstRow = 0;
        std::optional<MediumLabel> label;
    };
    Medium& At(std::uint32_t medium);

    std::vector<Medium> media_;
    std::map<std::size_t, SpannedFile> files_;
    std::vector<std::string> notes_;
};

// A medium (or a run of media) of the backup that was not read, as the labels of the media read and the
// files they cut show it.
struct MissingMedium {
    std::string text;                  // in the listing's words: "medium 2 of media family 0x4F535452"
    std::vector<std::size_t> rowsCut;  // the files with data on it, which are cut short
};
// Every medium the media of `catalog` lack, in the order met: a gap between the sequence numbers of two
// media read one after the other, and whatever holds a part of a file that the media read lack (its
// beginning, its rest, or bytes between its parts). Each file's words are MediaSpan::MissingText's.
std::vector<MissingMedium> MissingMedia(const Catalog& catalog);

// The scan's handler for TAPE blocks: notes the label of the medium being scanned (its first TAPE block).
void OnTapeBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot);
// The scan's handler for EOTM blocks: a sound EOTM inside the data of the file read last cuts it there.
void OnEndOfMediumBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot);
// Called by OnFileBlock for a FILE block with the continuation bit: the rest of the file cut at the end of
// the medium before, which it joins, or a file whose beginning is on a medium not scanned. Returns false
// when the block is no sound continuation (it is then catalogued as any FILE block).
bool OnContinuedFileBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot);
// True when the SSET block continues the set being scanned on a new medium: its label stays.
bool ContinuesCurrentSet(const ScanContext& context, const ChunkView& chunk, std::size_t slot);
// Starts the scan of the next medium of several read as one: its rows, its label, and the state that
// carries from one medium to the next.
void BeginNextMedium(ScanContext& context, std::string name);
// Starts the scan of medium `index` (from 0) of several read in one context: names the first, or begins the
// next.
void BeginMedium(ScanContext& context, std::size_t index, std::string name);

}  // namespace ostrum::catalog
