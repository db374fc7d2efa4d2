// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The listings' output: text gathered in one buffer and handed to the file in large writes, instead of
// a stream insert for every piece. A listing of a million files is made of tens of millions of pieces.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace ostrum::cli {

class OutputBuffer {
  public:
    explicit OutputBuffer(std::FILE* file);
    ~OutputBuffer() { Finish(); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    // Room for `count` bytes at the end of what is gathered: the caller writes at most that many there and
    // hands the end of what it wrote to Used().
    char* Room(std::size_t count) {
        if (count > capacity_ - used_) MakeRoom(count);
        return buffer_.get() + used_;
    }
    void Used(char* end) {
        used_ = static_cast<std::size_t>(end - buffer_.get());
        if (used_ >= kWriteSize) Flush();
    }

    void Put(std::string_view text) { Used(Copy(Room(text.size()), text)); }
    void Put(char c) {
        char* at = Room(1);
        *at = c;
        Used(at + 1);
    }
    void PutNumber(std::uint64_t value) { Used(Number(Room(kMostDigits), value)); }
    void PutSpaces(std::size_t count) {
        char* at = Room(count);
        std::memset(at, ' ', count);
        Used(at + count);
    }

    // Writes what is gathered and flushes the file. False when a write failed, now or before: nothing is
    // written after a failure, and error() says why.
    bool Finish();
    const std::string& error() const { return error_; }

    // Helpers for writers that fill Room() themselves; each returns the end of what it wrote.
    static constexpr std::size_t kMostDigits = 20;
    static char* Copy(char* at, std::string_view text) {
        if (text.empty()) return at;  // an empty view may have no bytes at all to copy from
        std::memcpy(at, text.data(), text.size());
        return at + text.size();
    }
    static char* Number(char* at, std::uint64_t value) {
        return std::to_chars(at, at + kMostDigits, value).ptr;
    }

  private:
    static constexpr std::size_t kWriteSize = 1 << 16;
    void MakeRoom(std::size_t count);
    void Flush();

    std::FILE* file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    std::string error_;
};

}  // namespace ostrum::cli
