// The tape commands: options, progress on the terminal, and the texts they print.

#include "tape_commands.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <csignal>
#include <iostream>
#include <optional>
#include <vector>

#include "catalog/mime_file_info.h"
#include "catalog_output.h"
#include "media_catalog_output.h"
#include "media_scan.h"
#include "tape/device_list.h"
#include "tape/tape_imaging.h"
#include "tape/tape_scanner.h"
#include "terminal_progress.h"

namespace ostrum::cli {
namespace {

constexpr std::string_view kAttachOption = "--attach";
constexpr std::string_view kCapacityOption = "--capacity";

// The words of a tape command: its options and the rest in order.
struct TapeFlags {
    bool json = false;       // list: --json
    bool catalog = false;    // list: --catalog
    bool overwrite = false;  // image: --overwrite
};

struct TapeWords {
    tape::TapeDevices devices;
    TapeFlags flags;
    std::vector<std::string> operands;
};

std::optional<std::uint64_t> ParseNumber(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::string VirtualTapeGivenAsImage(const catalog::ImageFile& image, const std::string& path) {
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

namespace {

// Parses the options shared by the tape commands; prints the problem and returns false on a bad line.
bool ParseTapeWords(std::string_view command, Args args, TapeFlags allowed, TapeWords& words) {
    struct Pending {
        std::string attachment;
        std::optional<std::uint64_t> capacity;
    };
    std::vector<Pending> attachments;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == kAttachOption || arg == kCapacityOption;
        if (takesValue && i + 1 == args.size()) {
            PrintError(std::string(command) + ": " + arg + " needs a value");
            return false;
        }
        if (arg == kAttachOption) {
            attachments.push_back({args[++i], std::nullopt});
        } else if (arg == kCapacityOption) {
            const auto capacity = ParseNumber(args[++i]);
            if (attachments.empty() || !capacity || *capacity > static_cast<std::uint64_t>(INT64_MAX)) {
                PrintError(std::string(command) + ": --capacity wants a byte count after an --attach option");
                return false;
            }
            attachments.back().capacity = capacity;
        } else if (allowed.json && arg == "--json") {
            words.flags.json = true;
        } else if (allowed.catalog && arg == "--catalog") {
            words.flags.catalog = true;
        } else if (allowed.overwrite && arg == "--overwrite") {
            words.flags.overwrite = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            PrintError(std::string(command) + ": unknown option '" + arg + "'");
            return false;
        } else {
            words.operands.push_back(arg);
        }
    }
    for (const Pending& pending : attachments) {
        if (std::string error = AttachVirtualTape(words.devices, pending.attachment, pending.capacity);
            !error.empty()) {
            PrintError(std::string(command) + ": " + error);
            return false;
        }
    }
    return true;
}

bool CheckDeviceName(std::string_view command, const std::string& name) {
    if (tape::ParseTapeDeviceName(name)) return true;
    PrintError(std::string(command) + ": '" + name + "' is not a tape device name (//./tape0 to //./tape19)");
    return false;
}

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

// The imaging page's labels and bar, on the terminal.
class ImagingProgress final : public tape::ImagingSink {
  public:
    explicit ImagingProgress(TerminalProgress& progress) : progress_(progress) {}
    void ProgressLabel(std::string_view text) override {
        const bool count = !text.empty() &&
                           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (count) {
            progress_.SetDetail(std::string(text) + " \\ " + total_ + " bytes");
        } else {
            progress_.SetLabel(text);
        }
    }
    void TotalSize(std::string_view text) override { total_.assign(text); }
    void Progress(int percent) override { progress_.SetPercent(percent); }

  private:
    TerminalProgress& progress_;
    std::string total_;
};

}  // namespace

bool IsTapeListing(Args args) {
    return std::any_of(args.begin(), args.end(), [](const std::string& arg) {
        return arg == kAttachOption || arg.starts_with("//./tape");
    });
}

int RunDrives(Args args) {
    TapeWords words;
    if (!ParseTapeWords("drives", args, {}, words)) return kExitUsage;
    if (!words.operands.empty()) {
        PrintError("drives: takes no operands (got '" + words.operands.front() + "')");
        return kExitUsage;
    }
    const tape::TapeDeviceEnumeration list = tape::EnumerateTapeDevices(words.devices);
    if (!list.found) {
        PrintError("There is no media available , please insert the media");
        return kExitFailure;
    }
    PrintDeviceTable(std::cout, list.rows);
    for (const std::string& note : list.notes) PrintError(note);
    return kExitOk;
}

int RunListTape(Args args) {
    TapeWords words;
    if (!ParseTapeWords("list", args, {.json = true, .catalog = true}, words)) return kExitUsage;
    if (words.operands.empty()) {
        PrintError("list: no tape device given");
        return kExitUsage;
    }
    for (const std::string& device : words.operands) {
        if (!CheckDeviceName("list", device)) return kExitUsage;
    }

    catalog::Catalog found(std::make_shared<catalog::MimeFileInfo>());
    TerminalProgress progress;
    progress.SetLabel("Scanning " + SourcesText(words.operands));
    ScanProgressSink sink(progress);
    MediaScanSummary summary;
    const bool scanned = ScanTapeMedia(words.devices, words.operands, found, sink, summary, "list");
    progress.Finish();
    if (!scanned) return kExitFailure;

    const bool listed = PrintListing(std::cout, SourcesText(words.operands), found, sink.status(),
                                     {.json = words.flags.json, .mediaCatalog = words.flags.catalog});
    bool gaveUp = false;
    for (const auto& tape : summary.tapes) {
        WarnOfReadFailures(tape.readErrors, tape.lastReadError, tape.gaveUp,
                           "the rest of the tape was not scanned");
        gaveUp |= tape.gaveUp;
    }
    return gaveUp || !listed ? kExitFailure : kExitOk;
}

int RunImage(Args args) {
    TapeWords words;
    if (!ParseTapeWords("image", args, {.overwrite = true}, words)) return kExitUsage;
    if (words.operands.size() != 2) {
        PrintError("image: wants a tape device and an image file, e.g. image //./tape0 backup.img");
        return kExitUsage;
    }
    const std::string& device = words.operands[0];
    const std::string& imagePath = words.operands[1];
    if (!CheckDeviceName("image", device)) return kExitUsage;

    // Past a file-size limit the kernel would end the program with SIGXFSZ; ignored, the write fails with
    // EFBIG instead and the copy reports it.
    std::signal(SIGXFSZ, SIG_IGN);
    TerminalProgress progress;
    ImagingProgress sink(progress);
    std::atomic<std::uint32_t> stopImaging{0};
    const tape::ImageCopyResult result = tape::CopyTapeToImage(
        words.devices, device, imagePath, sink, stopImaging,
        words.flags.overwrite ? tape::ExistingImage::Replace : tape::ExistingImage::Refuse);
    progress.Finish();
    if (!result.done) {
        PrintError(result.error + (result.refusedAsExisting ? " (--overwrite replaces it)" : ""));
        return kExitFailure;
    }
    std::cout << "Done: " << result.copied << " bytes copied from " << device << " to " << imagePath << " ("
              << result.marks << " filemarks crossed)\n";
    WarnOfReadFailures(result.readErrors, result.lastReadError, result.gaveUp,
                       "the image holds the tape up to there");
    return result.gaveUp ? kExitFailure : kExitOk;
}

}  // namespace ostrum::cli
