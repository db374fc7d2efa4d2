// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes SIMH ".tap" files for the tests, damaged ones included, and a temporary folder to keep them in.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace ostrum::tape::testing {

using test_support::TempFolder;

// `count` bytes whose values follow from `seed` and their position, so that any piece can be checked.
std::vector<std::uint8_t> Pattern(std::size_t count, std::uint32_t seed);

class TapBuilder {
  public:
    TapBuilder& Record(const std::vector<std::uint8_t>& data);
    // A record whose length word has the top bit set: its data were read with an error.
    TapBuilder& BadRecord(const std::vector<std::uint8_t>& data);
    TapBuilder& Mark();
    TapBuilder& EndOfMedium();
    // Raw words and bytes, for damaged files.
    TapBuilder& Word(std::uint32_t word);
    TapBuilder& Bytes(const std::vector<std::uint8_t>& bytes);

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    void WriteTo(const std::filesystem::path& file) const;

  private:
    TapBuilder& Framed(std::uint32_t word, const std::vector<std::uint8_t>& data);
    std::vector<std::uint8_t> bytes_;
};

}  // namespace ostrum::tape::testing
