// SPDX-License-Identifier: GPL-3.0-or-later
#include "damage.h"

#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace ostrum::mtfwriter {

namespace {

namespace fs = std::filesystem;
constexpr std::size_t kCopyChunk = 1u << 20;
constexpr std::uint8_t kJunkByte = 0xA5;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::runtime_error IoError(const std::string& what, const fs::path& p) {
    return std::runtime_error(what + " '" + p.string() + "': " + std::strerror(errno));
}

File OpenOrThrow(const fs::path& p, const char* mode, const std::string& what) {
    File f(std::fopen(p.c_str(), mode));
    if (!f) throw IoError(what, p);
    return f;
}

class Copier {
  public:
    Copier(std::FILE* in, std::FILE* out, const fs::path& inPath, const fs::path& outPath)
        : in_(in), out_(out), inPath_(inPath), outPath_(outPath), buf_(kCopyChunk) {}

    // Copies input bytes [from, to) (clipped at the input's end), zeroing [zeroFrom, zeroTo) on the way.
    void Copy(std::uint64_t from, std::uint64_t to, std::uint64_t zeroFrom = 0, std::uint64_t zeroTo = 0) {
        if (::fseeko(in_, static_cast<off_t>(from), SEEK_SET) != 0) throw IoError("cannot seek in", inPath_);
        std::uint64_t pos = from;
        while (pos < to) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buf_.size(), to - pos));
            const std::size_t got = std::fread(buf_.data(), 1, want, in_);
            if (got == 0) {
                if (std::ferror(in_)) throw IoError("cannot read", inPath_);
                return;
            }
            const std::uint64_t zs = std::clamp(zeroFrom, pos, pos + got);
            const std::uint64_t ze = std::clamp(zeroTo, pos, pos + got);
            if (ze > zs) std::memset(buf_.data() + (zs - pos), 0, static_cast<std::size_t>(ze - zs));
            Put(buf_.data(), got);
            pos += got;
        }
    }

    void Fill(std::uint64_t n, std::uint8_t value) {
        std::fill(buf_.begin(), buf_.end(), value);
        while (n > 0) {
            const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, buf_.size()));
            Put(buf_.data(), k);
            n -= k;
        }
    }

  private:
    void Put(const std::uint8_t* data, std::size_t n) {
        if (std::fwrite(data, 1, n, out_) != n) throw IoError("cannot write", outPath_);
    }

    std::FILE* in_;
    std::FILE* out_;
    const fs::path& inPath_;
    const fs::path& outPath_;
    std::vector<std::uint8_t> buf_;
};

}  // namespace

void ApplyDamage(std::vector<std::uint8_t>& image, const Damage& d) {
    const std::uint64_t size = image.size();
    switch (d.kind) {
        case Damage::Kind::CutFront:
            image.erase(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(std::min(d.offset, size)));
            break;
        case Damage::Kind::ZeroRange: {
            const std::uint64_t from = std::min(d.offset, size);
            const std::uint64_t to = std::min(size, from + std::min(d.length, size - from));
            std::fill(image.begin() + static_cast<std::ptrdiff_t>(from),
                      image.begin() + static_cast<std::ptrdiff_t>(to), 0);
            break;
        }
        case Damage::Kind::ShiftFront:
            image.insert(image.begin(), static_cast<std::size_t>(d.offset), 0);
            break;
        case Damage::Kind::Truncate:
            if (d.offset < size) image.resize(static_cast<std::size_t>(d.offset));
            break;
        case Damage::Kind::InsertJunk:
            image.insert(image.begin() + static_cast<std::ptrdiff_t>(std::min(d.offset, size)),
                         static_cast<std::size_t>(d.length), kJunkByte);
            break;
    }
}

void DamageFile(const fs::path& in, const fs::path& out, const Damage& d) {
    const File input = OpenOrThrow(in, "rb", "cannot open");
    std::error_code ec;
    const std::uint64_t size = fs::file_size(in, ec);
    if (ec) throw std::runtime_error("cannot read the size of '" + in.string() + "': " + ec.message());
    const fs::path temp = out.string() + ".damage-tmp";
    try {
        const File output = OpenOrThrow(temp, "wb", "cannot create");
        Copier copier(input.get(), output.get(), in, temp);
        switch (d.kind) {
            case Damage::Kind::CutFront:
                copier.Copy(std::min(d.offset, size), size);
                break;
            case Damage::Kind::ZeroRange:
                copier.Copy(0, size, d.offset, d.offset + std::min(d.length, UINT64_MAX - d.offset));
                break;
            case Damage::Kind::ShiftFront:
                copier.Fill(d.offset, 0);
                copier.Copy(0, size);
                break;
            case Damage::Kind::Truncate:
                copier.Copy(0, std::min(d.offset, size));
                break;
            case Damage::Kind::InsertJunk:
                copier.Copy(0, std::min(d.offset, size));
                copier.Fill(d.length, kJunkByte);
                copier.Copy(std::min(d.offset, size), size);
                break;
        }
        if (std::fflush(output.get()) != 0) throw IoError("cannot write", temp);
    } catch (...) {
        fs::remove(temp, ec);
        throw;
    }
    fs::rename(temp, out, ec);
    if (ec) {
        fs::remove(temp);
        throw std::runtime_error("cannot replace '" + out.string() + "': " + ec.message());
    }
}

}  // namespace ostrum::mtfwriter
