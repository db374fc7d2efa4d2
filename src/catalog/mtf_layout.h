#pragma once
// On-medium layout of the MTF 1.00a structures this program reads. Offsets are in bytes from the first
// byte of the block (or stream header); field names follow the format's own.

#include <cstddef>
#include <cstdint>

namespace ostrum::catalog::mtf {

// The medium is read in chunks and examined in slots; a descriptor block always starts a slot.
inline constexpr std::size_t kChunkSize = 65536;  // one read of the medium
inline constexpr std::size_t kSlotSize = 512;     // smallest MTF logical block
inline constexpr std::size_t kSlotsPerChunk = kChunkSize / kSlotSize;

// MTF_DB_HDR, the common block header (52 bytes).
namespace db_hdr {
inline constexpr std::size_t kBlockType = 0;           // 4 ASCII bytes, e.g. "FILE"
inline constexpr std::size_t kBlockAttributes = 4;     // UINT32
inline constexpr std::size_t kOffsetToFirstEvent = 8;  // UINT16, block start to first stream header
inline constexpr std::size_t kDisplayableSize = 12;    // UINT64, e.g. a file's full size
inline constexpr std::size_t kStringType = 48;         // UINT8: 1 ANSI, 2 Unicode
inline constexpr std::size_t kHeaderChecksum = 50;     // UINT16 XOR of the words before it
inline constexpr std::size_t kSize = 52;
}  // namespace db_hdr

// MTF_TAPE_ADDRESS: where a variable-length field lies, relative to the block start.
namespace tape_address {
inline constexpr std::size_t kSize = 0;    // UINT16 length in bytes
inline constexpr std::size_t kOffset = 2;  // UINT16 offset from the block start
}  // namespace tape_address

// SSET, start of a data set.
namespace sset {
inline constexpr std::size_t kDataSetNumber = 62;  // UINT16; not used: sets are numbered as met
inline constexpr std::size_t kDataSetName = 64;    // MTF_TAPE_ADDRESS
}  // namespace sset

// DIRB, a directory.
namespace dirb {
inline constexpr std::size_t kLastModificationDate = 56;  // MTF_DATE_TIME (5 bytes)
inline constexpr std::size_t kDirectoryName = 80;         // MTF_TAPE_ADDRESS; components each ended by NUL
}  // namespace dirb

// FILE, a file.
namespace file {
inline constexpr std::size_t kLastModificationDate = 56;  // MTF_DATE_TIME (5 bytes)
inline constexpr std::size_t kFileName = 84;              // MTF_TAPE_ADDRESS
}  // namespace file

// MTF_STREAM_HDR (22 bytes); the stream's data follows it at once.
namespace stream_hdr {
inline constexpr std::size_t kStreamId = 0;                   // 4 ASCII bytes, e.g. "STAN"
inline constexpr std::size_t kFileSystemAttributes = 4;       // UINT16
inline constexpr std::size_t kMediaFormatAttributes = 6;      // UINT16; bit 3 encrypted, bit 4 compressed
inline constexpr std::size_t kStreamLength = 8;               // UINT64, the data only
inline constexpr std::size_t kDataEncryptionAlgorithm = 16;   // UINT16
inline constexpr std::size_t kDataCompressionAlgorithm = 18;  // UINT16; 0x0ABE is Stac LZS
inline constexpr std::size_t kChecksum = 20;                  // UINT16 XOR of the 10 words before it
inline constexpr std::size_t kSize = 22;
inline constexpr std::size_t kAlignment = 4;  // streams start on 4-byte boundaries from the block start
}  // namespace stream_hdr

// The frame at the start of a SPAR stream's data, before the run's bytes. Most writers give the run's
// length after its offset; some give the offset alone and let the stream length tell the rest.
namespace sparse_frame {
inline constexpr std::size_t kOffset = 0;  // UINT64, where in the file the run starts
inline constexpr std::size_t kLength = 8;  // UINT64, the run's bytes: the stream length less kSize
inline constexpr std::size_t kSize = 16;
inline constexpr std::size_t kOffsetOnlySize = 8;
}  // namespace sparse_frame

inline constexpr std::uint16_t kFileSystemSparse = 1u << 3;  // STREAM_IS_SPARSE: the data follow in SPARs
inline constexpr std::uint16_t kMediaFormatEncrypted = 1u << 3;
inline constexpr std::uint16_t kMediaFormatCompressed = 1u << 4;
inline constexpr std::uint16_t kCompressionStacLzs = 0x0ABE;

}  // namespace ostrum::catalog::mtf
