// SPDX-License-Identifier: GPL-3.0-or-later
// Damage functions on byte vectors and on files, and what they do to a written image.
#include "damage.h"

#include <gtest/gtest.h>

#include "test_media.h"

namespace ostrum::mtfwriter::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Damaged(Bytes b, const Damage& d) {
    ApplyDamage(b, d);
    return b;
}

TEST(DamageBytes, EachKindIncludingLimits) {
    const Bytes b = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(Damaged(b, Damage::CutFront(2)), (Bytes{3, 4, 5, 6}));
    EXPECT_EQ(Damaged(b, Damage::CutFront(10)), Bytes{});
    EXPECT_EQ(Damaged(b, Damage::ZeroRange(1, 2)), (Bytes{1, 0, 0, 4, 5, 6}));
    EXPECT_EQ(Damaged(b, Damage::ZeroRange(4, 100)), (Bytes{1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(Damaged(b, Damage::ZeroRange(9, 1)), b);
    EXPECT_EQ(Damaged(b, Damage::ZeroRange(2, UINT64_MAX)), (Bytes{1, 2, 0, 0, 0, 0}));
    EXPECT_EQ(Damaged(b, Damage::ShiftFront(3)), (Bytes{0, 0, 0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Damaged(b, Damage::TruncateTo(4)), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(Damaged(b, Damage::TruncateTo(40)), b);
    EXPECT_EQ(Damaged(b, Damage::InsertJunk(2, 3)), (Bytes{1, 2, 0xA5, 0xA5, 0xA5, 3, 4, 5, 6}));
    EXPECT_EQ(Damaged(b, Damage::InsertJunk(99, 1)), (Bytes{1, 2, 3, 4, 5, 6, 0xA5}));
}

TEST(DamageFiles, MatchTheByteVersionAndMayOverwriteTheirInput) {
    TempDir tmp;
    MemorySink sink;
    WriteMedia(MixedMedia(512, true), sink);
    const auto in = tmp / "in.img";
    WriteFile(in, std::string(sink.bytes.begin(), sink.bytes.end()));
    const std::uint64_t size = sink.bytes.size();
    for (const Damage& d :
         {Damage::CutFront(1000), Damage::CutFront(size + 5), Damage::ZeroRange(700, 3000),
          Damage::ZeroRange(size - 10, 1000), Damage::ShiftFront(100), Damage::InsertJunk(size / 2, 7),
          Damage::TruncateTo(4096), Damage::TruncateTo(size * 2)}) {
        SCOPED_TRACE(static_cast<int>(d.kind));
        DamageFile(in, tmp / "out.img", d);
        EXPECT_TRUE(test_support::SameBytes(ReadFile(tmp / "out.img"), Damaged(sink.bytes, d)));
    }
    const auto same = tmp / "same.img";
    WriteFile(same, std::string(sink.bytes.begin(), sink.bytes.end()));
    DamageFile(same, same, Damage::CutFront(512));
    EXPECT_TRUE(test_support::SameBytes(ReadFile(same), Damaged(sink.bytes, Damage::CutFront(512))));

    EXPECT_THROW(DamageFile(tmp / "missing.img", tmp / "x.img", Damage::CutFront(1)), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(tmp / "x.img.damage-tmp"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "x.img"));
    // The missing input fails before the copy exists; a folder in the output's place fails only at the
    // rename, after the copy has been written, and the copy must not be left behind.
    std::filesystem::create_directories(tmp / "folder.img" / "inside");
    EXPECT_THROW(DamageFile(in, tmp / "folder.img", Damage::CutFront(1)), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(tmp / "folder.img.damage-tmp"));
}

TEST(DamageBytes, ShiftingMovesEveryBlockOffItsSlot) {
    MemorySink sink;
    const Manifest m = WriteMedia(MixedMedia(512, false), sink);
    const Bytes shifted = Damaged(sink.bytes, Damage::ShiftFront(100));
    for (std::size_t slot = 0; slot + 4 <= shifted.size(); slot += 512) {
        const std::string tag(shifted.begin() + static_cast<std::ptrdiff_t>(slot),
                              shifted.begin() + static_cast<std::ptrdiff_t>(slot + 4));
        EXPECT_NE(tag, "FILE") << "at " << slot;
        EXPECT_NE(tag, "SSET") << "at " << slot;
    }
    for (const ManifestFile& f : m.files) {
        EXPECT_EQ(Slice(shifted, f.fileBlockOffset + 100, 4), BytesOf("FILE"));
    }
}

}  // namespace
}  // namespace ostrum::mtfwriter::testing
