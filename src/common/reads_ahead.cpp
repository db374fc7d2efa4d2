// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/reads_ahead.h"

#include <algorithm>

namespace ostrum::common {

ReadsAhead::ReadsAhead(const ImageSource& image, std::uint64_t begin, std::uint64_t end,
                       std::size_t windowSize) {
    const auto count = static_cast<std::size_t>(
        std::min<std::uint64_t>(kBuffers, end > begin ? (end - begin + windowSize - 1) / windowSize : 0));
    for (std::size_t i = 0; i < count; ++i) {
        buffers_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(windowSize));
        free_.push_back(count - 1 - i);
    }
    thread_ = std::thread([this, &image, begin, end, windowSize] { ReadAll(image, begin, end, windowSize); });
}

ReadsAhead::~ReadsAhead() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ReadsAhead::ReadAll(const ImageSource& image, std::uint64_t begin, std::uint64_t end,
                         std::size_t windowSize) {
    for (std::uint64_t at = begin; at < end;) {
        std::size_t buffer = 0;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || !free_.empty(); });
            if (stopping_) break;
            buffer = free_.back();
            free_.pop_back();
        }
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(windowSize, end - at));
        const std::span<std::uint8_t> out(buffers_[buffer].get(), length);
        const ImageRead read = image.Read(at, out);
        {
            const std::lock_guard lock(mutex_);
            ready_.push_back(Window{at, out.first(read.count), read.count == length, buffer});
        }
        changed_.notify_all();
        at += length;
    }
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
    }
    changed_.notify_all();
}

std::optional<ReadsAhead::Window> ReadsAhead::Next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || finished_; });
    if (ready_.empty()) return std::nullopt;
    const Window window = ready_.front();
    ready_.pop_front();
    return window;
}

void ReadsAhead::Return(const Window& window) {
    {
        const std::lock_guard lock(mutex_);
        free_.push_back(window.buffer);
    }
    changed_.notify_all();
}

}  // namespace ostrum::common
