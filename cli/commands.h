// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands of ostrum-tape-cli. The command line (command_line.cpp) turns the words into one of the
// option sets below and runs its command, which returns the exit status.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "save/destination.h"

namespace ostrum::cli {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the work failed (unreadable source, files not saved whole, ...)
inline constexpr int kExitUsage = 2;    // the command line was wrong
inline constexpr int kExitInterrupted = 130;  // stopped by Ctrl-C (or SIGTERM), as a shell reports SIGINT

// A virtual tape file put in a drive by `--attach N=FILE.tap`, with the capacity of a `--capacity BYTES`
// given after it. The command line has checked the drive number and that no drive is given twice.
struct Attachment {
    int drive = 0;
    std::string path;
    std::optional<std::uint64_t> capacity;
};

struct ListOptions {
    bool json = false;
    bool deep = false;
    bool catalog = false;  // the medium's own catalog instead of what the scan found
    std::vector<Attachment> attachments;
    // Image files or tape drives' names: one medium, or the media of one backup in order.
    std::vector<std::string> sources;
};

struct DrivesOptions {
    bool json = false;
    std::vector<Attachment> attachments;
};

struct ImageOptions {
    bool overwrite = false;
    std::vector<Attachment> attachments;
    std::string device;
    std::string output;
};

struct ExtractOptions {
    std::vector<std::string> patterns;  // as typed; none chooses everything
    save::ExistingFiles existing = save::ExistingFiles::KeepBoth;
    bool dryRun = false;
    bool deep = false;
    std::vector<Attachment> attachments;
    std::vector<std::string> sources;  // one medium, or the image files of one backup in order
    std::string destination;
};

int RunList(const ListOptions& options);
int RunDrives(const DrivesOptions& options);
int RunImage(const ImageOptions& options);
int RunExtract(const ExtractOptions& options);

// Reads the command line (argv[0] is the program) and runs the command it names.
int RunCommandLine(int argc, const char* const* argv);

// Prints "ostrum-tape-cli: <message>" on standard error.
void PrintError(std::string_view message);

// True when `source` names a tape drive (//./tape0 to //./tape19) rather than an image file.
bool IsTapeName(std::string_view source);

}  // namespace ostrum::cli
