#include "output_buffer.h"

#include <cerrno>
#include <charconv>
#include <cstring>

namespace ostrum::cli {

OutputBuffer::OutputBuffer(std::FILE* file) : file_(file) {
    // Room for one write and the longest piece that may overshoot it, so that appending never grows it.
    text_.reserve(2 * kWriteSize);
}

void OutputBuffer::PutNumber(std::uint64_t value) {
    char digits[20];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text_.append(digits, end);
    Written();
}

void OutputBuffer::Flush() {
    errno = 0;
    if (error_.empty() && !text_.empty() &&
        std::fwrite(text_.data(), 1, text_.size(), file_) != text_.size()) {
        error_ = std::strerror(errno != 0 ? errno : EIO);
    }
    text_.clear();
}

bool OutputBuffer::Finish() {
    Flush();
    errno = 0;
    if (error_.empty() && std::fflush(file_) != 0) error_ = std::strerror(errno != 0 ? errno : EIO);
    return error_.empty();
}

}  // namespace ostrum::cli
