// SPDX-License-Identifier: GPL-3.0-or-later
// The tape commands: attached tapes, progress on the terminal, and the texts they print.

#include "tape_commands.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <iostream>
#include <optional>
#include <vector>

#include "catalog_output.h"
#include "interrupt_watch.h"
#include "json_writer.h"
#include "media_catalog_output.h"
#include "media_scan.h"
#include "mimeinfo/mime_file_info.h"
#include "tape/device_list.h"
#include "tape/tape_imaging.h"
#include "tape/tape_scanner.h"
#include "terminal_progress.h"

namespace ostrum::cli {

std::string VirtualTapeGivenAsImage(const common::ImageFile& image, const std::string& path) {
    if (tape::CheckTapeFraming(image).framing != tape::TapeFraming::Holds) return {};
    return "'" + path +
           "' is a virtual tape file (SIMH .tap), not an image: a drive reads it, e.g. --attach 0=" + path +
           " //./tape0";
}

void WarnOfReadFailures(std::uint64_t readErrors, const std::string& lastReadError, bool gaveUp,
                        std::string_view leftOut) {
    if (readErrors > 0) {
        PrintError(std::to_string(readErrors) +
                   " unreadable tape block(s) skipped; the last: " + lastReadError);
    }
    if (gaveUp) {
        PrintError("gave up after " + std::to_string(tape::kMaxConsecutiveReadFailures) +
                   " unreadable blocks in a row: " + std::string(leftOut));
    }
}

std::optional<int> AttachTapes(std::string_view command, const std::vector<Attachment>& attachments,
                               tape::TapeDevices& devices) {
    for (const Attachment& attachment : attachments) {
        const std::string text = std::to_string(attachment.drive) + "=" + attachment.path;
        if (std::string error = tape::AttachVirtualTape(devices, text, attachment.capacity); !error.empty()) {
            PrintError(std::string(command) + ": " + error);
            return kExitFailure;
        }
    }
    return std::nullopt;
}

namespace {

void PrintDeviceTable(std::ostream& out, const std::vector<tape::TapeDeviceRow>& rows) {
    std::array<std::size_t, 5> widths{};
    for (std::size_t c = 0; c < widths.size(); ++c) {
        widths[c] = std::string_view(tape::kDeviceListHeadings[c]).size();
        for (const auto& row : rows) widths[c] = std::max(widths[c], row.cells[c].size());
    }
    auto line = [&](auto cell) {
        std::string text;
        for (std::size_t c = 0; c < widths.size(); ++c) {
            std::string value(cell(c));
            if (c + 1 < widths.size()) value.resize(widths[c] + 2, ' ');
            text += value;
        }
        out << text << "\n";
    };
    line([](std::size_t c) { return std::string_view(tape::kDeviceListHeadings[c]); });
    for (const auto& row : rows) line([&](std::size_t c) { return std::string_view(row.cells[c]); });
}

void PrintDeviceJson(std::ostream& out, const std::vector<tape::TapeDeviceRow>& rows) {
    out << "{\"drives\": [";
    const char* separator = "";
    for (const auto& row : rows) {
        const tape::TapeMediaParameters& media = row.media;
        out << separator << "{\"device\": " << JsonString(row.name) << ", \"capacity\": " << media.capacity
            << ", \"remaining\": " << media.remaining << ", \"block_size\": " << media.blockSize
            << ", \"partition_count\": " << media.partitionCount
            << ", \"write_protected\": " << (media.writeProtected ? "true" : "false") << "}";
        separator = ", ";
    }
    out << "]}\n";
}

// The imaging page's labels and bar, on the terminal. Once interrupted, it asks the copy to stop at
// every word the copy says, as the copy clears the request when it starts.
class ImagingProgress final : public tape::ImagingSink {
  public:
    ImagingProgress(TerminalProgress& progress, const InterruptWatch& interrupts,
                    std::atomic<std::uint32_t>& stopImaging)
        : progress_(progress), interrupts_(interrupts), stopImaging_(stopImaging) {}
    void ProgressLabel(std::string_view text) override {
        StopWhenInterrupted();
        const bool count = !text.empty() &&
                           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (count) {
            progress_.SetDetail(std::string(text) + " \\ " + total_ + " bytes");
        } else {
            progress_.SetLabel(text);
        }
    }
    void TotalSize(std::string_view text) override { total_.assign(text); }
    void Progress(int percent) override {
        StopWhenInterrupted();
        progress_.SetPercent(percent);
    }

  private:
    void StopWhenInterrupted() {
        if (interrupts_.interrupted()) stopImaging_.store(1);
    }

    TerminalProgress& progress_;
    const InterruptWatch& interrupts_;
    std::atomic<std::uint32_t>& stopImaging_;
    std::string total_;
};

}  // namespace

int RunDrives(const DrivesOptions& options) {
    tape::TapeDevices devices;
    if (auto status = AttachTapes("drives", options.attachments, devices)) return *status;
    const tape::TapeDeviceEnumeration list = tape::EnumerateTapeDevices(devices);
    if (options.json) {
        PrintDeviceJson(std::cout, list.rows);
    } else if (list.found) {
        PrintDeviceTable(std::cout, list.rows);
    }
    if (!list.found) {
        PrintError("There is no media available , please insert the media");
        return kExitFailure;
    }
    for (const std::string& note : list.notes) PrintError(note);
    return kExitOk;
}

int RunListTape(const ListOptions& options) {
    tape::TapeDevices devices;
    if (auto status = AttachTapes("list", options.attachments, devices)) return *status;

    catalog::Catalog found(std::make_shared<mimeinfo::MimeFileInfo>());
    std::atomic<bool> stopRequested{false};
    const InterruptWatch interrupts([&] { stopRequested.store(true); });
    TerminalProgress progress;
    progress.SetLabel("Scanning " + SourcesText(options.sources));
    ScanProgressSink sink(progress);
    MediaScanSummary summary;
    const bool opened = ScanTapeMedia(devices, options.sources, found, sink, stopRequested, summary, "list");
    progress.Finish();
    if (!opened) return kExitFailure;
    if (interrupts.interrupted()) {
        PrintError("list: interrupted before the scan reached the end of the tape; nothing is listed");
        return kExitInterrupted;
    }
    const bool listed = PrintListing(SourcesText(options.sources), found, sink.status(),
                                     {.json = options.json, .mediaCatalog = options.catalog});
    bool gaveUp = false;
    for (const auto& tape : summary.tapes) {
        WarnOfReadFailures(tape.readErrors, tape.lastReadError, tape.gaveUp,
                           "the rest of the tape was not scanned");
        gaveUp |= tape.gaveUp;
    }
    const bool withoutMtf = WarnOfMediaWithoutMtfData(options.sources, summary, "list");
    return gaveUp || withoutMtf || !listed ? kExitFailure : kExitOk;
}

int RunImage(const ImageOptions& options) {
    tape::TapeDevices devices;
    if (auto status = AttachTapes("image", options.attachments, devices)) return *status;
    const std::string& device = options.device;
    const std::string& imagePath = options.output;

    // Past a file-size limit the kernel would end the program with SIGXFSZ; ignored, the write fails with
    // EFBIG instead and the copy reports it.
    std::signal(SIGXFSZ, SIG_IGN);
    std::atomic<std::uint32_t> stopImaging{0};
    const InterruptWatch interrupts([&] { stopImaging.store(1); });
    TerminalProgress progress;
    ImagingProgress sink(progress, interrupts, stopImaging);
    const tape::ImageCopyResult result =
        tape::CopyTapeToImage(devices, device, imagePath, sink, stopImaging,
                              options.overwrite ? tape::ExistingImage::Replace : tape::ExistingImage::Refuse);
    progress.Finish();
    if (!result.done) {
        PrintError(result.error + (result.refusedAsExisting ? " (--overwrite replaces it)" : ""));
        return kExitFailure;
    }
    if (result.stopped) {
        PrintError("image: interrupted: '" + imagePath + "' holds the first " +
                   std::to_string(result.copied) + " bytes of the tape and is incomplete");
        return kExitInterrupted;
    }
    std::cout << "Done: " << result.copied << " bytes copied from " << device << " to " << imagePath << " ("
              << result.marks << " filemarks crossed)\n";
    WarnOfReadFailures(result.readErrors, result.lastReadError, result.gaveUp,
                       "the image holds the tape up to there");
    return result.gaveUp ? kExitFailure : kExitOk;
}

}  // namespace ostrum::cli
