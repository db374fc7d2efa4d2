// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/compressed_stream.h"

#include <algorithm>
#include <cstring>

#include "catalog/byte_reader.h"
#include "decode/lzs_decoder.h"

namespace ostrum::decode {

using catalog::ByteSpan;

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
    std::string why;
    const auto frame = catalog::ReadFrameHeader(header_, remaining_, &why);
    if (!frame) return Fail(why), false;
    frame_ = *frame;
    if (frameIndex_ == 0) announced_ = frame->remaining;
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
