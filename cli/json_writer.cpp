// SPDX-License-Identifier: GPL-3.0-or-later
#include "json_writer.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "common/utf8.h"

namespace ostrum::cli {
namespace {

// The bytes that stand as they are in a JSON string: printable ASCII other than the quote and the backslash.
constexpr std::array<bool, 256> kPlainJson = [] {
    std::array<bool, 256> plain{};
    for (std::size_t c = 0x20; c < 0x7F; ++c) plain[c] = c != '"' && c != '\\';
    return plain;
}();

// Whether all eight bytes of a word stand as they are: none is below 0x20, a quote, a backslash or 0x7F and
// above. Each test finds whether any byte matches, exactly (not which one).
bool PlainWord(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    const auto anyZero = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
    const std::uint64_t control = (word - 0x20 * kOnes) & ~word & kHighs;
    return ((word & kHighs) | control | anyZero(word ^ ('"' * kOnes)) | anyZero(word ^ ('\\' * kOnes)) |
            anyZero(word ^ (0x7F * kOnes))) == 0;
}

// The end of the run of bytes from `pos` on that stand as they are: eight at a time, then one by one.
std::size_t PlainRunEnd(std::string_view text, std::size_t pos) {
    for (std::uint64_t word; pos + sizeof word <= text.size(); pos += sizeof word) {
        std::memcpy(&word, text.data() + pos, sizeof word);
        if (!PlainWord(word)) break;
    }
    while (pos < text.size() && kPlainJson[static_cast<unsigned char>(text[pos])]) ++pos;
    return pos;
}

// Writes the sequence at `pos`, whose first byte does not stand as it is: a quote or backslash escaped, a
// control character as \u00XX, a UTF-8 sequence as it is, and U+FFFD for a byte that is not UTF-8. Returns
// the position after it.
std::size_t WriteOther(std::string_view text, std::size_t pos, char*& out) {
    const char c = text[pos];
    char32_t cp = 0;
    const std::size_t length = common::DecodeUtf8Strict(text, pos, cp);
    if (length == 0) {
        std::memcpy(out, "\xEF\xBF\xBD", 3);
        out += 3;
        return pos + 1;
    }
    if (length > 1) {
        std::memcpy(out, text.data() + pos, length);
        out += length;
    } else if (c == '"' || c == '\\') {
        *out++ = '\\';
        *out++ = c;
    } else {
        constexpr std::string_view kHex = "0123456789abcdef";
        const auto byte = static_cast<unsigned char>(c);
        std::memcpy(out, "\\u00", 4);
        out[4] = kHex[byte >> 4];
        out[5] = kHex[byte & 0xF];
        out += 6;
    }
    return pos + length;
}

}  // namespace

char* WriteJsonEscaped(char* out, std::string_view text) {
    for (std::size_t pos = 0;;) {
        // Bytes that stand as they are are copied a run at a time.
        const std::size_t plain = PlainRunEnd(text, pos);
        std::memcpy(out, text.data() + pos, plain - pos);
        out += plain - pos;
        if (plain == text.size()) return out;
        pos = WriteOther(text, plain, out);
    }
}

void AppendJsonEscaped(std::string& out, std::string_view text) {
    const std::size_t start = out.size();
    out.resize(start + kMostJsonEscapedPerByte * text.size());
    char* end = WriteJsonEscaped(out.data() + start, text);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    AppendJsonEscaped(out, text);
    out.push_back('"');
    return out;
}

}  // namespace ostrum::cli
