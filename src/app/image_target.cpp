// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/image_target.h"

#include <sys/vfs.h>

#include <cerrno>
#include <filesystem>

namespace ostrum::app {
namespace {

// The statfs magic number of msdos and vfat mounts.
constexpr std::int64_t kMsdosSuperMagic = 0x4d44;

}  // namespace

std::string withImageExtension(const std::string& path) {
    return path.find(".img") == std::string::npos ? path + ".img" : path;
}

std::optional<std::int64_t> fileSystemTypeOf(const std::string& path) {
    // The image may not exist yet: its folder decides.
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    struct statfs info {};
    int result;
    do {
        result = ::statfs(folder.c_str(), &info);
    } while (result != 0 && errno == EINTR);
    if (result != 0) return std::nullopt;
    return static_cast<std::int64_t>(info.f_type);
}

bool isFatFileSystem(std::int64_t type) {
    return type == kMsdosSuperMagic;
}

bool needsLargeImageWarning(std::optional<std::int64_t> type, std::int64_t capacity) {
    return type && isFatFileSystem(*type) && capacity > kFatFileLimit;
}

}  // namespace ostrum::app
