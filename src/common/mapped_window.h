#pragma once
// A read-only window on a file's bytes, mapped into memory: a scan that looks at a few bytes of every
// 512 reads them from the page cache without the copy a read() makes of all of them.
//
// A mapped page that can no longer be read (the file was cut short while mapped, or the disk under it
// fails) raises SIGBUS when touched, which would end the program. While a window is mapped, a handler
// for SIGBUS puts a page of zeros in place of such a page and notes where it was, so the code touching
// it goes on, and the window tells afterwards (failedAt) that its bytes from there on are not the file's.
// Faults outside every window are left to the handler that was there before.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

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

// Maps the windows of a range of a file one after the other on a thread of its own, a few ahead of their
// use and with their pages already entered in the page tables, and unmaps the windows handed back: a scan
// that takes the windows in order spends little time of its own on page faults and none on unmapping.
class WindowsAhead {
  public:
    // The range [begin, end) in windows of `windowSize` bytes (the last may be shorter); `begin` and
    // `windowSize` are multiples of the page size.
    WindowsAhead(int fd, std::uint64_t begin, std::uint64_t end, std::size_t windowSize);
    ~WindowsAhead();
    WindowsAhead(const WindowsAhead&) = delete;
    WindowsAhead& operator=(const WindowsAhead&) = delete;

    // The next window in order. Nothing after the last, or when it could not be mapped (the ones after it
    // are then not mapped either).
    std::optional<MappedWindow> Next();
    // Hands a window back, to be unmapped on the mapping thread.
    void Return(MappedWindow window);

  private:
    static constexpr std::size_t kAhead = 2;  // windows mapped and not yet taken, at most
    void MapAll(int fd, std::uint64_t begin, std::uint64_t end, std::size_t windowSize);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::optional<MappedWindow>> ready_;  // nothing: the mapping stopped there
    std::vector<MappedWindow> returned_;
    bool finished_ = false;  // the thread has mapped all it will
    bool stopping_ = false;
    std::thread thread_;  // last: started once the members it uses exist
};

}  // namespace ostrum::common
