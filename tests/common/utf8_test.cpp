// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace ostrum::common {
namespace {

// The length DecodeUtf8 (and DecodeUtf8Strict) give for the whole text, and the code point read.
std::pair<std::size_t, char32_t> Decode(std::string_view text, bool strict = false) {
    char32_t cp = 0;
    const std::size_t length = strict ? DecodeUtf8Strict(text, 0, cp) : DecodeUtf8(text, 0, cp);
    return {length, cp};
}

TEST(Utf8Test, EveryLengthRoundTripsAndMalformedSequencesAreRefused) {
    for (const char32_t cp : {U'A', U'\u00E9', U'\u20AC', U'\U0001F600', U'\U0010FFFF'}) {
        std::string text;
        AppendUtf8(text, cp);
        EXPECT_EQ(Decode(text), std::make_pair(text.size(), cp));
        EXPECT_EQ(Decode(text, true).first, text.size());
        if (text.size() > 1) {
            EXPECT_EQ(Decode(text.substr(0, text.size() - 1)).first, 0u) << "cut short";
        }
    }
    EXPECT_EQ(Decode("\xC0\x80").first, 0u);          // over-long NUL
    EXPECT_EQ(Decode("\xE0\x9F\xBF").first, 0u);      // over-long U+07FF
    EXPECT_EQ(Decode("\xF0\x8F\xBF\xBF").first, 0u);  // over-long U+FFFF
    EXPECT_EQ(Decode("\xF4\x90\x80\x80").first, 0u);  // past U+10FFFF
    EXPECT_EQ(Decode("\xE2\x28\xA1").first, 0u);      // no continuation byte
    EXPECT_EQ(Decode("\x80").first, 0u);
    EXPECT_EQ(Decode("\xF8\x88\x80\x80\x80").first, 0u);
}

TEST(Utf8Test, LoneSurrogatesKeepTheirGeneralisedFormWhichOnlyTheStrictDecoderRefuses) {
    const std::u16string units = {u'a', 0xD83D, 0xDE00, 0xDC00, 0xD800};
    std::string text(units.size() * kMostUtf8Bytes, '\0');
    char* out = text.data();
    const auto unitAt = [&](std::size_t k) { return units[k]; };
    for (std::size_t i = 0; i < units.size();) i += EncodeUtf16Character(unitAt, i, units.size(), out);
    text.resize(static_cast<std::size_t>(out - text.data()));
    EXPECT_EQ(text, "a\xF0\x9F\x98\x80\xED\xB0\x80\xED\xA0\x80");

    EXPECT_EQ(Decode("\xED\xA0\x80"), std::make_pair(std::size_t{3}, char32_t{0xD800}));
    EXPECT_EQ(Decode("\xED\xA0\x80", true).first, 0u);
}

}  // namespace
}  // namespace ostrum::common
