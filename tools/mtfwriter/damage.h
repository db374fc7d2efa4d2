// Damaging written media on purpose, for tests of carving readers: cut the beginning away, zero a range,
// shift everything off its 512-byte alignment, or cut the end away.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace ostrum::mtfwriter {

struct Damage {
    enum class Kind { CutFront, ZeroRange, ShiftFront, Truncate };
    Kind kind = Kind::CutFront;
    std::uint64_t offset = 0;  // CutFront/ShiftFront/Truncate: the byte count; ZeroRange: the first byte
    std::uint64_t length = 0;  // ZeroRange: how many bytes

    static Damage cutFront(std::uint64_t n) { return {Kind::CutFront, n, 0}; }
    static Damage zeroRange(std::uint64_t offset, std::uint64_t length) {
        return {Kind::ZeroRange, offset, length};
    }
    static Damage shiftFront(std::uint64_t n) { return {Kind::ShiftFront, n, 0}; }
    static Damage truncateTo(std::uint64_t n) { return {Kind::Truncate, n, 0}; }
};

// Cutting or truncating beyond the end leaves nothing / everything; a zero range is clipped to the image.
// Shifting inserts `n` zero bytes at the front.
void applyDamage(std::vector<std::uint8_t>& image, const Damage& damage);

// The same on files, streamed (images of many GiB): writes the damaged copy of `in` to `out`, which may be
// the same path (the copy is made beside it and renamed over it). Throws std::runtime_error on I/O errors.
void damageFile(const std::filesystem::path& in, const std::filesystem::path& out, const Damage& damage);

}  // namespace ostrum::mtfwriter
