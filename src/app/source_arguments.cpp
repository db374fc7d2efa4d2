// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/source_arguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "catalog/image_scanner.h"
#include "catalog/media_span.h"
#include "tape/tape_device.h"
#include "tape/tape_devices.h"
#include "tape/virtual_tape.h"

namespace ostrum::app {
namespace {

std::optional<std::uint64_t> parseCount(const std::string& text) {
    std::uint64_t value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || failure != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool isTapeFileName(const std::string& path) {
    if (path.size() < 4) return false;
    std::string suffix = path.substr(path.size() - 4);
    for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return suffix == ".tap";
}

// A virtual tape file, by its name or, whatever its name, by the framing of its first records.
bool isTapeFile(const std::string& path) {
    if (isTapeFileName(path)) return true;
    common::ImageFile file;
    return common::OpenImageFile(file, path) &&
           tape::CheckTapeFraming(file).framing == tape::TapeFraming::Holds;
}

// The drive that reads a virtual tape file named as a medium: the first without one, the file put in it.
// With `again`, a drive that holds the file already (opened before) reads it.
std::optional<std::string> driveForTapeFile(tape::TapeDevices& devices, const std::string& path, bool again,
                                            std::string& error) {
    for (int number = tape::kFirstTapeDevice; again && number <= tape::kLastTapeDevice; ++number) {
        if (const auto held = devices.Attached(number); held && held->options().path == path)
            return tape::TapeDeviceName(number);
    }
    for (int number = tape::kFirstTapeDevice; number <= tape::kLastTapeDevice; ++number) {
        if (devices.Attached(number)) continue;
        const tape::TapeResult attached = devices.AttachVirtual(number, {.path = path});
        if (!attached) {
            error = attached.error();
            return std::nullopt;
        }
        return tape::TapeDeviceName(number);
    }
    error = "every tape drive already holds a virtual tape";
    return std::nullopt;
}

// The source reading the files in order: image files, or virtual tape files each in a drive of its own.
std::optional<ScanSource> sourceOnFiles(ScanSource source, std::span<const std::string> paths, bool again,
                                        std::string& error) {
    const bool tapes = isTapeFile(paths.front());
    std::vector<std::string> media;
    for (const std::string& path : paths) {
        if (isTapeFile(path) != tapes) {
            error = "'" + path + "' is " + (tapes ? "an image file" : "a virtual tape") + ", unlike '" +
                    paths.front() + "': the media of one backup are all image files or all tapes";
            return std::nullopt;
        }
        if (!tapes) {
            media.push_back(path);
        } else if (auto drive = driveForTapeFile(*source.tapeDevices, path, again, error)) {
            media.push_back(std::move(*drive));
        } else {
            return std::nullopt;
        }
    }
    source.isTape = tapes;
    source.path = media.front();
    source.laterSources.assign(media.begin() + 1, media.end());
    return source;
}

// Several tape drives named as the media of one backup, read in the order given.
bool putDrives(ScanSource& source, std::span<const std::string> drives, std::string& error) {
    for (const std::string& drive : drives) {
        if (!tape::ParseTapeDeviceName(drive)) {
            error = "'" + drive + "' is not a tape drive name (//./tape0 to //./tape19)";
            return false;
        }
    }
    source.isTape = true;
    source.path = drives.front();
    source.laterSources.assign(drives.begin() + 1, drives.end());
    return true;
}

}  // namespace

std::optional<ScanSource> parseSourceArguments(std::span<const std::string> words, std::string& error) {
    ScanSource source;
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--attach") {
            if (i + 1 == words.size()) {
                error = "--attach needs DEVICE=FILE";
                return std::nullopt;
            }
            std::optional<std::uint64_t> capacity;
            const std::string& attachment = words[++i];
            if (i + 2 < words.size() && words[i + 1] == "--capacity") {
                capacity = parseCount(words[i + 2]);
                if (!capacity) {
                    error = "--capacity wants a byte count (got '" + words[i + 2] + "')";
                    return std::nullopt;
                }
                i += 2;
            }
            error = tape::AttachVirtualTape(*source.tapeDevices, attachment, capacity);
            if (!error.empty()) return std::nullopt;
        } else if (word == "--deep") {
            source.deep = true;
        } else if (word.size() > 1 && word[0] == '-') {
            error = "unknown option '" + word + "'";
            return std::nullopt;
        } else {
            operands.push_back(word);
        }
    }
    if (operands.empty()) {
        if (!source.deep) return source;
        error = "--deep needs an image file to scan";
        return std::nullopt;
    }
    const auto isDrive = [](const std::string& operand) { return operand.starts_with("//./tape"); };
    if (std::any_of(operands.begin(), operands.end(), isDrive)) {
        if (!std::all_of(operands.begin(), operands.end(), isDrive)) {
            error = "the media of one backup are all image files or all tape drives";
            return std::nullopt;
        }
        if (!putDrives(source, operands, error)) return std::nullopt;
    } else {
        auto onFiles = sourceOnFiles(std::move(source), operands, false, error);
        if (!onFiles) return std::nullopt;
        source = std::move(*onFiles);
    }
    if (source.isTape && source.deep) {
        error = "--deep reads image files only, not tapes";
        return std::nullopt;
    }
    return source;
}

bool putMediaInOrder(ScanSource& source, std::string& error) {
    if (source.isTape || source.laterSources.empty()) return true;
    std::vector<std::string> paths{source.path};
    paths.insert(paths.end(), source.laterSources.begin(), source.laterSources.end());
    catalog::ImageMediaOrder order = catalog::OrderImageMedia(paths);
    if (!order.error.empty()) {
        error = order.error;
        return false;
    }
    source.path = order.paths.front();
    source.laterSources.assign(order.paths.begin() + 1, order.paths.end());
    source.mediaOrderNote = order.reordered ? kMediaSortedNote : "";
    return true;
}

std::optional<ScanSource> sourceForFiles(ScanSource source, std::span<const std::string> paths,
                                         std::string& error) {
    if (paths.empty()) {
        error = "no file was chosen";
        return std::nullopt;
    }
    source.deep = false;
    source.mediaOrderNote.clear();
    auto chosen = sourceOnFiles(std::move(source), paths, true, error);
    if (!chosen || !putMediaInOrder(*chosen, error)) return std::nullopt;
    return chosen;
}

}  // namespace ostrum::app
