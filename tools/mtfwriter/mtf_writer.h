// SPDX-License-Identifier: GPL-3.0-or-later
// The MTF test-media writer: describe a tape in C++ structs, write it as genuine MTF 1.00a media through a
// sink, and get back a manifest that says exactly where every file landed.
//
//   MediaDescription media{.tape = {.mediaName = "Tape 1"}};
//   media.sets.push_back({.info = {.name = "Daily"},
//                         .entries = {DirectoryEntry{.path = {"DOCS"}},
//                                     FileEntry{.name = "A.TXT", .data = BytesOf("hello")}}});
//   MemorySink sink;
//   Manifest manifest = WriteMedia(media, sink);
//
// Media with millions of entries or files of many GiB are written through MediaWriter one entry at a time;
// file contents come from memory, from a deterministic generator, or from a file on disk, and are always
// streamed.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "media_sink.h"

namespace ostrum::mtfwriter {

// Something the writer cannot do with the description or the sink it was given (bad options, names too long
// for a block, a source file that changed while it was read, an output error).
class MediaError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A calendar date and time as MTF stores it (no time zone). All fields zero means "unknown".
struct MtfDate {
    std::uint16_t year = 0;   // 0..16383
    std::uint8_t month = 0;   // 1..12
    std::uint8_t day = 0;     // 1..31
    std::uint8_t hour = 0;    // 0..23
    std::uint8_t minute = 0;  // 0..59
    std::uint8_t second = 0;  // 0..59
    bool operator==(const MtfDate&) const = default;
};

// The 5-byte MTF_DATE_TIME: one big-endian 40-bit number holding year (14 bits), month (4), day (5), hour
// (5), minute (6), second (6). Fields too large for their bits throw std::invalid_argument.
std::array<std::uint8_t, 5> EncodeMtfDate(const MtfDate& date);
// The UTC calendar date of a Unix time.
MtfDate MtfDateFromUnixTime(std::int64_t secondsSinceEpoch);

// A name as 16-bit code units. Built from UTF-8 text by default (implicitly, so `.name = "A.TXT"` works);
// Name::raw keeps any units exactly as given, for hostile names: NUL units, "/" in names, unpaired
// surrogates, "..".
struct Name {
    std::u16string units{};

    Name() = default;
    Name(const char* utf8) : Name(std::string_view(utf8)) {}
    Name(const std::string& utf8) : Name(std::string_view(utf8)) {}
    Name(std::string_view utf8);
    static Name Raw(std::u16string units);

    bool empty() const { return units.empty(); }
    // UTF-8 text of the units; unpaired surrogates become U+FFFD, NUL units stay NUL characters.
    std::string text() const;
    bool operator==(const Name&) const = default;
};

// UTF-8 to UTF-16; invalid UTF-8 throws std::invalid_argument (use Name::raw for deliberate oddities).
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view units);

// File contents, streamed when written.
struct GeneratedData {
    std::uint64_t size = 0;
    std::uint64_t seed = 0;
};
struct DiskFileData {
    std::filesystem::path path{};
    std::uint64_t size = 0;  // the size when described; the writer fails if the file has changed
};
using FileData = std::variant<std::vector<std::uint8_t>, GeneratedData, DiskFileData>;

std::vector<std::uint8_t> BytesOf(std::string_view text);
std::uint64_t DataSize(const FileData& data);
// The generator behind GeneratedData: a cheap keyed pattern, addressable by position, so any range of a huge
// file can be reproduced for checking. Bytes [offset, offset + out.size()) of the file with this seed.
void FillGenerated(std::uint64_t seed, std::uint64_t offset, std::span<std::uint8_t> out);

// A DIRB. `path` holds the components below the volume root; an empty path is the root directory (a single
// NUL). `rawName`, when set, is written as the Directory Name exactly as given, instead of the NUL-terminated
// components.
struct DirectoryEntry {
    std::vector<Name> path{};
    MtfDate mtime{};
    std::optional<std::u16string> rawName{};
};

// A run of a sparse file that holds data; what lies between runs is a hole.
struct SparseExtent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// How a SPAR stream's data frame its run.
enum class SparseFrame : std::uint8_t {
    OffsetAndLength,  // 64-bit offset, 64-bit length, then the run's bytes
    OffsetOnly,       // 64-bit offset, then the run's bytes (the stream length tells how many)
};

// A FILE with its streams: [NACL] [STAN [SPAR]...] [CSUM] SPAD.
struct FileEntry {
    Name name{};
    MtfDate mtime{};
    FileData data{};
    std::uint32_t naclBytes = 0;  // an NACL security stream of this size before STAN
    // The NACL stream's own bytes instead (naclBytes is then not used): e.g. bytes that spell "STAN", as a
    // security descriptor's may.
    std::optional<std::vector<std::uint8_t>> naclData{};
    bool csum = false;    // a CSUM stream after STAN
    bool noStan = false;  // no STAN stream at all (the data is not written)
    // A Stream Length in the STAN header other than the bytes written.
    std::optional<std::uint64_t> declaredLength{};
    // Compressed sets: the frame index (0-based) that gets a wrong checksum.
    std::optional<std::uint32_t> badFrameChecksum{};
    // A sparse file: only these ranges of `data` are written, one SPAR stream each, after an empty STAN
    // flagged sparse; the rest of the file is holes, read back as zeros. Ascending, not overlapping, within
    // the data. Never compressed; no CSUM.
    std::optional<std::vector<SparseExtent>> sparse{};
    SparseFrame sparseFrame = SparseFrame::OffsetAndLength;
};

using Entry = std::variant<DirectoryEntry, FileEntry>;

struct TapeInfo {
    Name mediaName{};
    Name mediaDescription{};
    std::uint16_t logicalBlockSize = 1024;  // 512 or 1024
    std::uint32_t mediaFamilyId = 0x4F535452;
    MtfDate date{};
    // Write a Media Based Catalog of Type 1: each set's ESET carries the set's File/Directory Detail (a
    // TFDD stream) and the Set Map of every set so far (a TSMP stream).
    bool mediaCatalog = false;
};

enum class BackupType : std::uint8_t { Transfer, Copy, Normal, Differential, Incremental, Daily };

struct SetInfo {
    Name name{};
    Name description{};
    Name userName{};
    BackupType type = BackupType::Normal;
    bool compressed = false;  // Stac LZS software compression of the STAN streams
    MtfDate date{};
    Name deviceName = "C:";  // VOLB
    Name volumeName{};
    Name machineName = "OSTRUM";
};

struct DataSet {
    SetInfo info{};
    std::vector<Entry> entries{};
};

struct MediaDescription {
    TapeInfo tape{};
    std::vector<DataSet> sets{};
};

struct WriterOptions {
    // Physical block size (a multiple of 512): filemarks fall on its boundaries. 0 takes the sink's record
    // size, or 512 for a sink without one. A sink with a record size only accepts 0 or that size.
    std::uint32_t physicalBlockSize = 0;
    // Write SFMB blocks (as .bkf files on disk have) instead of telling the sink about hard filemarks.
    bool softFilemarks = false;
    // Keep one ManifestFile per file. Turn off for benchmark media with millions of files.
    bool recordFiles = true;
};

// Where things landed. Offsets are image offsets: bytes from the start of the medium's data, as an image file
// or the concatenated records of a .tap hold them. A backup spread over several media counts offsets on each
// medium from its own start.

// A piece of a file's STAN data on one medium.
struct DataPart {
    std::uint32_t medium = 0;  // 0-based, in the order written
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct ManifestFile {
    std::uint32_t setNumber = 0;        // 1-based, order written
    std::uint32_t medium = 0;           // the medium holding its FILE block
    std::string directory{};            // components of the current DIRB joined by '\' ("" = root or no DIRB)
    std::u16string directoryName{};     // the DIRB's Directory Name units as written (NUL-separated)
    std::string name{};                 // UTF-8 text of the file name
    std::u16string nameUnits{};         // the units as written
    std::uint64_t fileBlockOffset = 0;  // the FILE block
    std::optional<std::uint64_t> dataOffset{};  // first data byte of STAN (just after its 22-byte header)
    std::uint64_t dataLength = 0;               // bytes of STAN data written (compressed: the frames)
    // Where those bytes lie: one part, or one per medium when the end of a medium cut them.
    std::vector<DataPart> parts{};
    std::uint64_t declaredLength = 0;  // Stream Length in the STAN header
    std::uint64_t originalLength = 0;  // the file's own size (before compression)
    bool compressed = false;
    bool sparse = false;
    MtfDate mtime{};
};

struct ManifestDirectory {
    std::uint32_t setNumber = 0;
    std::string path{};  // as ManifestFile::directory
    std::uint64_t blockOffset = 0;
};

struct ManifestSet {
    std::uint32_t number = 0;
    std::uint32_t medium = 0;  // of its SSET; its ESET may lie on a later medium
    std::string name{};
    bool compressed = false;
    std::uint64_t ssetOffset = 0;
    std::uint64_t esetOffset = 0;
    // With a media catalog: where the TFDD and TSMP streams' data lie, and how long they are.
    std::uint64_t fddOffset = 0;
    std::uint64_t fddLength = 0;
    std::uint64_t setMapOffset = 0;
    std::uint64_t setMapLength = 0;
};

struct Manifest {
    std::uint32_t logicalBlockSize = 0;
    std::uint32_t physicalBlockSize = 0;
    bool softFilemarks = false;
    std::vector<ManifestSet> sets{};
    std::vector<ManifestDirectory> directories{};
    std::vector<ManifestFile> files{};  // empty when WriterOptions::recordFiles is off
    std::uint64_t fileCount = 0;        // files written, recorded or not
    // Hard filemarks: the offset the mark sits at; soft ones: the SFMB block's offset.
    std::vector<std::uint64_t> filemarks{};
    std::uint64_t imageSize = 0;               // of the last medium
    std::vector<std::uint64_t> mediumSizes{};  // of every medium, in order
};

// Writes a medium one piece at a time. The constructor writes TAPE and its filemark; Finish() ends the
// medium. Calls out of order (a file outside a set, Finish() with a set open) throw MediaError.
//
// A backup can be spread over several media, one sink each, as a backup program does when a tape is full:
// medium i ends at the first point at or after byte endsAt[i] of it where a medium may end, which is
// before a DIRB or FILE block, or at a logical block boundary inside a file's STAN data. There the medium
// gets an EOTM block and a filemark; the next starts with a TAPE block of the same media family and the
// next sequence number, then the set's SSET, VOLB and DIRB again with the continuation bit, and, when a
// file was cut, its FILE block again with the continuation bit and a STAN header flagged as continued,
// giving the bytes still to come, which start at the next logical block boundary.
class MediaWriter {
  public:
    MediaWriter(Sink& sink, const TapeInfo& tape, const WriterOptions& options = {});
    // `media` holds one sink per medium and endsAt one byte fewer; Finish() throws when the backup ended
    // before every medium began.
    MediaWriter(std::span<Sink* const> media, std::span<const std::uint64_t> endsAt, const TapeInfo& tape,
                const WriterOptions& options = {});
    ~MediaWriter();
    MediaWriter(const MediaWriter&) = delete;
    MediaWriter& operator=(const MediaWriter&) = delete;

    void BeginSet(const SetInfo& set);
    void AddDirectory(const DirectoryEntry& directory);
    void AddFile(const FileEntry& file);
    void Add(const Entry& entry);
    void EndSet();
    // Filemark, EOTM, filemark; then the sink is finished. Returns the manifest.
    Manifest Finish();

    std::uint64_t position() const;

  private:
    struct State;
    std::unique_ptr<State> state_{};
};

Manifest WriteMedia(const MediaDescription& media, Sink& sink, const WriterOptions& options = {});
// The backup spread over the sinks of `media`, medium i ending at endsAt[i] as MediaWriter says.
Manifest WriteSpannedMedia(const MediaDescription& media, std::span<Sink* const> sinks,
                           std::span<const std::uint64_t> endsAt, const WriterOptions& options = {});
Manifest WriteImageFile(const MediaDescription& media, const std::filesystem::path& path,
                        const WriterOptions& options = {});
Manifest WriteTapFile(const MediaDescription& media, const std::filesystem::path& path,
                      std::uint32_t blockSize, WriterOptions options = {});

}  // namespace ostrum::mtfwriter
