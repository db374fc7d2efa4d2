// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Little-endian reads from bytes delivered by the medium. Every read is checked against the bytes actually
// present: a read that would run past them yields no value, which is never confused with a zero.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace ostrum::catalog {

using ByteSpan = std::span<const std::uint8_t>;

inline bool HasBytes(ByteSpan bytes, std::size_t offset, std::size_t count) {
    return offset <= bytes.size() && count <= bytes.size() - offset;
}

inline std::optional<std::uint16_t> ReadLE16(ByteSpan bytes, std::size_t offset) {
    if (!HasBytes(bytes, offset, 2)) return std::nullopt;
    return static_cast<std::uint16_t>(std::uint32_t{bytes[offset]} | (std::uint32_t{bytes[offset + 1]} << 8));
}

inline std::optional<std::uint32_t> ReadLE32(ByteSpan bytes, std::size_t offset) {
    if (!HasBytes(bytes, offset, 4)) return std::nullopt;
    return std::uint32_t{bytes[offset]} | (std::uint32_t{bytes[offset + 1]} << 8) |
           (std::uint32_t{bytes[offset + 2]} << 16) | (std::uint32_t{bytes[offset + 3]} << 24);
}

inline std::optional<std::uint64_t> ReadLE64(ByteSpan bytes, std::size_t offset) {
    auto low = ReadLE32(bytes, offset);
    auto high = ReadLE32(bytes, offset + 4);
    if (!low || !high) return std::nullopt;
    return std::uint64_t{*low} | (std::uint64_t{*high} << 32);
}

// The XOR of the little-endian 16-bit words at [offset, offset + count), `count` even, or nothing when the
// bytes are not all there: the MTF checksums. Eight bytes are folded in at a time; the bytes at even and at
// odd positions make the low and the high byte, whatever the host's byte order.
inline std::optional<std::uint16_t> XorOfLE16Words(ByteSpan bytes, std::size_t offset, std::size_t count) {
    if (!HasBytes(bytes, offset, count)) return std::nullopt;
    const std::uint8_t* const at = bytes.data() + offset;
    std::uint64_t folded = 0;
    std::size_t i = 0;
    for (; i + sizeof folded <= count; i += sizeof folded) {
        std::uint64_t word;
        std::memcpy(&word, at + i, sizeof word);
        folded ^= word;
    }
    std::uint8_t lanes[sizeof folded];
    std::memcpy(lanes, &folded, sizeof folded);
    std::uint8_t even = lanes[0] ^ lanes[2] ^ lanes[4] ^ lanes[6];
    std::uint8_t odd = lanes[1] ^ lanes[3] ^ lanes[5] ^ lanes[7];
    for (; i + 1 < count; i += 2) {
        even ^= at[i];
        odd ^= at[i + 1];
    }
    return static_cast<std::uint16_t>(even | (odd << 8));
}

// The 5-byte MTF date read as one big-endian 40-bit number (its fields are packed from the most
// significant bit down), exactly as stored; zero means "unknown".
inline std::optional<std::uint64_t> ReadMtfDate(ByteSpan bytes, std::size_t offset) {
    if (!HasBytes(bytes, offset, 5)) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 5; ++i) value = (value << 8) | bytes[offset + i];
    return value;
}

}  // namespace ostrum::catalog
