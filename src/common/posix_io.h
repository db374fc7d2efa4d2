// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The few system calls the core makes on files, each retried when a signal interrupts it and, for reads
// and writes, looped until the whole request is done. A failure keeps the errno it left, so that callers
// can say why in their own words.

#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "common/unique_fd.h"

namespace ostrum::common {

// How a read or write ended: the bytes moved, and the errno of the call that failed (0 when none did).
// A read that moved fewer bytes than asked without an error met the end of the file.
struct IoResult {
    std::size_t count = 0;
    int error = 0;

    bool failed() const { return error != 0; }
};

// open(2) on `path`: the descriptor, or an empty holder with `error` set to errno.
UniqueFd OpenFile(const std::string& path, int flags, int& error, mode_t mode = 0);

// Reads [position, position + out.size()) of the file, stopping early at its end or at an error.
IoResult ReadAt(int fd, std::uint64_t position, std::span<std::uint8_t> out);

// Reads the file from `position` into the parts in order, as one scattered read; `parts` is used up as
// the bytes arrive.
IoResult ReadVectorAt(int fd, std::uint64_t position, std::span<iovec> parts);

// Writes all of `bytes` at the descriptor's offset. A write that moves nothing counts as ENOSPC.
IoResult WriteAll(int fd, std::span<const std::uint8_t> bytes);

}  // namespace ostrum::common
