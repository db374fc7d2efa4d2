#pragma once
// The listings' output: text gathered in one buffer and handed to the file in large writes, instead of
// a stream insert for every piece. A listing of a million files is made of tens of millions of pieces.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace ostrum::cli {

class OutputBuffer {
  public:
    explicit OutputBuffer(std::FILE* file);
    ~OutputBuffer() { Finish(); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    void Put(std::string_view text) {
        text_.append(text);
        Written();
    }
    void Put(char c) {
        text_.push_back(c);
        Written();
    }
    void PutNumber(std::uint64_t value);
    void PutSpaces(std::size_t count) {
        text_.append(count, ' ');
        Written();
    }
    // The buffer itself, for writers that append to it in place (the JSON escaper); Written() after.
    std::string& text() { return text_; }
    void Written() {
        if (text_.size() >= kWriteSize) Flush();
    }

    // Writes what is gathered and flushes the file. False when a write failed, now or before: nothing is
    // written after a failure, and error() says why.
    bool Finish();
    const std::string& error() const { return error_; }

  private:
    static constexpr std::size_t kWriteSize = 1 << 16;
    void Flush();

    std::FILE* file_;
    std::string text_;
    std::string error_;
};

}  // namespace ostrum::cli
