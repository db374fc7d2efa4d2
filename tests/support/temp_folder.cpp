// SPDX-License-Identifier: GPL-3.0-or-later
#include "temp_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace ostrum::test_support {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostrum-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "cannot make a temporary folder");
    }
    root_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

}  // namespace ostrum::test_support
