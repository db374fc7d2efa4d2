#include "catalog_output.h"

#include <iostream>
#include <unordered_map>
#include <vector>

#include "commands.h"
#include "json_writer.h"
#include "media_catalog_output.h"
#include "media_scan.h"

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
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) found += catalog.row(i).dataOffset ? 1 : 0;
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

// The set label of a CatalogPath: its component after "TAPE MEDIA\".
std::string_view SetLabelOf(std::string_view path) {
    if (!path.starts_with(catalog::kMediaRootPrefix)) return {};
    path.remove_prefix(catalog::kMediaRootPrefix.size());
    return path.substr(0, path.find('\\'));
}

std::vector<SetContents> ContentsOfSets(const Catalog& catalog) {
    std::vector<SetContents> sets;
    std::unordered_map<std::string_view, std::size_t> byLabel;
    for (const std::string& label : catalog.setLabels()) {
        byLabel.emplace(label, sets.size());
        sets.push_back(SetContents{label});
    }
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        if (auto found = byLabel.find(SetLabelOf(catalog.row(i).path)); found != byLabel.end()) {
            ++sets[found->second].files;
        }
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

}  // namespace

void NoteSetsWithoutFiles(const Catalog& catalog) {
    for (const SetContents& set : ContentsOfSets(catalog)) {
        if (set.files == 0) PrintError("backup set " + std::string(set.label) + ": " + SetContentsText(set));
    }
}

void PrintCatalogText(std::ostream& out, std::string_view source, const Catalog& catalog,
                      std::string_view status) {
    out << "Source: " << source << "\n\nFolders:\n";
    for (NodeId id : catalog.PreOrder()) {
        out << std::string(2 + 2 * Depth(catalog, id), ' ') << catalog.node(id).text << "\\\n";
    }
    const std::size_t withData = FilesFound(catalog);
    out << "\nFiles (" << catalog.rowCount();
    if (withData != catalog.rowCount()) out << ", " << withData << " with data";
    out << "):\n";
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        const auto& row = catalog.row(i);
        out << "  " << row.path << "\n      type: " << row.typeName();
        if (row.size) out << "   size: " << *row.size;
        if (row.dataOffset) out << "   data at: " << *row.dataOffset;
        if (row.chunkIndex) out << "   tape read: " << *row.chunkIndex;
        if (!row.dataOffset) out << "   (data stream not found)";
        out << "\n";
    }
    if (const auto sets = ContentsOfSets(catalog); !sets.empty()) {
        out << "\nBackup sets (" << sets.size() << "):\n";
        for (const SetContents& set : sets) out << "  " << set.label << ": " << SetContentsText(set) << "\n";
    }
    out << "\n" << status << "\n";
}

void PrintCatalogJson(std::ostream& out, std::string_view source, const Catalog& catalog,
                      std::string_view status) {
    out << "{\"source\": " << JsonString(source) << ", \"nodes\": [";
    const char* separator = "";
    for (NodeId id : catalog.PreOrder()) {
        out << separator << JsonString(catalog.FullPath(id));
        separator = ", ";
    }
    out << "], \"files\": [";
    separator = "";
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        const auto& row = catalog.row(i);
        out << separator << "{\"path\": " << JsonString(row.path)
            << ", \"type\": " << JsonString(row.typeName()) << ", \"size\": " << JsonNumber(row.size)
            << ", \"data_offset\": " << JsonNumber(row.dataOffset)
            << ", \"chunk_index\": " << JsonNumber(row.chunkIndex) << "}";
        separator = ", ";
    }
    out << "], \"files_found\": " << FilesFound(catalog) << ", \"status\": " << JsonString(status);
    if (!catalog.mediaCatalog().empty()) out << ", \"catalog\": " << ComparisonJson(catalog);
    out << MediaSpanJson(catalog);
    out << "}\n";
}

void PrintCatalog(bool json, std::string_view source, const Catalog& catalog, std::string_view status) {
    if (json) {
        PrintCatalogJson(std::cout, source, catalog, status);
        NoteSetsWithoutFiles(catalog);
    } else {
        PrintCatalogText(std::cout, source, catalog, status);
    }
}

}  // namespace ostrum::cli
