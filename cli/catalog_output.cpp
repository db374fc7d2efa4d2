#include "catalog_output.h"

#include "commands.h"
#include "json_writer.h"

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

}  // namespace

void PrintCatalogText(std::ostream& out, std::string_view source, const Catalog& catalog,
                      std::string_view status) {
    out << "Source: " << source << "\n\nFolders:\n";
    for (NodeId id : catalog.PreOrder()) {
        out << std::string(2 + 2 * Depth(catalog, id), ' ') << catalog.node(id).text << "\\\n";
    }
    out << "\nFiles (" << catalog.rowCount() << "):\n";
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        const auto& row = catalog.row(i);
        out << "  " << row.path << "\n      type: " << row.typeName();
        if (row.size) out << "   size: " << *row.size;
        if (row.dataOffset) out << "   data at: " << *row.dataOffset;
        if (row.chunkIndex) out << "   tape read: " << *row.chunkIndex;
        if (!row.dataOffset) out << "   (data stream not found)";
        out << "\n";
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
    out << "], \"files_found\": " << FilesFound(catalog) << ", \"status\": " << JsonString(status) << "}\n";
}

}  // namespace ostrum::cli
