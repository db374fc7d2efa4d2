// SPDX-License-Identifier: GPL-3.0-or-later
#include "tap_builder.h"

#include <unistd.h>

#include <fstream>
#include <stdexcept>

namespace ostrum::tape::testing {

std::vector<std::uint8_t> Pattern(std::size_t count, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 31 + seed * 7 + (i >> 9)) & 0xFF);
    return bytes;
}

TapBuilder& TapBuilder::Word(std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::uint8_t>(word >> shift));
    return *this;
}

TapBuilder& TapBuilder::Bytes(const std::vector<std::uint8_t>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

TapBuilder& TapBuilder::Framed(std::uint32_t word, const std::vector<std::uint8_t>& data) {
    Word(word).Bytes(data);
    if (data.size() % 2 != 0) bytes_.push_back(0);
    return Word(word);
}

TapBuilder& TapBuilder::Record(const std::vector<std::uint8_t>& data) {
    return Framed(static_cast<std::uint32_t>(data.size()), data);
}

TapBuilder& TapBuilder::BadRecord(const std::vector<std::uint8_t>& data) {
    return Framed(static_cast<std::uint32_t>(data.size()) | 0x80000000u, data);
}

TapBuilder& TapBuilder::Mark() {
    return Word(0);
}
TapBuilder& TapBuilder::EndOfMedium() {
    return Word(0xFFFFFFFFu);
}

void TapBuilder::WriteTo(const std::filesystem::path& file) const {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace ostrum::tape::testing
