// SPDX-License-Identifier: GPL-3.0-or-later
// Device names: the twenty names the program forms, and what it accepts back.

#include "tape/tape_device.h"

#include <gtest/gtest.h>

namespace ostrum::tape {
namespace {

TEST(TapeDeviceNameTest, FormsAndParsesExactlyTheTwentyNames) {
    EXPECT_EQ(TapeDeviceName(0), "//./tape0");
    EXPECT_EQ(TapeDeviceName(19), "//./tape19");
    for (int number = kFirstTapeDevice; number <= kLastTapeDevice; ++number) {
        EXPECT_EQ(ParseTapeDeviceName(TapeDeviceName(number)), number);
    }
    for (const char* wrong : {"//./tape20", "//./tape07", "//./tape", "//./tape-1", "//./tape+1",
                              "//./tape1 ", "\\\\.\\tape0", "//./TAPE0", "/dev/nst0", "//./tape100"}) {
        EXPECT_FALSE(ParseTapeDeviceName(wrong)) << wrong;
    }
}

}  // namespace
}  // namespace ostrum::tape
