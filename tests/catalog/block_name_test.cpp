// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/block_name.h"

#include <gtest/gtest.h>

#include <cstring>

#include "block_fixture.h"

namespace ostrum::catalog {
namespace {

using testing::PutUnits;

std::string Extract(const std::vector<std::uint8_t>& bytes, std::int64_t first, std::int64_t last,
                    std::size_t limit = 255, std::size_t* units = nullptr) {
    const ChunkView chunk(bytes, 0);
    std::string out;
    const std::size_t copied = ExtractBlockName(chunk, first, last, limit, out);
    if (units) *units = copied;
    return out;
}

std::string NameOf(std::u16string_view units, std::size_t limit = 255) {
    std::vector<std::uint8_t> bytes(2 * units.size() + 16, 0);
    PutUnits(bytes, 0, units);
    return Extract(bytes, 0, static_cast<std::int64_t>(2 * units.size()) - 1, limit);
}

TEST(ExtractBlockName, DirectoryComponentsFileNamesAndRoot) {
    EXPECT_EQ(NameOf(std::u16string(u"DOCS\0LETTERS\0", 13)), "\\DOCS\\LETTERS\\");
    EXPECT_EQ(NameOf(std::u16string(u"\0", 1)), "\\");  // the root: no prefix, one backslash
    EXPECT_EQ(NameOf(u"A.TXT"), "\\A.TXT");
}

TEST(ExtractBlockName, DecodesUtf16InsteadOfDroppingHighBytes) {
    // U+0141 used to become the letter A; U+0100 (low byte 0) used to become a backslash.
    EXPECT_EQ(NameOf(u"\u0141odz.txt"), "\\\u0141odz.txt");
    EXPECT_EQ(NameOf(u"\u0100"), "\\\u0100");
    EXPECT_EQ(NameOf(u"\u041f\u0430\u043f\u043a\u0430"), "\\\u041f\u0430\u043f\u043a\u0430");
    EXPECT_EQ(NameOf(u"\U0001F600.png"), "\\\U0001F600.png");  // a surrogate pair is one character
}

TEST(ExtractBlockName, LimitCountsCodeUnitsAndThePrefix) {
    std::size_t units = 0;
    std::vector<std::uint8_t> bytes(64, 0);
    PutUnits(bytes, 0, u"ABCDEFGH");
    EXPECT_EQ(Extract(bytes, 0, 15, 4, &units), "\\ABC");
    EXPECT_EQ(units, 3u);
    // An odd Size leaves the unpaired last byte out.
    EXPECT_EQ(Extract(bytes, 0, 4, 255, &units), "\\AB");
    EXPECT_EQ(units, 2u);
    // Nothing to copy when last < first.
    EXPECT_EQ(Extract(bytes, 10, 9, 255, &units), "");
    EXPECT_EQ(units, 0u);
}

// Plain ASCII is decoded four units at a time: a NUL or a unit beyond ASCII at any place, inside such a
// group or after the last, still decodes as itself.
TEST(ExtractBlockName, NulAndUnitsBeyondAsciiDecodeWhereverTheyStand) {
    for (std::size_t at = 0; at < 11; ++at) {
        std::u16string units(11, u'a');
        units[at] = u'\u00e9';
        EXPECT_EQ(NameOf(units), "\\" + std::string(at, 'a') + "\u00e9" + std::string(10 - at, 'a')) << at;
        units[at] = u'\0';  // a NUL first unit is the backslash itself: no prefix then
        EXPECT_EQ(NameOf(units),
                  (at == 0 ? "" : "\\" + std::string(at, 'a')) + "\\" + std::string(10 - at, 'a'))
            << at;
    }
}

// The form written in place (where the catalog keeps names) is the text less the prefix; the prefix still
// counts against the limit.
TEST(ExtractBlockName, WrittenInPlaceWithoutThePrefix) {
    std::vector<std::uint8_t> bytes(64, 0);
    PutUnits(bytes, 0, u"ABCDEFGH");
    const ChunkView chunk(bytes, 0);
    char room[kMostBytesPerUnit * 255];
    EXPECT_EQ(std::string_view(room, ExtractBlockName(chunk, 0, 15, 255, room)), "ABCDEFGH");
    EXPECT_EQ(std::string_view(room, ExtractBlockName(chunk, 0, 15, 4, room)), "ABC");
    EXPECT_EQ(std::string_view(room, ExtractBlockName(chunk, 0, 64, 255, room)), "");  // past the end
}

TEST(ExtractBlockName, NameBeyondTheMediumIsEmptyAndNegativeOffsetsAreRefused) {
    std::vector<std::uint8_t> bytes(16, 0);
    PutUnits(bytes, 8, u"ABCD");
    EXPECT_EQ(Extract(bytes, 8, 16), "");  // last offset past the end
    EXPECT_EQ(Extract(bytes, -4, 3), "");
    EXPECT_EQ(Extract(bytes, 8, 15), "\\ABCD");
}

// Serves the bytes after a chunk from a second buffer, as a scanner does from the medium.
class VectorFollowing final : public FollowingBytes {
  public:
    explicit VectorFollowing(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::size_t ReadFollowing(std::uint64_t distance, std::span<std::uint8_t> out) override {
        if (distance >= bytes_.size()) return 0;
        const std::size_t n = std::min<std::size_t>(out.size(), bytes_.size() - distance);
        std::memcpy(out.data(), bytes_.data() + distance, n);
        return n;
    }

  private:
    std::vector<std::uint8_t> bytes_;
};

TEST(ExtractBlockName, NameAcrossTheChunkEndIsReadFromTheFollowingBytes) {
    // "REPORT.DOC" starts 6 bytes before the chunk ends: 3 units inside, 7 after.
    std::vector<std::uint8_t> whole(64, 0);
    PutUnits(whole, 26, u"REPORT.DOC");
    const std::vector<std::uint8_t> chunkBytes(whole.begin(), whole.begin() + 32);
    VectorFollowing following(std::vector<std::uint8_t>(whole.begin() + 32, whole.end()));
    const ChunkView chunk(chunkBytes, 0, std::nullopt, &following);
    std::string out;
    EXPECT_EQ(ExtractBlockName(chunk, 26, 45, 255, out), 10u);
    EXPECT_EQ(out, "\\REPORT.DOC");
}

TEST(IsCatalogNameValid, AcceptsPrintableTextInAnyScript) {
    for (const char* good :
         {"", "A.TXT", "a'b.txt", "\\DOCS\\x/y\\", "\u00e9t\u00e9.doc", "\u6587\u4ef6.txt", "a b"}) {
        EXPECT_TRUE(IsCatalogNameValid(good)) << good;
    }
}

TEST(IsCatalogNameValid, RefusesReservedCharactersControlsSurrogatesAndBrokenUtf8) {
    for (const char* bad : {"a|b", "a*b", "a:b", "a?b", "a<b", "a>b", "a\"b", "a\tb", "a\x7f", "\x01"}) {
        EXPECT_FALSE(IsCatalogNameValid(bad)) << bad;
    }
    EXPECT_FALSE(
        IsCatalogNameValid("a\xed\xa0\x80"
                           "b"));  // a lone surrogate kept from the medium
    EXPECT_FALSE(IsCatalogNameValid("\xff"));
    EXPECT_FALSE(IsCatalogNameValid("\xc3"));      // truncated sequence
    EXPECT_FALSE(IsCatalogNameValid("\xc0\xaf"));  // overlong slash
    EXPECT_FALSE(IsCatalogNameValid(std::string("a\0b", 3)));
}

TEST(ExtractBlockName, LoneSurrogateSurvivesDecodingSoTheCheckRefusesIt) {
    const std::string name = NameOf(u"x\xD800y");
    EXPECT_EQ(name.size(), 1u + 1 + 3 + 1);
    EXPECT_FALSE(IsCatalogNameValid(name));
    // A pair cut by the limit leaves its high half alone.
    EXPECT_FALSE(IsCatalogNameValid(NameOf(u"ab\U0001F600", 4)));
}

TEST(CharacterCount, CountsCodePointsNotBytes) {
    EXPECT_EQ(CharacterCount(""), 0u);
    EXPECT_EQ(CharacterCount("abc"), 3u);
    EXPECT_EQ(CharacterCount("\u041f\u0430"), 2u);
    EXPECT_EQ(CharacterCount("\U0001F600"), 1u);
    EXPECT_EQ(CharacterCount("\xff\xfe"), 2u);
}

}  // namespace
}  // namespace ostrum::catalog
