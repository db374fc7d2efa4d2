// SPDX-License-Identifier: GPL-3.0-or-later
// Little-endian encoding helpers for building MTF blocks in memory.
//
// Every access is bounds-checked against the span it is given: a block that would be written past its buffer
// is a programming error in the writer and throws std::out_of_range instead of corrupting memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ostrum::mtfwriter {

namespace detail {
inline void RequireRange(std::size_t size, std::size_t offset, std::size_t width) {
    if (offset > size || width > size - offset) {
        throw std::out_of_range("MTF encoder: field at offset " + std::to_string(offset) + " of width " +
                                std::to_string(width) + " lies outside a buffer of " + std::to_string(size) +
                                " bytes");
    }
}
}  // namespace detail

inline void PutU8(std::span<std::uint8_t> buf, std::size_t offset, std::uint8_t value) {
    detail::RequireRange(buf.size(), offset, 1);
    buf[offset] = value;
}

inline void PutU16(std::span<std::uint8_t> buf, std::size_t offset, std::uint16_t value) {
    detail::RequireRange(buf.size(), offset, 2);
    buf[offset] = static_cast<std::uint8_t>(value);
    buf[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void PutU32(std::span<std::uint8_t> buf, std::size_t offset, std::uint32_t value) {
    detail::RequireRange(buf.size(), offset, 4);
    for (std::size_t i = 0; i < 4; ++i) buf[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A UINT64 on the medium is the low 32 bits followed by the high 32 bits, i.e. plain little-endian.
inline void PutU64(std::span<std::uint8_t> buf, std::size_t offset, std::uint64_t value) {
    detail::RequireRange(buf.size(), offset, 8);
    for (std::size_t i = 0; i < 8; ++i) buf[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Writes a four-character block or stream tag ("FILE", "STAN", ...).
inline void PutTag(std::span<std::uint8_t> buf, std::size_t offset, std::string_view tag) {
    if (tag.size() != 4) throw std::invalid_argument("MTF tags have four characters");
    detail::RequireRange(buf.size(), offset, 4);
    for (std::size_t i = 0; i < 4; ++i) buf[offset + i] = static_cast<std::uint8_t>(tag[i]);
}

inline std::uint16_t GetU16(std::span<const std::uint8_t> buf, std::size_t offset) {
    detail::RequireRange(buf.size(), offset, 2);
    return static_cast<std::uint16_t>(std::uint16_t{buf[offset]} | (std::uint16_t{buf[offset + 1]} << 8));
}

// XOR of `wordCount` little-endian 16-bit words starting at `offset`: the checksum of block headers, stream
// headers and compression frame headers.
inline std::uint16_t XorWords(std::span<const std::uint8_t> buf, std::size_t offset, std::size_t wordCount) {
    detail::RequireRange(buf.size(), offset, 2 * wordCount);
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < wordCount; ++i) sum ^= GetU16(buf, offset + 2 * i);
    return sum;
}

}  // namespace ostrum::mtfwriter
