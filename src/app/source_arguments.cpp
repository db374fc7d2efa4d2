#include "source_arguments.h"

#include <cctype>
#include <charconv>

#include "tape/tape_device.h"
#include "tape/tape_devices.h"

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

// A virtual tape file named as the medium goes into the first drive without one, and is scanned there.
std::optional<ScanSource> SourceOnTapeFile(ScanSource source, std::string& error) {
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
        } else if (word.size() > 1 && word[0] == '-') {
            error = "unknown option '" + word + "'";
            return std::nullopt;
        } else {
            operands.push_back(word);
        }
    }
    if (operands.empty()) return source;
    if (operands.size() != 1) {
        error = "only one image file or tape drive may be given";
        return std::nullopt;
    }
    source.SourcePath = operands.front();
    if (IsTapeFileName(source.SourcePath)) return SourceOnTapeFile(std::move(source), error);
    source.SourceIsTape = source.SourcePath.starts_with("//./tape");
    if (source.SourceIsTape && !tape::ParseTapeDeviceName(source.SourcePath)) {
        error = "'" + source.SourcePath + "' is not a tape drive name (//./tape0 to //./tape19)";
        return std::nullopt;
    }
    return source;
}

}  // namespace ostrum::app
