// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/tape_device.h"

#include <charconv>

namespace ostrum::tape {
namespace {
constexpr std::string_view kTapeNamePrefix = "//./tape";
}

std::string TapeDeviceName(int number) {
    return std::string(kTapeNamePrefix) + std::to_string(number);
}

std::optional<int> ParseTapeDeviceName(std::string_view name) {
    if (!name.starts_with(kTapeNamePrefix)) return std::nullopt;
    const std::string_view digits = name.substr(kTapeNamePrefix.size());
    if (digits.empty() || digits.size() > 2 || (digits.size() > 1 && digits.front() == '0'))
        return std::nullopt;
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    if (number < kFirstTapeDevice || number > kLastTapeDevice) return std::nullopt;
    return number;
}

std::string_view ReadEndText(ReadEnd end) {
    switch (end) {
        case ReadEnd::None:
            return "data";
        case ReadEnd::Filemark:
            return "filemark";
        case ReadEnd::Setmark:
            return "setmark";
        case ReadEnd::EndOfData:
            return "end of data";
        case ReadEnd::Error:
            return "read error";
    }
    return "unknown";
}

}  // namespace ostrum::tape
