#pragma once
// Little-endian reads from bytes delivered by the medium. Every read is checked against the bytes actually
// present: a read that would run past them yields no value, which is never confused with a zero.

#include <cstddef>
#include <cstdint>
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

// The 5-byte MTF date read as one big-endian 40-bit number (its fields are packed from the most
// significant bit down), exactly as stored; zero means "unknown".
inline std::optional<std::uint64_t> ReadMtfDate(ByteSpan bytes, std::size_t offset) {
    if (!HasBytes(bytes, offset, 5)) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 5; ++i) value = (value << 8) | bytes[offset + i];
    return value;
}

}  // namespace ostrum::catalog
