// SPDX-License-Identifier: GPL-3.0-or-later
// Where the writer's bytes go. The writer produces the tape's bytes in order and says where filemarks fall; a
// sink turns that into an image file, a byte vector, or a SIMH virtual tape.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "common/unique_fd.h"

namespace ostrum::mtfwriter {

class Sink {
  public:
    virtual ~Sink() = default;
    // Appends bytes of the medium. Throws std::runtime_error when they cannot be stored.
    virtual void Write(std::span<const std::uint8_t> bytes) = 0;
    // A hard filemark at the current position (the writer has padded to a physical block boundary).
    virtual void Filemark() = 0;
    // End of the medium: flush and close. No calls follow.
    virtual void Finish() = 0;
    // The physical block size this sink cuts the medium into, or 0 when it has none (plain images).
    virtual std::uint32_t physicalBlockSize() const { return 0; }
};

// The tape's bytes back to back, as copying a tape gives: filemarks leave no trace. Writes through its own
// buffer.
class ImageFileSink final : public Sink {
  public:
    explicit ImageFileSink(const std::filesystem::path& path);
    ImageFileSink(const ImageFileSink&) = delete;
    ImageFileSink& operator=(const ImageFileSink&) = delete;

    void Write(std::span<const std::uint8_t> bytes) override;
    void Filemark() override {}
    void Finish() override;

  private:
    void FlushBuffer();
    void WriteOut(std::span<const std::uint8_t> bytes);

    std::filesystem::path path_;
    common::UniqueFd fd_;
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;
};

// The image bytes in memory, plus the positions at which filemarks were given (for cross-checks in tests).
class MemorySink final : public Sink {
  public:
    void Write(std::span<const std::uint8_t> bytes) override;
    void Filemark() override { filemarks.push_back(bytes.size()); }
    void Finish() override { finished = true; }

    std::vector<std::uint8_t> bytes;
    std::vector<std::uint64_t> filemarks;
    bool finished = false;
};

// Counts bytes without keeping them: for very large media in tests and benchmarks.
class CountingSink final : public Sink {
  public:
    void Write(std::span<const std::uint8_t> bytes) override;
    void Filemark() override { ++filemarkCount; }
    void Finish() override { finished = true; }

    std::uint64_t byteCount = 0;
    std::uint64_t filemarkCount = 0;
    std::size_t largestWrite = 0;
    bool finished = false;
};

// SIMH ".tap" encoding on top of another sink. Each record: 32-bit little-endian length, the data, one zero
// pad byte when the length is odd, the length again. A length of 0 is a tape mark; 0xFFFFFFFF ends the
// medium. The bytes between filemarks are cut into records of `blockSize` bytes; a shorter record is written
// only if the data before a filemark does not fill the last block (the writer pads so that this does not
// happen).
class TapSink final : public Sink {
  public:
    static constexpr std::uint32_t kMinBlockSize = 512;
    // SIMH reserves the top bits of a length.
    static constexpr std::uint32_t kMaxBlockSize = 16u * 1024 * 1024;

    TapSink(Sink& out, std::uint32_t blockSize);
    // Throws std::invalid_argument for a block size outside kMinBlockSize..kMaxBlockSize.
    static std::uint32_t CheckedBlockSize(std::uint32_t blockSize);

    void Write(std::span<const std::uint8_t> bytes) override;
    void Filemark() override;
    void Finish() override;
    std::uint32_t physicalBlockSize() const override { return blockSize_; }

  private:
    // Writes out the partly filled record, if any.
    void FlushRecord();
    void EmitRecord(std::span<const std::uint8_t> data);
    void WriteLength(std::uint32_t length);

    Sink& out_;
    std::uint32_t blockSize_;
    std::vector<std::uint8_t> record_;
};

// A SIMH ".tap" file: a TapSink writing through an ImageFileSink.
class TapFileSink final : public Sink {
  public:
    TapFileSink(const std::filesystem::path& path, std::uint32_t blockSize);

    void Write(std::span<const std::uint8_t> bytes) override { tap_.Write(bytes); }
    void Filemark() override { tap_.Filemark(); }
    void Finish() override { tap_.Finish(); }
    std::uint32_t physicalBlockSize() const override { return tap_.physicalBlockSize(); }

  private:
    ImageFileSink file_;
    TapSink tap_;
};

}  // namespace ostrum::mtfwriter
