// SPDX-License-Identifier: GPL-3.0-or-later
#include "json_writer.h"

#include <gtest/gtest.h>

namespace ostrum::cli {
namespace {

TEST(JsonString, EscapesWhatJsonRequiresAndKeepsUtf8) {
    EXPECT_EQ(JsonString("TAPE MEDIA\\A \"B\""), "\"TAPE MEDIA\\\\A \\\"B\\\"\"");
    EXPECT_EQ(JsonString(std::string("a\0b\n\x7f", 5)), "\"a\\u0000b\\u000a\\u007f\"");
    EXPECT_EQ(JsonString("\u00e9\u6587\U0001F600"), "\"\u00e9\u6587\U0001F600\"");
}

TEST(JsonString, ReplacesBytesThatAreNotUtf8) {
    EXPECT_EQ(JsonString("a\xff"
                         "b"),
              "\"a\xEF\xBF\xBD"
              "b\"");
    EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");  // a lone surrogate
    EXPECT_EQ(JsonString("\xe6\x96"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");                  // cut short
    EXPECT_EQ(JsonNumber(std::nullopt), "null");
    EXPECT_EQ(JsonNumber(18446744073709551615ull), "18446744073709551615");
}

// Plain bytes are found eight at a time: a byte that needs escaping (or is UTF-8 beyond ASCII, or no UTF-8)
// is written rightly at any place, inside a group of eight or in the bytes after the last.
TEST(JsonString, EscapesABytePlacedAnywhereInALongText) {
    const std::pair<std::string, std::string> kinds[] = {
        {"\"", "\\\""},      {"\\", "\\\\"},       {"\x01", "\\u0001"},      {"\x1f", "\\u001f"},
        {"\x7f", "\\u007f"}, {"\u00e9", "\u00e9"}, {"\xff", "\xEF\xBF\xBD"}, {" ", " "}};
    for (const auto& [raw, escaped] : kinds) {
        for (std::size_t at = 0; at < 20; ++at) {
            const std::string before(at, 'a'), after(19 - at, 'b');
            EXPECT_EQ(JsonString(before + raw + after), "\"" + before + escaped + after + "\"") << at;
        }
    }
}

}  // namespace
}  // namespace ostrum::cli
