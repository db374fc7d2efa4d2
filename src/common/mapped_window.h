#pragma once
// A read-only window on a file's bytes, mapped into memory: a scan that looks at a few bytes of every
// 512 reads them from the page cache without the copy a read() makes of all of them.
//
// A mapped page that can no longer be read (the file was cut short while mapped, or the disk under it
// fails) raises SIGBUS when touched, which would end the program. While a window is mapped, a handler
// for SIGBUS puts a page of zeros in place of such a page and notes where it was, so the code touching
// it goes on, and the window tells afterwards (failedAt) that its bytes from there on are not the file's.
// Faults outside every window are left to the handler that was there before.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace ostrum::common {

class MappedWindow {
  public:
    // Maps `length` bytes of `fd` from `offset` (a multiple of the page size). Nothing when the file
    // cannot be mapped (a file system without mappings, a pipe) or too many windows are mapped at once:
    // the caller reads instead.
    static std::optional<MappedWindow> Map(int fd, std::uint64_t offset, std::size_t length);

    MappedWindow(MappedWindow&& other) noexcept;
    MappedWindow& operator=(MappedWindow&& other) noexcept;
    MappedWindow(const MappedWindow&) = delete;
    MappedWindow& operator=(const MappedWindow&) = delete;
    ~MappedWindow();

    std::span<const std::uint8_t> bytes() const { return {base_, length_}; }
    std::uint64_t offset() const { return offset_; }
    // The file offset of the first page found unreadable, or nothing while every page touched was read.
    std::optional<std::uint64_t> failedAt() const;

  private:
    MappedWindow(const std::uint8_t* base, std::size_t length, std::uint64_t offset, int guard)
        : base_(base), length_(length), offset_(offset), guard_(guard) {}
    void Release();

    const std::uint8_t* base_ = nullptr;
    std::size_t length_ = 0;
    std::uint64_t offset_ = 0;
    int guard_ = -1;  // the window's entry in the table the SIGBUS handler looks in
};

}  // namespace ostrum::common
