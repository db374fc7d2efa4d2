// SPDX-License-Identifier: GPL-3.0-or-later
// Saving from a tape: one pass over the tape from its start for the whole selection, reading it exactly
// as the tape scan did, so that each file is met at the pass of its ChunkIndex and found from there by
// its DataOffset. The tape is never positioned except by the rewind of its preparation.
//
// Positions are counted in delivered bytes: the bytes of the reads of the loop back to back (marks and
// failed reads deliver none). A file is placed by its read and by where its data begin in that read
// (dataOffsetInChunk), never by the delivered total: a block that failed on one pass and read on the other
// changes every later total, but not which read a file lies in nor where in it. Items without that offset
// fall back on DataOffset = (delivered total after the read that met the FILE block) + (the header's
// offset from that read's first byte) + 22, which holds only when both passes read the same blocks.

#include <algorithm>
#include <list>
#include <map>
#include <vector>

#include "save/media_pieces.h"
#include "save/save_run.h"
#include "save/save_writers.h"
#include "save/tape_positions.h"
#include "tape/tape_operations.h"
#include "tape/tape_pass_reader.h"

namespace ostrum::save {
namespace {

namespace stream_hdr = catalog::mtf::stream_hdr;

// Files of up to this many bytes stored as they are on the tape are gathered in memory as the reads bring
// them and handed to a writer whole, while the tape is read on.
constexpr std::uint64_t kGatheredFile = 256u << 10;

// A file being read: its stream header begins at delivered byte `start`; `next` is the one it wants next.
// It takes the bytes of its pieces, in order: one from its header on, or, when the end of the tape cut it or
// its beginning lies on another medium, the pieces the scan found. A small file's data, and what follows
// them up to a CSUM stream's value, are gathered in `gathered` until `toGather` is 0; the data are then
// handed over, or taken here when a CSUM follows.
struct ActiveFile {
    ActiveFile(FileExtraction taken, std::uint64_t at, std::vector<TapePiece> stretches)
        : file(std::move(taken)), start(at), next(at), pieces(std::move(stretches)) {}

    FileExtraction file;
    std::uint64_t start;
    std::uint64_t next;
    bool gathering = false;
    bool handedOver = false;
    std::uint64_t length = 0;  // of the data gathered
    std::uint64_t toGather = 0;
    std::vector<std::uint8_t> gathered;
    std::vector<TapePiece> pieces;
    std::size_t piece = 0;
};

class TapeSave {
  public:
    explicit TapeSave(SaveRun& run) : run_(run), handedOver_(run) {}

    void Run();

  private:
    void PlanItems();
    void StartFilesOf(const tape::TapePass& pass);
    void Feed(const tape::TapePass& pass);
    void EndActive(const std::string& why, bool all);
    void AbandonActive(SaveOutcome outcome, const std::string& why);
    void ReportProgress();
    bool Finished() const { return waiting_.empty() && active_.empty(); }
    void Take(ActiveFile& active, catalog::ByteSpan bytes);
    // Ends an active file: hands over what it gathered, then finishes it after the files handed over.
    void FinishActive(ActiveFile& active);

    SaveRun& run_;
    HandedOverFiles handedOver_;
    std::map<std::uint64_t, std::vector<std::size_t>> waiting_;  // ChunkIndex -> items, by DataOffset
    std::list<ActiveFile> active_;                               // in the order their headers lie on the tape
    std::string lastReadError_;
};

// Files without a position cannot be found on the tape; the others wait for the pass of their ChunkIndex.
void TapeSave::PlanItems() {
    const auto& items = run_.items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto why = NotOnTapeReason(items[i]);
        if (!why) {
            waiting_[*items[i].chunkIndex].push_back(i);
            continue;
        }
        FileExtraction file = run_.Start(i);
        file.NotFound(*why);
        run_.Finish(file);
    }
    for (auto& [chunk, list] : waiting_) {
        std::stable_sort(list.begin(), list.end(), [&](std::size_t a, std::size_t b) {
            return *items[a].dataOffset < *items[b].dataOffset;
        });
    }
}

void TapeSave::StartFilesOf(const tape::TapePass& pass) {
    const auto found = waiting_.find(pass.chunkIndex);
    if (found == waiting_.end()) return;
    for (std::size_t index : found->second) {
        FileExtraction file = run_.Start(index);
        if (handedOver_.Waits(file.destinationText())) handedOver_.TakeBackAll();
        std::string why;
        const auto headerAt = HeaderOnTape(run_.items()[index], pass, why);
        if (!headerAt) {
            file.NotFound(why);
            handedOver_.TakeBackAll();
            run_.Finish(file);
            continue;
        }
        std::vector<TapePiece> pieces = PiecesOnTape(run_.items()[index], *headerAt);
        const std::uint64_t first = pieces.front().start;
        active_.emplace_back(std::move(file), first, std::move(pieces));
    }
    waiting_.erase(found);
}

// Hands every file the bytes of this pass that it wants.
void TapeSave::Feed(const tape::TapePass& pass) {
    const std::uint64_t passStart = pass.deliveredTotal - pass.bytes.size();
    for (auto& active : active_) {
        if (run_.destinationFull()) break;  // nothing more is written
        // A file takes its header first, then its data: it may take several pieces of one pass. Every
        // file has taken all it wanted of the passes before, so `next` is never before this pass.
        while (!active.handedOver && !active.file.done() && active.next < pass.deliveredTotal) {
            if (active.next == active.pieces[active.piece].end) {
                if (++active.piece == active.pieces.size()) {
                    active.file.SourceEnded(MissingRestText(active.file.item()));
                    break;
                }
                active.next = active.pieces[active.piece].start;
                continue;
            }
            const auto from = static_cast<std::size_t>(active.next - passStart);
            const std::uint64_t wanted = active.gathering ? active.toGather : active.file.wanted();
            const auto count =
                static_cast<std::size_t>(std::min({std::uint64_t{pass.bytes.size() - from}, wanted,
                                                   active.pieces[active.piece].end - active.next}));
            Take(active, pass.bytes.subspan(from, count));
            active.next += count;
        }
    }
    std::erase_if(active_, [this](ActiveFile& active) {
        if (active.handedOver) return true;
        if (!active.file.done()) return false;
        FinishActive(active);
        return true;
    });
}

void TapeSave::Take(ActiveFile& active, catalog::ByteSpan bytes) {
    if (!active.gathering) {
        const bool header = !active.file.takingData();
        active.file.Take(bytes);
        // Once the header is in, a small file stored as it is gathers its data; any other file writes
        // them itself, after the files handed over before it.
        // A file whose data lie in pieces (the end of a tape cut them) takes them itself: its last piece
        // may end before its data do, and what it took must then be kept.
        if (active.file.PlainData() && active.file.wanted() <= kGatheredFile &&
            active.file.item().parts.empty()) {
            active.gathering = true;
            active.length = active.file.wanted();
            active.toGather = active.length + active.file.readAhead();
            active.gathered.reserve(static_cast<std::size_t>(active.toGather));
        } else if (header && active.file.takingData()) {
            handedOver_.TakeBackAll();
        }
    } else {
        active.gathered.insert(active.gathered.end(), bytes.begin(), bytes.end());
        active.toGather -= bytes.size();
    }
    if (!active.gathering || active.toGather > 0) return;
    const auto next = static_cast<std::size_t>(NextStreamHeaderDistance(active.length) - stream_hdr::kSize);
    if (IsChecksumStreamHeader(std::span(active.gathered).subspan(next, stream_hdr::kSize))) {
        // The data are taken here, where they are summed, after the files handed over before them.
        handedOver_.TakeBackAll();
        active.gathering = false;
        active.file.Take(active.gathered);
        return;
    }
    handedOver_.HandOver(std::move(active.file), std::move(active.gathered), 0);
    active.handedOver = true;
}

void TapeSave::FinishActive(ActiveFile& active) {
    handedOver_.TakeBackAll();
    run_.Finish(active.file);
}

void TapeSave::AbandonActive(SaveOutcome outcome, const std::string& why) {
    handedOver_.TakeBackAll();
    for (auto& active : active_) {
        if (active.handedOver) continue;
        active.file.Abandon(outcome, why);
        run_.Finish(active.file);
    }
    active_.clear();
}

void TapeSave::ReportProgress() {
    std::uint64_t taken = 0;
    for (const auto& active : active_) {
        if (!active.handedOver) taken += active.gathering ? active.gathered.size() : active.file.dataTaken();
    }
    run_.ReportProgress(taken);
}

// Ends the files that have begun to take bytes: what `why` says cut them. With `all`, the files that
// wait for later bytes end too.
void TapeSave::EndActive(const std::string& why, bool all) {
    std::erase_if(active_, [&](ActiveFile& active) {
        if (active.handedOver) return true;
        if (!all && active.next == active.start) return false;
        // What a small file gathered is written, so that the part recovered is kept.
        if (active.gathering) active.file.Take(active.gathered);
        active.file.SourceEnded(why);
        FinishActive(active);
        return true;
    });
}

void TapeSave::Run() {
    const SaveRequest& request = run_.request();
    if (auto problem = TapeSourceProblem(request)) return run_.SourceFailed(*problem);
    PlanItems();
    if (Finished()) return;

    run_.sink().StatusLine("Rewinding tape...");
    tape::PreparedTape prepared;
    if (tape::TapeResult result =
            tape::PrepareTapeForReading(*request.tapeDevices, request.sourcePath, prepared);
        !result) {
        return run_.SourceFailed(result.error());
    }
    // The cancel flag is the reader's stop request, tested before every read.
    tape::TapePassReader reader(*prepared.drive, run_.cancelFlag());
    run_.sink().StatusLine("Reading tape...");
    std::uint64_t passes = 0;
    while (!Finished() && !run_.destinationFull()) {
        auto pass = reader.Next();
        if (!pass) break;
        ++passes;
        if (pass->read.end == tape::ReadEnd::Error) {
            lastReadError_ = pass->read.error;
            // The failed block's bytes are missing from the files it cut; the files that begin further
            // on are placed by their own reads.
            EndActive(
                "read " + std::to_string(pass->chunkIndex) + " of the tape failed (" + pass->read.error + ")",
                false);
        }
        StartFilesOf(*pass);
        Feed(*pass);
        ReportProgress();
    }
    if (run_.cancelRequested()) {
        AbandonActive(SaveOutcome::Cancelled, "cancelled");
        return run_.EndTheRest(SaveOutcome::Cancelled, "not reached: the save was cancelled");
    }
    if (run_.destinationFull()) {
        AbandonActive(SaveOutcome::NotAttempted, "destination full");
        handedOver_.TakeBackAll();
        return run_.StopAtFullDestination();
    }
    handedOver_.TakeBackAll();
    if (Finished()) return;
    const std::string why = TapeEndText(reader.end(), passes, lastReadError_);
    EndActive(why, true);
    run_.EndTheRest(SaveOutcome::Failed, "not found: " + why + ", before the read where it was catalogued");
}

}  // namespace

void SaveFromTape(SaveRun& run) {
    TapeSave(run).Run();
}

}  // namespace ostrum::save
