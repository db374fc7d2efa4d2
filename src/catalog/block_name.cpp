// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/block_name.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "common/utf8.h"

namespace ostrum::catalog {
namespace {

std::uint64_t UnitsBetween(std::int64_t first, std::int64_t last) {
    return last >= first ? static_cast<std::uint64_t>(last - first + 1) / 2 : 0;
}

std::uint16_t UnitAt(ByteSpan bytes, std::size_t index) {
    return static_cast<std::uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
}

// Decodes `count` UTF-16LE units at `out`; NUL units become backslashes, pairs join, lone surrogates stay.
// Returns the end of what was written.
char* WriteUtf16(ByteSpan bytes, std::size_t count, char* out) {
    // Most names are ASCII: their units are written in one pass, up to the first that is not; on a
    // little-endian host four at a time, as long as none of the four is NUL or beyond ASCII.
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kUnitOnes = 0x0001000100010001;
        constexpr std::uint64_t kUnitHighs = 0x8000800080008000;
        for (std::uint64_t units; i + 4 <= count; i += 4) {
            std::memcpy(&units, bytes.data() + 2 * i, sizeof units);
            const std::uint64_t beyondAscii = units & 0xFF80FF80FF80FF80;
            const std::uint64_t nul = (units - kUnitOnes) & ~units & kUnitHighs;
            if ((beyondAscii | nul) != 0) break;
            const auto packed =
                static_cast<std::uint32_t>((units & 0xFF) | ((units >> 8) & 0xFF00) |
                                           ((units >> 16) & 0xFF0000) | ((units >> 24) & 0xFF000000));
            std::memcpy(out + i, &packed, sizeof packed);
        }
    }
    for (; i < count; ++i) {
        const std::uint16_t unit = UnitAt(bytes, i);
        if (unit == 0 || unit >= 0x80) break;
        out[i] = static_cast<char>(unit);
    }
    out += i;
    const auto unitAt = [bytes](std::size_t index) { return UnitAt(bytes, index); };
    while (i < count) {
        if (UnitAt(bytes, i) == 0) {
            *out++ = '\\';
            ++i;
        } else {
            i += common::EncodeUtf16Character(unitAt, i, count, out);
        }
    }
    return out;
}

// What ExtractBlockName decodes, written at `out`: the end of the text and the code units copied.
struct Extracted {
    char* end;
    std::size_t units;
};

Extracted Extract(const ChunkView& chunk, std::int64_t first, std::int64_t last, std::size_t limit, char* out,
                  bool writePrefix) {
    if (first < 0 || last < 0) return {out, 0};
    std::vector<std::uint8_t> scratch;  // only filled when the name runs past the chunk
    // The name must lie on the medium up to its last offset, as the caller computed it.
    if (chunk.Fetch(static_cast<std::uint64_t>(std::max(first, last)), 1, scratch).empty()) return {out, 0};

    // One fetch covers every unit that may be copied; its first unit also decides the prefix.
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(UnitsBetween(first, last), limit));
    const ByteSpan bytes = chunk.Fetch(static_cast<std::uint64_t>(first), 2 * wanted, scratch);
    if (wanted == 0 || bytes.size() < 2 * wanted) return {out, 0};
    const bool prefix = last > first && (bytes[0] != 0 || bytes[1] != 0);
    if (prefix && writePrefix) *out++ = '\\';
    const std::size_t copy = wanted - (prefix && wanted == limit ? 1 : 0);
    return {WriteUtf16(bytes, copy, out), copy};
}

}  // namespace

std::size_t ExtractBlockName(const ChunkView& chunk, std::int64_t first, std::int64_t last, std::size_t limit,
                             std::string& out) {
    if (first < 0 || last < 0) {
        out.clear();
        return 0;
    }
    // Room for the prefix and every unit that may be copied.
    out.resize(1 + kMostBytesPerUnit *
                       static_cast<std::size_t>(std::min<std::uint64_t>(UnitsBetween(first, last), limit)));
    const Extracted extracted = Extract(chunk, first, last, limit, out.data(), true);
    out.resize(static_cast<std::size_t>(extracted.end - out.data()));
    return extracted.units;
}

char* ExtractBlockName(const ChunkView& chunk, std::int64_t first, std::int64_t last, std::size_t limit,
                       char* out) {
    return Extract(chunk, first, last, limit, out, false).end;
}

// The ASCII characters a catalog name may hold: printable, and none of | * : ? < > and the double quote.
// Indexed by any byte: those from 0x80 on are not allowed as they are (they begin or go on a UTF-8 sequence).
constexpr std::array<bool, 256> kNameAscii = [] {
    std::array<bool, 256> allowed{};
    for (std::size_t c = 0x20; c < 0x7F; ++c) allowed[c] = true;
    for (const char c : std::string_view("|*:?<>\"")) allowed[static_cast<std::size_t>(c)] = false;
    return allowed;
}();

std::optional<std::size_t> ValidNameCharacters(std::string_view text) {
    // Most names are ASCII: every byte is looked up without a branch, and only a name with a byte the table
    // refuses (every byte beyond ASCII among them) goes through the loop below, which decides.
    bool plain = true;
    for (const char c : text) plain &= kNameAscii[static_cast<std::uint8_t>(c)];
    if (plain) return text.size();

    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count) {
        if (const auto byte = static_cast<std::uint8_t>(text[pos]); byte < 0x80) {
            if (!kNameAscii[byte]) return std::nullopt;
            ++pos;
            continue;
        }
        char32_t cp = 0;
        const std::size_t length = common::DecodeUtf8Strict(text, pos, cp);
        if (length == 0) return std::nullopt;
        pos += length;
    }
    return count;
}

bool IsCatalogNameValid(std::string_view text) {
    return ValidNameCharacters(text).has_value();
}

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count) {
        if (static_cast<std::uint8_t>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        char32_t cp = 0;
        const std::size_t length = common::DecodeUtf8(text, pos, cp);
        pos += length == 0 ? 1 : length;
    }
    return count;
}

}  // namespace ostrum::catalog
