// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small JSON writer for the command-line tool's machine-readable output.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrum::cli {

// The JSON string literal of a text; bytes that are not valid UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);
// Appends what stands between the quotes of that literal.
void AppendJsonEscaped(std::string& out, std::string_view text);
// Writes the same at `out`, which has room for kMostJsonEscapedPerByte bytes per byte of the text; returns
// the end of what it wrote.
inline constexpr std::size_t kMostJsonEscapedPerByte = 6;  // a control character becomes \u00XX
char* WriteJsonEscaped(char* out, std::string_view text);

inline std::string JsonNumber(std::optional<std::uint64_t> value) {
    return value ? std::to_string(*value) : std::string("null");
}

}  // namespace ostrum::cli
