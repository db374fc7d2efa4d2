// SPDX-License-Identifier: GPL-3.0-or-later
// Names, dates and file contents of the media description.
#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "common/utf8.h"
#include "file_data.h"
#include "mtf_writer.h"

namespace ostrum::mtfwriter {

static_assert(std::endian::native == std::endian::little, "generated words are stored in host order");

namespace {

constexpr char16_t kReplacementCharacter = 0xFFFD;
constexpr std::size_t kDiskReadLimit = 1u << 20;

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// The writer turns UTF-16 into UTF-8 with its own encoder, not the reader's (common/utf8.h): the tests
// compare the names the reader finds with the manifest's, which this encoder writes, so a fault in the
// reader's encoder shows there instead of turning up on both sides alike.
void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// splitmix64's finaliser over a position-keyed counter: every 8-byte word of a generated file is independent,
// so any range can be produced directly.
std::uint64_t GeneratedWord(std::uint64_t seed, std::uint64_t wordIndex) {
    std::uint64_t z =
        wordIndex * 0x9E3779B97F4A7C15ull + (seed ^ 0x632BE59BD9B4E019ull) * 0xD1B54A32D192ED03ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

class MemoryReader final : public DataReader {
  public:
    explicit MemoryReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    std::size_t Read(std::span<std::uint8_t> out) override {
        const std::size_t n = std::min(out.size(), bytes_.size() - pos_);
        if (n > 0) std::memcpy(out.data(), bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }

  private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t pos_ = 0;
};

class GeneratedReader final : public DataReader {
  public:
    explicit GeneratedReader(const GeneratedData& data) : data_(data) {}
    std::size_t Read(std::span<std::uint8_t> out) override {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), data_.size - pos_));
        FillGenerated(data_.seed, pos_, out.first(n));
        pos_ += n;
        return n;
    }

  private:
    GeneratedData data_;
    std::uint64_t pos_ = 0;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads exactly the size recorded in the description: a file that has become shorter or longer is an error,
// because the STAN header already promised that many bytes.
class DiskReader final : public DataReader {
  public:
    explicit DiskReader(const DiskFileData& data) : data_(data), file_(std::fopen(data.path.c_str(), "rb")) {
        if (!file_) {
            throw MediaError("cannot open source file '" + data.path.string() + "': " + std::strerror(errno));
        }
    }
    std::size_t Read(std::span<std::uint8_t> out) override {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), data_.size - pos_));
        std::size_t got = 0;
        while (got < want) {
            const std::size_t chunk = std::min(want - got, kDiskReadLimit);
            const std::size_t n = std::fread(out.data() + got, 1, chunk, file_.get());
            if (n == 0) {
                throw MediaError("source file '" + data_.path.string() + "' ended at byte " +
                                 std::to_string(pos_ + got) + ", but was " + std::to_string(data_.size) +
                                 " bytes when described");
            }
            got += n;
        }
        pos_ += got;
        if (pos_ == data_.size && !endChecked_) {
            endChecked_ = true;
            if (std::fgetc(file_.get()) != EOF) {
                throw MediaError("source file '" + data_.path.string() + "' grew beyond the " +
                                 std::to_string(data_.size) + " bytes it had when described");
            }
        }
        return got;
    }

  private:
    DiskFileData data_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::uint64_t pos_ = 0;
    bool endChecked_ = false;
};

}  // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        const std::size_t length = common::DecodeUtf8Strict(s, i, cp);
        if (length == 0) {
            throw std::invalid_argument("invalid UTF-8 at byte " + std::to_string(i) + " of \"" +
                                        std::string(s) + "\"");
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += length;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (IsHighSurrogate(u) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
            AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{units[i + 1]} - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
            AppendUtf8(out, kReplacementCharacter);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

Name::Name(std::string_view utf8) : units(Utf8ToUtf16(utf8)) {}

Name Name::Raw(std::u16string units) {
    Name n;
    n.units = std::move(units);
    return n;
}

std::string Name::text() const {
    return Utf16ToUtf8(units);
}

std::array<std::uint8_t, 5> EncodeMtfDate(const MtfDate& d) {
    if (d.year > 16383 || d.month > 15 || d.day > 31 || d.hour > 31 || d.minute > 63 || d.second > 63) {
        throw std::invalid_argument("date field out of range for an MTF date");
    }
    const std::uint64_t packed = (std::uint64_t{d.year} << 26) | (std::uint64_t{d.month} << 22) |
                                 (std::uint64_t{d.day} << 17) | (std::uint64_t{d.hour} << 12) |
                                 (std::uint64_t{d.minute} << 6) | std::uint64_t{d.second};
    std::array<std::uint8_t, 5> out{};
    for (int i = 0; i < 5; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(packed >> (8 * (4 - i)));
    return out;
}

MtfDate MtfDateFromUnixTime(std::int64_t seconds) {
    using namespace std::chrono;
    const sys_seconds t{std::chrono::seconds{seconds}};
    const sys_days day = floor<days>(t);
    const year_month_day ymd{day};
    const hh_mm_ss<std::chrono::seconds> hms{t - day};
    const int year = static_cast<int>(ymd.year());
    if (year < 0 || year > 16383) return {};
    return MtfDate{static_cast<std::uint16_t>(year),
                   static_cast<std::uint8_t>(static_cast<unsigned>(ymd.month())),
                   static_cast<std::uint8_t>(static_cast<unsigned>(ymd.day())),
                   static_cast<std::uint8_t>(hms.hours().count()),
                   static_cast<std::uint8_t>(hms.minutes().count()),
                   static_cast<std::uint8_t>(hms.seconds().count())};
}

std::vector<std::uint8_t> BytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

std::uint64_t DataSize(const FileData& data) {
    struct Visitor {
        std::uint64_t operator()(const std::vector<std::uint8_t>& b) const { return b.size(); }
        std::uint64_t operator()(const GeneratedData& g) const { return g.size; }
        std::uint64_t operator()(const DiskFileData& f) const { return f.size; }
    };
    return std::visit(Visitor{}, data);
}

void FillGenerated(std::uint64_t seed, std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t i = 0;
    // Unaligned head, byte by byte.
    while (i < out.size() && (offset + i) % 8 != 0) {
        const std::uint64_t pos = offset + i;
        out[i++] = static_cast<std::uint8_t>(GeneratedWord(seed, pos / 8) >> (8 * (pos % 8)));
    }
    // Whole words, stored little-endian.
    std::uint64_t word = (offset + i) / 8;
    for (; i + 8 <= out.size(); i += 8, ++word) {
        const std::uint64_t w = GeneratedWord(seed, word);
        std::memcpy(out.data() + i, &w, 8);  // little-endian host, asserted at the top of the file
    }
    for (int b = 0; i < out.size(); ++i, ++b) {
        out[i] = static_cast<std::uint8_t>(GeneratedWord(seed, word) >> (8 * b));
    }
}

std::unique_ptr<DataReader> DataReader::Open(const FileData& data) {
    struct Visitor {
        std::unique_ptr<DataReader> operator()(const std::vector<std::uint8_t>& b) const {
            return std::make_unique<MemoryReader>(b);
        }
        std::unique_ptr<DataReader> operator()(const GeneratedData& g) const {
            return std::make_unique<GeneratedReader>(g);
        }
        std::unique_ptr<DataReader> operator()(const DiskFileData& f) const {
            return std::make_unique<DiskReader>(f);
        }
    };
    return std::visit(Visitor{}, data);
}

}  // namespace ostrum::mtfwriter
