#include "catalog_output.h"

#include <optional>
#include <unordered_map>
#include <vector>

#include "commands.h"
#include "json_writer.h"
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
    std::size_t found = 0;
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) found += catalog.row(i).dataOffset() ? 1 : 0;
    return found;
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

std::vector<SetContents> ContentsOfSets(const Catalog& catalog) {
    std::vector<SetContents> sets;
    std::unordered_map<std::string_view, std::size_t> byLabel;
    for (const std::string& label : catalog.setLabels()) {
        byLabel.emplace(label, sets.size());
        sets.push_back(SetContents{label});
    }
    // Rows of one folder come together: the label is looked up once per folder met.
    const char* lastFolder = nullptr;
    SetContents* counted = nullptr;
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        const catalog::RowPath path = catalog.row(i).path();
        // A folder part of "TAPE MEDIA\\" alone, or none, leaves the label to the name.
        if (path.folder.data() != lastFolder || path.folder.size() <= catalog::kMediaRootPrefix.size()) {
            lastFolder = path.folder.data();
            const auto found = byLabel.find(SetLabelOf(path));
            counted = found != byLabel.end() ? &sets[found->second] : nullptr;
        }
        if (counted != nullptr) ++counted->files;
    }
    for (NodeId root : catalog.roots()) {
        for (NodeId set : catalog.node(root).children) {
            if (auto found = byLabel.find(catalog.node(set).text); found != byLabel.end()) {
                sets[found->second].folders = true;
            }
        }
    }
    return sets;
}

std::string SetContentsText(const SetContents& set) {
    if (set.files > 0) return std::to_string(set.files) + " file(s)";
    if (set.folders) return "folders, but no files";
    return "holds no files or folders, as database backups do";
}

void PutJsonString(OutputBuffer& out, std::string_view text) {
    out.Put('"');
    AppendJsonEscaped(out.text(), text);
    out.Put('"');
}

void PutJsonNumber(OutputBuffer& out, std::optional<std::uint64_t> value) {
    if (value) {
        out.PutNumber(*value);
    } else {
        out.Put("null");
    }
}

}  // namespace

bool FinishListing(OutputBuffer& out) {
    if (out.Finish()) return true;
    PrintError("list: cannot write the listing: " + out.error());
    return false;
}

void NoteSetsWithoutFiles(const Catalog& catalog) {
    for (const SetContents& set : ContentsOfSets(catalog)) {
        if (set.files == 0) PrintError("backup set " + std::string(set.label) + ": " + SetContentsText(set));
    }
}

void PrintCatalogText(OutputBuffer& out, std::string_view source, const Catalog& catalog,
                      std::string_view status) {
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
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        const catalog::FileRow row = catalog.row(i);
        const catalog::RowPath path = row.path();
        out.Put("  ");
        out.Put(path.folder);
        out.Put(path.name);
        out.Put("\n      type: ");
        out.Put(row.typeName());
        if (const auto size = row.size()) {
            out.Put("   size: ");
            out.PutNumber(*size);
        }
        const auto dataOffset = row.dataOffset();
        if (dataOffset) {
            out.Put("   data at: ");
            out.PutNumber(*dataOffset);
        }
        if (const auto chunkIndex = row.chunkIndex()) {
            out.Put("   tape read: ");
            out.PutNumber(*chunkIndex);
        }
        if (!dataOffset) out.Put("   (data stream not found)");
        out.Put('\n');
    }
    if (const auto sets = ContentsOfSets(catalog); !sets.empty()) {
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
    out.Put(status);
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
        out.Put(separator);
        out.Put("{\"path\": \"");
        out.Put(folderText);
        AppendJsonEscaped(out.text(), path.name);
        out.Put("\", \"type\": \"");
        out.Put(typeText);
        out.Put("\", \"size\": ");
        PutJsonNumber(out, row.size());
        out.Put(", \"data_offset\": ");
        const auto dataOffset = row.dataOffset();
        PutJsonNumber(out, dataOffset);
        out.Put(", \"chunk_index\": ");
        PutJsonNumber(out, row.chunkIndex());
        out.Put('}');
        separator = ", ";
        found += dataOffset ? 1 : 0;
    }
    out.Put("], \"files_found\": ");
    out.PutNumber(found);
    out.Put(", \"status\": ");
    PutJsonString(out, status);
    out.Put("}\n");
}

}  // namespace ostrum::cli
