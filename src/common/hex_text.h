// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Numbers as the messages show them in hexadecimal: "0x0000BEEF", "0x0ABE".

#include <cstdint>
#include <cstdio>
#include <string>

namespace ostrum::common {

inline std::string Hex16(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

inline std::string Hex32(std::uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace ostrum::common
