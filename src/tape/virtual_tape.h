// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Virtual tape drives: a tape file in the SIMH ".tap" format behaves as a drive holding that tape.
//
// The file is a sequence of entries, each starting with a 32-bit little-endian word:
//   0            a tape mark (filemark);
//   0xFFFFFFFF   the end of the medium;
//   otherwise    a data record: the length in the low 31 bits (the top bit flags a record that was read
//                with an error), the data, one pad byte when the length is odd, and the same word again.
// The drive works in variable-block mode: each read delivers one record (longer records in pieces, as a
// real drive's oversized blocks), a tape mark reads as a filemark, and the end of the medium, or of the
// file, as the end of recorded data. A damaged file (a length running past the end of the file, front
// and back words that disagree) is a medium error on that record, never a crash or a huge allocation.
//
// For tests a drive can be told to fail: no medium, busy (held by another program), or an error on
// chosen records.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "common/byte_source.h"
#include "tape/tape_device.h"

namespace ostrum::tape {

// Longest record believed: SCSI tape blocks are at most 2^24 - 1 bytes long and SIMH tools write up to
// 16 MiB; a larger length in a tape file is damage, not data.
inline constexpr std::uint32_t kMaxTapeRecordBytes = 1u << 24;

struct VirtualTapeOptions {
    std::string path{};                      // the .tap file
    std::optional<std::int64_t> capacity{};  // the medium's capacity in bytes; the file's size when absent
    bool noMedium = false;                   // opens, but holds no medium
    bool busy = false;                       // held by another program: every open fails
    std::set<std::uint64_t> errorRecords{};  // zero-based numbers of data records (marks not counted)
                                             // whose reads fail with a medium error
    // Called before every read that reaches the tape file, with the number of the next data record.
    // Lets a test act while the drive is "busy" reading (for example press Stop).
    std::function<void(std::uint64_t)> beforeRead{};
};

// An attached virtual drive. Shared between the device map and the drive opened on it; only one
// drive can be open on it at a time.
class VirtualTape {
  public:
    explicit VirtualTape(VirtualTapeOptions options) : options_(std::move(options)) {}
    const VirtualTapeOptions& options() const { return options_; }
    bool inUse() const { return inUse_.load(); }

    // Claims the drive for one open; false when it is already open.
    bool Claim() { return !inUse_.exchange(true); }
    void Release() { inUse_.store(false); }

  private:
    VirtualTapeOptions options_;
    std::atomic<bool> inUse_{false};
};

// Opens the attached drive exclusively under `name`; fails when it is busy or its tape file cannot be
// opened.
TapeResult OpenVirtualTape(const std::shared_ptr<VirtualTape>& tape, const std::string& name,
                           std::unique_ptr<TapeDrive>& drive);

// Checks that a tape file can be attached: it exists, is a regular file and can be opened for reading.
TapeResult CheckTapeFile(const std::string& path);

// What the first entries of a file say about its being a tape file.
enum class TapeFraming : std::uint8_t {
    Holds,    // its first data records are framed as a tape file's: a length, the data, the same length
    Broken,   // its first data record is not: it is no tape file (an image, for one)
    Unknown,  // no data record among its first entries (an empty file, only tape marks, unreadable)
};

struct TapeFramingCheck {
    TapeFraming framing = TapeFraming::Unknown;
    std::string why;  // for Broken: what does not hold
};

// Walks the first entries of `file` (at most kFramingRecordsChecked data records).
TapeFramingCheck CheckTapeFraming(const common::ImageSource& file);
inline constexpr int kFramingRecordsChecked = 8;

}  // namespace ostrum::tape
