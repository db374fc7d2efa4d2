// SPDX-License-Identifier: GPL-3.0-or-later
// The MTF 1.00a writer. Layout of what it produces:
//
//   TAPE [SPAD]  FM
//   per set:  SSET VOLB {DIRB | FILE [PNAM|FNAM] [NACL] [STAN] [CSUM]}... [SPAD]  FM  ESET [SPAD]  FM
//   end:      FM  EOTM [SPAD]  FM
//
// Every block starts on a logical block boundary counted from the start of its region (the TAPE block, the
// set's SSET, the ESET, the EOTM: each of these follows a filemark, which sits on a physical block boundary).
// A block's last stream is an SPAD whose zero data fills up to the next logical boundary, or, when a filemark
// follows, to a boundary that is both logical and physical. That SPAD is written only when the next block or
// filemark is known, so the writer can be fed one entry at a time.
#include "mtf_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>

static_assert(std::endian::native == std::endian::little, "the CSUM fast path reads words in host order");

#include "byte_order.h"
#include "file_data.h"
#include "lzs_compressor.h"
#include "mtf_layout.h"

namespace ostrum::mtfwriter {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view kSoftwareName = "Brivane Ostrum TAPE";
constexpr std::uint16_t kSoftwareVendorId = 0x0B05;
constexpr std::uint8_t kSoftwareMajorVersion = 4;
constexpr std::uint8_t kSoftwareMinorVersion = 2;
constexpr std::int8_t kTimeZoneUtc = 0;  // dates are written in UTC
constexpr std::size_t kIoChunk = 1u << 20;
// Compressed streams whose data is at most this large are compressed once and kept in memory until written;
// larger ones are compressed twice (once to learn the stream length for the header, once to write).
constexpr std::uint64_t kCompressInMemoryLimit = 16u << 20;
// A soft filemark's offset-to-first-event field is 16 bits wide and holds the block's size.
constexpr std::uint32_t kMaxSoftFilemarkBlock = 32768;
constexpr std::uint32_t kMaxPhysicalBlockSize = 16u << 20;

std::uint64_t RoundUp(std::uint64_t value, std::uint64_t unit) {
    return (value + unit - 1) / unit * unit;
}

void AppendUtf16le(Bytes& out, const std::u16string& units) {
    for (char16_t u : units) {
        out.push_back(static_cast<std::uint8_t>(u));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
}

// Appends `units` as UTF-16LE to `bytes` and stores their tape address (relative to the first of `bytes`)
// at `field`; empty units leave the address (0, 0). `limit` bounds the bytes; `what` names them.
void AddTapeString(Bytes& bytes, std::size_t field, const std::u16string& units, std::size_t limit,
                   const std::string& what) {
    if (units.empty()) return;
    const std::size_t offset = bytes.size();
    const std::size_t size = units.size() * 2;
    if (offset + size > limit) {
        throw MediaError("a name of " + std::to_string(units.size()) + " code units does not fit in a " +
                         what);
    }
    AppendUtf16le(bytes, units);
    PutU16(bytes, field, static_cast<std::uint16_t>(size));
    PutU16(bytes, field + 2, static_cast<std::uint16_t>(offset));
}

// Builds the descriptor part of a block: the fixed fields, then the strings, then zero fill to 4 bytes.
class Descriptor {
  public:
    Descriptor(std::string_view type, std::size_t fixedSize) : bytes_(fixedSize, 0) {
        PutTag(bytes_, layout::common::kBlockType, type);
    }

    std::span<std::uint8_t> fields() { return bytes_; }
    // The block as Finish() left it.
    const Bytes& bytes() const { return bytes_; }

    // Appends `units` as UTF-16LE after what is there and stores its tape address at `field`. Empty: (0, 0).
    void AddString(std::size_t field, const std::u16string& units) {
        AddTapeString(bytes_, field, units, layout::kMaxDescriptorBlockSize, type() + " block");
    }

    std::size_t alignedSize() const { return RoundUp(bytes_.size(), layout::stream::kAlignment); }

    struct Header {
        std::uint32_t attributes = 0;
        std::uint64_t displayableSize = 0;
        std::uint64_t formatLogicalAddress = 0;
        std::uint32_t controlBlockId = 0;
        std::uint8_t stringType = layout::kStringTypeUnicode;
        std::uint16_t offsetToFirstEvent = 0;  // 0: just after the descriptor
    };

    // Fills the common header and its checksum and returns the finished bytes.
    const Bytes& Finish(const Header& h, std::size_t maxSize) {
        namespace c = layout::common;
        bytes_.resize(alignedSize(), 0);
        if (bytes_.size() > maxSize) {
            throw MediaError("a " + type() + " block of " + std::to_string(bytes_.size()) +
                             " bytes is larger than the " + std::to_string(maxSize) + "-byte limit");
        }
        PutU32(bytes_, c::kBlockAttributes, h.attributes);
        PutU16(bytes_, c::kOffsetToFirstEvent,
               h.offsetToFirstEvent != 0 ? h.offsetToFirstEvent : static_cast<std::uint16_t>(bytes_.size()));
        PutU8(bytes_, c::kOsId, layout::kOsIdWindowsNt);
        PutU8(bytes_, c::kOsVersion, layout::kOsVersionNt);
        PutU64(bytes_, c::kDisplayableSize, h.displayableSize);
        PutU64(bytes_, c::kFormatLogicalAddress, h.formatLogicalAddress);
        PutU32(bytes_, c::kControlBlockId, h.controlBlockId);
        PutU8(bytes_, c::kStringType, h.stringType);
        PutU16(bytes_, c::kHeaderChecksum, XorWords(bytes_, 0, c::kChecksummedWords));
        return bytes_;
    }

  private:
    std::string type() const { return std::string(reinterpret_cast<const char*>(bytes_.data()), 4); }

    Bytes bytes_;
};

void PutDate(std::span<std::uint8_t> buf, std::size_t offset, const MtfDate& date) {
    const auto encoded = EncodeMtfDate(date);
    for (std::size_t i = 0; i < encoded.size(); ++i) PutU8(buf, offset + i, encoded[i]);
}

struct StreamHeader {
    std::string_view id;
    std::uint16_t fileSystemAttributes = 0;
    std::uint16_t mediaFormatAttributes = 0;
    std::uint64_t length = 0;
    std::uint16_t compressionAlgorithm = 0;
};

std::array<std::uint8_t, layout::stream::kSize> EncodeStreamHeader(const StreamHeader& h) {
    namespace s = layout::stream;
    std::array<std::uint8_t, s::kSize> out{};
    PutTag(out, s::kStreamId, h.id);
    PutU16(out, s::kFileSystemAttributes, h.fileSystemAttributes);
    PutU16(out, s::kMediaFormatAttributes, h.mediaFormatAttributes);
    PutU64(out, s::kStreamLength, h.length);
    PutU16(out, s::kDataCompressionAlgorithm, h.compressionAlgorithm);
    PutU16(out, s::kChecksum, XorWords(out, 0, s::kChecksummedWords));
    return out;
}

// The CSUM stream's value: XOR of the data as little-endian 32-bit words, the last one filled with zeros.
class Xor32 {
  public:
    void Add(std::span<const std::uint8_t> bytes) {
        std::size_t i = 0;
        for (; i < bytes.size() && phase_ != 0; ++i) AddByte(bytes[i]);
        std::uint64_t wide = 0;
        for (; i + 8 <= bytes.size(); i += 8) {
            std::uint64_t w = 0;
            std::memcpy(&w, bytes.data() + i, 8);  // the medium is little-endian, and so is this machine
            wide ^= w;
        }
        sum_ ^= static_cast<std::uint32_t>(wide) ^ static_cast<std::uint32_t>(wide >> 32);
        for (; i < bytes.size(); ++i) AddByte(bytes[i]);
    }
    std::uint32_t value() const { return sum_; }

  private:
    void AddByte(std::uint8_t b) {
        sum_ ^= std::uint32_t{b} << (8 * phase_);
        phase_ = (phase_ + 1) % 4;
    }

    std::uint32_t sum_ = 0;
    unsigned phase_ = 0;
};

std::uint32_t BackupTypeBit(BackupType type) {
    return 1u << static_cast<unsigned>(type);
}

// A plausible self-relative security descriptor header followed by a fixed pattern: readers only need its
// size.
Bytes NaclData(std::uint32_t size) {
    Bytes out(size);
    static constexpr std::uint8_t kHeader[] = {0x01, 0x00, 0x04, 0x80, 0x14, 0x00, 0x00, 0x00};
    for (std::uint32_t i = 0; i < size; ++i) {
        out[i] = i < sizeof kHeader ? kHeader[i] : static_cast<std::uint8_t>(i * 37 + 11);
    }
    return out;
}

// "DOCS\LETTERS" from a Directory Name "DOCS\0LETTERS\0" (the root, a single NUL, gives "").
std::string DirectoryTextOf(const std::u16string& dirbName) {
    std::string text;
    std::u16string component;
    auto flush = [&] {
        if (component.empty()) return;
        if (!text.empty()) text += '\\';
        text += Utf16ToUtf8(component);
        component.clear();
    };
    for (char16_t u : dirbName) {
        if (u == 0) {
            flush();
        } else {
            component.push_back(u);
        }
    }
    flush();
    return text;
}

// ---- low-level output: the media, the position in them, padding and filemarks ----

// Writes the bytes of the backup to the medium being written and keeps their position. Blocks are closed with
// an SPAD up to the boundary the next block or filemark needs. A backup may lie on several media: one sink
// each, and for each but the last the position where it is due to end.
struct MediaOutput {
    std::vector<Sink*> media;           // one sink per medium
    std::vector<std::uint64_t> endsAt;  // where each medium but the last is due to end
    std::size_t medium = 0;             // the medium being written
    WriterOptions options;
    std::uint32_t logicalBlock = 0;
    std::uint32_t physicalBlock = 0;
    std::uint64_t pos = 0;
    std::uint64_t regionStart = 0;  // logical blocks are counted from here; inside a set, its SSET
    bool padPending = false;        // the last block still needs its closing SPAD
    std::vector<std::uint64_t> softFilemarks;
    Manifest& manifest;  // the filemarks are recorded in it

    MediaOutput(std::vector<Sink*> m, std::vector<std::uint64_t> e, const WriterOptions& o, Manifest& written)
        : media(std::move(m)), endsAt(std::move(e)), options(o), manifest(written) {}

    Sink& sink() { return *media[medium]; }

    void Emit(std::span<const std::uint8_t> bytes) {
        if (bytes.empty()) return;
        sink().Write(bytes);
        pos += bytes.size();
    }

    void EmitZeros(std::uint64_t count) {
        static const std::array<std::uint8_t, 4096> kZeros{};
        while (count > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, kZeros.size()));
            Emit(std::span<const std::uint8_t>(kZeros.data(), n));
            count -= n;
        }
    }

    void AlignStream() { EmitZeros(RoundUp(pos, layout::stream::kAlignment) - pos); }

    void EmitStreamHeader(const StreamHeader& h) { Emit(EncodeStreamHeader(h)); }

    std::uint64_t PhysicalBlockAddress(std::uint64_t offset) const {
        // On disk files SQL Server stores byte addresses; on tape the address counts physical blocks.
        return options.softFilemarks ? offset : offset / physicalBlock;
    }

    // Closes the previous block with an SPAD that reaches a boundary of `unit` bytes counted from the region
    // start.
    void CloseBlock(std::uint64_t unit) {
        if (!padPending) return;
        padPending = false;
        const std::uint64_t used = pos - regionStart;
        std::uint64_t gap = RoundUp(used, unit) - used;
        if (gap == 0) return;
        if (gap < layout::stream::kSize) gap += unit;
        EmitStreamHeader({.id = "SPAD", .length = gap - layout::stream::kSize});
        EmitZeros(gap - layout::stream::kSize);
    }

    // A boundary that is both logical (from the region start) and physical: region starts are physical
    // boundaries.
    std::uint64_t filemarkUnit() const { return std::lcm<std::uint64_t>(logicalBlock, physicalBlock); }

    void Filemark() {
        CloseBlock(filemarkUnit());
        if (pos % physicalBlock != 0) throw std::logic_error("filemark off a physical block boundary");
        manifest.filemarks.push_back(pos);
        if (options.softFilemarks) {
            WriteSoftFilemark();
        } else {
            sink().Filemark();
        }
        regionStart = pos;
    }

    void WriteSoftFilemark() {
        namespace f = layout::sfmb;
        Descriptor d("SFMB", physicalBlock);
        auto b = d.fields();
        const std::uint32_t capacity =
            static_cast<std::uint32_t>((physicalBlock - f::kFirstEntry) / f::kEntrySize);
        const std::uint32_t used =
            static_cast<std::uint32_t>(std::min<std::size_t>(capacity, softFilemarks.size()));
        PutU32(b, f::kNumberOfEntries, capacity);
        PutU32(b, f::kEntriesUsed, used);
        PutU32(b, f::kEntriesOffset, f::kFirstEntry);
        for (std::uint32_t i = 0; i < used; ++i) {
            const std::uint64_t earlier = softFilemarks[softFilemarks.size() - 1 - i];
            PutU64(b, f::kFirstEntry + i * f::kEntrySize, PhysicalBlockAddress(earlier));
        }
        softFilemarks.push_back(pos);
        Emit(d.Finish({.attributes = layout::kSfmbBlockAttributes, .stringType = layout::kStringTypeNone},
                      physicalBlock));
    }

    std::size_t maxDescriptor() const {
        return std::min<std::size_t>(logicalBlock, layout::kMaxDescriptorBlockSize);
    }

    void WriteDescriptor(Descriptor& d, const Descriptor::Header& h) {
        Emit(d.Finish(h, maxDescriptor()));
        padPending = true;
    }

    // A stream of these bytes; returns where its data lie.
    std::uint64_t EmitDataStream(std::string_view id, const Bytes& data) {
        EmitStreamHeader({.id = id, .length = data.size()});
        const std::uint64_t at = pos;
        Emit(data);
        AlignStream();
        return at;
    }

    // A name that does not fit in its block goes into a PNAM/FNAM stream; the block's tape address is then
    // (0, 0).
    bool NameFits(std::size_t fixedSize, const std::u16string& units) const {
        return RoundUp(fixedSize + units.size() * 2, layout::stream::kAlignment) <= maxDescriptor();
    }

    void EmitNameStream(std::string_view id, const std::u16string& units) {
        Bytes bytes;
        AppendUtf16le(bytes, units);
        EmitDataStream(id, bytes);
    }
};

// ---- the set being written ----

// What the blocks of a set carry: the set, the numbers of its blocks, directories and files, and the medium's
// place in the media family.
struct SetContext {
    bool inSet = false;
    SetInfo set;
    std::uint32_t setNumber = 0;
    std::uint32_t nextControlBlockId = 0;
    std::uint32_t lastDirectoryId = 0;
    std::uint32_t currentDirectoryId = 0;
    std::uint32_t lastFileId = 0;
    std::string currentDirectoryText;
    std::u16string currentDirectoryName;
    std::uint16_t mediaSequence = 1;
    std::uint32_t mediaFamilyId = 0;
    bool mediaCatalog = false;
    std::uint16_t setStartSequence = 1;  // the medium where the current set began

    std::uint32_t setAttributes() const {
        return inSet && set.compressed ? layout::kBlockAttrCompression : 0;
    }

    std::uint32_t volbAttributes() const {
        const auto& dev = set.deviceName.units;
        const bool driveLetter = dev.size() == 2 && dev[1] == u':';
        return driveLetter ? layout::volb::kAttrDeviceIsDrive : 0;
    }

    std::uint32_t ssetAttributes() const {
        return BackupTypeBit(set.type) | (mediaCatalog ? layout::sset::kAttrFddExists : 0);
    }
};

// ---- the media catalog ----

// The records of the media catalog: the current set's FDD, and the Set Map entries of every set ended so far,
// written as the ESET's streams.
struct MediaCatalogRecords {
    const SetContext& ctx;
    MediaOutput& out;
    Bytes fdd;            // the current set's FDD records
    Bytes volumeRecord;   // the current set's VOLB record, for its Set Map entry
    Bytes setMapEntries;  // the entries of every set ended so far
    std::uint16_t setMapCount = 0;
    std::uint32_t setDirectories = 0;
    std::uint32_t setFiles = 0;
    std::uint64_t setBytes = 0;

    MediaCatalogRecords(const SetContext& context, MediaOutput& output) : ctx(context), out(output) {}

    // A catalog record's common part: copies of its block's fields.
    Bytes CatalogRecord(std::string_view type, std::size_t fixedSize, std::uint64_t fla,
                        std::uint64_t displayableSize) const {
        namespace c = layout::fdd;
        Bytes record(fixedSize, 0);
        PutTag(record, c::kType, type);
        PutU16(record, c::kMediaSequenceNumber, ctx.mediaSequence);
        PutU32(record, c::kBlockAttributes, ctx.setAttributes());
        PutU64(record, c::kFormatLogicalAddress, fla);
        PutU64(record, c::kDisplayableSize, displayableSize);
        PutU8(record, c::kOsId, layout::kOsIdWindowsNt);
        PutU8(record, c::kOsVersion, layout::kOsVersionNt);
        PutU8(record, c::kStringType, layout::kStringTypeUnicode);
        return record;
    }

    // Pads a record to a 4-byte multiple and stores its LENGTH.
    static void FinishRecord(Bytes& record) {
        record.resize(RoundUp(record.size(), 4), 0);
        if (record.size() > 0xFFFF) throw MediaError("a media catalog record is longer than 65535 bytes");
        PutU16(record, layout::fdd::kLength, static_cast<std::uint16_t>(record.size()));
    }

    static void AddRecordString(Bytes& record, std::size_t field, const std::u16string& units) {
        AddTapeString(record, field, units, 0xFFFF, "media catalog record");
    }

    Bytes CatalogVolumeRecord(std::uint64_t fla) const {
        namespace v = layout::fdd_volb;
        Bytes record = CatalogRecord("VOLB", v::kFixedSize, fla, 0);
        PutU32(record, v::kVolbAttributes, ctx.volbAttributes());
        PutDate(record, v::kMediaWriteDate, ctx.set.date);
        AddRecordString(record, v::kDeviceName, ctx.set.deviceName.units);
        AddRecordString(record, v::kVolumeName, ctx.set.volumeName.units);
        AddRecordString(record, v::kMachineName, ctx.set.machineName.units);
        FinishRecord(record);
        return record;
    }

    void AddCatalogEntry(std::string_view type, std::uint64_t fla, std::uint64_t displayableSize,
                         std::uint32_t attributes, const MtfDate& modified, const std::u16string& name) {
        namespace e = layout::fdd_entry;
        Bytes record = CatalogRecord(type, e::kFixedSize, fla, displayableSize);
        PutDate(record, e::kLastModificationDate, modified);
        PutDate(record, e::kCreationDate, modified);
        PutDate(record, e::kBackupDate, ctx.set.date);
        PutDate(record, e::kLastAccessDate, modified);
        PutU32(record, e::kAttributes, attributes);
        AddRecordString(record, e::kName, name);
        FinishRecord(record);
        fdd.insert(fdd.end(), record.begin(), record.end());
    }

    Bytes setMapEntry() const {
        namespace m = layout::set_map_entry;
        const ManifestSet& written = out.manifest.sets.back();
        Bytes entry(m::kFixedSize, 0);
        PutU16(entry, m::kMediaSequenceNumber, ctx.setStartSequence);
        PutU32(entry, m::kBlockAttributes, ctx.setAttributes());
        PutU32(entry, m::kSsetAttributes, ctx.ssetAttributes());
        PutU64(entry, m::kSsetPhysicalBlockAddress, out.PhysicalBlockAddress(written.ssetOffset));
        PutU64(entry, m::kFddPhysicalBlockAddress, out.PhysicalBlockAddress(written.esetOffset));
        PutU16(entry, m::kFddMediaSequenceNumber, ctx.mediaSequence);
        PutU16(entry, m::kDataSetNumber, static_cast<std::uint16_t>(ctx.setNumber));
        PutU32(entry, m::kNumberOfDirectories, setDirectories);
        PutU32(entry, m::kNumberOfFiles, setFiles);
        PutU64(entry, m::kDisplayableSize, setBytes);
        PutU16(entry, m::kNumberOfVolumes, 1);
        PutDate(entry, m::kMediaWriteDate, ctx.set.date);
        PutU8(entry, m::kTimeZone, static_cast<std::uint8_t>(kTimeZoneUtc));
        PutU8(entry, m::kOsId, layout::kOsIdWindowsNt);
        PutU8(entry, m::kOsVersion, layout::kOsVersionNt);
        PutU8(entry, m::kStringType, layout::kStringTypeUnicode);
        PutU8(entry, m::kMediaCatalogVersion, 1);
        entry.insert(entry.end(), volumeRecord.begin(), volumeRecord.end());
        AddRecordString(entry, m::kDataSetName, ctx.set.name.units);
        AddRecordString(entry, m::kDataSetDescription, ctx.set.description.units);
        AddRecordString(entry, m::kUserName, ctx.set.userName.units);
        FinishRecord(entry);
        return entry;
    }

    // The ESET's streams: the set's FDD ended by FEND, then the Set Map of every set so far.
    void WriteCatalogStreams() {
        ManifestSet& written = out.manifest.sets.back();
        Bytes end = CatalogRecord("FEND", layout::fdd::kHeaderSize, 0, 0);
        FinishRecord(end);
        fdd.insert(fdd.end(), end.begin(), end.end());
        written.fddOffset = out.EmitDataStream("TFDD", fdd);
        written.fddLength = fdd.size();

        const Bytes entry = setMapEntry();
        setMapEntries.insert(setMapEntries.end(), entry.begin(), entry.end());
        ++setMapCount;
        Bytes map(layout::set_map::kHeaderSize, 0);
        PutU32(map, layout::set_map::kMediaFamilyId, ctx.mediaFamilyId);
        PutU16(map, layout::set_map::kNumberOfEntries, setMapCount);
        map.insert(map.end(), setMapEntries.begin(), setMapEntries.end());
        written.setMapOffset = out.EmitDataStream("TSMP", map);
        written.setMapLength = map.size();
    }
};

// ---- media that end before the backup does ----

// What a next medium writes again: its TAPE block, the current DIRB, and the file whose data the medium ended
// in.
struct MediumSpan {
    TapeInfo tape;
    std::optional<std::uint64_t> lastEsetOnMedium;  // for the EOTM
    Bytes dirbBlock;                                // the current DIRB as written, for a next medium
    bool dirbInStream = false;

    // The file whose STAN data are being written, for a medium that ends inside them.
    struct OpenStan {
        Bytes fileBlock;  // its FILE block as written
        bool nameInStream = false;
        std::u16string nameUnits;
        std::uint16_t mediaFormatAttributes = 0;
        std::uint16_t compressionAlgorithm = 0;
        std::uint64_t declared = 0;  // its Stream Length
        std::uint64_t written = 0;   // data bytes written so far
        ManifestFile* record = nullptr;
    };
    std::optional<OpenStan> openStan;
    Bytes currentFileBlock;
};

}  // namespace

// The writer: the blocks of the backup, in order, and the data streams of its files.
struct MediaWriter::State {
    bool finished = false;
    Manifest manifest;
    MediaOutput out;
    SetContext ctx;
    MediaCatalogRecords catalog{ctx, out};
    MediumSpan span;
    Bytes chunk;

    State(std::vector<Sink*> m, std::vector<std::uint64_t> e, const WriterOptions& o)
        : out(std::move(m), std::move(e), o, manifest) {}

    // Starts a block of the current set: closes the previous one, ends the medium first when it is due to end
    // and may end here, and returns the block's format logical address.
    std::uint64_t StartSetBlock(bool mayEndMedium = false) {
        out.CloseBlock(out.logicalBlock);
        if (mayEndMedium && out.medium + 1 < out.media.size() && out.pos >= out.endsAt[out.medium]) {
            ContinueOnNextMedium();
            out.CloseBlock(out.logicalBlock);
        }
        return (out.pos - out.regionStart) / out.logicalBlock;
    }

    // The TAPE block of the first medium, or, with `continuation`, of the next one.
    void WriteTape(const TapeInfo& info, bool continuation = false) {
        namespace t = layout::tape;
        Descriptor d("TAPE", t::kFixedSize);
        auto b = d.fields();
        span.tape = info;
        ctx.mediaFamilyId = span.tape.mediaFamilyId;
        ctx.mediaCatalog = span.tape.mediaCatalog;
        PutU32(b, t::kMediaFamilyId, span.tape.mediaFamilyId);
        PutU32(b, t::kTapeAttributes, out.options.softFilemarks ? t::kAttrSoftFilemarks : 0);
        PutU16(b, t::kMediaSequenceNumber, ctx.mediaSequence);
        PutU16(b, t::kSoftFilemarkBlockSize,
               out.options.softFilemarks ? static_cast<std::uint16_t>(out.physicalBlock / 512) : 0);
        PutU16(b, t::kFormatLogicalBlockSize, static_cast<std::uint16_t>(out.logicalBlock));
        PutU16(b, t::kMediaBasedCatalogType, ctx.mediaCatalog ? t::kCatalogType1 : 0);
        PutU16(b, t::kSoftwareVendorId, kSoftwareVendorId);
        PutDate(b, t::kMediaDate, span.tape.date);
        PutU8(b, t::kMtfMajorVersion, layout::kMtfMajorVersion);
        d.AddString(t::kMediaName, span.tape.mediaName.units);
        d.AddString(t::kMediaDescription, span.tape.mediaDescription.units);
        d.AddString(t::kSoftwareName, Utf8ToUtf16(kSoftwareName));
        out.regionStart = out.pos;
        const std::uint32_t catalogBits =
            ctx.mediaCatalog ? t::kBlockAttrSetMapExists | t::kBlockAttrFddAllowed : 0;
        out.WriteDescriptor(
            d, {.attributes = catalogBits | (continuation ? layout::kBlockAttrContinuation : 0)});
    }

    void WriteSset(bool continuation = false) {
        namespace s = layout::sset;
        Descriptor d("SSET", s::kFixedSize);
        auto b = d.fields();
        PutU32(b, s::kSsetAttributes, ctx.ssetAttributes());
        PutU16(b, s::kSoftwareCompressionAlgorithm,
               ctx.set.compressed ? layout::kCompressionAlgorithmStacLzs : 0);
        PutU16(b, s::kSoftwareVendorId, kSoftwareVendorId);
        PutU16(b, s::kDataSetNumber, static_cast<std::uint16_t>(ctx.setNumber));
        PutU64(b, s::kPhysicalBlockAddress, out.PhysicalBlockAddress(out.pos));
        PutDate(b, s::kMediaWriteDate, ctx.set.date);
        PutU8(b, s::kSoftwareMajorVersion, kSoftwareMajorVersion);
        PutU8(b, s::kSoftwareMinorVersion, kSoftwareMinorVersion);
        PutU8(b, s::kTimeZone, static_cast<std::uint8_t>(kTimeZoneUtc));
        PutU8(b, s::kMtfMinorVersion, layout::kMtfMinorVersion);
        PutU8(b, s::kMediaCatalogVersion, ctx.mediaCatalog ? 1 : 0);
        d.AddString(s::kDataSetName, ctx.set.name.units);
        d.AddString(s::kDataSetDescription, ctx.set.description.units);
        d.AddString(s::kUserName, ctx.set.userName.units);
        out.regionStart = out.pos;
        ctx.nextControlBlockId = 0;
        out.WriteDescriptor(
            d, {.attributes = ctx.setAttributes() | (continuation ? layout::kBlockAttrContinuation : 0),
                .controlBlockId = ctx.nextControlBlockId++});
    }

    void WriteVolb(bool continuation = false) {
        namespace v = layout::volb;
        const std::uint64_t fla = StartSetBlock();
        Descriptor d("VOLB", v::kFixedSize);
        auto b = d.fields();
        PutU32(b, v::kVolbAttributes, ctx.volbAttributes());
        PutDate(b, v::kMediaWriteDate, ctx.set.date);
        d.AddString(v::kDeviceName, ctx.set.deviceName.units);
        d.AddString(v::kVolumeName, ctx.set.volumeName.units);
        d.AddString(v::kMachineName, ctx.set.machineName.units);
        out.WriteDescriptor(
            d, {.attributes = ctx.setAttributes() | (continuation ? layout::kBlockAttrContinuation : 0),
                .formatLogicalAddress = fla,
                .controlBlockId = ctx.nextControlBlockId++});
        if (ctx.mediaCatalog && !continuation) {
            catalog.volumeRecord = catalog.CatalogVolumeRecord(fla);
            catalog.fdd.insert(catalog.fdd.end(), catalog.volumeRecord.begin(), catalog.volumeRecord.end());
        }
    }

    void WriteEset() {
        namespace e = layout::eset;
        Descriptor d("ESET", e::kFixedSize);
        auto b = d.fields();
        PutU16(b, e::kDataSetNumber, static_cast<std::uint16_t>(ctx.setNumber));
        PutU16(b, e::kFddMediaSequenceNumber, ctx.mediaCatalog ? ctx.mediaSequence : 0);
        PutDate(b, e::kMediaWriteDate, ctx.set.date);
        out.regionStart = out.pos;
        manifest.sets.back().esetOffset = out.pos;
        span.lastEsetOnMedium = out.pos;
        out.WriteDescriptor(d, {.attributes = ctx.setAttributes(), .stringType = layout::kStringTypeNone});
        if (ctx.mediaCatalog) catalog.WriteCatalogStreams();
    }

    // The EOTM at `pos`: after the final filemark, or where a medium that is not the last ends. Its SPAD then
    // fills up to a physical block boundary for the filemark that follows.
    void WriteEotm() {
        Descriptor d("EOTM", layout::eotm::kFixedSize);
        PutU64(d.fields(), layout::eotm::kLastEsetPhysicalBlockAddress,
               span.lastEsetOnMedium ? out.PhysicalBlockAddress(*span.lastEsetOnMedium) : 0);
        out.regionStart = out.pos - out.pos % out.physicalBlock;
        out.WriteDescriptor(d, {.attributes = span.lastEsetOnMedium ? 0 : layout::eotm::kBlockAttrNoEsetPba,
                                .stringType = layout::kStringTypeNone});
    }

    // Ends this medium at `pos` (a logical block boundary of the set) and begins the next one: its TAPE
    // block, then the set's SSET, VOLB and current DIRB again with the continuation bit, and the file being
    // written, if any, with a STAN header for the rest of its data, which begin at the next logical block.
    void ContinueOnNextMedium() {
        out.padPending = false;  // inside a file's data nothing is closed: the EOTM starts at the boundary
        WriteEotm();
        out.Filemark();
        out.sink().Finish();
        manifest.mediumSizes.push_back(out.pos);
        ++out.medium;
        ++ctx.mediaSequence;
        out.pos = 0;
        out.softFilemarks.clear();
        span.lastEsetOnMedium.reset();
        WriteTape(span.tape, true);
        out.Filemark();
        WriteSset(true);
        WriteVolb(true);
        if (!span.dirbBlock.empty()) {
            WriteContinuation(span.dirbBlock);
            if (span.dirbInStream) out.EmitNameStream("PNAM", ctx.currentDirectoryName);
        }
        if (span.openStan) ContinueStan(*span.openStan);
    }

    // A block written again on the next medium with the continuation bit, at its place in the new region.
    void WriteContinuation(Bytes block) {
        namespace c = layout::common;
        const std::uint64_t fla = StartSetBlock();
        PutU32(block, c::kBlockAttributes, ctx.setAttributes() | layout::kBlockAttrContinuation);
        PutU64(block, c::kFormatLogicalAddress, fla);
        PutU32(block, c::kControlBlockId, ctx.nextControlBlockId++);
        PutU16(block, c::kHeaderChecksum, XorWords(block, 0, c::kChecksummedWords));
        out.Emit(block);
        out.padPending = true;
    }

    void ContinueStan(MediumSpan::OpenStan& stan) {
        WriteContinuation(stan.fileBlock);
        if (stan.nameInStream) out.EmitNameStream("FNAM", stan.nameUnits);
        out.EmitStreamHeader({.id = "STAN",
                              .mediaFormatAttributes = static_cast<std::uint16_t>(
                                  stan.mediaFormatAttributes | layout::stream::kMfAttrContinue),
                              .length = stan.declared > stan.written ? stan.declared - stan.written : 0,
                              .compressionAlgorithm = stan.compressionAlgorithm});
        const std::uint64_t used = out.pos - out.regionStart;
        out.EmitZeros(RoundUp(used, out.logicalBlock) - used);
        stan.record->parts.push_back({static_cast<std::uint32_t>(out.medium), out.pos, 0});
    }

    // STAN data. When the medium is due to end inside them, it ends at the first logical block boundary at
    // or after its end, and the rest goes on on the next medium.
    void EmitData(std::span<const std::uint8_t> bytes) {
        while (!bytes.empty()) {
            std::size_t count = bytes.size();
            const bool due = out.medium + 1 < out.media.size() && out.pos + count > out.endsAt[out.medium];
            const std::uint64_t boundary =
                due ? out.regionStart + RoundUp(std::max(out.endsAt[out.medium], out.pos) - out.regionStart,
                                                out.logicalBlock)
                    : 0;
            if (due && boundary < out.pos + count) count = static_cast<std::size_t>(boundary - out.pos);
            out.Emit(bytes.first(count));
            span.openStan->written += count;
            span.openStan->record->parts.back().length += count;
            bytes = bytes.subspan(count);
            if (!bytes.empty()) ContinueOnNextMedium();
        }
    }

    void BeginStan(const StreamHeader& header, ManifestFile& record, bool nameInStream,
                   const std::u16string& nameUnits) {
        out.EmitStreamHeader(header);
        record.dataOffset = out.pos;
        record.parts = {{static_cast<std::uint32_t>(out.medium), out.pos, 0}};
        span.openStan = MediumSpan::OpenStan{.fileBlock = span.currentFileBlock,
                                             .nameInStream = nameInStream,
                                             .nameUnits = nameUnits,
                                             .mediaFormatAttributes = header.mediaFormatAttributes,
                                             .compressionAlgorithm = header.compressionAlgorithm,
                                             .declared = header.length,
                                             .record = &record};
    }

    void WriteDirectory(const DirectoryEntry& dir) {
        namespace r = layout::dirb;
        std::u16string name;
        if (dir.rawName) {
            name = *dir.rawName;
        } else {
            for (const Name& component : dir.path) name += component.units + u'\0';
            if (name.empty()) name = u'\0';
        }
        const std::uint64_t fla = StartSetBlock(true);
        const std::uint64_t blockOffset = out.pos;
        Descriptor d("DIRB", r::kFixedSize);
        auto b = d.fields();
        const bool inStream = !out.NameFits(r::kFixedSize, name);
        PutU32(b, r::kDirbAttributes, inStream ? r::kAttrPathInStream : 0);
        PutDate(b, r::kLastModificationDate, dir.mtime);
        PutDate(b, r::kCreationDate, dir.mtime);
        PutDate(b, r::kBackupDate, ctx.set.date);
        PutDate(b, r::kLastAccessDate, dir.mtime);
        ctx.currentDirectoryId = ++ctx.lastDirectoryId;
        PutU32(b, r::kDirectoryId, ctx.currentDirectoryId);
        if (!inStream) d.AddString(r::kDirectoryName, name);
        out.WriteDescriptor(d, {.attributes = ctx.setAttributes(),
                                .formatLogicalAddress = fla,
                                .controlBlockId = ctx.nextControlBlockId++});
        span.dirbBlock = d.bytes();
        span.dirbInStream = inStream;
        if (inStream) out.EmitNameStream("PNAM", name);
        if (ctx.mediaCatalog) {
            catalog.AddCatalogEntry("DIRB", fla, 0, inStream ? r::kAttrPathInStream : 0, dir.mtime, name);
            ++catalog.setDirectories;
        }

        ctx.currentDirectoryName = name;
        ctx.currentDirectoryText = DirectoryTextOf(name);
        manifest.directories.push_back({ctx.setNumber, ctx.currentDirectoryText, blockOffset});
    }

    void WriteFile(const FileEntry& file) {
        namespace f = layout::file;
        const std::uint64_t originalSize = DataSize(file.data);
        const std::uint64_t fla = StartSetBlock(true);
        ManifestFile record{.setNumber = ctx.setNumber,
                            .medium = static_cast<std::uint32_t>(out.medium),
                            .fileBlockOffset = out.pos,
                            .originalLength = originalSize,
                            .compressed = ctx.set.compressed && !file.noStan && !file.sparse,
                            .mtime = file.mtime};

        Descriptor d("FILE", f::kFixedSize);
        auto b = d.fields();
        const bool inStream = !out.NameFits(f::kFixedSize, file.name.units);
        PutU32(b, f::kFileAttributes, inStream ? f::kAttrNameInStream : 0);
        PutDate(b, f::kLastModificationDate, file.mtime);
        PutDate(b, f::kCreationDate, file.mtime);
        PutDate(b, f::kBackupDate, ctx.set.date);
        PutDate(b, f::kLastAccessDate, file.mtime);
        PutU32(b, f::kDirectoryId, ctx.currentDirectoryId);
        PutU32(b, f::kFileId, ++ctx.lastFileId);
        if (!inStream) d.AddString(f::kFileName, file.name.units);
        out.WriteDescriptor(d, {.attributes = ctx.setAttributes(),
                                .displayableSize = file.declaredLength.value_or(originalSize),
                                .formatLogicalAddress = fla,
                                .controlBlockId = ctx.nextControlBlockId++});
        span.currentFileBlock = d.bytes();
        if (inStream) out.EmitNameStream("FNAM", file.name.units);
        if (ctx.mediaCatalog) {
            const std::uint64_t displayable = file.declaredLength.value_or(originalSize);
            catalog.AddCatalogEntry("FILE", fla, displayable, inStream ? f::kAttrNameInStream : 0, file.mtime,
                                    file.name.units);
            ++catalog.setFiles;
            catalog.setBytes += displayable;
        }
        if (file.naclData || file.naclBytes > 0) {
            const Bytes generated = file.naclData ? Bytes{} : NaclData(file.naclBytes);
            const Bytes& nacl = file.naclData ? *file.naclData : generated;
            out.EmitStreamHeader({.id = "NACL",
                                  .fileSystemAttributes = layout::stream::kFsAttrContainsSecurity,
                                  .length = nacl.size()});
            out.Emit(nacl);
            out.AlignStream();
        }
        if (!file.noStan) WriteStan(file, record, inStream);

        ++manifest.fileCount;
        if (out.options.recordFiles) {
            record.directory = ctx.currentDirectoryText;
            record.directoryName = ctx.currentDirectoryName;
            record.name = file.name.text();
            record.nameUnits = file.name.units;
            manifest.files.push_back(std::move(record));
        }
    }

    void WriteStan(const FileEntry& file, ManifestFile& record, bool nameInStream) {
        const std::uint16_t checksummed = file.csum ? layout::stream::kMfAttrChecksummed : 0;
        Xor32 checksum;
        if (file.sparse) {
            WriteSparseStan(file, record);
        } else if (ctx.set.compressed) {
            WriteCompressedStan(file, checksummed, checksum, record, nameInStream);
        } else {
            const std::uint64_t size = DataSize(file.data);
            BeginStan({.id = "STAN",
                       .mediaFormatAttributes = checksummed,
                       .length = file.declaredLength.value_or(size)},
                      record, nameInStream, file.name.units);
            auto reader = DataReader::Open(file.data);
            record.dataLength = CopyFrom(*reader, size, file.csum ? &checksum : nullptr, true);
            record.declaredLength = file.declaredLength.value_or(size);
        }
        span.openStan.reset();
        out.AlignStream();
        if (file.csum) {
            out.EmitStreamHeader({.id = "CSUM", .length = 4});
            std::array<std::uint8_t, 4> value{};
            PutU32(value, 0, checksum.value());
            out.Emit(value);
            out.AlignStream();
        }
    }

    // An empty STAN flagged sparse, then one SPAR stream per run: its frame, then the run's bytes. A CSUM
    // checks the stream before it, which here would be the last run alone: none is written.
    void WriteSparseStan(const FileEntry& file, ManifestFile& record) {
        namespace s = layout::stream;
        namespace f = layout::sparse_frame;
        const std::uint64_t size = DataSize(file.data);
        if (file.csum) throw MediaError("'" + file.name.text() + "': a sparse file gets no CSUM stream");
        out.EmitStreamHeader({.id = "STAN", .fileSystemAttributes = s::kFsAttrSparse});
        record.dataOffset = out.pos;
        record.sparse = true;
        auto reader = DataReader::Open(file.data);
        std::uint64_t at = 0;  // the reader's position in the data
        for (const SparseExtent& extent : *file.sparse) {
            if (extent.offset < at || extent.length > size || extent.offset > size - extent.length) {
                throw MediaError("the sparse runs of '" + file.name.text() +
                                 "' must be ascending, apart and within its " + std::to_string(size) +
                                 " bytes");
            }
            at += SkipData(*reader, extent.offset - at);
            out.AlignStream();
            const bool withLength = file.sparseFrame == SparseFrame::OffsetAndLength;
            Bytes frame(withLength ? f::kSize : f::kOffsetOnlySize);
            PutU64(frame, f::kOffset, extent.offset);
            if (withLength) PutU64(frame, f::kLength, extent.length);
            out.EmitStreamHeader({.id = "SPAR",
                                  .fileSystemAttributes = s::kFsAttrSparse,
                                  .length = frame.size() + extent.length});
            out.Emit(frame);
            at += CopyFrom(*reader, extent.length, nullptr);
        }
    }

    std::uint64_t SkipData(DataReader& reader, std::uint64_t count) {
        chunk.resize(kIoChunk);
        std::uint64_t skipped = 0;
        while (skipped < count) {
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), count - skipped));
            const std::size_t n = reader.Read(std::span(chunk).first(want));
            if (n == 0) break;
            skipped += n;
        }
        return skipped;
    }

    // Copies `size` bytes of the reader to the medium; `stanData` lets a medium end inside them.
    std::uint64_t CopyFrom(DataReader& reader, std::uint64_t size, Xor32* checksum, bool stanData = false) {
        chunk.resize(kIoChunk);
        std::uint64_t written = 0;
        while (written < size) {
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - written));
            const std::size_t n = reader.Read(std::span(chunk).first(want));
            if (n == 0) break;
            const std::span<const std::uint8_t> part(chunk.data(), n);
            if (checksum) checksum->Add(part);
            if (stanData) {
                EmitData(part);
            } else {
                out.Emit(part);
            }
            written += n;
        }
        return written;
    }

    // Runs `onFrame` for every frame of the compressed form of `data`, in order.
    template <typename OnFrame>
    void ForEachFrame(const FileEntry& file, std::uint16_t originalAttributes, OnFrame onFrame) {
        const std::uint64_t size = DataSize(file.data);
        auto reader = DataReader::Open(file.data);
        Bytes input(layout::frame::kMaxUncompressedSize);
        Bytes frame;
        std::uint64_t done = 0;
        for (std::uint32_t index = 0; done < size; ++index) {
            const std::size_t n = reader->Read(input);
            if (n == 0) break;
            frame.clear();
            AppendFrame(std::span<const std::uint8_t>(input.data(), n),
                        {.originalMediaAttributes = originalAttributes,
                         .remainingUncompressedSize = size - done,
                         .sequenceNumber = static_cast<std::uint8_t>(index + 1),
                         .corruptChecksum = file.badFrameChecksum == index},
                        frame);
            onFrame(frame);
            done += n;
        }
    }

    void WriteCompressedStan(const FileEntry& file, std::uint16_t checksummed, Xor32& checksum,
                             ManifestFile& record, bool nameInStream) {
        const std::uint64_t size = DataSize(file.data);
        Bytes kept;
        std::uint64_t storedSize = 0;
        const bool keep = size <= kCompressInMemoryLimit;
        ForEachFrame(file, checksummed, [&](const Bytes& frame) {
            storedSize += frame.size();
            if (keep) kept.insert(kept.end(), frame.begin(), frame.end());
        });
        record.declaredLength = file.declaredLength.value_or(storedSize);
        BeginStan({.id = "STAN",
                   .mediaFormatAttributes =
                       static_cast<std::uint16_t>(checksummed | layout::stream::kMfAttrCompressed),
                   .length = record.declaredLength,
                   .compressionAlgorithm = layout::kCompressionAlgorithmStacLzs},
                  record, nameInStream, file.name.units);
        auto put = [&](const Bytes& bytes) {
            if (file.csum) checksum.Add(bytes);
            EmitData(bytes);
        };
        if (keep) {
            put(kept);
        } else {
            ForEachFrame(file, checksummed, put);
        }
        record.dataLength = storedSize;
    }
};

MediaWriter::MediaWriter(Sink& sink, const TapeInfo& tape, const WriterOptions& options)
    : MediaWriter(std::span<Sink* const>(std::array<Sink*, 1>{&sink}), {}, tape, options) {}

MediaWriter::MediaWriter(std::span<Sink* const> media, std::span<const std::uint64_t> endsAt,
                         const TapeInfo& tape, const WriterOptions& options)
    : state_(std::make_unique<State>(std::vector<Sink*>(media.begin(), media.end()),
                                     std::vector<std::uint64_t>(endsAt.begin(), endsAt.end()), options)) {
    State& s = *state_;
    if (media.empty() || endsAt.size() + 1 != media.size()) {
        throw MediaError("a backup over " + std::to_string(media.size()) + " media needs " +
                         std::to_string(media.empty() ? 0 : media.size() - 1) +
                         " places where media end, not " + std::to_string(endsAt.size()));
    }
    const std::uint32_t sinkBlock = media.front()->physicalBlockSize();
    for (const Sink* medium : media) {
        if (medium->physicalBlockSize() != sinkBlock)
            throw MediaError("the media of one backup must have one physical block size");
    }
    if (tape.logicalBlockSize != 512 && tape.logicalBlockSize != 1024) {
        throw MediaError("the logical block size must be 512 or 1024, not " +
                         std::to_string(tape.logicalBlockSize));
    }
    s.out.logicalBlock = tape.logicalBlockSize;
    s.out.physicalBlock =
        options.physicalBlockSize != 0 ? options.physicalBlockSize : (sinkBlock != 0 ? sinkBlock : 512);
    if (s.out.physicalBlock % 512 != 0 || s.out.physicalBlock == 0 ||
        s.out.physicalBlock > kMaxPhysicalBlockSize) {
        throw MediaError("the physical block size must be a multiple of 512 up to 16 MiB, not " +
                         std::to_string(s.out.physicalBlock));
    }
    if (sinkBlock != 0 && sinkBlock != s.out.physicalBlock) {
        throw MediaError("physical block size " + std::to_string(s.out.physicalBlock) +
                         " differs from the sink's record size " + std::to_string(sinkBlock));
    }
    if (options.softFilemarks && s.out.physicalBlock > kMaxSoftFilemarkBlock) {
        throw MediaError("soft filemarks need a physical block size of at most 32768 bytes");
    }
    s.manifest.logicalBlockSize = s.out.logicalBlock;
    s.manifest.physicalBlockSize = s.out.physicalBlock;
    s.manifest.softFilemarks = options.softFilemarks;
    s.WriteTape(tape);
    s.out.Filemark();
}

MediaWriter::~MediaWriter() = default;

void MediaWriter::BeginSet(const SetInfo& set) {
    State& s = *state_;
    if (s.finished) throw MediaError("beginSet after finish");
    if (s.ctx.inSet) throw MediaError("beginSet while the previous set is still open");
    s.ctx.inSet = true;
    s.ctx.set = set;
    ++s.ctx.setNumber;
    s.ctx.lastDirectoryId = s.ctx.currentDirectoryId = s.ctx.lastFileId = 0;
    s.catalog.fdd.clear();
    s.span.dirbBlock.clear();
    s.ctx.setStartSequence = s.ctx.mediaSequence;
    s.catalog.setDirectories = s.catalog.setFiles = 0;
    s.catalog.setBytes = 0;
    s.ctx.currentDirectoryText.clear();
    s.ctx.currentDirectoryName.clear();
    s.manifest.sets.push_back({.number = s.ctx.setNumber,
                               .medium = static_cast<std::uint32_t>(s.out.medium),
                               .name = set.name.text(),
                               .compressed = set.compressed,
                               .ssetOffset = s.out.pos});
    s.WriteSset();
    s.WriteVolb();
}

void MediaWriter::AddDirectory(const DirectoryEntry& directory) {
    if (!state_->ctx.inSet) throw MediaError("a directory outside a data set");
    state_->WriteDirectory(directory);
}

void MediaWriter::AddFile(const FileEntry& file) {
    if (!state_->ctx.inSet) throw MediaError("a file outside a data set");
    state_->WriteFile(file);
}

void MediaWriter::Add(const Entry& entry) {
    if (const auto* dir = std::get_if<DirectoryEntry>(&entry)) {
        AddDirectory(*dir);
    } else {
        AddFile(std::get<FileEntry>(entry));
    }
}

void MediaWriter::EndSet() {
    State& s = *state_;
    if (!s.ctx.inSet) throw MediaError("endSet without an open set");
    s.out.Filemark();
    s.WriteEset();
    s.out.Filemark();
    s.ctx.inSet = false;
}

Manifest MediaWriter::Finish() {
    State& s = *state_;
    if (s.finished) throw MediaError("finish called twice");
    if (s.ctx.inSet) throw MediaError("finish while a set is still open");
    if (s.out.medium + 1 < s.out.media.size()) {
        throw MediaError("the backup ended at byte " + std::to_string(s.out.pos) + " of medium " +
                         std::to_string(s.out.medium + 1) + ", before medium " +
                         std::to_string(s.out.medium + 2) + " began");
    }
    s.out.Filemark();
    s.WriteEotm();
    s.out.Filemark();
    s.out.sink().Finish();
    s.finished = true;
    s.manifest.imageSize = s.out.pos;
    s.manifest.mediumSizes.push_back(s.out.pos);
    return std::move(s.manifest);
}

std::uint64_t MediaWriter::position() const {
    return state_->out.pos;
}

Manifest WriteMedia(const MediaDescription& media, Sink& sink, const WriterOptions& options) {
    MediaWriter writer(sink, media.tape, options);
    for (const DataSet& set : media.sets) {
        writer.BeginSet(set.info);
        for (const Entry& entry : set.entries) writer.Add(entry);
        writer.EndSet();
    }
    return writer.Finish();
}

Manifest WriteSpannedMedia(const MediaDescription& media, std::span<Sink* const> sinks,
                           std::span<const std::uint64_t> endsAt, const WriterOptions& options) {
    MediaWriter writer(sinks, endsAt, media.tape, options);
    for (const DataSet& set : media.sets) {
        writer.BeginSet(set.info);
        for (const Entry& entry : set.entries) writer.Add(entry);
        writer.EndSet();
    }
    return writer.Finish();
}

Manifest WriteImageFile(const MediaDescription& media, const std::filesystem::path& path,
                        const WriterOptions& options) {
    ImageFileSink sink(path);
    return WriteMedia(media, sink, options);
}

Manifest WriteTapFile(const MediaDescription& media, const std::filesystem::path& path,
                      std::uint32_t blockSize, WriterOptions options) {
    TapFileSink sink(path, blockSize);
    options.physicalBlockSize = blockSize;
    return WriteMedia(media, sink, options);
}

}  // namespace ostrum::mtfwriter
