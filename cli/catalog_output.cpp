// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog_output.h"

#include <optional>
#include <unordered_map>
#include <vector>

#include "commands.h"
#include "json_writer.h"
#include "media_catalog_output.h"
#include "media_scan.h"
#include "output_buffer.h"

namespace ostrum::cli {

using catalog::Catalog;
using catalog::NodeId;

bool WarnOfUnreadableImageParts(const catalog::ImageScanSummary& summary) {
    if (summary.readErrors == 0) return false;
    std::string at;
    for (std::uint64_t offset : summary.unreadableOffsets)
        at += (at.empty() ? "" : ", ") + std::to_string(offset);
    if (summary.readErrors > summary.unreadableOffsets.size()) {
        at += " and " + std::to_string(summary.readErrors - summary.unreadableOffsets.size()) + " more";
    }
    PrintError(std::to_string(summary.readErrors) + " unreadable part(s) of the image skipped, at byte " +
               at + "; the last: " + summary.lastReadError);
    return true;
}

std::size_t FilesFound(const Catalog& catalog) {
    return catalog.rowsWithData();
}

namespace {

std::size_t Depth(const Catalog& catalog, NodeId id) {
    std::size_t depth = 0;
    for (NodeId at = catalog.node(id).parent; at != catalog::kNoNode; at = catalog.node(at).parent) ++depth;
    return depth;
}

// A backup set the scan accepted and what the catalog holds of it.
struct SetContents {
    std::string_view label;
    std::size_t files = 0;
    bool folders = false;  // it has a node in the tree
};

// The set label of a CatalogPath: its component after "TAPE MEDIA\". A folder part ends with a backslash,
// so a path that begins with "TAPE MEDIA\" has a folder part that does too.
std::string_view SetLabelOf(catalog::RowPath path) {
    if (!path.folder.starts_with(catalog::kMediaRootPrefix)) return {};
    const std::string_view rest = path.folder.substr(catalog::kMediaRootPrefix.size());
    return rest.empty() ? path.name : rest.substr(0, rest.find('\\'));
}

// Counts the rows of each backup set the scan accepted, fed the rows one by one.
class SetTally {
  public:
    explicit SetTally(const Catalog& catalog) {
        for (const std::string& label : catalog.setLabels()) {
            byLabel_.emplace(label, sets_.size());
            sets_.push_back(SetContents{label});
        }
        for (NodeId root : catalog.roots()) {
            for (NodeId set : catalog.node(root).children) {
                if (auto found = byLabel_.find(catalog.node(set).text); found != byLabel_.end()) {
                    sets_[found->second].folders = true;
                }
            }
        }
    }

    void Count(catalog::RowPath path) {
        // Rows of one folder come together: the label is looked up once per folder met. A folder part of
        // "TAPE MEDIA\\" alone, or none, leaves the label to the name.
        if (path.folder.data() != lastFolder_ || path.folder.size() <= catalog::kMediaRootPrefix.size()) {
            lastFolder_ = path.folder.data();
            const auto found = byLabel_.find(SetLabelOf(path));
            counted_ = found != byLabel_.end() ? &sets_[found->second] : nullptr;
        }
        if (counted_ != nullptr && counted_->files++ == 0) ++setsWithFiles_;
    }

    const std::vector<SetContents>& sets() const { return sets_; }
    bool everySetHasFiles() const { return setsWithFiles_ == sets_.size(); }

  private:
    std::vector<SetContents> sets_;
    std::unordered_map<std::string_view, std::size_t> byLabel_;
    const char* lastFolder_ = nullptr;
    SetContents* counted_ = nullptr;
    std::size_t setsWithFiles_ = 0;
};

std::string SetContentsText(const SetContents& set) {
    if (set.files > 0) return std::to_string(set.files) + " file(s)";
    if (set.folders) return "folders, but no files";
    return "holds no files or folders, as database backups do";
}

void PutJsonString(OutputBuffer& out, std::string_view text) {
    char* at = out.Room(2 + kMostJsonEscapedPerByte * text.size());
    *at++ = '"';
    at = WriteJsonEscaped(at, text);
    *at++ = '"';
    out.Used(at);
}

char* JsonNumber(char* at, std::optional<std::uint64_t> value) {
    return value ? OutputBuffer::Number(at, *value) : OutputBuffer::Copy(at, "null");
}

// Room enough for the fixed texts of a row of either listing and its four numbers.
constexpr std::size_t kRowRoom = 160 + 4 * OutputBuffer::kMostDigits;

}  // namespace

bool FinishListing(OutputBuffer& out) {
    if (out.Finish()) return true;
    PrintError("list: cannot write the listing: " + out.error());
    return false;
}

void NoteSetsWithoutFiles(const Catalog& catalog) {
    // Only the sets without files are named: the rows are counted until every set has one.
    SetTally tally(catalog);
    for (std::size_t i = 0; i < catalog.rowCount() && !tally.everySetHasFiles(); ++i) {
        tally.Count(catalog.row(i).path());
    }
    for (const SetContents& set : tally.sets()) {
        if (set.files == 0) PrintError("backup set " + std::string(set.label) + ": " + SetContentsText(set));
    }
}

std::string FoundSummaryText(const Catalog& catalog) {
    const std::size_t files = FilesFound(catalog);
    const std::size_t sets = catalog.setLabels().size();
    return std::to_string(files) + (files == 1 ? " file" : " files") + " found in " + std::to_string(sets) +
           (sets == 1 ? " backup set" : " backup sets");
}

void PrintCatalogText(OutputBuffer& out, std::string_view source, const Catalog& catalog) {
    out.Put("Source: ");
    out.Put(source);
    out.Put("\n\nFolders:\n");
    for (NodeId id : catalog.PreOrder()) {
        out.PutSpaces(2 + 2 * Depth(catalog, id));
        out.Put(catalog.node(id).text);
        out.Put("\\\n");
    }
    const std::size_t withData = FilesFound(catalog);
    out.Put("\nFiles (");
    out.PutNumber(catalog.rowCount());
    if (withData != catalog.rowCount()) {
        out.Put(", ");
        out.PutNumber(withData);
        out.Put(" with data");
    }
    out.Put("):\n");
    SetTally tally(catalog);
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        const catalog::FileRow row = catalog.row(i);
        const catalog::RowPath path = row.path();
        tally.Count(path);
        const std::string_view type = row.typeName();
        char* at = out.Room(kRowRoom + path.size() + type.size());
        at = OutputBuffer::Copy(at, "  ");
        at = OutputBuffer::Copy(at, path.folder);
        at = OutputBuffer::Copy(at, path.name);
        at = OutputBuffer::Copy(at, "\n      type: ");
        at = OutputBuffer::Copy(at, type);
        if (const auto size = row.size()) {
            at = OutputBuffer::Copy(at, row.sizeWhole() ? "   size: " : "   size: at least ");
            at = OutputBuffer::Number(at, *size);
        }
        const auto dataOffset = row.dataOffset();
        if (dataOffset) {
            at = OutputBuffer::Copy(at, "   data at: ");
            at = OutputBuffer::Number(at, *dataOffset);
        }
        if (const auto chunkIndex = row.chunkIndex()) {
            at = OutputBuffer::Copy(at, "   tape read: ");
            at = OutputBuffer::Number(at, *chunkIndex);
        }
        if (!dataOffset) at = OutputBuffer::Copy(at, "   (data stream not found)");
        *at++ = '\n';
        out.Used(at);
    }
    if (const auto& sets = tally.sets(); !sets.empty()) {
        out.Put("\nBackup sets (");
        out.PutNumber(sets.size());
        out.Put("):\n");
        for (const SetContents& set : sets) {
            out.Put("  ");
            out.Put(set.label);
            out.Put(": ");
            out.Put(SetContentsText(set));
            out.Put('\n');
        }
    }
    out.Put('\n');
    out.Put(FoundSummaryText(catalog));
    out.Put('\n');
}

void PrintCatalogJson(OutputBuffer& out, std::string_view source, const Catalog& catalog,
                      std::string_view status) {
    out.Put("{\"source\": ");
    PutJsonString(out, source);
    out.Put(", \"nodes\": [");
    std::string_view separator;
    for (NodeId id : catalog.PreOrder()) {
        out.Put(separator);
        PutJsonString(out, catalog.FullPath(id));
        separator = ", ";
    }
    out.Put("], \"files\": [");
    separator = {};
    // Files of one folder, and files of one type, come together: their escaped texts are kept for the next.
    std::string folderText, typeText;
    const char* lastFolder = nullptr;
    const catalog::FileTypeInfo* lastType = nullptr;
    bool typeKnown = false;
    std::size_t found = 0;
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        const catalog::FileRow row = catalog.row(i);
        const catalog::RowPath path = row.path();
        if (path.folder.data() != lastFolder || path.folder.empty()) {
            lastFolder = path.folder.data();
            folderText.clear();
            AppendJsonEscaped(folderText, path.folder);
        }
        if (row.type() != lastType || !typeKnown) {
            lastType = row.type();
            typeKnown = true;
            typeText.clear();
            AppendJsonEscaped(typeText, row.typeName());
        }
        char* at = out.Room(kRowRoom + folderText.size() + kMostJsonEscapedPerByte * path.name.size() +
                            typeText.size());
        at = OutputBuffer::Copy(at, separator);
        at = OutputBuffer::Copy(at, "{\"path\": \"");
        at = OutputBuffer::Copy(at, folderText);
        at = WriteJsonEscaped(at, path.name);
        at = OutputBuffer::Copy(at, "\", \"type\": \"");
        at = OutputBuffer::Copy(at, typeText);
        at = OutputBuffer::Copy(at, "\", \"size\": ");
        at = JsonNumber(at, row.size());
        if (row.compressed()) {
            at = OutputBuffer::Copy(at, ", \"stored_size\": ");
            at = JsonNumber(at, row.storedSize());
            at = OutputBuffer::Copy(
                at, row.sizeWhole() ? ", \"size_at_least\": false" : ", \"size_at_least\": true");
        }
        at = OutputBuffer::Copy(at, ", \"data_offset\": ");
        const auto dataOffset = row.dataOffset();
        at = JsonNumber(at, dataOffset);
        at = OutputBuffer::Copy(at, ", \"chunk_index\": ");
        at = JsonNumber(at, row.chunkIndex());
        *at++ = '}';
        out.Used(at);
        separator = ", ";
        found += dataOffset ? 1 : 0;
    }
    out.Put("], \"files_found\": ");
    out.PutNumber(found);
    out.Put(", \"status\": ");
    PutJsonString(out, status);
    if (!catalog.mediaCatalog().empty()) {
        out.Put(", \"catalog\": ");
        out.Put(ComparisonJson(catalog));
    }
    out.Put(MediaSpanJson(catalog));
    out.Put("}\n");
}

}  // namespace ostrum::cli
