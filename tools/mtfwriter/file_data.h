// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a FileData sequentially, whatever its kind. Used by the writer; not part of the public API.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "mtf_writer.h"

namespace ostrum::mtfwriter {

class DataReader {
  public:
    virtual ~DataReader() = default;
    // Fills `out` completely unless the data ends first; returns the number of bytes delivered (0 at the
    // end).
    virtual std::size_t Read(std::span<std::uint8_t> out) = 0;

    // A reader at the start of `data`. Disk files are opened here (MediaError when that fails).
    static std::unique_ptr<DataReader> Open(const FileData& data);
};

}  // namespace ostrum::mtfwriter
