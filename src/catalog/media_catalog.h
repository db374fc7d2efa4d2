// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The medium's own catalog (a Media Based Catalog of Type 1), as the backup program wrote it into the ESET
// blocks of its sets: a Set Map of the sets of the media family and, for each set, its File/Directory
// Detail (FDD), naming every directory and file the set holds. The stream data are parsed by pure
// functions; the scan collects what it meets into the Catalog (OnEndOfSetBlock), and CompareWithScan says
// which files the medium's catalog names that the scan did not find: those lost to damage.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "catalog/byte_reader.h"
#include "catalog/chunk_view.h"

namespace ostrum::catalog {

struct ScanContext;
class Catalog;

// Largest catalog stream read, in bytes. Real catalogs of a few million files stay well below it; a
// larger length is damage or more than is worth holding in memory, and is noted, not read.
inline constexpr std::uint64_t kMaxCatalogStreamBytes = 256u << 20;

// One data set as the Set Map records it.
struct SetMapEntry {
    std::uint16_t dataSetNumber = 0;
    std::uint16_t startSequence = 0;  // the medium of the family where the set starts
    std::uint16_t fddSequence = 0;    // the medium holding its FDD
    std::string name;                 // cleaned as a set label shows it ("_Daily"), empty when unusable
    std::uint32_t directories = 0;
    std::uint32_t files = 0;
    std::uint32_t corruptFiles = 0;
    std::uint64_t size = 0;     // displayable size of the whole set
    std::uint64_t written = 0;  // media write date as stored (5 bytes), 0 unknown
};

struct SetMap {
    std::uint32_t mediaFamilyId = 0;
    std::vector<SetMapEntry> entries;
    std::string problem;  // why the entries stop short of the number the header gives, if they do
};

// One FDD record. Names are in the scan's own text form, so that they compare with its CatalogPaths.
struct FddRecord {
    enum class Kind : std::uint8_t { Volume, Directory, File };
    Kind kind = Kind::File;
    // Volume: its device name. Directory: its path as the scan writes a current directory ("\DOCS\" or
    // "\" for the root). File: its name ("A.TXT").
    std::string name;
    bool usable = true;  // the scan would catalogue it under this name (a valid name, not too long)
    std::uint16_t mediaSequence = 0;
    std::uint64_t formatLogicalAddress = 0;
    std::uint64_t size = 0;      // displayable size: a file's size
    std::uint64_t modified = 0;  // last modification date as stored, 0 unknown
};

struct Fdd {
    std::vector<FddRecord> records;  // in the set's own order
    bool ended = false;              // its FEND record was met
    std::string problem;             // why it stops before an FEND, if it does
};

// The data of a TSMP stream.
SetMap ParseSetMap(ByteSpan data);
// The data of a TFDD stream.
Fdd ParseFdd(ByteSpan data);

// A data set as the medium's catalog knows it: from the Set Map, from its FDD, or both.
struct CataloguedSet {
    std::uint16_t dataSetNumber = 0;
    std::optional<SetMapEntry> entry;
    const Fdd* fdd = nullptr;
};

// What the scan met of the medium's catalog.
class MediaCatalog {
  public:
    bool empty() const { return !setMap_ && fdds_.empty(); }
    // A Set Map is written again by every set with all the sets so far: the fullest one met is kept.
    void NoteSetMap(SetMap map);
    void NoteFdd(std::uint16_t dataSetNumber, Fdd fdd);
    // The setLabel the scan gave the SSET block of this data set number (the first one met).
    void NoteScannedSet(std::uint16_t dataSetNumber, const std::string& label);
    void NoteProblem(std::string problem) { problems_.push_back(std::move(problem)); }

    const std::optional<SetMap>& setMap() const { return setMap_; }
    // Every set the catalog knows, by data set number.
    std::vector<CataloguedSet> Sets() const;
    // The scan's label for the set, when it met its SSET block.
    const std::string* ScannedLabel(std::uint16_t dataSetNumber) const;
    const std::vector<std::string>& problems() const { return problems_; }

  private:
    std::optional<SetMap> setMap_;
    std::map<std::uint16_t, Fdd> fdds_;
    std::map<std::uint16_t, std::string> scannedLabels_;
    std::vector<std::string> problems_;
};

// A file of the medium's catalog with the CatalogPath the scan would give it.
struct CataloguedFile {
    std::string path;
    const FddRecord* record = nullptr;
};

// The files of one set's FDD with their CatalogPaths below `label`; files whose names the scan would not
// catalogue as they stand are counted in `unusable` instead.
std::vector<CataloguedFile> FilesOf(const Fdd& fdd, const std::string& label, std::size_t& unusable);

// The label a catalogued set has in the scan, or, when the scan did not meet its SSET block, the label it
// would have had were the sets numbered as the medium numbers them.
std::string LabelOf(const MediaCatalog& catalog, const CataloguedSet& set);

struct CatalogComparison {
    std::size_t filesNamed = 0;        // files named by the sets' FDDs
    std::vector<std::string> missing;  // CatalogPaths of those the scan did not find, in catalog order
    std::size_t notCompared = 0;       // files whose names the scan would catalogue otherwise
    std::vector<std::uint16_t> setsUnscanned;   // data sets whose SSET block the scan did not meet
    std::vector<std::uint16_t> setsWithoutFdd;  // data sets of the Set Map whose FDD was not found
};

// Compares the medium's catalog with the files the scan found, by path. The files of a set whose SSET
// block the scan did not meet are looked for below any set's label, since the scan put them under the
// label of the set before.
CatalogComparison CompareWithScan(const Catalog& catalog);

// The scan's handler for ESET blocks: reads the catalog streams that follow a sound ESET into the
// catalog, and has the slots they cover passed over, since the tags inside catalog records are no blocks.
void OnEndOfSetBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot);

}  // namespace ostrum::catalog
