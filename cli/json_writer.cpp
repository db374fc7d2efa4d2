#include "json_writer.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace ostrum::cli {
namespace {

// Length of the valid UTF-8 sequence at pos, or 0.
std::size_t Utf8Length(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = lead < 0x80             ? 1
                         : (lead & 0xE0) == 0xC0 ? 2
                         : (lead & 0xF0) == 0xE0 ? 3
                         : (lead & 0xF8) == 0xF0 ? 4
                                                 : 0;
    if (length == 0 || pos + length > text.size()) return 0;
    if (length == 2 && lead < 0xC2) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80) return 0;
    }
    const auto second = static_cast<unsigned char>(text[pos + 1 < text.size() ? pos + 1 : pos]);
    if (length == 3 && ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0))) return 0;
    if (length == 4 && ((lead == 0xF0 && second < 0x90) || lead > 0xF4 || (lead == 0xF4 && second >= 0x90)))
        return 0;
    return length;
}

// The bytes that stand as they are in a JSON string: printable ASCII other than the quote and the backslash.
constexpr std::array<bool, 256> kPlainJson = [] {
    std::array<bool, 256> plain{};
    for (std::size_t c = 0x20; c < 0x7F; ++c) plain[c] = c != '"' && c != '\\';
    return plain;
}();

}  // namespace

char* WriteJsonEscaped(char* out, std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        // Bytes that stand as they are are copied a run at a time.
        std::size_t plain = pos;
        while (plain < text.size() && kPlainJson[static_cast<unsigned char>(text[plain])]) ++plain;
        std::memcpy(out, text.data() + pos, plain - pos);
        out += plain - pos;
        pos = plain;
        if (pos == text.size()) break;
        const char c = text[pos];
        const std::size_t length = Utf8Length(text, pos);
        if (length == 0) {
            std::memcpy(out, "\xEF\xBF\xBD", 3);
            out += 3;
            ++pos;
            continue;
        }
        if (length > 1) {
            std::memcpy(out, text.data() + pos, length);
            out += length;
        } else if (c == '"' || c == '\\') {
            *out++ = '\\';
            *out++ = c;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
            std::memcpy(out, escape, 6);
            out += 6;
        }
        pos += length;
    }
    return out;
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
