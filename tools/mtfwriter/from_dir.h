// SPDX-License-Identifier: GPL-3.0-or-later
// Describing a folder on disk as one MTF data set.
#pragma once

#include <filesystem>

#include "mtf_writer.h"

namespace ostrum::mtfwriter {

// The tree under `root` as one data set with the given set information. The root folder becomes the MTF root
// directory (a DIRB whose name is a single NUL); each directory is followed by its regular files, then by its
// subdirectories, all in byte order of their names. Symbolic links and special files are skipped. Files are
// described by path and size and read only when written. Modification times are taken in UTC.
// Throws MediaError when `root` is not a directory or a directory cannot be listed.
DataSet DescribeDirectory(const std::filesystem::path& root, const SetInfo& set);

}  // namespace ostrum::mtfwriter
