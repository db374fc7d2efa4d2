// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/text_encoding.h"

#include <algorithm>
#include <initializer_list>

namespace ostrum::save {
namespace {

bool LineControl(std::uint32_t c) {
    return c == '\t' || c == '\n' || c == '\r';
}

// A character below 0x80 that text may hold: a printable one, a tab or a line end.
bool TextAscii(std::uint32_t c) {
    return (c >= 0x20 && c < 0x7f) || LineControl(c);
}

bool StartsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> mark) {
    if (bytes.size() < mark.size()) return false;
    std::size_t at = 0;
    for (const std::uint8_t byte : mark) {
        if (bytes[at++] != byte) return false;
    }
    return true;
}

bool LooksLikeUtf16Le(std::span<const std::uint8_t> bytes, bool cut) {
    if (bytes.size() < 2 || (bytes.size() % 2 != 0 && !cut)) return false;
    const std::size_t units = bytes.size() / 2;
    std::size_t zeroHigh = 0;
    for (std::size_t unit = 0; unit < units; ++unit) {
        const std::uint32_t value = bytes[2 * unit] | (std::uint32_t{bytes[2 * unit + 1]} << 8);
        if (value < 0x80 && !TextAscii(value)) return false;
        zeroHigh += bytes[2 * unit + 1] == 0;
    }
    return zeroHigh * 2 > units;
}

bool IsUtf8Text(std::span<const std::uint8_t> bytes, bool cut) {
    for (std::size_t at = 0; at < bytes.size();) {
        const std::uint8_t lead = bytes[at];
        if (lead < 0x80) {
            if (!TextAscii(lead)) return false;
            ++at;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t value = 0;
        std::uint32_t least = 0;  // smaller values are overlong forms
        if ((lead & 0xe0) == 0xc0) {
            length = 2, value = lead & 0x1fu, least = 0x80;
        } else if ((lead & 0xf0) == 0xe0) {
            length = 3, value = lead & 0x0fu, least = 0x800;
        } else if ((lead & 0xf8) == 0xf0) {
            length = 4, value = lead & 0x07u, least = 0x10000;
        } else {
            return false;
        }
        const std::size_t have = std::min(length, bytes.size() - at);
        for (std::size_t i = 1; i < have; ++i) {
            if ((bytes[at + i] & 0xc0) != 0x80) return false;
            value = (value << 6) | (bytes[at + i] & 0x3fu);
        }
        if (have < length) return cut;  // the end cuts the last character
        if (value < least || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) return false;
        at += length;
    }
    return true;
}

bool IsWindows1252Text(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        if (byte < 0x80 ? !TextAscii(byte)
                        : byte == 0x81 || byte == 0x8d || byte == 0x8f || byte == 0x90 || byte == 0x9d) {
            return false;  // a control character, or a byte the code page leaves undefined
        }
    }
    return true;
}

}  // namespace

DetectedText DetectText(std::span<const std::uint8_t> bytes, bool cut) {
    if (StartsWith(bytes, {0xef, 0xbb, 0xbf})) return {TextEncoding::Utf8, 3};
    if (StartsWith(bytes, {0xff, 0xfe})) return {TextEncoding::Utf16Le, 2};
    if (StartsWith(bytes, {0xfe, 0xff})) return {TextEncoding::Utf16Be, 2};
    if (LooksLikeUtf16Le(bytes, cut)) return {TextEncoding::Utf16Le, 0};
    if (IsUtf8Text(bytes, cut)) return {TextEncoding::Utf8, 0};
    if (IsWindows1252Text(bytes)) return {TextEncoding::Windows1252, 0};
    return {};
}

std::string_view EncodingName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8:
            return "UTF-8";
        case TextEncoding::Utf16Le:
            return "UTF-16LE";
        case TextEncoding::Utf16Be:
            return "UTF-16BE";
        case TextEncoding::Windows1252:
            return "windows-1252";
        case TextEncoding::Binary:
            break;
    }
    return {};
}

}  // namespace ostrum::save
