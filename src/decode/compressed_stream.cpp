#include "decode/compressed_stream.h"

#include <algorithm>
#include <cstring>

#include "catalog/byte_reader.h"
#include "decode/lzs_decoder.h"

namespace ostrum::decode {

using catalog::ByteSpan;
using catalog::ReadLE16;
using catalog::ReadLE32;
using catalog::ReadLE64;

CompressedStreamDecoder::CompressedStreamDecoder() : decoded_buffer_(kMaxFrameBytes) {}

CompressedStreamDecoder::Status CompressedStreamDecoder::Fail(const std::string& what) {
    failed_ = true;
    error_ = "compressed frame " + std::to_string(frameIndex_ + 1) + " (at stream byte " +
             std::to_string(frameStart_) + "): " + what;
    return Status::Damaged;
}

std::size_t CompressedStreamDecoder::TakeHeader(ByteSpan bytes) {
    if (headerHave_ == 0) frameStart_ = streamOffset_;
    const std::size_t count = std::min(bytes.size(), frame_hdr::kSize - headerHave_);
    std::memcpy(header_.data() + headerHave_, bytes.data(), count);
    headerHave_ += count;
    streamOffset_ += count;
    return count;
}

bool CompressedStreamDecoder::CheckHeader() {
    const ByteSpan header(header_);
    const std::uint16_t id = *ReadLE16(header, frame_hdr::kHeaderId);
    if (id == frame_hdr::kEncryptedFrameId) return Fail("an encrypted frame, which cannot be decoded"), false;
    if (id != frame_hdr::kCompressedFrameId) return Fail("no \"FH\" frame header"), false;
    std::uint16_t sum = 0;
    for (std::size_t word = 0; word < frame_hdr::kChecksum; word += 2) sum ^= *ReadLE16(header, word);
    if (sum != *ReadLE16(header, frame_hdr::kChecksum))
        return Fail("the header checksum does not match"), false;

    FrameHeader frame{*ReadLE64(header, frame_hdr::kRemainingUncompressedSize),
                      *ReadLE32(header, frame_hdr::kUncompressedSize),
                      *ReadLE32(header, frame_hdr::kCompressedSize)};
    if (frame.uncompressed > kMaxFrameBytes) {
        return Fail("it states " + std::to_string(frame.uncompressed) +
                    " uncompressed bytes, more than a frame holds"),
               false;
    }
    if (frame.compressed > frame.uncompressed) {
        return Fail("its compressed size " + std::to_string(frame.compressed) +
                    " exceeds its uncompressed size " + std::to_string(frame.uncompressed)),
               false;
    }
    // Each frame states what remains from itself to the end; a missing or repeated frame breaks the chain.
    if (remaining_ && frame.remaining != *remaining_) {
        return Fail("it says " + std::to_string(frame.remaining) + " bytes remain where " +
                    std::to_string(*remaining_) + " were due"),
               false;
    }
    if (frame.uncompressed > frame.remaining)
        return Fail("it holds more than the bytes it says remain"), false;
    frame_ = frame;
    if (frameIndex_ == 0) announced_ = frame.remaining;
    return true;
}

CompressedStreamDecoder::Status CompressedStreamDecoder::DecodeFrame(ByteSpan payload, const Output& output) {
    const FrameHeader frame = *frame_;
    const auto out = std::span(decoded_buffer_).first(frame.uncompressed);
    if (frame.compressed == frame.uncompressed) {
        if (!payload.empty()) std::memcpy(out.data(), payload.data(), payload.size());
    } else if (auto result = LzsDecode(payload, out); !result.ok) {
        return Fail(result.error);
    }
    remaining_ = frame.remaining - frame.uncompressed;
    decoded_ += frame.uncompressed;
    ++frameIndex_;
    frame_.reset();
    headerHave_ = 0;
    payload_.clear();
    return output(out) ? Status::Ok : Status::OutputFailed;
}

CompressedStreamDecoder::Status CompressedStreamDecoder::Take(ByteSpan bytes, const Output& output) {
    if (failed_) return Status::Damaged;
    while (!bytes.empty()) {
        if (!frame_) {
            bytes = bytes.subspan(TakeHeader(bytes));
            if (headerHave_ < frame_hdr::kSize) break;
            if (!CheckHeader()) return Status::Damaged;
        }
        const std::size_t need = frame_->compressed - payload_.size();
        const std::size_t count = std::min(need, bytes.size());
        streamOffset_ += count;
        Status status;
        if (payload_.empty() && count == need) {
            status = DecodeFrame(bytes.first(count), output);  // the whole payload arrived at once
        } else {
            payload_.insert(payload_.end(), bytes.begin(),
                            bytes.begin() + static_cast<std::ptrdiff_t>(count));
            status = payload_.size() == frame_->compressed ? DecodeFrame(payload_, output) : Status::Ok;
        }
        if (status != Status::Ok) return status;
        bytes = bytes.subspan(count);
    }
    // A header whose payload is empty is complete as soon as the header is.
    if (frame_ && frame_->compressed == 0) return DecodeFrame({}, output);
    return Status::Ok;
}

CompressedStreamDecoder::Status CompressedStreamDecoder::DecodeCutFrame(const Output& output) {
    if (failed_ || !frame_ || payload_.empty()) return Status::Ok;
    const auto out = std::span(decoded_buffer_).first(frame_->uncompressed);
    std::size_t produced = payload_.size();
    if (frame_->compressed == frame_->uncompressed) {
        std::memcpy(out.data(), payload_.data(), payload_.size());
    } else {
        produced = LzsDecode(payload_, out).produced;
    }
    decoded_ += produced;
    const bool taken = output(out.first(produced));
    frame_.reset();
    payload_.clear();
    return taken ? Status::Ok : Status::OutputFailed;
}

CompressedStreamDecoder::Status CompressedStreamDecoder::Finish() {
    if (failed_) return Status::Damaged;
    if (headerHave_ > 0 && !frame_) return Fail("the stream ends inside the frame header");
    if (frame_) return Fail("the stream ends inside the frame's data");
    if (remaining_ && *remaining_ != 0) {
        return Fail("the stream ends with " + std::to_string(*remaining_) + " uncompressed bytes still due");
    }
    return Status::Ok;
}

}  // namespace ostrum::decode
