// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether the bytes a preview shows are text, and in which encoding; anything else is shown as hex. The
// rules, tried in this order, are few so that a user can predict them:
//   - a byte order mark decides: UTF-8 (EF BB BF), UTF-16 LE (FF FE), UTF-16 BE (FE FF);
//   - UTF-16 LE without a mark: most odd bytes are 0, and no code unit is 0 or a control character
//     other than a tab or a line end;
//   - UTF-8: valid UTF-8 (plain ASCII is) without control characters other than tabs and line ends;
//   - Windows-1252: only its printable bytes, tabs and line ends;
//   - anything else is binary.
// A character that the end of a cut file's first bytes splits does not count against it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace ostrum::save {

enum class TextEncoding : std::uint8_t { Binary, Utf8, Utf16Le, Utf16Be, Windows1252 };

struct DetectedText {
    TextEncoding encoding = TextEncoding::Binary;
    std::size_t markSize = 0;  // bytes of a byte order mark in front of the text
};

// `cut`: the bytes are the start of a file that goes on, so their last character may be incomplete.
DetectedText DetectText(std::span<const std::uint8_t> bytes, bool cut);

// The encoding's common name ("UTF-8", "UTF-16LE", "UTF-16BE", "windows-1252"); empty for binary.
std::string_view EncodingName(TextEncoding encoding);

}  // namespace ostrum::save
