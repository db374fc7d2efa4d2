#pragma once
// The command line of the desktop program: the medium to open the recovery window on, or none for the
// wizard (with any virtual tapes attached, so that its device selection lists them).
//   ostrum-tape [--attach N=FILE.tap [--capacity BYTES]]...
//   ostrum-tape [--deep] IMAGE
//   ostrum-tape FILE.tap
//   ostrum-tape [--attach N=FILE.tap [--capacity BYTES]]... //./tapeN

#include <optional>
#include <span>
#include <string>

#include "scan_source.h"

namespace ostrum::app {

inline constexpr char kProgramUsage[] =
    "usage: ostrum-tape [--attach N=FILE.tap [--capacity BYTES]]...\n"
    "       ostrum-tape [--deep] IMAGE\n"
    "       ostrum-tape FILE.tap\n"
    "       ostrum-tape [--attach N=FILE.tap [--capacity BYTES]]... //./tapeN\n"
    "Without a medium, starts the wizard. With an image file or a tape drive (//./tape0 to //./tape19) "
    "opens\n"
    "the recovery window on it; a virtual tape file (.tap) is put in the first free drive and scanned "
    "there.\n"
    "--attach puts a virtual tape file in drive N. --deep starts with the deep scan, which also finds "
    "blocks\n"
    "off the 512-byte grid (an image cut or shifted by a few bytes).\n";

// The source the words name (with an empty SourcePath when they name none: the wizard then starts), or
// nothing with `error` saying what is wrong.
std::optional<ScanSource> ParseSourceArguments(std::span<const std::string> words, std::string& error);

// The source for a file the user chose: an image, or a virtual tape file (by its ".tap" name or its
// framing) put in the first drive without one and scanned there. Nothing, with `error`, when no drive is
// free or the tape file cannot be attached.
std::optional<ScanSource> SourceForFile(ScanSource source, const std::string& path, std::string& error);

}  // namespace ostrum::app
