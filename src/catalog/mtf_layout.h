// SPDX-License-Identifier: GPL-3.0-or-later
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
inline constexpr std::uint32_t kContinuation = 1u << 0;  // Block Attributes: repeated on a later medium
}  // namespace db_hdr

// MTF_TAPE_ADDRESS: where a variable-length field lies, relative to the block start.
namespace tape_address {
inline constexpr std::size_t kSize = 0;    // UINT16 length in bytes
inline constexpr std::size_t kOffset = 2;  // UINT16 offset from the block start
}  // namespace tape_address

// SSET, start of a data set.
namespace sset {
inline constexpr std::size_t kDataSetNumber = 62;  // UINT16; not used to number sets (they are numbered
                                                   // as met), only to find a set in the medium's catalog
inline constexpr std::size_t kDataSetName = 64;    // MTF_TAPE_ADDRESS
}  // namespace sset

// ESET, end of a data set. A set's catalog, when the medium has one, is the ESET's streams.
namespace eset {
inline constexpr std::size_t kFddMediaSequenceNumber = 76;  // UINT16, the medium holding the set's FDD
inline constexpr std::size_t kDataSetNumber = 78;           // UINT16
}  // namespace eset

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

// Where the next stream header lies, for a stream whose header lies `headerDistance` bytes from the block
// start (or from any point on the 4-byte grid) and which holds `length` bytes of data.
constexpr std::uint64_t NextHeaderDistance(std::uint64_t headerDistance, std::uint64_t length) {
    const std::uint64_t end = headerDistance + kSize + length;
    return (end + kAlignment - 1) / kAlignment * kAlignment;
}
}  // namespace stream_hdr

// The Media Based Catalog, Type 1: streams of each set's ESET block, in this order: TFDD (the set's File/
// Directory Detail), TSMP (the Set Map of every set of the media family so far; the last one written is
// the whole), SPAD. A TAPE block says whether the medium has one (kMediaBasedCatalogType).
//
// Inside them a MTF_TAPE_ADDRESS is relative to the first byte of its own record (an FDD record, a Set
// Map entry or a volume record nested in it), and strings use the record's string type.
namespace tape {
inline constexpr std::size_t kMediaFamilyId = 52;           // UINT32, the same on every medium of a family
inline constexpr std::size_t kMediaSequenceNumber = 60;     // UINT16, from 1 within the family
inline constexpr std::size_t kMediaBasedCatalogType = 66;   // UINT16: 0 none, 1 Type 1, 2 Type 2
inline constexpr std::size_t kFormatLogicalBlockSize = 84;  // UINT16: 512 or 1024
inline constexpr std::uint16_t kCatalogType1 = 1;
}  // namespace tape

// TSMP stream data: a header, then the entries, each skipped by its own LENGTH.
namespace set_map {
inline constexpr std::size_t kMediaFamilyId = 0;    // UINT32
inline constexpr std::size_t kNumberOfEntries = 4;  // UINT16
inline constexpr std::size_t kHeaderSize = 8;       // two bytes of pad end the header
}  // namespace set_map

// One Set Map entry: a data set. The volume records (FDD VOLB records) follow its fixed part, inside its
// LENGTH, and its strings follow them.
namespace set_map_entry {
inline constexpr std::size_t kLength = 0;                        // UINT16, the whole entry
inline constexpr std::size_t kMediaSequenceNumber = 2;           // UINT16, the medium where the set starts
inline constexpr std::size_t kBlockAttributes = 4;               // UINT32, of the SSET's common header
inline constexpr std::size_t kSsetAttributes = 8;                // UINT32
inline constexpr std::size_t kSsetPhysicalBlockAddress = 12;     // UINT64
inline constexpr std::size_t kFddPhysicalBlockAddress = 20;      // UINT64
inline constexpr std::size_t kFddMediaSequenceNumber = 28;       // UINT16
inline constexpr std::size_t kDataSetNumber = 30;                // UINT16
inline constexpr std::size_t kSsetFormatLogicalAddress = 32;     // UINT64
inline constexpr std::size_t kNumberOfDirectories = 40;          // UINT32
inline constexpr std::size_t kNumberOfFiles = 44;                // UINT32
inline constexpr std::size_t kNumberOfCorruptFiles = 48;         // UINT32
inline constexpr std::size_t kDisplayableSize = 52;              // UINT64, of the whole set
inline constexpr std::size_t kNumberOfVolumes = 60;              // UINT16, volume records that follow
inline constexpr std::size_t kPasswordEncryptionAlgorithm = 62;  // UINT16
inline constexpr std::size_t kDataSetName = 64;                  // MTF_TAPE_ADDRESS
inline constexpr std::size_t kDataSetPassword = 68;              // MTF_TAPE_ADDRESS
inline constexpr std::size_t kDataSetDescription = 72;           // MTF_TAPE_ADDRESS
inline constexpr std::size_t kUserName = 76;                     // MTF_TAPE_ADDRESS
inline constexpr std::size_t kMediaWriteDate = 80;               // MTF_DATE_TIME (5 bytes)
inline constexpr std::size_t kTimeZone = 85;                     // INT8, quarter-hours from UTC
inline constexpr std::size_t kOsId = 86;                         // UINT8
inline constexpr std::size_t kOsVersion = 87;                    // UINT8
inline constexpr std::size_t kStringType = 88;                   // UINT8, of the entry's strings
inline constexpr std::size_t kMediaCatalogVersion = 90;          // UINT8
inline constexpr std::size_t kFixedSize = 91;
}  // namespace set_map_entry

// TFDD stream data: records one after another (each at the previous one's start plus its LENGTH), in
// the set's own order (VOLB, then DIRB and FILE records), ended by an FEND record. Every record starts
// with this common part.
namespace fdd {
inline constexpr std::size_t kLength = 0;                 // UINT16, the record with its strings
inline constexpr std::size_t kType = 2;                   // 4 ASCII bytes: VOLB, DIRB, FILE, FEND
inline constexpr std::size_t kMediaSequenceNumber = 6;    // UINT16, the medium holding the object's block
inline constexpr std::size_t kBlockAttributes = 8;        // UINT32, the block's common attributes
inline constexpr std::size_t kFormatLogicalAddress = 12;  // UINT64, the block's own
inline constexpr std::size_t kDisplayableSize = 20;       // UINT64, the block's own
inline constexpr std::size_t kLink = 28;                  // INT32; not used
inline constexpr std::size_t kOsId = 32;                  // UINT8
inline constexpr std::size_t kOsVersion = 33;             // UINT8
inline constexpr std::size_t kStringType = 34;            // UINT8
inline constexpr std::size_t kHeaderSize = 36;            // one byte of pad ends it; FEND is only this
}  // namespace fdd

// FDD VOLB record (also a Set Map entry's volume record).
namespace fdd_volb {
inline constexpr std::size_t kVolbAttributes = 36;  // UINT32
inline constexpr std::size_t kDeviceName = 40;      // MTF_TAPE_ADDRESS
inline constexpr std::size_t kVolumeName = 44;      // MTF_TAPE_ADDRESS
inline constexpr std::size_t kMachineName = 48;     // MTF_TAPE_ADDRESS
inline constexpr std::size_t kOsSpecificData = 52;  // MTF_TAPE_ADDRESS
inline constexpr std::size_t kMediaWriteDate = 56;  // MTF_DATE_TIME (5 bytes)
inline constexpr std::size_t kFixedSize = 61;
}  // namespace fdd_volb

// FDD DIRB and FILE records share one layout: copies of their block's dates, attributes and name. A
// DIRB record's name is the directory's path, each component ended by a NUL, as in the DIRB block.
namespace fdd_entry {
inline constexpr std::size_t kLastModificationDate = 36;  // MTF_DATE_TIME (5 bytes)
inline constexpr std::size_t kCreationDate = 41;          // MTF_DATE_TIME
inline constexpr std::size_t kBackupDate = 46;            // MTF_DATE_TIME
inline constexpr std::size_t kLastAccessDate = 51;        // MTF_DATE_TIME
inline constexpr std::size_t kAttributes = 56;            // UINT32, the DIRB or FILE attributes
inline constexpr std::size_t kName = 60;                  // MTF_TAPE_ADDRESS
inline constexpr std::size_t kOsSpecificData = 64;        // MTF_TAPE_ADDRESS
inline constexpr std::size_t kFixedSize = 68;
}  // namespace fdd_entry

// The frame at the start of a SPAR stream's data, before the run's bytes. Most writers give the run's
// length after its offset; some give the offset alone and let the stream length tell the rest.
namespace sparse_frame {
inline constexpr std::size_t kOffset = 0;  // UINT64, where in the file the run starts
inline constexpr std::size_t kLength = 8;  // UINT64, the run's bytes: the stream length less kSize
inline constexpr std::size_t kSize = 16;
inline constexpr std::size_t kOffsetOnlySize = 8;
}  // namespace sparse_frame

inline constexpr std::uint16_t kFileSystemSparse = 1u << 3;     // STREAM_IS_SPARSE: the data follow in SPARs
inline constexpr std::uint16_t kMediaFormatContinue = 1u << 0;  // the rest of a stream a medium's end cut
inline constexpr std::uint16_t kMediaFormatEncrypted = 1u << 3;
inline constexpr std::uint16_t kMediaFormatCompressed = 1u << 4;
inline constexpr std::uint16_t kCompressionStacLzs = 0x0ABE;

}  // namespace ostrum::catalog::mtf
