// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the decoder of software-compressed streams (FH frames of LZS or stored data). The first byte
// chooses how the stream arrives: its low six bits the size of the pieces (1 to 64 bytes, as a tape
// delivers them in whatever pieces), its top bit an output that refuses bytes after the first frame.
// The rest is the stream.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "decode/compressed_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using ostrum::decode::CompressedStreamDecoder;
    using Status = CompressedStreamDecoder::Status;
    if (size < 1) return 0;
    const std::size_t piece = (data[0] & 0x3F) + 1;
    const bool refuse = (data[0] & 0x80) != 0;
    const std::span<const std::uint8_t> stream(data + 1, size - 1);

    CompressedStreamDecoder decoder;
    std::uint64_t offered = 0;
    int deliveries = 0;
    bool damaged = false;
    const CompressedStreamDecoder::Output output = [&](std::span<const std::uint8_t> bytes) {
        if (damaged) __builtin_trap();  // nothing may arrive after damage was found
        if (bytes.size() > ostrum::decode::kMaxFrameBytes) __builtin_trap();
        offered += bytes.size();
        return !(refuse && deliveries++ > 0);
    };
    Status status = Status::Ok;
    for (std::size_t at = 0; at < stream.size() && status == Status::Ok; at += piece) {
        status = decoder.Take(stream.subspan(at, std::min(piece, stream.size() - at)), output);
    }
    if (status == Status::Ok) status = decoder.Finish();
    if (status == Status::Damaged) {
        if (decoder.error().empty()) __builtin_trap();
        damaged = true;
        if (decoder.Take(stream, output) != Status::Damaged || decoder.Finish() != Status::Damaged)
            __builtin_trap();
    }
    // Every frame decoded was offered whole to the output.
    if (decoder.decoded() != offered) __builtin_trap();
    return 0;
}
