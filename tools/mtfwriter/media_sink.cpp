// SPDX-License-Identifier: GPL-3.0-or-later
#include "media_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "byte_order.h"
#include "common/posix_io.h"

namespace ostrum::mtfwriter {

namespace {

constexpr std::size_t kImageBufferSize = 1u << 20;
constexpr std::uint32_t kTapeMarkLength = 0;
constexpr std::uint32_t kEndOfMediumLength = 0xFFFFFFFFu;

std::runtime_error IoError(const std::string& what, const std::filesystem::path& path, int err) {
    return std::runtime_error(what + " '" + path.string() + "': " + std::strerror(err));
}

}  // namespace

ImageFileSink::ImageFileSink(const std::filesystem::path& path) : path_(path), buffer_(kImageBufferSize) {
    int error = 0;
    fd_ = common::OpenFile(path.string(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, error, 0644);
    if (!fd_.valid()) throw IoError("cannot create image file", path, error);
}

void ImageFileSink::Write(std::span<const std::uint8_t> bytes) {
    if (!fd_.valid()) throw std::logic_error("write after finish on image file '" + path_.string() + "'");
    if (used_ + bytes.size() <= buffer_.size()) {
        std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
        return;
    }
    FlushBuffer();
    if (bytes.size() >= buffer_.size()) {
        WriteOut(bytes);
    } else {
        std::memcpy(buffer_.data(), bytes.data(), bytes.size());
        used_ = bytes.size();
    }
}

void ImageFileSink::Finish() {
    if (!fd_.valid()) return;
    FlushBuffer();
    if (::close(fd_.Release()) != 0) throw IoError("cannot close image file", path_, errno);
}

void ImageFileSink::FlushBuffer() {
    WriteOut(std::span<const std::uint8_t>(buffer_.data(), used_));
    used_ = 0;
}

void ImageFileSink::WriteOut(std::span<const std::uint8_t> bytes) {
    const common::IoResult written = common::WriteAll(fd_.get(), bytes);
    if (written.failed()) throw IoError("cannot write image file", path_, written.error);
}

void MemorySink::Write(std::span<const std::uint8_t> data) {
    bytes.insert(bytes.end(), data.begin(), data.end());
}

void CountingSink::Write(std::span<const std::uint8_t> bytes) {
    byteCount += bytes.size();
    if (bytes.size() > largestWrite) largestWrite = bytes.size();
}

std::uint32_t TapSink::CheckedBlockSize(std::uint32_t blockSize) {
    if (blockSize < kMinBlockSize || blockSize > kMaxBlockSize) {
        throw std::invalid_argument("tape block size " + std::to_string(blockSize) + " is outside " +
                                    std::to_string(kMinBlockSize) + ".." + std::to_string(kMaxBlockSize));
    }
    return blockSize;
}

TapSink::TapSink(Sink& out, std::uint32_t blockSize) : out_(out), blockSize_(CheckedBlockSize(blockSize)) {
    record_.reserve(blockSize);
}

void TapSink::Write(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        if (record_.empty() && bytes.size() >= blockSize_) {
            EmitRecord(bytes.first(blockSize_));
            bytes = bytes.subspan(blockSize_);
            continue;
        }
        const std::size_t take = std::min<std::size_t>(bytes.size(), blockSize_ - record_.size());
        record_.insert(record_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
        bytes = bytes.subspan(take);
        if (record_.size() == blockSize_) FlushRecord();
    }
}

void TapSink::Filemark() {
    FlushRecord();
    WriteLength(kTapeMarkLength);
}

void TapSink::Finish() {
    FlushRecord();
    WriteLength(kEndOfMediumLength);
    out_.Finish();
}

void TapSink::FlushRecord() {
    if (record_.empty()) return;
    EmitRecord(record_);
    record_.clear();
}

void TapSink::EmitRecord(std::span<const std::uint8_t> data) {
    const auto length = static_cast<std::uint32_t>(data.size());
    WriteLength(length);
    out_.Write(data);
    if (length % 2 != 0) {
        const std::uint8_t pad = 0;
        out_.Write(std::span<const std::uint8_t>(&pad, 1));
    }
    WriteLength(length);
}

void TapSink::WriteLength(std::uint32_t length) {
    std::array<std::uint8_t, 4> le{};
    PutU32(le, 0, length);
    out_.Write(le);
}

TapFileSink::TapFileSink(const std::filesystem::path& path, std::uint32_t blockSize)
    : file_((TapSink::CheckedBlockSize(blockSize), path)), tap_(file_, blockSize) {}

}  // namespace ostrum::mtfwriter
