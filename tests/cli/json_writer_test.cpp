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

}  // namespace
}  // namespace ostrum::cli
