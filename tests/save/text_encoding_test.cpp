// SPDX-License-Identifier: GPL-3.0-or-later
// What a preview shows as text, and in which encoding, and what as hex.

#include "save/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace ostrum::save {
namespace {

DetectedText Detect(std::string_view bytes, bool cut = false) {
    return DetectText(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), cut);
}

TEST(TextEncoding, EachRuleDecidesAsWritten) {
    using enum TextEncoding;
    struct Case {
        std::string bytes;
        bool cut;
        TextEncoding encoding;
        std::size_t mark;
    };
    const Case cases[] = {
        {"", false, Utf8, 0},
        {"plain ASCII,\ttabs\r\nand lines\n", false, Utf8, 0},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", false, Utf8, 0},
        {"\xef\xbb\xbfmarked", false, Utf8, 3},
        {"caf\xc3", true, Utf8, 0},          // the end cut the last character
        {"caf\xc3", false, Windows1252, 0},  // a file ending so is no UTF-8
        {"caf\xe9 cr\xe8me \x80", false, Windows1252, 0},
        {"\xc0\xaf overlong", false, Windows1252, 0},
        {"\xed\xa0\x80 surrogate", false, Windows1252, 0},
        {"\x81 undefined in 1252", false, Binary, 0},
        {"bell\x07", false, Binary, 0},
        {std::string("nul\0", 4), false, Binary, 0},
        {"\xff\xfe"
         "a\0b\0",
         false, Utf16Le, 2},
        {"\xfe\xff"
         "\0a\0b",
         false, Utf16Be, 2},
        {std::string("t\0e\0x\0t\0\r\0\n\0", 12), false, Utf16Le, 0},
        {std::string("t\0e\0x\0t", 7), true, Utf16Le, 0},
        {std::string("t\0e\0x\0t", 7), false, Binary, 0},    // an odd count of bytes ends no UTF-16
        {std::string("t\0\0\0x\0", 6), false, Binary, 0},    // a NUL character
        {std::string("\x01\0\x02\0", 4), false, Binary, 0},  // small numbers, no text
    };
    for (const Case& c : cases) {
        const DetectedText detected = Detect(c.bytes, c.cut);
        EXPECT_EQ(detected.encoding, c.encoding) << "'" << c.bytes << "'";
        EXPECT_EQ(detected.markSize, c.mark) << "'" << c.bytes << "'";
    }
    EXPECT_EQ(EncodingName(Utf16Le), "UTF-16LE");
    EXPECT_EQ(EncodingName(Binary), "");
}

}  // namespace
}  // namespace ostrum::save
