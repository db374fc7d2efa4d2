#include "source_arguments.h"

#include <cctype>
#include <charconv>

#include "catalog/image_scanner.h"
#include "tape/tape_device.h"
#include "tape/tape_devices.h"
#include "tape/virtual_tape.h"

namespace ostrum::app {
namespace {

std::optional<std::uint64_t> ParseCount(const std::string& text) {
    std::uint64_t value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || failure != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool IsTapeFileName(const std::string& path) {
    if (path.size() < 4) return false;
    std::string suffix = path.substr(path.size() - 4);
    for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return suffix == ".tap";
}

// A virtual tape file, by its name or, whatever its name, by the framing of its first records.
bool IsTapeFile(const std::string& path) {
    if (IsTapeFileName(path)) return true;
    catalog::ImageFile file;
    return catalog::OpenImageFile(file, path) &&
           tape::CheckTapeFraming(file).framing == tape::TapeFraming::Holds;
}

// A virtual tape file named as the medium goes into the first drive without one, and is scanned there.
// With `again`, a file that a drive holds already (opened before) is read in that drive.
std::optional<ScanSource> SourceOnTapeFile(ScanSource source, bool again, std::string& error) {
    for (int number = tape::kFirstTapeDevice; again && number <= tape::kLastTapeDevice; ++number) {
        if (const auto held = source.tapeDevices->Attached(number);
            held && held->options().path == source.SourcePath) {
            source.SourcePath = tape::TapeDeviceName(number);
            source.SourceIsTape = true;
            return source;
        }
    }
    for (int number = tape::kFirstTapeDevice; number <= tape::kLastTapeDevice; ++number) {
        if (source.tapeDevices->Attached(number)) continue;
        const tape::TapeResult attached =
            source.tapeDevices->AttachVirtual(number, {.path = source.SourcePath});
        if (!attached) {
            error = attached.error();
            return std::nullopt;
        }
        source.SourcePath = tape::TapeDeviceName(number);
        source.SourceIsTape = true;
        return source;
    }
    error = "every tape drive already holds a virtual tape";
    return std::nullopt;
}

}  // namespace

std::optional<ScanSource> ParseSourceArguments(std::span<const std::string> words, std::string& error) {
    ScanSource source;
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--attach") {
            if (i + 1 == words.size()) {
                error = "--attach needs DEVICE=FILE";
                return std::nullopt;
            }
            std::optional<std::uint64_t> capacity;
            const std::string& attachment = words[++i];
            if (i + 2 < words.size() && words[i + 1] == "--capacity") {
                capacity = ParseCount(words[i + 2]);
                if (!capacity) {
                    error = "--capacity wants a byte count (got '" + words[i + 2] + "')";
                    return std::nullopt;
                }
                i += 2;
            }
            error = tape::AttachVirtualTape(*source.tapeDevices, attachment, capacity);
            if (!error.empty()) return std::nullopt;
        } else if (word == "--deep") {
            source.deep = true;
        } else if (word.size() > 1 && word[0] == '-') {
            error = "unknown option '" + word + "'";
            return std::nullopt;
        } else {
            operands.push_back(word);
        }
    }
    if (operands.empty()) {
        if (!source.deep) return source;
        error = "--deep needs an image file to scan";
        return std::nullopt;
    }
    if (operands.size() != 1) {
        error = "only one image file or tape drive may be given";
        return std::nullopt;
    }
    const std::string& operand = operands.front();
    if (operand.starts_with("//./tape")) {
        source.SourceIsTape = true;
        source.SourcePath = operand;
        if (!tape::ParseTapeDeviceName(operand)) {
            error = "'" + operand + "' is not a tape drive name (//./tape0 to //./tape19)";
            return std::nullopt;
        }
    } else {
        source.SourcePath = operand;
        if (IsTapeFile(operand)) {
            auto onTape = SourceOnTapeFile(std::move(source), false, error);
            if (!onTape) return std::nullopt;
            source = std::move(*onTape);
        }
    }
    if (source.SourceIsTape && source.deep) {
        error = "--deep reads image files only, not tapes";
        return std::nullopt;
    }
    return source;
}

std::optional<ScanSource> SourceForFile(ScanSource source, const std::string& path, std::string& error) {
    source.SourcePath = path;
    source.SourceIsTape = false;
    source.deep = false;
    if (IsTapeFile(path)) return SourceOnTapeFile(std::move(source), true, error);
    return source;
}

}  // namespace ostrum::app
