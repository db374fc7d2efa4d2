// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tape layer: one open tape drive and the records it answers with. Everything the program does with
// a drive goes through TapeDrive: it opens a drive exclusively, asks about the drive and its medium,
// selects variable-length blocks, rewinds, reads, and closes. It never writes, erases or positions a tape
// in any other way. Two backends implement it: the Linux SCSI tape driver (linux_tape.h) and virtual
// drives over SIMH ".tap" files (virtual_tape.h); TapeDevices (tape_devices.h) picks one per name.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ostrum::tape {

// Every read asks for this many bytes, in the image copy and in the tape scan alike.
inline constexpr std::size_t kTapeReadSize = 65536;

// Device numbers of the names "//./tape0" to "//./tape19"; no other number is ever formed or opened.
inline constexpr int kFirstTapeDevice = 0;
inline constexpr int kLastTapeDevice = 19;
inline constexpr int kTapeDeviceCount = kLastTapeDevice - kFirstTapeDevice + 1;

// "//./tape" followed by the number in decimal, without leading zeros.
std::string TapeDeviceName(int number);
// The device number of a TapeDeviceName, or nothing when the text is not one (wrong prefix, leading
// zeros, signs, blanks, or a number outside 0..19).
std::optional<int> ParseTapeDeviceName(std::string_view name);

// The drive's bit of featuresLow that says it can work with variable-length blocks (the platform's
// TAPE_DRIVE_VARIABLE_BLOCK).
inline constexpr std::uint32_t kDriveVariableBlock = 0x800;

// What a drive says about itself: the fields of the tape interface's drive information record, each named
// as the platform names it (ECC, FeaturesLow, ...) in the program's own style.
struct TapeDriveParameters {
    bool ecc = false;
    bool compression = false;
    bool dataPadding = false;
    bool reportSetmarks = false;
    std::uint32_t defaultBlockSize = 0;
    std::uint32_t maximumBlockSize = 0;  // 0 when the drive does not say
    std::uint32_t minimumBlockSize = 0;
    std::uint32_t maximumPartitionCount = 1;
    std::uint32_t featuresLow = 0;
    std::uint32_t featuresHigh = 0;
    std::uint32_t eotWarningZoneSize = 0;
};

// What a drive says about the medium it holds (the media information record).
struct TapeMediaParameters {
    std::int64_t capacity = 0;    // bytes; 0 when the drive does not say
    std::int64_t remaining = 0;   // bytes; 0 when the drive does not say
    std::uint32_t blockSize = 0;  // 0 means variable-length blocks
    std::uint32_t partitionCount = 1;
    bool writeProtected = false;
};

// Why an operation failed, so that callers and tests can tell the cases apart; the text of TapeResult
// says the same for people.
enum class TapeFault : std::uint8_t {
    None,
    InvalidName,  // not a TapeDeviceName
    NotFound,     // no such drive
    Busy,         // the drive is held open by someone else
    AccessDenied,
    NoMedium,
    Unsupported,  // the drive refuses the request
    Failed,       // any other error of the drive or the system
};

// Success, or a failure with its reason: what was done, on which device, and the system's own words.
class TapeResult {
  public:
    static TapeResult Success() { return TapeResult(TapeFault::None, {}); }
    static TapeResult Failure(TapeFault fault, std::string why) { return TapeResult(fault, std::move(why)); }

    explicit operator bool() const { return fault_ == TapeFault::None; }
    TapeFault fault() const { return fault_; }
    const std::string& error() const { return error_; }

  private:
    TapeResult(TapeFault fault, std::string error) : fault_(fault), error_(std::move(error)) {}
    TapeFault fault_;
    std::string error_;
};

// Why a read reported failure. A read that succeeds has delivered at least one byte.
enum class ReadEnd : std::uint8_t {
    None,       // the read succeeded
    Filemark,   // 0 bytes; the next read continues with the data behind the mark
    Setmark,    // 0 bytes; as a filemark
    EndOfData,  // 0 bytes; every further read until a rewind reports the same
    Error,      // 0 bytes; the tape has moved past the block that failed (as far as the drive can tell)
};

struct TapeRead {
    std::size_t count = 0;        // bytes delivered into the caller's buffer
    ReadEnd end = ReadEnd::None;  // why the read reported failure
    std::string error;            // for Error: which device, which block, the reason

    bool succeeded() const { return end == ReadEnd::None; }
};

// One open tape drive. The open is exclusive: while it exists, nobody else can open the same drive.
// Destruction closes it. A drive is used by one thread at a time.
//
// Read contract: returns the tape's data strictly in order, at most buffer.size() bytes per call
// (callers ask for kTapeReadSize). In variable-block mode each read delivers one tape block; a block
// longer than the buffer is delivered whole over several reads, in order, in pieces of at most
// buffer.size() bytes. At a filemark, a setmark, the end of recorded data or on an error a read delivers
// 0 bytes and says which of these it met.
class TapeDrive {
  public:
    virtual ~TapeDrive() = default;
    TapeDrive(const TapeDrive&) = delete;
    TapeDrive& operator=(const TapeDrive&) = delete;

    // The TapeDeviceName this drive was opened under.
    const std::string& name() const { return name_; }

    virtual TapeResult GetDriveParameters(TapeDriveParameters& out) = 0;
    // Fails when the drive holds no medium: that is how a missing medium is recognised.
    virtual TapeResult GetMediaParameters(TapeMediaParameters& out) = 0;
    // Sets the media block size; 0 selects variable-length blocks.
    virtual TapeResult SetMediaParameters(std::uint32_t blockSize) = 0;
    // Rewinds to the beginning of the tape; the next read starts with the tape's first block.
    virtual TapeResult Rewind() = 0;
    virtual TapeRead Read(std::span<std::uint8_t> buffer) = 0;

  protected:
    explicit TapeDrive(std::string name) : name_(std::move(name)) {}

  private:
    std::string name_;
};

// The text of a ReadEnd for messages ("filemark", "end of data", ...).
std::string_view ReadEndText(ReadEnd end);

}  // namespace ostrum::tape
