// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stac LZS, the compression of MTF's software-compressed streams (algorithm 0x0ABE): one independent block
// (the history starts empty) decoded into a buffer whose size the frame header states.
//
// The bit stream is read most significant bit first within each byte:
//   literal   0, then 8 bits of the byte
//   match     1, then the offset: 1 + 7 bits (1..127) or 0 + 11 bits (1..2047),
//             then the length: 00=2 01=3 10=4 1100=5 1101=6 1110=7, or 1111 and 4-bit groups, each 1111
//             adding 15 and the first group below 15 ending it (8 + 15*k + last group)
//   end       1 1 0000000 (a short offset of 0), then zero bits to the byte boundary

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ostrum::decode {

struct LzsResult {
    bool ok = false;
    std::size_t produced = 0;  // bytes written to the output, also when the block was refused
    std::string error;         // what was wrong and at which input byte
};

// Decodes one LZS block from `input` into `output`, which must be exactly as long as the block's stated
// uncompressed size. Refuses, without writing past `output`, a block that reaches back before the start
// of the output, produces more or fewer bytes than stated, or ends before its end marker.
LzsResult LzsDecode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output);

}  // namespace ostrum::decode
