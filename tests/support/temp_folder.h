// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A fresh folder of its own under the system's temporary folder for one test, removed with everything in it
// when the test ends. Each is made by mkdtemp, so tests running side by side never share one.

#include <filesystem>
#include <string>

namespace ostrum::test_support {

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& root() const { return root_; }
    const std::filesystem::path& path() const { return root_; }
    std::filesystem::path path(const std::string& name) const { return root_ / name; }
    std::filesystem::path operator/(const std::string& name) const { return root_ / name; }

  private:
    std::filesystem::path root_;
};

}  // namespace ostrum::test_support
