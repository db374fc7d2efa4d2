#include "chain_walker.h"

#include <set>

namespace ostrum::mtfwriter::testing {

namespace {

const std::set<std::string> kBlockTags = {"TAPE", "SSET", "VOLB", "DIRB", "FILE",
                                          "CFIL", "ESPB", "ESET", "EOTM", "SFMB"};

bool has(std::span<const std::uint8_t> b, std::uint64_t off, std::uint64_t n) {
    return off <= b.size() && n <= b.size() - off;
}

std::string tagAt(std::span<const std::uint8_t> b, std::uint64_t off) {
    if (!has(b, off, 4)) return {};
    return std::string(reinterpret_cast<const char*>(b.data() + off), 4);
}

std::u16string unitsAt(std::span<const std::uint8_t> b, std::uint64_t off, std::uint64_t bytes) {
    std::u16string s;
    if (!has(b, off, bytes)) return s;
    for (std::uint64_t i = 0; i + 1 < bytes; i += 2) s.push_back(static_cast<char16_t>(readU16(b, off + i)));
    return s;
}

class Walker {
  public:
    Walker(std::span<const std::uint8_t> image, std::uint32_t pbs) : img_(image), pbs_(pbs) {}

    Walk run() {
        if (tagAt(img_, 0) != "TAPE") {
            fail(0, "the image does not start with a TAPE block");
            return std::move(walk_);
        }
        walk_.logicalBlockSize = readU16(img_, 84);
        walk_.softFilemarks = (readU32(img_, 56) & 1) != 0;
        sfmbSize_ = static_cast<std::uint64_t>(readU16(img_, 64)) * 512;
        lbs_ = walk_.logicalBlockSize;
        if (lbs_ != 512 && lbs_ != 1024) {
            fail(0, "bad logical block size");
            return std::move(walk_);
        }
        std::uint64_t pos = 0;
        while (pos < img_.size() && walk_.errors.size() < 20) {
            if (walk_.softFilemarks && tagAt(img_, pos) == "SFMB") {
                softFilemark(pos);
                pos += sfmbSize_;
                continue;
            }
            WalkedBlock block = parseBlock(pos);
            if (!walk_.errors.empty() && block.end <= pos) break;
            pos = block.end;
            walk_.blocks.push_back(std::move(block));
            if (walk_.blocks.back().type == "EOTM") break;
        }
        if (!walk_.softFilemarks) walk_.filemarks.push_back(pos);
        if (walk_.softFilemarks) {
            if (tagAt(img_, pos) != "SFMB") {
                fail(pos, "no soft filemark after EOTM");
            } else {
                softFilemark(pos);
                pos += sfmbSize_;
            }
        }
        if (pos % pbs_ != 0) fail(pos, "last filemark off a physical block boundary");
        walk_.end = pos;
        if (pos != img_.size()) fail(pos, "bytes after the final filemark");
        return std::move(walk_);
    }

  private:
    void fail(std::uint64_t off, const std::string& what) {
        walk_.errors.push_back(what + " (at offset " + std::to_string(off) + ")");
    }

    void softFilemark(std::uint64_t pos) {
        if (pos % pbs_ != 0) fail(pos, "SFMB off a physical block boundary");
        if (readU16(img_, pos + 50) != xorOfWords(img_, pos, 25)) fail(pos, "SFMB header checksum");
        walk_.filemarks.push_back(pos);
        ++pendingFilemarks_;
    }

    // Hard filemarks leave no trace; the layout says where they are: one before SSET and ESET, two before
    // EOTM.
    void expectFilemarks(std::uint64_t pos, int count, const std::string& type) {
        if (!walk_.softFilemarks) {
            for (int i = 0; i < count; ++i) walk_.filemarks.push_back(pos);
            pendingFilemarks_ += count;
        }
        if (pendingFilemarks_ != count)
            fail(pos, type + " after " + std::to_string(pendingFilemarks_) + " filemarks");
        if (pos % pbs_ != 0) fail(pos, type + " not on a physical block boundary after a filemark");
    }

    WalkedBlock parseBlock(std::uint64_t pos) {
        WalkedBlock b;
        b.offset = pos;
        b.end = pos;
        if (!has(img_, pos, 52)) {
            fail(pos, "truncated block header");
            return b;
        }
        b.type = tagAt(img_, pos);
        if (!kBlockTags.count(b.type)) {
            fail(pos, "no block tag: '" + b.type + "'");
            return b;
        }
        if (readU16(img_, pos + 50) != xorOfWords(img_, pos, 25)) fail(pos, b.type + " header checksum");
        if (img_[pos + 10] != 14) fail(pos, b.type + " OS id");
        b.attributes = readU32(img_, pos + 4);
        b.displayableSize = readU64(img_, pos + 12);
        b.formatLogicalAddress = readU64(img_, pos + 20);
        b.controlBlockId = readU32(img_, pos + 36);
        checkPlacement(b);
        readName(b);
        readStreams(b, pos + readU16(img_, pos + 8));
        if ((b.end - regionStart_) % lbs_ != 0)
            fail(b.end, b.type + " does not end on a logical block boundary");
        return b;
    }

    void checkPlacement(const WalkedBlock& b) {
        const std::uint64_t pos = b.offset;
        const bool regionBlock = b.type == "TAPE" || b.type == "SSET" || b.type == "ESET" || b.type == "EOTM";
        if (b.type == "SSET") expectFilemarks(pos, 1, b.type);
        if (b.type == "ESET") expectFilemarks(pos, 1, b.type);
        if (b.type == "EOTM") expectFilemarks(pos, 2, b.type);
        if (regionBlock) {
            regionStart_ = pos;
            pendingFilemarks_ = 0;
            if (b.formatLogicalAddress != 0 && b.type != "SSET") fail(pos, b.type + " logical address not 0");
            if (b.controlBlockId != 0) fail(pos, b.type + " control block id not 0");
        } else if (pendingFilemarks_ != 0) {
            fail(pos, b.type + " right after a filemark");
        }
        if (b.type == "SSET") {
            setStart_ = pos;
            inSet_ = true;
            nextControlBlockId_ = 0;
        }
        if (b.type == "ESET" || b.type == "EOTM") inSet_ = false;
        if ((pos - regionStart_) % lbs_ != 0) fail(pos, b.type + " not on a logical block boundary");
        const bool setBlock = b.type == "SSET" || b.type == "VOLB" || b.type == "DIRB" || b.type == "FILE";
        if (setBlock) {
            if (!inSet_) fail(pos, b.type + " outside a data set");
            if (b.controlBlockId != nextControlBlockId_++) fail(pos, b.type + " control block id");
            if (b.formatLogicalAddress * lbs_ != pos - setStart_)
                fail(pos, b.type + " format logical address");
            if (img_[pos + 48] != 2) fail(pos, b.type + " string type");
        }
    }

    void readName(WalkedBlock& b) {
        std::uint64_t field = 0;
        if (b.type == "SSET") field = 64;
        if (b.type == "DIRB") field = 80;
        if (b.type == "FILE") field = 84;
        if (field == 0) return;
        const std::uint16_t size = readU16(img_, b.offset + field);
        const std::uint16_t off = readU16(img_, b.offset + field + 2);
        if (size > 0 && off < 52) fail(b.offset, b.type + " name inside the common header");
        b.name = unitsAt(img_, b.offset + off, size);
    }

    // Streams follow one another on 4-byte boundaries until an SPAD, or until the next block starts.
    void readStreams(WalkedBlock& b, std::uint64_t p) {
        while (true) {
            if ((p - b.offset) % 4 != 0) fail(p, "stream header not on a 4-byte boundary");
            if ((p - regionStart_) % lbs_ == 0 && p > b.offset && kBlockTags.count(tagAt(img_, p))) {
                b.end = p;
                return;
            }
            if (!has(img_, p, 22)) {
                fail(p, "stream header beyond the image");
                b.end = img_.size();
                return;
            }
            WalkedStream s;
            s.id = tagAt(img_, p);
            s.headerOffset = p;
            s.fileSystemAttributes = readU16(img_, p + 4);
            s.mediaFormatAttributes = readU16(img_, p + 6);
            s.length = readU64(img_, p + 8);
            s.compressionAlgorithm = readU16(img_, p + 18);
            if (readU16(img_, p + 20) != xorOfWords(img_, p, 10)) fail(p, s.id + " stream header checksum");
            if (!has(img_, s.dataOffset(), s.length)) {
                fail(p, s.id + " stream data beyond the image");
                b.streams.push_back(s);
                b.end = img_.size();
                return;
            }
            if (s.id == "CSUM") checkCsum(b, s);
            if (s.id == "PNAM" || s.id == "FNAM") b.name = unitsAt(img_, s.dataOffset(), s.length);
            b.streams.push_back(s);
            const std::uint64_t next = s.dataOffset() + s.length;
            if (s.id == "SPAD") {
                b.end = next;
                return;
            }
            p = next + (4 - (next - b.offset) % 4) % 4;
        }
    }

    void checkCsum(const WalkedBlock& b, const WalkedStream& csum) {
        if (b.streams.empty() || csum.length != 4) {
            fail(csum.headerOffset, "CSUM without a stream before it, or of the wrong length");
            return;
        }
        const WalkedStream& prev = b.streams.back();
        std::uint32_t x = 0;
        for (std::uint64_t i = 0; i < prev.length; ++i) {
            x ^= static_cast<std::uint32_t>(img_[prev.dataOffset() + i]) << (8 * (i % 4));
        }
        if (x != readU32(img_, csum.dataOffset())) fail(csum.headerOffset, "CSUM value");
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

Walk walkImage(std::span<const std::uint8_t> image, std::uint32_t physicalBlockSize) {
    return Walker(image, physicalBlockSize).run();
}

DecodedDate decodeDate(std::span<const std::uint8_t> b) {
    std::uint64_t v = 0;
    for (int i = 0; i < 5; ++i) v = (v << 8) | b[static_cast<std::size_t>(i)];
    return {static_cast<int>(v >> 26),          static_cast<int>((v >> 22) & 0xF),
            static_cast<int>((v >> 17) & 0x1F), static_cast<int>((v >> 12) & 0x1F),
            static_cast<int>((v >> 6) & 0x3F),  static_cast<int>(v & 0x3F)};
}

std::uint16_t readU16(std::span<const std::uint8_t> b, std::uint64_t off) {
    if (!has(b, off, 2)) return 0xFFFF;
    return static_cast<std::uint16_t>(b[off] | (b[off + 1] << 8));
}

std::uint32_t readU32(std::span<const std::uint8_t> b, std::uint64_t off) {
    if (!has(b, off, 4)) return 0xFFFFFFFF;
    return static_cast<std::uint32_t>(readU16(b, off)) |
           (static_cast<std::uint32_t>(readU16(b, off + 2)) << 16);
}

std::uint64_t readU64(std::span<const std::uint8_t> b, std::uint64_t off) {
    if (!has(b, off, 8)) return ~0ull;
    return static_cast<std::uint64_t>(readU32(b, off)) |
           (static_cast<std::uint64_t>(readU32(b, off + 4)) << 32);
}

std::uint16_t xorOfWords(std::span<const std::uint8_t> b, std::uint64_t off, int words) {
    std::uint16_t x = 0;
    for (int i = 0; i < words; ++i) x ^= readU16(b, off + 2 * static_cast<std::uint64_t>(i));
    return x;
}

}  // namespace ostrum::mtfwriter::testing
