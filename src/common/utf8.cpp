// SPDX-License-Identifier: GPL-3.0-or-later
#include "utf8.h"

namespace ostrum::common {

void AppendUtf8(std::string& out, char32_t cp) {
    char bytes[kMostUtf8Bytes];
    out.append(bytes, EncodeUtf8(cp, bytes));
}

}  // namespace ostrum::common
