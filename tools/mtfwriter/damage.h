// SPDX-License-Identifier: GPL-3.0-or-later
// Damaging written media on purpose, for tests of carving readers: cut the beginning away, zero a range,
// shift everything off its 512-byte alignment, insert junk bytes inside, or cut the end away.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace ostrum::mtfwriter {

struct Damage {
    enum class Kind { CutFront, ZeroRange, ShiftFront, Truncate, InsertJunk };
    Kind kind = Kind::CutFront;
    // CutFront/ShiftFront/Truncate: the byte count; ZeroRange: the first byte; InsertJunk: where the junk
    // goes (the byte before which it is put)
    std::uint64_t offset = 0;
    std::uint64_t length = 0;  // ZeroRange, InsertJunk: how many bytes

    static Damage CutFront(std::uint64_t n) { return {Kind::CutFront, n, 0}; }
    static Damage ZeroRange(std::uint64_t offset, std::uint64_t length) {
        return {Kind::ZeroRange, offset, length};
    }
    static Damage ShiftFront(std::uint64_t n) { return {Kind::ShiftFront, n, 0}; }
    static Damage TruncateTo(std::uint64_t n) { return {Kind::Truncate, n, 0}; }
    static Damage InsertJunk(std::uint64_t offset, std::uint64_t length) {
        return {Kind::InsertJunk, offset, length};
    }
};

// Cutting or truncating beyond the end leaves nothing / everything; a zero range is clipped to the image.
// Shifting inserts `n` zero bytes at the front. Junk is `length` bytes of 0xA5 put before byte `offset`
// (at the end when the image is shorter), moving everything after them off its alignment.
void ApplyDamage(std::vector<std::uint8_t>& image, const Damage& damage);

// The same on files, streamed (images of many GiB): writes the damaged copy of `in` to `out`, which may be
// the same path (the copy is made beside it and renamed over it). Throws std::runtime_error on I/O errors.
void DamageFile(const std::filesystem::path& in, const std::filesystem::path& out, const Damage& damage);

}  // namespace ostrum::mtfwriter
