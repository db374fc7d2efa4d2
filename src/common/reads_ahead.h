// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a range of an image in windows of a fixed size on a thread of its own, a few windows ahead of
// their use, into buffers that are used again once handed back.
//
// A scan that looks at a few bytes of every 512 then finds them in the processor's cache, where the
// thread that read them left them, rather than in memory; and it pays no page faults and no unmapping,
// whose flushes of the address translations would interrupt it on every processor it runs on. The
// copy the reads make costs the reading thread about what the scan takes per byte, and it runs beside
// the scan.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "common/byte_source.h"

namespace ostrum::common {

class ReadsAhead {
  public:
    // One window as read: where it starts, and its bytes. `complete` is false when the read delivered
    // fewer bytes than the window holds (a read failed, or the image ended early): the bytes delivered
    // are given, and the caller reads the window again in its own way to learn where and why.
    struct Window {
        std::uint64_t offset = 0;
        std::span<const std::uint8_t> bytes;
        bool complete = false;
        std::size_t buffer = 0;  // which buffer holds it, for Return
    };

    // The range [begin, end) of `image`, in windows of `windowSize` bytes (the last may be shorter).
    // `image` must outlive this reader and allow reads from two threads at once.
    ReadsAhead(const ImageSource& image, std::uint64_t begin, std::uint64_t end, std::size_t windowSize);
    ~ReadsAhead();
    ReadsAhead(const ReadsAhead&) = delete;
    ReadsAhead& operator=(const ReadsAhead&) = delete;

    // The next window in order, or nothing after the last. Its bytes stay valid until it is returned.
    std::optional<Window> Next();
    // Hands a window's buffer back for a later window.
    void Return(const Window& window);

  private:
    static constexpr std::size_t kBuffers = 4;  // windows read and not yet handed back, at most
    void ReadAll(const ImageSource& image, std::uint64_t begin, std::uint64_t end, std::size_t windowSize);

    std::vector<std::unique_ptr<std::uint8_t[]>> buffers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Window> ready_;
    std::vector<std::size_t> free_;  // buffers free to read into
    bool finished_ = false;          // the thread has read all it will
    bool stopping_ = false;
    std::thread thread_;  // last: started once the members it uses exist
};

}  // namespace ostrum::common
