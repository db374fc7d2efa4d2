// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain_walker.h"

#include <set>

namespace ostrum::mtfwriter::testing {

namespace {

const std::set<std::string> kBlockTags = {"TAPE", "SSET", "VOLB", "DIRB", "FILE",
                                          "CFIL", "ESPB", "ESET", "EOTM", "SFMB"};

bool Has(std::span<const std::uint8_t> b, std::uint64_t off, std::uint64_t n) {
    return off <= b.size() && n <= b.size() - off;
}

std::string TagAt(std::span<const std::uint8_t> b, std::uint64_t off) {
    if (!Has(b, off, 4)) return {};
    return std::string(reinterpret_cast<const char*>(b.data() + off), 4);
}

std::u16string UnitsAt(std::span<const std::uint8_t> b, std::uint64_t off, std::uint64_t bytes) {
    std::u16string s;
    if (!Has(b, off, bytes)) return s;
    for (std::uint64_t i = 0; i + 1 < bytes; i += 2) s.push_back(static_cast<char16_t>(ReadU16(b, off + i)));
    return s;
}

class Walker {
  public:
    Walker(std::span<const std::uint8_t> image, std::uint32_t pbs) : img_(image), pbs_(pbs) {}

    Walk Run() {
        if (TagAt(img_, 0) != "TAPE") {
            Fail(0, "the image does not start with a TAPE block");
            return std::move(walk_);
        }
        walk_.logicalBlockSize = ReadU16(img_, 84);
        walk_.softFilemarks = (ReadU32(img_, 56) & 1) != 0;
        sfmbSize_ = static_cast<std::uint64_t>(ReadU16(img_, 64)) * 512;
        lbs_ = walk_.logicalBlockSize;
        if (lbs_ != 512 && lbs_ != 1024) {
            Fail(0, "bad logical block size");
            return std::move(walk_);
        }
        std::uint64_t pos = 0;
        while (pos < img_.size() && walk_.errors.size() < 20) {
            if (walk_.softFilemarks && TagAt(img_, pos) == "SFMB") {
                SoftFilemark(pos);
                pos += sfmbSize_;
                continue;
            }
            WalkedBlock block = ParseBlock(pos);
            if (!walk_.errors.empty() && block.end <= pos) break;
            pos = block.end;
            walk_.blocks.push_back(std::move(block));
            if (walk_.blocks.back().type == "EOTM") break;
        }
        if (!walk_.softFilemarks) walk_.filemarks.push_back(pos);
        if (walk_.softFilemarks) {
            if (TagAt(img_, pos) != "SFMB") {
                Fail(pos, "no soft filemark after EOTM");
            } else {
                SoftFilemark(pos);
                pos += sfmbSize_;
            }
        }
        if (pos % pbs_ != 0) Fail(pos, "last filemark off a physical block boundary");
        walk_.end = pos;
        if (pos != img_.size()) Fail(pos, "bytes after the final filemark");
        return std::move(walk_);
    }

  private:
    void Fail(std::uint64_t off, const std::string& what) {
        walk_.errors.push_back(what + " (at offset " + std::to_string(off) + ")");
    }

    void SoftFilemark(std::uint64_t pos) {
        if (pos % pbs_ != 0) Fail(pos, "SFMB off a physical block boundary");
        if (ReadU16(img_, pos + 50) != XorOfWords(img_, pos, 25)) Fail(pos, "SFMB header checksum");
        walk_.filemarks.push_back(pos);
        ++pendingFilemarks_;
    }

    // Hard filemarks leave no trace; the layout says where they are: one before SSET and ESET, two before
    // EOTM.
    void ExpectFilemarks(std::uint64_t pos, int count, const std::string& type) {
        if (!walk_.softFilemarks) {
            for (int i = 0; i < count; ++i) walk_.filemarks.push_back(pos);
            pendingFilemarks_ += count;
        }
        if (pendingFilemarks_ != count)
            Fail(pos, type + " after " + std::to_string(pendingFilemarks_) + " filemarks");
        if (pos % pbs_ != 0) Fail(pos, type + " not on a physical block boundary after a filemark");
    }

    WalkedBlock ParseBlock(std::uint64_t pos) {
        WalkedBlock b;
        b.offset = pos;
        b.end = pos;
        if (!Has(img_, pos, 52)) {
            Fail(pos, "truncated block header");
            return b;
        }
        b.type = TagAt(img_, pos);
        if (!kBlockTags.count(b.type)) {
            Fail(pos, "no block tag: '" + b.type + "'");
            return b;
        }
        if (ReadU16(img_, pos + 50) != XorOfWords(img_, pos, 25)) Fail(pos, b.type + " header checksum");
        if (img_[pos + 10] != 14) Fail(pos, b.type + " OS id");
        b.attributes = ReadU32(img_, pos + 4);
        b.displayableSize = ReadU64(img_, pos + 12);
        b.formatLogicalAddress = ReadU64(img_, pos + 20);
        b.controlBlockId = ReadU32(img_, pos + 36);
        CheckPlacement(b);
        ReadName(b);
        ReadStreams(b, pos + ReadU16(img_, pos + 8));
        if ((b.end - regionStart_) % lbs_ != 0)
            Fail(b.end, b.type + " does not end on a logical block boundary");
        return b;
    }

    void CheckPlacement(const WalkedBlock& b) {
        const std::uint64_t pos = b.offset;
        const bool regionBlock = b.type == "TAPE" || b.type == "SSET" || b.type == "ESET" || b.type == "EOTM";
        if (b.type == "SSET") ExpectFilemarks(pos, 1, b.type);
        if (b.type == "ESET") ExpectFilemarks(pos, 1, b.type);
        if (b.type == "EOTM") ExpectFilemarks(pos, 2, b.type);
        if (regionBlock) {
            regionStart_ = pos;
            pendingFilemarks_ = 0;
            if (b.formatLogicalAddress != 0 && b.type != "SSET") Fail(pos, b.type + " logical address not 0");
            if (b.controlBlockId != 0) Fail(pos, b.type + " control block id not 0");
        } else if (pendingFilemarks_ != 0) {
            Fail(pos, b.type + " right after a filemark");
        }
        if (b.type == "SSET") {
            setStart_ = pos;
            inSet_ = true;
            nextControlBlockId_ = 0;
        }
        if (b.type == "ESET" || b.type == "EOTM") inSet_ = false;
        if ((pos - regionStart_) % lbs_ != 0) Fail(pos, b.type + " not on a logical block boundary");
        const bool setBlock = b.type == "SSET" || b.type == "VOLB" || b.type == "DIRB" || b.type == "FILE";
        if (setBlock) {
            if (!inSet_) Fail(pos, b.type + " outside a data set");
            if (b.controlBlockId != nextControlBlockId_++) Fail(pos, b.type + " control block id");
            if (b.formatLogicalAddress * lbs_ != pos - setStart_)
                Fail(pos, b.type + " format logical address");
            if (img_[pos + 48] != 2) Fail(pos, b.type + " string type");
        }
    }

    void ReadName(WalkedBlock& b) {
        std::uint64_t field = 0;
        if (b.type == "SSET") field = 64;
        if (b.type == "DIRB") field = 80;
        if (b.type == "FILE") field = 84;
        if (field == 0) return;
        const std::uint16_t size = ReadU16(img_, b.offset + field);
        const std::uint16_t off = ReadU16(img_, b.offset + field + 2);
        if (size > 0 && off < 52) Fail(b.offset, b.type + " name inside the common header");
        b.name = UnitsAt(img_, b.offset + off, size);
    }

    // Streams follow one another on 4-byte boundaries until an SPAD, or until the next block starts.
    void ReadStreams(WalkedBlock& b, std::uint64_t p) {
        while (true) {
            if ((p - b.offset) % 4 != 0) Fail(p, "stream header not on a 4-byte boundary");
            if ((p - regionStart_) % lbs_ == 0 && p > b.offset && kBlockTags.count(TagAt(img_, p))) {
                b.end = p;
                return;
            }
            if (!Has(img_, p, 22)) {
                Fail(p, "stream header beyond the image");
                b.end = img_.size();
                return;
            }
            WalkedStream s;
            s.id = TagAt(img_, p);
            s.headerOffset = p;
            s.fileSystemAttributes = ReadU16(img_, p + 4);
            s.mediaFormatAttributes = ReadU16(img_, p + 6);
            s.length = ReadU64(img_, p + 8);
            s.compressionAlgorithm = ReadU16(img_, p + 18);
            if (ReadU16(img_, p + 20) != XorOfWords(img_, p, 10)) Fail(p, s.id + " stream header checksum");
            if (!Has(img_, s.dataOffset(), s.length)) {
                Fail(p, s.id + " stream data beyond the image");
                b.streams.push_back(s);
                b.end = img_.size();
                return;
            }
            if (s.id == "CSUM") CheckCsum(b, s);
            if (s.id == "PNAM" || s.id == "FNAM") b.name = UnitsAt(img_, s.dataOffset(), s.length);
            b.streams.push_back(s);
            const std::uint64_t next = s.dataOffset() + s.length;
            if (s.id == "SPAD") {
                b.end = next;
                return;
            }
            p = next + (4 - (next - b.offset) % 4) % 4;
        }
    }

    void CheckCsum(const WalkedBlock& b, const WalkedStream& csum) {
        if (b.streams.empty() || csum.length != 4) {
            Fail(csum.headerOffset, "CSUM without a stream before it, or of the wrong length");
            return;
        }
        const WalkedStream& prev = b.streams.back();
        std::uint32_t x = 0;
        for (std::uint64_t i = 0; i < prev.length; ++i) {
            x ^= static_cast<std::uint32_t>(img_[prev.dataOffset() + i]) << (8 * (i % 4));
        }
        if (x != ReadU32(img_, csum.dataOffset())) Fail(csum.headerOffset, "CSUM value");
    }

    std::span<const std::uint8_t> img_;
    std::uint64_t pbs_;
    std::uint64_t lbs_ = 0;
    std::uint64_t sfmbSize_ = 0;
    Walk walk_;
    std::uint64_t regionStart_ = 0;
    std::uint64_t setStart_ = 0;
    bool inSet_ = false;
    std::uint32_t nextControlBlockId_ = 0;
    int pendingFilemarks_ = 0;
};

}  // namespace

const WalkedStream* WalkedBlock::stream(const std::string& id) const {
    for (const auto& s : streams) {
        if (s.id == id) return &s;
    }
    return nullptr;
}

std::vector<const WalkedBlock*> Walk::ofType(const std::string& type) const {
    std::vector<const WalkedBlock*> out;
    for (const auto& b : blocks) {
        if (b.type == type) out.push_back(&b);
    }
    return out;
}

Walk WalkImage(std::span<const std::uint8_t> image, std::uint32_t physicalBlockSize) {
    return Walker(image, physicalBlockSize).Run();
}

DecodedDate DecodeDate(std::span<const std::uint8_t> b) {
    std::uint64_t v = 0;
    for (int i = 0; i < 5; ++i) v = (v << 8) | b[static_cast<std::size_t>(i)];
    return {static_cast<int>(v >> 26),          static_cast<int>((v >> 22) & 0xF),
            static_cast<int>((v >> 17) & 0x1F), static_cast<int>((v >> 12) & 0x1F),
            static_cast<int>((v >> 6) & 0x3F),  static_cast<int>(v & 0x3F)};
}

std::uint16_t ReadU16(std::span<const std::uint8_t> b, std::uint64_t off) {
    if (!Has(b, off, 2)) return 0xFFFF;
    return static_cast<std::uint16_t>(b[off] | (b[off + 1] << 8));
}

std::uint32_t ReadU32(std::span<const std::uint8_t> b, std::uint64_t off) {
    if (!Has(b, off, 4)) return 0xFFFFFFFF;
    return static_cast<std::uint32_t>(ReadU16(b, off)) |
           (static_cast<std::uint32_t>(ReadU16(b, off + 2)) << 16);
}

std::uint64_t ReadU64(std::span<const std::uint8_t> b, std::uint64_t off) {
    if (!Has(b, off, 8)) return ~0ull;
    return static_cast<std::uint64_t>(ReadU32(b, off)) |
           (static_cast<std::uint64_t>(ReadU32(b, off + 4)) << 32);
}

std::uint16_t XorOfWords(std::span<const std::uint8_t> b, std::uint64_t off, int words) {
    std::uint16_t x = 0;
    for (int i = 0; i < words; ++i) x ^= ReadU16(b, off + 2 * static_cast<std::uint64_t>(i));
    return x;
}

}  // namespace ostrum::mtfwriter::testing
