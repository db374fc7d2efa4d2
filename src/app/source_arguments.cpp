#include "source_arguments.h"

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
    if (operands.size() != 1) {
        error = operands.empty() ? (words.empty() ? "" : "no image file or tape drive given")
                                 : "only one image file or tape drive may be given";
        return std::nullopt;
    }
    source.SourcePath = operands.front();
    source.SourceIsTape = source.SourcePath.starts_with("//./tape");
    if (source.SourceIsTape && !tape::ParseTapeDeviceName(source.SourcePath)) {
        error = "'" + source.SourcePath + "' is not a tape drive name (//./tape0 to //./tape19)";
        return std::nullopt;
    }
    return source;
}

}  // namespace ostrum::app
