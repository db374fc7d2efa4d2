// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding a file again on a tape read from its start pass by pass, as the tape scan read it: what a
// file needs to be looked for there, the pass in which its stream header lies, and the stretches of
// delivered bytes (the reads of the loop back to back) that hold its header and data. The tape save and
// the preview of a file on a tape both read a tape this way, and say the same when it fails.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "save/save_files.h"
#include "tape/tape_pass_reader.h"

namespace ostrum::save {

// Why a tape cannot be read for the request at all: no drives to open it, or several media given (files
// are read from one tape at a time). Nothing when it can.
std::optional<std::string> TapeSourceProblem(const SaveRequest& request);

// Why the item cannot be looked for on a tape: the scan found no data stream for it, or gave it no
// ChunkIndex. Nothing when it can.
std::optional<std::string> NotOnTapeReason(const SaveItem& item);

// Where the file's stream header begins, counted from the first byte of the pass that met its FILE block
// (the pass of its ChunkIndex); nothing when its position lies before that pass. These and the pieces
// below are for items that NotOnTapeReason lets through.
std::optional<std::uint64_t> HeaderOffsetInPass(const SaveItem& item, const tape::TapePass& pass);

// The delivered byte at which the file's stream header begins, from the pass of its ChunkIndex; nothing,
// with `why`, when that read failed or the position lies before it.
std::optional<std::uint64_t> HeaderOnTape(const SaveItem& item, const tape::TapePass& pass, std::string& why);

// A stretch of delivered bytes a file takes.
struct TapePiece {
    std::uint64_t start;
    std::uint64_t end;
};

// The pieces of a file whose stream header the reading meets at delivered byte `headerAt`: the scan's
// pieces, moved by as much as that byte lies from where the scan put the header; or all from the header
// on when the scan found it whole.
std::vector<TapePiece> PiecesOnTape(const SaveItem& item, std::uint64_t headerAt);

// Why the reading of the tape ended before a file was whole, after `passes` passes; `lastReadError` is
// the system's word for the last failed read.
std::string TapeEndText(tape::TapePassReader::End end, std::uint64_t passes,
                        const std::string& lastReadError);

}  // namespace ostrum::save
