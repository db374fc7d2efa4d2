// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rebuilding a sparse file from the medium's bytes after its STAN header (a stream flagged sparse): the
// STAN's own bytes, if any, are the file's first run; each SPAR stream after it holds one more run, which
// is placed at its offset in the file. The runs end at the first stream that is no SPAR. Holes are never
// written, so a saved file is sparse on disk too once it is given its full size; a preview places the
// runs in memory.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "catalog/mtf_layout.h"
#include "catalog/sparse_stream.h"

namespace ostrum::save {

class SparseRebuild {
  public:
    enum class Status : std::uint8_t { More, Done, Damaged, OutputFailed };

    // Receives run bytes and the offset in the file where they go; returns false when they could not be
    // stored.
    using RunOutput = std::function<bool(std::uint64_t offset, std::span<const std::uint8_t> bytes)>;

    // `stanLength` is the Stream Length of the sparse STAN stream.
    explicit SparseRebuild(std::uint64_t stanLength);

    // Medium bytes wanted next (a run's bytes, alignment, a stream header, a frame); 0 once done.
    std::uint64_t wanted() const;
    // Takes the next medium bytes and hands the runs' bytes to `output` with their places. Damaged (with
    // error()) at a SPAR stream that cannot be believed; OutputFailed when the output refused bytes (the
    // output knows why). Nothing is taken after Done or a failure.
    Status Take(std::span<const std::uint8_t> bytes, const RunOutput& output);
    // While a run's bytes are wanted: the offset in the file of the next one.
    std::optional<std::uint64_t> runPlace() const;
    // The next `count` bytes of the run (at most wanted()) are passed over on the medium, not read: their
    // place in the file is not wanted.
    void PassRun(std::uint64_t count);

    // The end of the furthest run taken so far: the file is at least this long.
    std::uint64_t end() const { return end_; }
    // Bytes of runs taken so far.
    std::uint64_t dataTaken() const { return dataTaken_; }
    const std::string& error() const { return error_; }

  private:
    enum class Stage : std::uint8_t { Run, Pad, Header, Frame, Done, Failed };

    Status TakeRun(std::span<const std::uint8_t>& bytes, const RunOutput& output);
    Status HeaderTaken();
    Status FrameTaken(const RunOutput& output);
    void EndRun();
    void StartHeader();
    Status Fail(const std::string& why);

    Stage stage_ = Stage::Run;
    std::uint64_t consumed_ = catalog::mtf::stream_hdr::kSize;  // from the STAN header's first byte
    std::uint64_t runOffset_ = 0;                               // where the current run starts in the file
    std::uint64_t runLength_ = 0;
    std::uint64_t runDone_ = 0;
    std::uint64_t padLeft_ = 0;
    std::array<std::uint8_t, catalog::mtf::stream_hdr::kSize + catalog::mtf::sparse_frame::kSize> gathered_{};
    std::size_t gatheredHave_ = 0;
    std::size_t gatherWanted_ = 0;
    std::uint64_t streamLength_ = 0;  // of the SPAR stream being read
    std::uint64_t end_ = 0;
    std::uint64_t dataTaken_ = 0;
    std::string error_;
};

}  // namespace ostrum::save
