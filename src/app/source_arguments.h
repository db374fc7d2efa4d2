#pragma once
// The command line of the desktop program: the medium to open the recovery window on.
//   ostrum-tape IMAGE
//   ostrum-tape [--attach N=FILE.tap [--capacity BYTES]]... //./tapeN

#include <optional>
#include <span>
#include <string>

#include "scan_source.h"

namespace ostrum::app {

inline constexpr char kProgramUsage[] =
    "usage: ostrum-tape IMAGE\n"
    "       ostrum-tape [--attach N=FILE.tap [--capacity BYTES]]... //./tapeN\n"
    "Opens the recovery window on an image file or a tape drive (//./tape0 to //./tape19); --attach puts a\n"
    "virtual tape file in drive N.\n";

// The source the words name, or nothing with `error` saying what is wrong (empty when no word was
// given at all).
std::optional<ScanSource> ParseSourceArguments(std::span<const std::string> words, std::string& error);

}  // namespace ostrum::app
