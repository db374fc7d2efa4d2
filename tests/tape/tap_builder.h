#pragma once
// Writes SIMH ".tap" files for the tests, damaged ones included, and a temporary folder to keep them in.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ostrum::tape::testing {

// A folder under the system's temporary folder, removed with everything in it when the test ends.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::filesystem::path path(const std::string& name) const { return root_ / name; }

  private:
    std::filesystem::path root_;
};

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
