// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of ostrum-tape-cli: the commands, their options and their help, read with CLI11, and
// the checks that CLI11 cannot make (an --attach value's form, a drive given twice, --capacity after its
// --attach, an empty --include pattern).

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <iostream>
#include <set>

#include "commands.h"
#include "media_scan.h"
#include "tape/tape_device.h"
#include "tape/tape_devices.h"

namespace ostrum::cli {
namespace {

constexpr std::string_view kProgram = "ostrum-tape-cli";

// A command line CLI11 accepted but the command cannot take.
struct UsageError {
    std::string message;
};

const char* const kOverview =
    "Gets files back from tapes and tape image files written in the Microsoft Tape Format (MTF 1.00a,\n"
    "also the format of .bkf backup files). Every 512-byte slot of the medium is tested for MTF blocks,\n"
    "so files are found on damaged media too.";

const char* const kTapeNames =
    "Tape drives are named //./tape0 to //./tape19 (the Linux st driver's /dev/nst0 to /dev/nst19).\n"
    "--attach N=FILE.tap puts a SIMH virtual tape file in drive N instead, for this command; a\n"
    "--capacity BYTES after it gives that tape's capacity. Each drive may be attached once.";

const char* const kExitStatuses =
    "Exit status: 0 done; 1 the source could not be read or was not read whole, held no MTF data, or\n"
    "the work failed (files not saved whole, an image not written, an --include that chose nothing); 2 a\n"
    "wrong command line; 130 interrupted (Ctrl-C).";

const char* const kPatterns =
    "Patterns (--include) ignore case, as Windows names do. A path without wildcards chooses that file\n"
    "or folder and everything below it, e.g. 'BACKUP SET 1(_Daily)/DOCS'; '/' and '\\' both separate\n"
    "names, and 'TAPE MEDIA\\' may be left out. With * (any characters, separators included), ? (one\n"
    "character) or [abc] (one of a set), the pattern must match the whole path of the file or of a\n"
    "folder above it: '*.txt' chooses every text file, 'BACKUP SET 2*' the whole second set. An\n"
    "--include that chooses nothing is named at the end and makes the exit status 1.";

const char* const kExisting =
    "--existing says what happens to a file whose name is taken in the destination: keep-both (the\n"
    "default) saves it as \"A (1).TXT\", skip leaves the file there alone, overwrite replaces it (never\n"
    "a file saved earlier in the same run). Folders of the selection are made even when they hold no\n"
    "file, and get the dates their DIRB blocks record once their files are written.";

// The values of the options that name tapes, in the order given.
struct TapeOptionWords {
    std::vector<std::string> attach;
    std::vector<std::string> capacity;
    CLI::Option* attachOption = nullptr;
    CLI::Option* capacityOption = nullptr;
};

void AddTapeOptions(CLI::App& command, TapeOptionWords& words) {
    words.attachOption = command.add_option("--attach", words.attach, "put a virtual tape file in drive N")
                             ->type_name("N=FILE.tap")
                             ->allow_extra_args(false);
    words.capacityOption =
        command.add_option("--capacity", words.capacity, "the capacity of the tape attached just before")
            ->type_name("BYTES")
            ->allow_extra_args(false);
}

std::optional<std::uint64_t> ParseNumber(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The attachments in the order given, each --capacity with the --attach before it.
std::vector<Attachment> Attachments(const CLI::App& command, const TapeOptionWords& words) {
    std::vector<Attachment> attachments;
    std::set<int> drives;
    std::size_t attachIndex = 0, capacityIndex = 0;
    for (const CLI::Option* option : command.parse_order()) {
        if (option == words.attachOption) {
            const std::string& text = words.attach.at(attachIndex++);
            const auto parts = tape::ParseAttachment(text);
            if (!parts) throw UsageError{tape::AttachmentFormError(text)};
            if (parts->number > static_cast<std::uint64_t>(tape::kLastTapeDevice)) {
                throw UsageError{"--attach " + text + ": drives are numbered " +
                                 std::to_string(tape::kFirstTapeDevice) + " to " +
                                 std::to_string(tape::kLastTapeDevice)};
            }
            const int drive = static_cast<int>(parts->number);
            if (!drives.insert(drive).second) {
                throw UsageError{"--attach " + text + ": drive " + std::to_string(drive) +
                                 " is given more than once"};
            }
            attachments.push_back(Attachment{drive, parts->path, std::nullopt});
        } else if (option == words.capacityOption) {
            const std::string& text = words.capacity.at(capacityIndex++);
            const auto capacity = ParseNumber(text);
            if (attachments.empty() || !capacity || *capacity > static_cast<std::uint64_t>(INT64_MAX)) {
                throw UsageError{"--capacity wants a byte count after an --attach option (got '" + text +
                                 "')"};
            }
            attachments.back().capacity = capacity;
        }
    }
    return attachments;
}

save::ExistingFiles ParsePolicy(const std::string& text) {
    if (text == "keep-both") return save::ExistingFiles::KeepBoth;
    if (text == "skip") return save::ExistingFiles::Skip;
    if (text == "overwrite") return save::ExistingFiles::Overwrite;
    throw UsageError{"--existing takes keep-both, skip or overwrite, not '" + text + "'"};
}

void CheckTapeSource(const std::string& source, bool attached, bool deep) {
    if (source.starts_with("//./") && !IsTapeName(source)) {
        throw UsageError{"'" + source + "' is not a tape device name (//./tape0 to //./tape19)"};
    }
    if (IsTapeName(source)) {
        if (deep) {
            throw UsageError{
                "--deep is for image files; a tape's blocks stay on their grid (copy the tape "
                "with `image` to scan the copy deeply)"};
        }
    } else if (attached) {
        throw UsageError{"'" + source + "' is not a tape device name (//./tape0 to //./tape19)"};
    }
}

// The sources of one command: all image files or all tape drives, each checked as CheckTapeSource says.
void CheckSources(const std::vector<std::string>& sources, bool attached, bool deep) {
    for (const std::string& source : sources) {
        CheckTapeSource(source, attached, deep);
        if (IsTapeName(source) != IsTapeName(sources.front())) {
            throw UsageError{"the media of one backup are all image files or all tape drives"};
        }
    }
}

// The words of every command, filled by CLI11.
struct Words {
    ListOptions list;
    DrivesOptions drives;
    ImageOptions image;
    ExtractOptions extract;
    std::string existing = "keep-both";
    std::vector<std::string> operands;  // extract: the sources, then the destination
    TapeOptionWords listTapes, drivesTapes, imageTapes, extractTapes;
};

CLI::App* AddCommand(CLI::App& app, const char* name, const char* summary) {
    CLI::App* command = app.add_subcommand(name, summary);
    command->group("Commands");  // CLI11 calls them subcommands
    return command;
}

void AddJsonFlag(CLI::App& command, bool& json) {
    command.add_flag("--json", json, "one JSON object on standard output, for scripts");
}

void AddList(CLI::App& app, Words& words) {
    CLI::App* list = AddCommand(app, "list",
                                "scan an image file or a tape and list the backup sets, folders "
                                "and files found");
    AddJsonFlag(*list, words.list.json);
    list->add_flag("--deep", words.list.deep,
                   "images: also find blocks off the 512-byte grid (an image cut or shifted by a few bytes, "
                   "junk bytes inside it)");
    list->add_flag(
        "--catalog", words.list.catalog,
        "the medium's own catalog (what the backup program recorded) instead of what the scan found");
    AddTapeOptions(*list, words.listTapes);
    list->add_option(
            "SOURCE", words.list.sources,
            "an image file (or disk), or a tape drive //./tapeN; several: the media of one backup (images "
            "are read in the order of their labels, tapes in the order given)")
        ->required()
        ->type_name("");
    list->footer(std::string(kTapeNames) + "\n\n" + kExitStatuses);
}

void AddDrives(CLI::App& app, Words& words) {
    CLI::App* drives = AddCommand(app, "drives",
                                  "list the tape drives //./tape0 to //./tape19 that hold a "
                                  "medium, with their figures");
    AddJsonFlag(*drives, words.drives.json);
    AddTapeOptions(*drives, words.drivesTapes);
    drives->footer(std::string(kTapeNames) + "\n\n" + kExitStatuses);
}

void AddImage(CLI::App& app, Words& words) {
    CLI::App* image = AddCommand(app, "image", "copy a tape into an image file");
    image->add_flag("--overwrite", words.image.overwrite, "replace an existing image file");
    AddTapeOptions(*image, words.imageTapes);
    image->add_option("DEVICE", words.image.device, "the tape drive, //./tapeN")->required()->type_name("");
    image->add_option("OUT", words.image.output, "the image file to write")->required()->type_name("");
    image->footer(
        std::string(kTapeNames) +
        "\nCtrl-C stops the copy: the image then holds what was read so far and is incomplete.\n\n" +
        kExitStatuses);
}

void AddExtract(CLI::App& app, Words& words) {
    CLI::App* extract = AddCommand(app, "extract",
                                   "save the files found on an image or a tape (or those "
                                   "chosen) into a folder");
    extract->add_option("--include", words.extract.patterns, "save only what this path or pattern chooses")
        ->type_name("PATH|PATTERN")
        ->allow_extra_args(false);
    extract->add_option("--existing", words.existing, "keep-both (default), skip or overwrite a taken name")
        ->type_name("POLICY");
    extract->add_flag("--dry-run", words.extract.dryRun,
                      "say what would be saved, renamed, skipped or replaced, and write nothing");
    extract->add_flag("--deep", words.extract.deep, "images: scan deeply, as list --deep does");
    AddTapeOptions(*extract, words.extractTapes);
    extract
        ->add_option(
            "SOURCE DEST", words.operands,
            "an image file (or disk), or a tape drive //./tapeN (several image files: the media of "
            "one backup, read in the order of their labels), then the folder to save into (made when "
            "missing)")
        ->required()
        ->expected(2, CLI::detail::expected_max_vector_size)
        ->type_name("");
    extract->footer(std::string(kPatterns) + "\n\n" + kExisting + "\n\n" + kTapeNames + "\n\n" +
                    kExitStatuses);
}

// Checks the parsed words of `command` and runs it.
int Run(const CLI::App& command, Words& words) {
    const std::string name = command.get_name();
    if (name == "list") {
        words.list.attachments = Attachments(command, words.listTapes);
        CheckSources(words.list.sources, !words.list.attachments.empty(), words.list.deep);
        PutMediaInOrder(words.list.sources, "list");
        return RunList(words.list);
    }
    if (name == "drives") {
        words.drives.attachments = Attachments(command, words.drivesTapes);
        return RunDrives(words.drives);
    }
    if (name == "image") {
        words.image.attachments = Attachments(command, words.imageTapes);
        if (!IsTapeName(words.image.device)) {
            throw UsageError{"'" + words.image.device +
                             "' is not a tape device name (//./tape0 to //./tape19); e.g. image //./tape0 "
                             "backup.img"};
        }
        return RunImage(words.image);
    }
    words.extract.attachments = Attachments(command, words.extractTapes);
    words.extract.existing = ParsePolicy(words.existing);
    for (const std::string& pattern : words.extract.patterns) {
        if (pattern.empty()) throw UsageError{"--include '' chooses nothing; give a path or a pattern"};
    }
    words.extract.destination = words.operands.back();
    words.extract.sources.assign(words.operands.begin(), words.operands.end() - 1);
    CheckSources(words.extract.sources, !words.extract.attachments.empty(), words.extract.deep);
    if (words.extract.sources.size() > 1 && IsTapeName(words.extract.sources.front())) {
        throw UsageError{
            "files are saved from one tape at a time; copy each tape of the backup into an image "
            "file (image //./tapeN OUT.img) and extract from the images, given in order"};
    }
    PutMediaInOrder(words.extract.sources, "extract");
    return RunExtract(words.extract);
}

int Usage(std::string_view command, const std::string& message) {
    const std::string help =
        std::string(kProgram) + (command.empty() ? "" : " " + std::string(command)) + " --help";
    PrintError((command.empty() ? "" : std::string(command) + ": ") + message + " (try '" + help + "')");
    return kExitUsage;
}

}  // namespace

void PrintError(std::string_view message) {
    std::cerr << kProgram << ": " << message << "\n";
}

bool IsTapeName(std::string_view source) {
    return tape::ParseTapeDeviceName(source).has_value();
}

int RunCommandLine(int argc, const char* const* argv) {
    CLI::App app(kOverview, std::string(kProgram));
    app.get_formatter()->column_width(34);
    app.get_formatter()->label("SUBCOMMAND", "COMMAND");
    app.get_formatter()->label("SUBCOMMANDS", "COMMANDS");
    app.set_version_flag("--version", std::string(kProgram) + " (Brivane Ostrum TAPE) " + OSTRUM_VERSION);
    app.require_subcommand(1);
    app.footer(std::string("Run '") + std::string(kProgram) +
               " COMMAND --help' for the options of a command.\n\n" + kTapeNames + "\n\n" + kExitStatuses);
    Words words;
    AddList(app, words);
    AddDrives(app, words);
    AddImage(app, words);
    AddExtract(app, words);

    if (argc < 2) {
        std::cerr << app.help();
        return kExitUsage;
    }
    const std::string first = argv[1];
    if (first == "help") {
        std::cout << app.help();
        return kExitOk;
    }
    const auto commands = app.get_subcommands([](const CLI::App*) { return true; });
    const bool known = std::any_of(commands.begin(), commands.end(),
                                   [&](const CLI::App* command) { return command->get_name() == first; });
    if (!first.starts_with("-") && !known) {
        PrintError("unknown command '" + first + "' (try --help)");
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForVersion& version) {
        std::cout << version.what() << "\n";
        return kExitOk;
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return app.exit(error);  // --help
        const auto chosen = app.get_subcommands();
        return Usage(chosen.empty() ? "" : chosen.front()->get_name(), error.what());
    }
    const CLI::App& command = *app.get_subcommands().front();
    try {
        return Run(command, words);
    } catch (const UsageError& error) {
        return Usage(command.get_name(), error.message);
    }
}

}  // namespace ostrum::cli
