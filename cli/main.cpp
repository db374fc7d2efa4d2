// ostrum-tape-cli: the command-line face of Brivane Ostrum TAPE, on the same core as the desktop program.

#include <array>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "tape_commands.h"

namespace ostrum::cli {
namespace {

constexpr std::array kCommands = {
    Command{"list", "[--json] [--catalog] IMAGE...",
            "scan image files (several: the media of one backup, in order) and list the backup sets, folders "
            "and files found (--catalog: the medium's own catalog instead)",
            RunList},
    Command{"list", "[--json] [--catalog] [--attach N=FILE.tap [--capacity BYTES]]... //./tapeN...",
            "scan tapes and list what was found", RunList},
    Command{"drives", "[--attach N=FILE.tap [--capacity BYTES]]...",
            "list the tape drives //./tape0 to //./tape19 that hold a medium", RunDrives},
    Command{"image", "[--overwrite] [--attach N=FILE.tap [--capacity BYTES]]... //./tapeN OUT.img",
            "copy a tape into an image file (an existing one only with --overwrite)", RunImage},
    Command{"extract",
            "[--include PATH|PATTERN]... [--existing keep-both|skip|overwrite] [--dry-run] [--attach "
            "N=FILE.tap] SOURCE... DEST",
            "save the files found on images or tapes (several: the media of one backup, in order; or those "
            "chosen) into a folder",
            RunExtract},
};

void PrintUsage(std::ostream& out) {
    out << "usage: ostrum-tape-cli COMMAND [ARGS]\n\ncommands:\n";
    for (const auto& command : kCommands) {
        out << "  " << command.name << " " << command.usage << "\n      " << command.summary << "\n";
    }
}

}  // namespace

void PrintError(std::string_view message) {
    std::cerr << "ostrum-tape-cli: " << message << "\n";
}

}  // namespace ostrum::cli

int main(int argc, char** argv) {
    using namespace ostrum::cli;
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        PrintUsage(words.empty() ? std::cerr : std::cout);
        return words.empty() ? kExitUsage : kExitOk;
    }
    for (const auto& command : kCommands) {
        if (command.name == words[0]) return command.run(Args(words).subspan(1));
    }
    PrintError("unknown command '" + words[0] + "' (try --help)");
    return kExitUsage;
}
