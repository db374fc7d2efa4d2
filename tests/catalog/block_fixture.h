// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Hand-made MTF blocks for unit tests: just the fields the scan reads, each written where the format
// puts it, on an otherwise zeroed slot.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace ostrum::catalog::testing {

inline void PutLE16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
    bytes.at(at) = static_cast<std::uint8_t>(value);
    bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

inline void PutLE64(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void PutTag(std::vector<std::uint8_t>& bytes, std::size_t at, std::string_view tag) {
    std::memcpy(&bytes.at(at), tag.data(), 4);
}

// UTF-16LE code units of a text given as UTF-16 (u"..."); NUL units are written as they stand.
inline void PutUnits(std::vector<std::uint8_t>& bytes, std::size_t at, std::u16string_view units) {
    for (std::size_t i = 0; i < units.size(); ++i) PutLE16(bytes, at + 2 * i, units[i]);
}

// A name stored at `nameOffset` of the block at `block`, with its tape address (size, offset) at `field`.
inline void PutName(std::vector<std::uint8_t>& bytes, std::size_t block, std::size_t field,
                    std::size_t nameOffset, std::u16string_view units) {
    PutLE16(bytes, block + field, static_cast<std::uint16_t>(2 * units.size()));  // Size in bytes
    PutLE16(bytes, block + field + 2, static_cast<std::uint16_t>(nameOffset));    // Offset from block start
    PutUnits(bytes, block + nameOffset, units);
}

// A 22-byte stream header with a correct checksum (XOR of the ten words before it).
inline void PutStreamHeader(std::vector<std::uint8_t>& bytes, std::size_t at, std::string_view id,
                            std::uint64_t length) {
    PutTag(bytes, at, id);
    PutLE64(bytes, at + 8, length);  // Stream Length
    std::uint16_t sum = 0;
    for (std::size_t w = 0; w < 20; w += 2)
        sum ^= static_cast<std::uint16_t>(bytes[at + w] | (bytes[at + w + 1] << 8));
    PutLE16(bytes, at + 20, sum);
}

// Block makers. Offsets: SSET name at 64, DIRB name at 80, FILE name at 84; names placed after the
// fixed part; offset to first event (8) points just past the name, 4-aligned.
inline void PutSet(std::vector<std::uint8_t>& bytes, std::size_t at, std::u16string_view name) {
    PutTag(bytes, at, "SSET");
    PutName(bytes, at, 64, 100, name);
}

inline void PutDirectory(std::vector<std::uint8_t>& bytes, std::size_t at, std::u16string_view name) {
    PutTag(bytes, at, "DIRB");
    PutName(bytes, at, 80, 90, name);
}

// A FILE block whose STAN header follows the name at once (as the first event) unless `stanAt` is given.
inline std::size_t PutFile(std::vector<std::uint8_t>& bytes, std::size_t at, std::u16string_view name,
                           std::uint64_t length = 5, std::size_t stanAt = 0) {
    PutTag(bytes, at, "FILE");
    PutName(bytes, at, 84, 90, name);
    const std::size_t firstEvent = (90 + 2 * name.size() + 3) / 4 * 4;
    PutLE16(bytes, at + 8, static_cast<std::uint16_t>(firstEvent));  // Offset to first event
    const std::size_t stan = stanAt != 0 ? stanAt : firstEvent;
    PutStreamHeader(bytes, at + stan, "STAN", length);
    return at + stan + 22;  // where the data begins
}

}  // namespace ostrum::catalog::testing
