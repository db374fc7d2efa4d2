// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line of the desktop program: the medium to open the recovery window on, or none for the
// wizard (with any virtual tapes attached, so that its device selection lists them).
//   ostrum-tape [--attach N=FILE.tap [--capacity BYTES]]...
//   ostrum-tape [--deep] IMAGE...
//   ostrum-tape FILE.tap...
//   ostrum-tape [--attach N=FILE.tap [--capacity BYTES]]... //./tapeN...
// Several media are the media of one backup, read as one.

#include <optional>
#include <span>
#include <string>

#include "app/scan_source.h"
#include "catalog/media_span.h"

namespace ostrum::app {

inline constexpr char kProgramUsage[] =
    "usage: ostrum-tape [--attach N=FILE.tap [--capacity BYTES]]...\n"
    "       ostrum-tape [--deep] IMAGE...\n"
    "       ostrum-tape FILE.tap...\n"
    "       ostrum-tape [--attach N=FILE.tap [--capacity BYTES]]... //./tapeN...\n"
    "Without a medium, starts the wizard. With an image file or a tape drive (//./tape0 to //./tape19) "
    "opens\n"
    "the recovery window on it; a virtual tape file (.tap) is put in the first free drive and scanned "
    "there.\n"
    "Several images (or tapes) are the media of one backup: images are read in the order of their sequence\n"
    "numbers when their TAPE blocks give them, tapes in the order given.\n"
    "--attach puts a virtual tape file in drive N. --deep starts with the deep scan, which also finds "
    "blocks\n"
    "off the 512-byte grid (an image cut or shifted by a few bytes).\n";

// What ScanSource::mediaOrderNote says when images were not given in the order of their sequence numbers.
using catalog::kMediaSortedNote;

// The source the words name (with an empty path when they name none: the wizard then starts), or
// nothing with `error` saying what is wrong. Several media are taken in the order given (see
// putMediaInOrder).
std::optional<ScanSource> parseSourceArguments(std::span<const std::string> words, std::string& error);

// Several images read as one backup: when the first block of each is a TAPE block, they are put in the order
// of their sequence numbers (with mediaOrderNote when that is not the order given). False, with `error`, when
// one cannot be opened or is of another media family than the one before it: nothing is to be scanned then.
// A tape source, or one medium, is left as it is.
bool putMediaInOrder(ScanSource& source, std::string& error);

// The source for the files the user chose: images, or virtual tape files (by their ".tap" name or their
// framing) each put in the first drive without one and scanned there; several are the media of one backup,
// put in order. Nothing, with `error`, when no drive is free, a tape file cannot be attached, images and
// tapes are mixed, or putMediaInOrder refuses them.
std::optional<ScanSource> sourceForFiles(ScanSource source, std::span<const std::string> paths,
                                         std::string& error);

}  // namespace ostrum::app
