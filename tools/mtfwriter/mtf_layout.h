// SPDX-License-Identifier: GPL-3.0-or-later
// On-medium layout of the MTF 1.00a structures the writer produces: named offsets and sizes, one namespace
// per block kind. Offsets are in bytes from the first byte of the block (or stream header, or frame header).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrum::mtfwriter::layout {

// Common block header (MTF_DB_HDR), at the start of every descriptor block.
namespace common {
inline constexpr std::size_t kBlockType = 0;              // 4 ASCII bytes: TAPE, SSET, ...
inline constexpr std::size_t kBlockAttributes = 4;        // u32: bit 0 continuation, bit 2 compression
inline constexpr std::size_t kOffsetToFirstEvent = 8;     // u16: block start to first stream header
inline constexpr std::size_t kOsId = 10;                  // u8: 14 = Windows NT
inline constexpr std::size_t kOsVersion = 11;             // u8
inline constexpr std::size_t kDisplayableSize = 12;       // u64: e.g. the file's size
inline constexpr std::size_t kFormatLogicalAddress = 20;  // u64: logical blocks from the set's SSET
inline constexpr std::size_t kReservedForMbc = 28;        // u16: 0
inline constexpr std::size_t kControlBlockId = 36;        // u32: 0 at the SSET, +1 per block of the set
inline constexpr std::size_t kOsSpecificData = 44;        // tape address of OS data (absent: 0, 0)
inline constexpr std::size_t kStringType = 48;            // u8: 0 none, 1 ANSI, 2 UTF-16LE
inline constexpr std::size_t kHeaderChecksum = 50;        // u16: XOR of the 25 words before it
inline constexpr std::size_t kSize = 52;
inline constexpr std::size_t kChecksummedWords = 25;
}  // namespace common

inline constexpr std::uint8_t kOsIdWindowsNt = 14;
inline constexpr std::uint8_t kOsVersionNt = 1;  // what SQL Server writes
inline constexpr std::uint8_t kStringTypeNone = 0;
inline constexpr std::uint8_t kStringTypeUnicode = 2;

// Block attributes (common header) shared by all block kinds.
inline constexpr std::uint32_t kBlockAttrContinuation = 1u << 0;
inline constexpr std::uint32_t kBlockAttrCompression = 1u << 2;
// SQL Server sets this bit on its soft filemark blocks; mirrored so our .bkf-style images look the same.
inline constexpr std::uint32_t kSfmbBlockAttributes = 0x80000000u;

namespace tape {
inline constexpr std::size_t kMediaFamilyId = 52;        // u32
inline constexpr std::size_t kTapeAttributes = 56;       // u32: bit 0 soft filemarks, bit 1 media label
inline constexpr std::size_t kMediaSequenceNumber = 60;  // u16, from 1
inline constexpr std::size_t kPasswordEncryptionAlgorithm = 62;  // u16
inline constexpr std::size_t kSoftFilemarkBlockSize = 64;        // u16, in 512-byte units
inline constexpr std::size_t kMediaBasedCatalogType = 66;        // u16
inline constexpr std::size_t kMediaName = 68;                    // tape address
inline constexpr std::size_t kMediaDescription = 72;             // tape address
inline constexpr std::size_t kMediaPassword = 76;                // tape address
inline constexpr std::size_t kSoftwareName = 80;                 // tape address
inline constexpr std::size_t kFormatLogicalBlockSize = 84;       // u16: 512 or 1024
inline constexpr std::size_t kSoftwareVendorId = 86;             // u16
inline constexpr std::size_t kMediaDate = 88;                    // 5-byte date
inline constexpr std::size_t kMtfMajorVersion = 93;              // u8: 1
inline constexpr std::size_t kFixedSize = 94;
inline constexpr std::uint32_t kAttrSoftFilemarks = 1u << 0;
inline constexpr std::uint16_t kCatalogType1 = 1;
// Block attributes of the TAPE block's common header.
inline constexpr std::uint32_t kBlockAttrSetMapExists = 1u << 16;
inline constexpr std::uint32_t kBlockAttrFddAllowed = 1u << 17;
}  // namespace tape

namespace sset {
inline constexpr std::size_t kSsetAttributes = 52;                // u32: backup type bits
inline constexpr std::size_t kPasswordEncryptionAlgorithm = 56;   // u16
inline constexpr std::size_t kSoftwareCompressionAlgorithm = 58;  // u16: 0x0ABE = Stac LZS
inline constexpr std::size_t kSoftwareVendorId = 60;              // u16
inline constexpr std::size_t kDataSetNumber = 62;                 // u16, from 1
inline constexpr std::size_t kDataSetName = 64;                   // tape address
inline constexpr std::size_t kDataSetDescription = 68;            // tape address
inline constexpr std::size_t kDataSetPassword = 72;               // tape address
inline constexpr std::size_t kUserName = 76;                      // tape address
inline constexpr std::size_t kPhysicalBlockAddress = 80;          // u64: where this SSET is
inline constexpr std::size_t kMediaWriteDate = 88;                // 5-byte date
inline constexpr std::size_t kSoftwareMajorVersion = 93;          // u8
inline constexpr std::size_t kSoftwareMinorVersion = 94;          // u8
inline constexpr std::size_t kTimeZone = 95;                      // i8: 15-minute steps from UTC, 127 = local
inline constexpr std::size_t kMtfMinorVersion = 96;               // u8: 0
inline constexpr std::size_t kMediaCatalogVersion = 97;           // u8
inline constexpr std::size_t kFixedSize = 98;
inline constexpr std::uint32_t kAttrFddExists = 1u << 16;
}  // namespace sset

namespace volb {
inline constexpr std::size_t kVolbAttributes = 52;  // u32: bit 2 = device is a drive letter
inline constexpr std::size_t kDeviceName = 56;      // tape address
inline constexpr std::size_t kVolumeName = 60;      // tape address
inline constexpr std::size_t kMachineName = 64;     // tape address
inline constexpr std::size_t kMediaWriteDate = 68;  // 5-byte date
inline constexpr std::size_t kFixedSize = 73;
inline constexpr std::uint32_t kAttrDeviceIsDrive = 1u << 2;
}  // namespace volb

namespace dirb {
inline constexpr std::size_t kDirbAttributes = 52;        // u32: bit 17 path in stream
inline constexpr std::size_t kLastModificationDate = 56;  // 5-byte date
inline constexpr std::size_t kCreationDate = 61;          // 5-byte date
inline constexpr std::size_t kBackupDate = 66;            // 5-byte date
inline constexpr std::size_t kLastAccessDate = 71;        // 5-byte date
inline constexpr std::size_t kDirectoryId = 76;           // u32
inline constexpr std::size_t kDirectoryName = 80;         // tape address
inline constexpr std::size_t kFixedSize = 84;
inline constexpr std::uint32_t kAttrPathInStream = 1u << 17;
}  // namespace dirb

namespace file {
inline constexpr std::size_t kFileAttributes = 52;        // u32: bit 17 name in stream
inline constexpr std::size_t kLastModificationDate = 56;  // 5-byte date
inline constexpr std::size_t kCreationDate = 61;          // 5-byte date
inline constexpr std::size_t kBackupDate = 66;            // 5-byte date
inline constexpr std::size_t kLastAccessDate = 71;        // 5-byte date
inline constexpr std::size_t kDirectoryId = 76;           // u32
inline constexpr std::size_t kFileId = 80;                // u32
inline constexpr std::size_t kFileName = 84;              // tape address
inline constexpr std::size_t kFixedSize = 88;
inline constexpr std::uint32_t kAttrNameInStream = 1u << 17;
}  // namespace file

namespace eset {
inline constexpr std::size_t kEsetAttributes = 52;          // u32
inline constexpr std::size_t kNumberOfCorruptFiles = 56;    // u32
inline constexpr std::size_t kReserved1 = 60;               // u64
inline constexpr std::size_t kReserved2 = 68;               // u64
inline constexpr std::size_t kFddMediaSequenceNumber = 76;  // u16
inline constexpr std::size_t kDataSetNumber = 78;           // u16
inline constexpr std::size_t kMediaWriteDate = 80;          // 5-byte date
inline constexpr std::size_t kFixedSize = 85;
}  // namespace eset

namespace eotm {
inline constexpr std::size_t kLastEsetPhysicalBlockAddress = 52;  // u64
inline constexpr std::size_t kFixedSize = 60;
inline constexpr std::uint32_t kBlockAttrNoEsetPba = 1u << 16;  // no ESET on this medium to point at
}  // namespace eotm

// The Media Based Catalog of Type 1, the streams of each set's ESET: TFDD (the set's File/Directory Detail)
// then TSMP (the Set Map). Tape addresses inside them count from the first byte of their own record.
namespace set_map {
inline constexpr std::size_t kMediaFamilyId = 0;    // u32
inline constexpr std::size_t kNumberOfEntries = 4;  // u16
inline constexpr std::size_t kHeaderSize = 8;       // 2 bytes of pad end it
}  // namespace set_map

// One Set Map entry; its volume records (FDD VOLB records) follow the fixed part, then its strings.
namespace set_map_entry {
inline constexpr std::size_t kLength = 0;                        // u16: the whole entry
inline constexpr std::size_t kMediaSequenceNumber = 2;           // u16: the medium where the set starts
inline constexpr std::size_t kBlockAttributes = 4;               // u32: the SSET's common attributes
inline constexpr std::size_t kSsetAttributes = 8;                // u32
inline constexpr std::size_t kSsetPhysicalBlockAddress = 12;     // u64
inline constexpr std::size_t kFddPhysicalBlockAddress = 20;      // u64: the ESET holding the set's FDD
inline constexpr std::size_t kFddMediaSequenceNumber = 28;       // u16
inline constexpr std::size_t kDataSetNumber = 30;                // u16
inline constexpr std::size_t kSsetFormatLogicalAddress = 32;     // u64
inline constexpr std::size_t kNumberOfDirectories = 40;          // u32
inline constexpr std::size_t kNumberOfFiles = 44;                // u32
inline constexpr std::size_t kNumberOfCorruptFiles = 48;         // u32
inline constexpr std::size_t kDisplayableSize = 52;              // u64: the set's bytes
inline constexpr std::size_t kNumberOfVolumes = 60;              // u16
inline constexpr std::size_t kPasswordEncryptionAlgorithm = 62;  // u16
inline constexpr std::size_t kDataSetName = 64;                  // tape address
inline constexpr std::size_t kDataSetPassword = 68;              // tape address
inline constexpr std::size_t kDataSetDescription = 72;           // tape address
inline constexpr std::size_t kUserName = 76;                     // tape address
inline constexpr std::size_t kMediaWriteDate = 80;               // 5-byte date
inline constexpr std::size_t kTimeZone = 85;                     // i8
inline constexpr std::size_t kOsId = 86;                         // u8
inline constexpr std::size_t kOsVersion = 87;                    // u8
inline constexpr std::size_t kStringType = 88;                   // u8
inline constexpr std::size_t kMediaCatalogVersion = 90;          // u8
inline constexpr std::size_t kFixedSize = 91;
}  // namespace set_map_entry

// The common part of every FDD record; records follow one another by their LENGTH, FEND ends them.
namespace fdd {
inline constexpr std::size_t kLength = 0;                 // u16: the record with its strings
inline constexpr std::size_t kType = 2;                   // 4 ASCII bytes: VOLB, DIRB, FILE, FEND
inline constexpr std::size_t kMediaSequenceNumber = 6;    // u16: the medium holding the block
inline constexpr std::size_t kBlockAttributes = 8;        // u32: the block's common attributes
inline constexpr std::size_t kFormatLogicalAddress = 12;  // u64: the block's
inline constexpr std::size_t kDisplayableSize = 20;       // u64: the block's
inline constexpr std::size_t kLink = 28;                  // i32
inline constexpr std::size_t kOsId = 32;                  // u8
inline constexpr std::size_t kOsVersion = 33;             // u8
inline constexpr std::size_t kStringType = 34;            // u8
inline constexpr std::size_t kHeaderSize = 36;
}  // namespace fdd

namespace fdd_volb {
inline constexpr std::size_t kVolbAttributes = 36;  // u32
inline constexpr std::size_t kDeviceName = 40;      // tape address
inline constexpr std::size_t kVolumeName = 44;      // tape address
inline constexpr std::size_t kMachineName = 48;     // tape address
inline constexpr std::size_t kOsSpecificData = 52;  // tape address
inline constexpr std::size_t kMediaWriteDate = 56;  // 5-byte date
inline constexpr std::size_t kFixedSize = 61;
}  // namespace fdd_volb

// FDD DIRB and FILE records: copies of their block's dates, attributes and name.
namespace fdd_entry {
inline constexpr std::size_t kLastModificationDate = 36;  // 5-byte date
inline constexpr std::size_t kCreationDate = 41;          // 5-byte date
inline constexpr std::size_t kBackupDate = 46;            // 5-byte date
inline constexpr std::size_t kLastAccessDate = 51;        // 5-byte date
inline constexpr std::size_t kAttributes = 56;            // u32: the DIRB or FILE attributes
inline constexpr std::size_t kName = 60;                  // tape address
inline constexpr std::size_t kOsSpecificData = 64;        // tape address
inline constexpr std::size_t kFixedSize = 68;
}  // namespace fdd_entry

// Soft filemark. The entries are laid out as SQL Server writes them: 8-byte addresses of earlier filemarks,
// newest first, from offset 72, with 72 stored at offset 60.
namespace sfmb {
inline constexpr std::size_t kNumberOfEntries = 52;  // u32: how many entries fit in the block
inline constexpr std::size_t kEntriesUsed = 56;      // u32
inline constexpr std::size_t kEntriesOffset = 60;    // u32: where the entries start (72)
inline constexpr std::size_t kFirstEntry = 72;
inline constexpr std::size_t kEntrySize = 8;
}  // namespace sfmb

// Stream header (MTF_STREAM_HDR).
namespace stream {
inline constexpr std::size_t kStreamId = 0;                   // 4 ASCII bytes
inline constexpr std::size_t kFileSystemAttributes = 4;       // u16: bit 1 contains security
inline constexpr std::size_t kMediaFormatAttributes = 6;      // u16: bit 4 compressed, bit 5 checksummed
inline constexpr std::size_t kStreamLength = 8;               // u64: the data only
inline constexpr std::size_t kDataEncryptionAlgorithm = 16;   // u16
inline constexpr std::size_t kDataCompressionAlgorithm = 18;  // u16
inline constexpr std::size_t kChecksum = 20;                  // u16: XOR of the 10 words before it
inline constexpr std::size_t kSize = 22;
inline constexpr std::size_t kChecksummedWords = 10;
inline constexpr std::size_t kAlignment = 4;  // every stream header starts on a 4-byte boundary
inline constexpr std::uint16_t kFsAttrContainsSecurity = 1u << 1;
inline constexpr std::uint16_t kFsAttrSparse = 1u << 3;  // STREAM_IS_SPARSE: the data follow in SPAR streams
inline constexpr std::uint16_t kMfAttrContinue = 1u << 0;  // the rest of a stream cut by the end of a medium
inline constexpr std::uint16_t kMfAttrCompressed = 1u << 4;
inline constexpr std::uint16_t kMfAttrChecksummed = 1u << 5;
}  // namespace stream

// The frame at the start of a SPAR stream's data, before the run's bytes.
namespace sparse_frame {
inline constexpr std::size_t kOffset = 0;  // u64: where in the file the run starts
inline constexpr std::size_t kLength = 8;  // u64: the run's bytes (absent in the offset-only framing)
inline constexpr std::size_t kSize = 16;
inline constexpr std::size_t kOffsetOnlySize = 8;
}  // namespace sparse_frame

// Software compression frame header, at the start of every frame of a compressed stream.
namespace frame {
inline constexpr std::size_t kHeaderId = 0;                 // u16: 0x4846, the bytes "FH"
inline constexpr std::size_t kOriginalMediaAttributes = 2;  // u16: the stream's attributes before compression
inline constexpr std::size_t kRemainingUncompressedSize =
    4;                                                // u64: uncompressed bytes from this frame to the end
inline constexpr std::size_t kUncompressedSize = 12;  // u32
inline constexpr std::size_t kCompressedSize = 16;    // u32: equal to the uncompressed size when stored
inline constexpr std::size_t kSequenceNumber = 20;    // u8: from 1
inline constexpr std::size_t kReserved = 21;          // u8
inline constexpr std::size_t kChecksum = 22;          // u16: XOR of the 11 words before it
inline constexpr std::size_t kSize = 24;
inline constexpr std::size_t kChecksummedWords = 11;
inline constexpr std::uint16_t kFrameHeaderId = 0x4846;
inline constexpr std::size_t kMaxUncompressedSize = 64 * 1024;
}  // namespace frame

inline constexpr std::uint16_t kCompressionAlgorithmStacLzs = 0x0ABE;
inline constexpr std::size_t kMaxDescriptorBlockSize = 1024;
inline constexpr std::uint8_t kMtfMajorVersion = 1;
inline constexpr std::uint8_t kMtfMinorVersion = 0;

}  // namespace ostrum::mtfwriter::layout
