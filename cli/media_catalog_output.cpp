// SPDX-License-Identifier: GPL-3.0-or-later
#include "media_catalog_output.h"

#include <sstream>
#include <vector>

#include "catalog_output.h"
#include "commands.h"
#include "common/hex_text.h"
#include "json_writer.h"
#include "media_scan.h"
#include "output_buffer.h"

namespace ostrum::cli {
namespace {

using catalog::CataloguedSet;
using catalog::FddRecord;

// One line of a set's detail: a folder or a file with the path the scan gives (or would give) it.
struct DetailLine {
    std::string path;
    const FddRecord* record;
};

std::vector<DetailLine> DetailOf(const catalog::MediaCatalog& media, const CataloguedSet& set) {
    std::vector<DetailLine> lines;
    if (set.fdd == nullptr) return lines;
    const std::string prefix = std::string(catalog::kMediaRootPrefix) + LabelOf(media, set);
    std::string directory = "\\";
    for (const FddRecord& record : set.fdd->records) {
        if (record.kind == FddRecord::Kind::Volume) continue;
        if (record.kind == FddRecord::Kind::Directory) {
            directory = record.name.ends_with('\\') ? record.name : record.name + "\\";
            lines.push_back({prefix + directory, &record});
        } else {
            lines.push_back({prefix + directory + record.name, &record});
        }
    }
    return lines;
}

std::string SetSummary(const CataloguedSet& set) {
    if (!set.entry) return "not in the set map";
    const auto& entry = *set.entry;
    return std::to_string(entry.directories) + " folder(s), " + std::to_string(entry.files) + " file(s), " +
           std::to_string(entry.size) + " bytes" +
           (entry.corruptFiles > 0 ? ", " + std::to_string(entry.corruptFiles) + " recorded as corrupt" : "");
}

void NoteProblems(const catalog::MediaCatalog& media) {
    for (const std::string& problem : media.problems()) PrintError("the medium's catalog: " + problem);
}

}  // namespace

bool PrintListing(std::string_view source, const catalog::Catalog& catalog, std::string_view status,
                  ListingForm form) {
    OutputBuffer out(stdout);
    // The medium's catalog and the spread files are short: they are formed in a stream, then written out.
    std::ostringstream extra;
    if (form.mediaCatalog) {
        NoteProblems(catalog.mediaCatalog());
        if (catalog.mediaCatalog().empty()) {
            PrintError("no catalog of its own was found on " + std::string(source));
            return false;
        }
        if (form.json) {
            PrintMediaCatalogJson(extra, source, catalog);
        } else {
            PrintMediaCatalogText(extra, source, catalog);
        }
        out.Put(extra.view());
        return FinishListing(out);
    }
    if (form.json) {
        PrintCatalogJson(out, source, catalog, status);
        NoteSetsWithoutFiles(catalog);
    } else {
        PrintCatalogText(out, source, catalog);
        PrintComparisonText(extra, catalog);
        PrintMediaSpanText(extra, catalog);
        out.Put(extra.view());
    }
    NoteProblems(catalog.mediaCatalog());
    NoteMediaSpanProblems(catalog);
    return FinishListing(out);
}

void PrintMediaCatalogText(std::ostream& out, std::string_view source, const catalog::Catalog& catalog) {
    const catalog::MediaCatalog& media = catalog.mediaCatalog();
    out << "Source: " << source << "\n\nThe medium's own catalog";
    if (media.setMap()) out << " (media family " << common::Hex32(media.setMap()->mediaFamilyId) << ")";
    out << ":\n";
    for (const CataloguedSet& set : media.Sets()) {
        out << "\nData set " << set.dataSetNumber << ", " << LabelOf(media, set) << ": " << SetSummary(set);
        if (media.ScannedLabel(set.dataSetNumber) == nullptr) out << " (the scan did not meet its start)";
        out << "\n";
        if (set.fdd == nullptr) {
            out << "  (its file and folder detail was not found)\n";
            continue;
        }
        for (const DetailLine& line : DetailOf(media, set)) {
            out << "  " << line.path;
            if (line.record->kind == FddRecord::Kind::File) out << "   size: " << line.record->size;
            if (!line.record->usable) out << "   (a name the scan cannot use as it stands)";
            out << "\n";
        }
    }
}

void PrintMediaCatalogJson(std::ostream& out, std::string_view source, const catalog::Catalog& catalog) {
    const catalog::MediaCatalog& media = catalog.mediaCatalog();
    out << "{\"source\": " << JsonString(source)
        << ", \"media_family\": " << (media.setMap() ? std::to_string(media.setMap()->mediaFamilyId) : "null")
        << ", \"sets\": [";
    const char* separator = "";
    for (const CataloguedSet& set : media.Sets()) {
        out << separator << "{\"number\": " << set.dataSetNumber
            << ", \"name\": " << (set.entry ? JsonString(set.entry->name) : "null")
            << ", \"label\": " << JsonString(LabelOf(media, set))
            << ", \"scanned\": " << (media.ScannedLabel(set.dataSetNumber) ? "true" : "false")
            << ", \"folders\": " << (set.entry ? std::to_string(set.entry->directories) : "null")
            << ", \"files\": " << (set.entry ? std::to_string(set.entry->files) : "null")
            << ", \"size\": " << (set.entry ? std::to_string(set.entry->size) : "null") << ", \"entries\": ";
        if (set.fdd == nullptr) {
            out << "null}";
        } else {
            out << "[";
            const char* entrySeparator = "";
            for (const DetailLine& line : DetailOf(media, set)) {
                const bool file = line.record->kind == FddRecord::Kind::File;
                out << entrySeparator << "{\"path\": " << JsonString(line.path)
                    << ", \"kind\": " << (file ? "\"file\"" : "\"folder\"")
                    << ", \"size\": " << (file ? std::to_string(line.record->size) : "null") << "}";
                entrySeparator = ", ";
            }
            out << "]}";
        }
        separator = ", ";
    }
    out << "]}\n";
}

void PrintComparisonText(std::ostream& out, const catalog::Catalog& catalog) {
    const catalog::MediaCatalog& media = catalog.mediaCatalog();
    if (media.empty()) return;
    const catalog::CatalogComparison comparison = catalog::CompareWithScan(catalog);
    out << "\nThe medium's own catalog names " << comparison.filesNamed << " file(s); ";
    if (comparison.missing.empty()) {
        out << "the scan found every one.\n";
    } else {
        out << comparison.missing.size() << " of them the scan did not find (lost to damage):\n";
        for (const std::string& path : comparison.missing) out << "  " << path << "\n";
    }
    if (comparison.notCompared > 0) {
        out << "  (" << comparison.notCompared
            << " more with names the scan catalogues otherwise, not compared)\n";
    }
    for (std::uint16_t number : comparison.setsUnscanned) {
        out << "  (data set " << number << ": the scan did not meet its start, so its files are named by the "
            << "label it would have had)\n";
    }
    for (std::uint16_t number : comparison.setsWithoutFdd) {
        out << "  (data set " << number
            << ": in the set map, but its file and folder detail was not found)\n";
    }
}

std::string ComparisonJson(const catalog::Catalog& catalog) {
    const catalog::CatalogComparison comparison = catalog::CompareWithScan(catalog);
    std::string json = "{\"files_named\": " + std::to_string(comparison.filesNamed) +
                       ", \"not_compared\": " + std::to_string(comparison.notCompared) + ", \"missing\": [";
    const char* separator = "";
    for (const std::string& path : comparison.missing) {
        json += separator + JsonString(path);
        separator = ", ";
    }
    return json + "]}";
}

}  // namespace ostrum::cli
