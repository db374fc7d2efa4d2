// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// UTF-8 for the whole program: a code point written out, a sequence read back with its checks, and a UTF-16
// character turned into UTF-8. Inline, because names and JSON strings go through them byte by byte.
//
// The encoder writes the generalised form for a lone surrogate (three bytes, ED A0..BF xx) so that a name
// taken from the medium keeps it and a later check can see and refuse it. The decoder reads such a form back
// as the surrogate it stands for; DecodeUtf8Strict refuses it, as valid UTF-8 does.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrum::common {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;
inline constexpr std::size_t kMostUtf8Bytes = 4;  // the longest sequence: a code point from U+10000 on

constexpr bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
constexpr bool IsSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

// Writes the UTF-8 (or, for a surrogate, generalised UTF-8) form of a code point up to U+10FFFF at `out`,
// which has room for kMostUtf8Bytes; returns the end.
inline char* EncodeUtf8(char32_t cp, char* out) {
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// Appends what EncodeUtf8 writes.
void AppendUtf8(std::string& out, char32_t cp);

// Reads the sequence at `pos` (< text.size()); returns its length and sets `cp`, or 0 when it is not UTF-8: a
// byte that cannot begin a sequence, a sequence cut short or missing a continuation byte, an over-long form
// or a value past U+10FFFF. A surrogate's generalised form is read as that surrogate.
inline std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& cp) {
    const auto lead = static_cast<std::uint8_t>(text[pos]);
    std::size_t length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (length > text.size() - pos) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(text[pos + i]);
        if ((next & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF) return 0;
    return length;
}

// DecodeUtf8 that also refuses a surrogate: the length of the valid UTF-8 sequence at `pos`, or 0.
inline std::size_t DecodeUtf8Strict(std::string_view text, std::size_t pos, char32_t& cp) {
    const std::size_t length = DecodeUtf8(text, pos, cp);
    return IsSurrogate(cp) ? 0 : length;
}

// Writes the character that begins at UTF-16 unit `i` of `count` (`unitAt(k)` gives unit k) at `out`: a
// surrogate pair joined into one code point, any other unit (a lone surrogate too) on its own. Returns the
// number of units used, 1 or 2.
template <typename UnitAt>
std::size_t EncodeUtf16Character(const UnitAt& unitAt, std::size_t i, std::size_t count, char*& out) {
    const char32_t unit = unitAt(i);
    if (IsHighSurrogate(unit) && i + 1 < count) {
        if (const char32_t low = unitAt(i + 1); IsLowSurrogate(low)) {
            out = EncodeUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
            return 2;
        }
    }
    out = EncodeUtf8(unit, out);
    return 1;
}

}  // namespace ostrum::common
