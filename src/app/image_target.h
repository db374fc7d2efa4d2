// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The image file a tape is copied into: the ".img" rule for the chosen name, and whether the file system
// that will hold it can take a file of the medium's size.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ostrum::app {

// The name the image gets: the chosen path with ".img" appended unless ".img" already occurs in it
// anywhere (the test is case-sensitive, so "x.IMG" becomes "x.IMG.img").
std::string withImageExtension(const std::string& path);

// The largest file a FAT file system holds.
inline constexpr std::int64_t kFatFileLimit = std::int64_t{1} << 32;

// The type of the file system that holds (or will hold) `path`: the statfs magic number of its folder,
// or nothing when it cannot be read.
using FileSystemProbe = std::function<std::optional<std::int64_t>(const std::string& path)>;
std::optional<std::int64_t> fileSystemTypeOf(const std::string& path);

// True for the FAT family (msdos, vfat), whose files end at 4 GiB less one byte.
bool isFatFileSystem(std::int64_t type);

// Whether to warn before copying a medium of `capacity` bytes onto a file system of `type`: only when
// the type is known to be of the FAT family and the capacity is above 4 GiB.
bool needsLargeImageWarning(std::optional<std::int64_t> type, std::int64_t capacity);

}  // namespace ostrum::app
