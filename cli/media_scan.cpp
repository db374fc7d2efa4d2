// SPDX-License-Identifier: GPL-3.0-or-later
#include "media_scan.h"

#include <algorithm>
#include <atomic>

#include "catalog/media_span.h"
#include "catalog/mtf_layout.h"
#include "catalog/scan_context.h"
#include "catalog/scan_findings.h"
#include "commands.h"
#include "json_writer.h"
#include "tape_commands.h"

namespace ostrum::cli {
namespace {

using catalog::MediaSpan;
using catalog::SpannedFile;

std::string LabelText(const MediaSpan& span, std::uint32_t medium) {
    const auto label = span.label(medium);
    return label ? catalog::LabelText(*label) : "no TAPE block found";
}

// "40960 bytes on A.img, 59040 on B.img"
std::string PiecesText(const MediaSpan& span, const SpannedFile& file) {
    std::string text;
    for (std::size_t i = 0; i < file.parts.size(); ++i) {
        std::uint64_t bytes = file.parts[i].length;
        if (i == 0) bytes -= std::min<std::uint64_t>(bytes, catalog::mtf::stream_hdr::kSize);
        if (bytes == 0 && i == 0) continue;
        text += (text.empty() ? "" : ", ") + std::to_string(bytes) + (text.empty() ? " bytes" : "") + " on " +
                span.mediumName(file.parts[i].medium);
    }
    return text;
}

// What is missing of a spread file, or nothing when it is whole.
std::string MissingText(const catalog::Catalog& catalog, std::size_t row) {
    return catalog.mediaSpan().MissingText(row, catalog.row(row).storedSize().value_or(0));
}

}  // namespace

void PutMediaInOrder(std::vector<std::string>& sources, const std::string& command) {
    if (sources.size() < 2 || IsTapeName(sources.front())) return;
    catalog::ImageMediaOrder order = catalog::OrderImageMedia(sources);
    if (!order.error.empty() || !order.reordered) return;
    PrintError(command + ": " + order.NoteText());
    sources = std::move(order.paths);
}

bool ScanImageMedia(const std::vector<std::string>& sources, catalog::Catalog& found, ScanProgressSink& sink,
                    const std::atomic<bool>& scanActive, bool deep, MediaScanSummary& summary,
                    const std::string& command) {
    catalog::ScanContext context(found, sink);
    summary.images.resize(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        common::ImageFile image;
        if (!common::OpenImageFile(image, sources[i])) {
            PrintError(command + ": " + image.error());
            return false;
        }
        if (std::string error = VirtualTapeGivenAsImage(image, sources[i]); !error.empty()) {
            PrintError(command + ": " + error);
            return false;
        }
        catalog::BeginMedium(context, i, sources[i]);
        const catalog::ImageScanOptions options{.deep = deep, .continuing = &context};
        if (catalog::ScanImageFile(image, found, sink, scanActive, &summary.images[i], options) == 0) break;
    }
    return true;
}

bool ScanTapeMedia(const tape::TapeDevices& devices, const std::vector<std::string>& sources,
                   catalog::Catalog& found, ScanProgressSink& sink, const std::atomic<bool>& stopRequested,
                   MediaScanSummary& summary, const std::string& command) {
    catalog::ScanContext context(found, sink);
    const std::atomic<bool> active{true};
    summary.tapes.resize(sources.size());
    for (std::size_t i = 0; i < sources.size() && !stopRequested.load(); ++i) {
        catalog::BeginMedium(context, i, sources[i]);
        const int scanned = tape::ScanTape(devices, sources[i], found, sink, active, stopRequested,
                                           &summary.tapes[i], &context);
        if (scanned == 0 && !summary.tapes[i].error.empty()) {
            PrintError(command + ": " + summary.tapes[i].error);
            return false;
        }
    }
    return true;
}

std::string SourcesText(const std::vector<std::string>& sources) {
    std::string text;
    for (const std::string& source : sources) text += (text.empty() ? "" : ", ") + source;
    return text;
}

namespace {

// What the scan of each medium found, in the order scanned.
std::vector<catalog::ScanFindings> FindingsOf(const MediaScanSummary& summary) {
    std::vector<catalog::ScanFindings> found;
    for (const auto& image : summary.images) found.push_back(image.found);
    for (const auto& tape : summary.tapes) found.push_back(tape.found);
    return found;
}

// A path as a shell takes it back as one word: in single quotes unless it is made of characters that need
// none.
std::string ShellWord(const std::string& path) {
    constexpr std::string_view kPlain =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-.,/+:@%";
    if (!path.empty() && path.find_first_not_of(kPlain) == std::string::npos) return path;
    std::string word = "'";
    for (char c : path) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

}  // namespace

bool WarnOfMediaWithoutMtfData(const std::vector<std::string>& sources, const MediaScanSummary& summary,
                               const std::string& command) {
    const auto found = FindingsOf(summary);
    bool none = false;
    for (std::size_t i = 0; i < found.size() && i < sources.size(); ++i) {
        if (catalog::FoundMtfData(found[i])) continue;
        PrintError(command + ": " + catalog::NoMtfDataText(sources[i], found[i].bytesExamined));
        none = true;
    }
    return none;
}

bool NoMediumHeldMtfData(const MediaScanSummary& summary) {
    const auto found = FindingsOf(summary);
    return std::none_of(found.begin(), found.end(), catalog::FoundMtfData);
}

void HintAtTheDeepScan(const std::vector<std::string>& sources, const catalog::Catalog& catalog,
                       const MediaScanSummary& summary) {
    if (!catalog::DeepScanMayFindFiles(catalog, FindingsOf(summary))) return;
    std::string command = "ostrum-tape-cli list --deep";
    if (std::any_of(sources.begin(), sources.end(), [](const auto& s) { return s.starts_with('-'); }))
        command += " --";
    for (const std::string& source : sources) command += " " + ShellWord(source);
    PrintError(
        "list: no file found; if the image was cut or shifted by a few bytes, the deep scan may find "
        "its files: " +
        command);
}

void HintAtLostGrid(const std::vector<std::string>& sources, const MediaScanSummary& summary) {
    std::uint64_t places = 0;
    std::string first;
    for (std::size_t i = 0; i < summary.images.size(); ++i) {
        const catalog::ScanFindings& found = summary.images[i].found;
        if (found.gridLosses == 0) continue;
        if (places == 0) {
            first = "byte " + std::to_string(found.firstGridLoss.value_or(0));
            if (sources.size() > 1 && i < sources.size()) first += " of " + sources[i];
        }
        places += found.gridLosses;
    }
    if (places == 0) return;
    PrintError("list: the normal scan lost the block grid at " + std::to_string(places) +
               (places == 1 ? " place" : " places") + " (first at " + first +
               "): --deep may find more files");
}

void PrintMediaSpanText(std::ostream& out, const catalog::Catalog& catalog) {
    const MediaSpan& span = catalog.mediaSpan();
    if (span.mediumCount() > 1) {
        out << "\nMedia (" << span.mediumCount() << "):\n";
        for (std::uint32_t m = 0; m < span.mediumCount(); ++m)
            out << "  " << span.mediumName(m) << ": " << LabelText(span, m) << "\n";
    }
    if (span.spanned().empty()) return;
    out << "\nFiles spread over several media (" << span.spanned().size() << "):\n";
    for (const auto& [row, file] : span.spanned()) {
        out << "  " << catalog.row(row).path() << ": " << PiecesText(span, file);
        if (const std::string missing = MissingText(catalog, row); !missing.empty())
            out << "; cut short: " << missing;
        out << "\n";
    }
}

std::string MediaSpanJson(const catalog::Catalog& catalog) {
    const MediaSpan& span = catalog.mediaSpan();
    if (span.mediumCount() <= 1 && span.spanned().empty()) return {};
    std::string json = ", \"media\": [";
    for (std::uint32_t m = 0; m < span.mediumCount(); ++m) {
        const auto label = span.label(m);
        json += std::string(m == 0 ? "" : ", ") + "{\"source\": " + JsonString(span.mediumName(m)) +
                ", \"family\": " + (label ? std::to_string(label->family) : "null") +
                ", \"sequence\": " + (label ? std::to_string(label->sequence) : "null") + "}";
    }
    json += "], \"spread_files\": [";
    const char* separator = "";
    for (const auto& [row, file] : span.spanned()) {
        json += separator + std::string("{\"path\": ") + JsonString(catalog.row(row).path().str()) +
                ", \"parts\": [";
        for (std::size_t i = 0; i < file.parts.size(); ++i) {
            // The data of each part: the first part's stream header is not the file's.
            const std::uint64_t header =
                i == 0 ? std::min<std::uint64_t>(file.parts[i].length, catalog::mtf::stream_hdr::kSize) : 0;
            json += std::string(i == 0 ? "" : ", ") + "{\"medium\": " + std::to_string(file.parts[i].medium) +
                    ", \"offset\": " + std::to_string(file.parts[i].offset + header) +
                    ", \"length\": " + std::to_string(file.parts[i].length - header) + "}";
        }
        const std::string missing = MissingText(catalog, row);
        json += "], \"missing\": " + (missing.empty() ? std::string("null") : JsonString(missing)) + "}";
        separator = ", ";
    }
    return json + "]";
}

void NoteMediaSpanProblems(const catalog::Catalog& catalog) {
    for (const std::string& note : catalog.mediaSpan().notes()) PrintError(note);
}

}  // namespace ostrum::cli
