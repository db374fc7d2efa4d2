// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/media_catalog.h"

#include <algorithm>
#include <unordered_set>

#include "catalog/block_name.h"
#include "catalog/block_tags.h"
#include "catalog/catalog.h"
#include "catalog/mtf_layout.h"
#include "catalog/scan_context.h"

namespace ostrum::catalog {
using namespace mtf;

namespace {

constexpr std::array<char, 4> kVolbTag = {'V', 'O', 'L', 'B'};
constexpr std::array<char, 4> kFendTag = {'F', 'E', 'N', 'D'};
constexpr std::array<char, 4> kTsmpTag = {'T', 'S', 'M', 'P'};
constexpr std::array<char, 4> kTfddTag = {'T', 'F', 'D', 'D'};
// An ESET's fixed part, and the most streams followed after it: its two catalog streams and the SPAD,
// with room for a vendor's own.
constexpr std::size_t kEsetFixedSize = 85;
constexpr int kMaxEsetStreams = 8;

// The text of the name a record's tape address at `field` points to, decoded as the scan decodes names
// in blocks, with at most `limit` code units; empty when it does not lie inside the record.
std::string NameAt(ByteSpan record, std::size_t field, std::size_t limit) {
    std::string text;
    const auto size = ReadLE16(record, field + tape_address::kSize);
    const auto offset = ReadLE16(record, field + tape_address::kOffset);
    if (!size || !offset || *size == 0) return text;
    const ChunkView view(record, 0);
    ExtractBlockName(view, *offset, std::int64_t{*offset} + *size - 1, limit, text);
    return text;
}

// A set name as OnSetBlock cleans it for the set's label.
std::string SetNameAt(ByteSpan entry, std::size_t field) {
    const auto size = ReadLE16(entry, field + tape_address::kSize);
    std::string name = NameAt(entry, field, size.value_or(0));
    CleanSetName(name);
    return name;
}

FddRecord ReadEntryRecord(ByteSpan record, FddRecord::Kind kind) {
    FddRecord out;
    out.kind = kind;
    out.name = NameAt(record, fdd_entry::kName, kNameUnitLimit);
    out.modified = ReadMtfDate(record, fdd_entry::kLastModificationDate).value_or(0);
    if (kind == FddRecord::Kind::Directory) {
        // As OnDirectoryBlock makes a current directory of a DIRB's name.
        out.usable = IsUsableName(out.name);
        if (out.name.empty() || out.name.front() != '\\') out.name.insert(out.name.begin(), '\\');
    } else {
        // As OnFileBlock takes a file's name.
        if (!out.name.empty() && out.name.front() == '\\') out.name.erase(0, 1);
        out.usable = !out.name.empty() && IsUsableName(out.name);
    }
    return out;
}

}  // namespace

SetMap ParseSetMap(ByteSpan data) {
    SetMap map;
    const auto family = ReadLE32(data, set_map::kMediaFamilyId);
    const auto count = ReadLE16(data, set_map::kNumberOfEntries);
    if (!family || !count || data.size() < set_map::kHeaderSize) {
        map.problem = "the set map is too short for its header";
        return map;
    }
    map.mediaFamilyId = *family;
    std::size_t at = set_map::kHeaderSize;
    for (std::uint16_t i = 0; i < *count; ++i) {
        const auto length = ReadLE16(data, at + set_map_entry::kLength);
        if (!length || *length < set_map_entry::kFixedSize || !HasBytes(data, at, *length)) {
            map.problem = "set map entry " + std::to_string(i + 1) + " of " + std::to_string(*count) +
                          " is damaged or cut short";
            break;
        }
        const ByteSpan entry = data.subspan(at, *length);
        namespace e = set_map_entry;
        map.entries.push_back(SetMapEntry{.dataSetNumber = *ReadLE16(entry, e::kDataSetNumber),
                                          .startSequence = *ReadLE16(entry, e::kMediaSequenceNumber),
                                          .fddSequence = *ReadLE16(entry, e::kFddMediaSequenceNumber),
                                          .name = SetNameAt(entry, e::kDataSetName),
                                          .directories = *ReadLE32(entry, e::kNumberOfDirectories),
                                          .files = *ReadLE32(entry, e::kNumberOfFiles),
                                          .corruptFiles = *ReadLE32(entry, e::kNumberOfCorruptFiles),
                                          .size = *ReadLE64(entry, e::kDisplayableSize),
                                          .written = *ReadMtfDate(entry, e::kMediaWriteDate)});
        at += *length;
    }
    return map;
}

Fdd ParseFdd(ByteSpan data) {
    Fdd fdd;
    for (std::size_t at = 0; !fdd.ended;) {
        const auto length = ReadLE16(data, at + fdd::kLength);
        if (!length) {
            fdd.problem = "it ends at byte " + std::to_string(at) + " without an FEND record";
            break;
        }
        if (*length < fdd::kHeaderSize || !HasBytes(data, at, *length)) {
            fdd.problem = "the record at byte " + std::to_string(at) + " gives a length of " +
                          std::to_string(*length) + " bytes";
            break;
        }
        const ByteSpan record = data.subspan(at, *length);
        FddRecord out;
        if (HasTagAt(record, fdd::kType, kFendTag)) {
            fdd.ended = true;
            break;
        } else if (HasTagAt(record, fdd::kType, BlockTagTable[kTagDIRB]) ||
                   HasTagAt(record, fdd::kType, BlockTagTable[kTagFILE])) {
            if (*length < fdd_entry::kFixedSize) {
                fdd.problem = "the record at byte " + std::to_string(at) + " is too short for a DIRB or FILE";
                break;
            }
            const bool directory = HasTagAt(record, fdd::kType, BlockTagTable[kTagDIRB]);
            out = ReadEntryRecord(record, directory ? FddRecord::Kind::Directory : FddRecord::Kind::File);
        } else if (HasTagAt(record, fdd::kType, kVolbTag)) {
            out.kind = FddRecord::Kind::Volume;
            out.name = NameAt(record, fdd_volb::kDeviceName, kNameUnitLimit);
            if (out.name.starts_with('\\')) out.name.erase(0, 1);
        } else {
            // Some programs keep a catalog of their own form in a TFDD stream.
            fdd.problem = "the record at byte " + std::to_string(at) + " is of no kind a catalog holds";
            break;
        }
        out.mediaSequence = *ReadLE16(record, fdd::kMediaSequenceNumber);
        out.formatLogicalAddress = *ReadLE64(record, fdd::kFormatLogicalAddress);
        out.size = *ReadLE64(record, fdd::kDisplayableSize);
        fdd.records.push_back(std::move(out));
        at += *length;
    }
    return fdd;
}

void MediaCatalog::NoteSetMap(SetMap map) {
    if (!setMap_ || map.entries.size() >= setMap_->entries.size()) setMap_ = std::move(map);
}

void MediaCatalog::NoteFdd(std::uint16_t dataSetNumber, Fdd fdd) {
    fdds_[dataSetNumber] = std::move(fdd);
}

void MediaCatalog::NoteScannedSet(std::uint16_t dataSetNumber, const std::string& label) {
    scannedLabels_.emplace(dataSetNumber, label);
}

const std::string* MediaCatalog::ScannedLabel(std::uint16_t dataSetNumber) const {
    const auto found = scannedLabels_.find(dataSetNumber);
    return found == scannedLabels_.end() ? nullptr : &found->second;
}

std::vector<CataloguedSet> MediaCatalog::Sets() const {
    std::map<std::uint16_t, CataloguedSet> sets;
    if (setMap_) {
        for (const SetMapEntry& entry : setMap_->entries) sets[entry.dataSetNumber].entry = entry;
    }
    for (const auto& [number, fdd] : fdds_) sets[number].fdd = &fdd;
    std::vector<CataloguedSet> out;
    for (auto& [number, set] : sets) {
        set.dataSetNumber = number;
        out.push_back(std::move(set));
    }
    return out;
}

std::string LabelOf(const MediaCatalog& catalog, const CataloguedSet& set) {
    if (const std::string* label = catalog.ScannedLabel(set.dataSetNumber)) return *label;
    return "BACKUP SET " + std::to_string(set.dataSetNumber) + "(" + (set.entry ? set.entry->name : "") + ")";
}

std::vector<CataloguedFile> FilesOf(const Fdd& fdd, const std::string& label, std::size_t& unusable) {
    std::vector<CataloguedFile> files;
    const std::string prefix = std::string(kMediaRootPrefix) + label;
    const FddRecord* directory = nullptr;
    for (const FddRecord& record : fdd.records) {
        if (record.kind == FddRecord::Kind::Directory) directory = &record;
        if (record.kind != FddRecord::Kind::File) continue;
        const bool directoryUsable = directory == nullptr || directory->usable;
        std::string path = prefix + (directory ? directory->name : "\\") + record.name;
        if (!record.usable || !directoryUsable || CharacterCount(path) > kMaxCatalogPath) {
            ++unusable;
            continue;
        }
        files.push_back(CataloguedFile{std::move(path), &record});
    }
    return files;
}

namespace {

// A CatalogPath below its set label: "\DOCS\A.TXT" of "TAPE MEDIA\BACKUP SET 1(_Daily)\DOCS\A.TXT". Set
// labels hold no backslash (the scan makes them underscores).
std::string_view BelowSetLabel(std::string_view path) {
    const auto at = path.find('\\', kMediaRootPrefix.size());
    return at == std::string_view::npos ? std::string_view() : path.substr(at);
}

}  // namespace

CatalogComparison CompareWithScan(const Catalog& catalog) {
    CatalogComparison comparison;
    const MediaCatalog& media = catalog.mediaCatalog();
    if (media.Sets().empty()) return comparison;
    // The catalog keeps a row's path in two pieces (folder and name); the comparison needs it whole.
    std::unordered_set<std::string> found;
    found.reserve(catalog.rowCount());
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) found.insert(catalog.row(i).path().str());
    // The files of a set whose SSET block the scan did not meet went under the label before it: they
    // count as found when some file has their path below its set's label.
    std::unordered_set<std::string_view> foundBelowLabels;
    for (const CataloguedSet& set : media.Sets()) {
        if (set.fdd == nullptr) {
            comparison.setsWithoutFdd.push_back(set.dataSetNumber);
            continue;
        }
        const bool scanned = media.ScannedLabel(set.dataSetNumber) != nullptr;
        if (!scanned && foundBelowLabels.empty()) {
            for (std::string_view path : found) foundBelowLabels.insert(BelowSetLabel(path));
        }
        if (!scanned) comparison.setsUnscanned.push_back(set.dataSetNumber);
        for (CataloguedFile& file : FilesOf(*set.fdd, LabelOf(media, set), comparison.notCompared)) {
            ++comparison.filesNamed;
            const bool seen =
                scanned ? found.contains(file.path) : foundBelowLabels.contains(BelowSetLabel(file.path));
            if (!seen) comparison.missing.push_back(std::move(file.path));
        }
    }
    return comparison;
}

void OnEndOfSetBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot) {
    std::vector<std::uint8_t> scratch;
    const ByteSpan block = chunk.Fetch(slot, kEsetFixedSize, scratch);
    if (block.size() < kEsetFixedSize || !BlockHeaderChecksumHolds(block, 0)) return;
    const std::uint16_t dataSetNumber = *ReadLE16(block, eset::kDataSetNumber);
    std::uint64_t distance = *ReadLE16(block, db_hdr::kOffsetToFirstEvent);
    if (distance < db_hdr::kSize) return;
    MediaCatalog& media = context.catalog.mediaCatalog();
    std::uint64_t catalogEnd = 0;  // from the ESET's first byte to the end of its last catalog stream
    for (int streams = 0; streams < kMaxEsetStreams; ++streams) {
        const ByteSpan header = chunk.Fetch(slot + distance, stream_hdr::kSize, scratch);
        if (header.size() < stream_hdr::kSize || !StreamHeaderChecksumHolds(header)) break;
        const bool setMap = HasTagAt(header, stream_hdr::kStreamId, kTsmpTag);
        if (!setMap && !HasTagAt(header, stream_hdr::kStreamId, kTfddTag)) break;
        const std::uint64_t length = *ReadLE64(header, stream_hdr::kStreamLength);
        const std::string what = std::string(setMap ? "set map" : "file and folder detail") +
                                 " of data set " + std::to_string(dataSetNumber);
        if (length > kMaxCatalogStreamBytes) {
            media.NoteProblem("the " + what + " is " + std::to_string(length) + " bytes long: not read");
            break;
        }
        std::vector<std::uint8_t> bytes;
        const ByteSpan data =
            chunk.Fetch(slot + distance + stream_hdr::kSize, static_cast<std::size_t>(length), bytes);
        if (data.size() < length) {
            media.NoteProblem("the " + what + " is cut short by the end of the medium");
            break;
        }
        std::string problem;
        if (setMap) {
            SetMap map = ParseSetMap(data);
            problem = map.problem;
            media.NoteSetMap(std::move(map));
        } else {
            Fdd fdd = ParseFdd(data);
            problem = fdd.problem;
            media.NoteFdd(dataSetNumber, std::move(fdd));
        }
        if (!problem.empty()) media.NoteProblem("the " + what + " is damaged: " + problem);
        distance = stream_hdr::NextHeaderDistance(distance, length);
        catalogEnd = distance;
    }
    // Every later slot that starts inside the catalog streams is passed over: whatever their records hold
    // (damaged or not), the stream headers vouch that they are catalog data.
    if (catalogEnd > 0) context.catalogDataEnd = chunk.position() + slot + catalogEnd;
}

}  // namespace ostrum::catalog
