// SPDX-License-Identifier: GPL-3.0-or-later
#include "from_dir.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace ostrum::mtfwriter {

namespace {

namespace fs = std::filesystem;

// File names on Linux are bytes. UTF-8 names convert; anything else keeps its bytes as code units, so no file
// is dropped for its name.
Name NameOf(const fs::path& p) {
    const std::string bytes = p.filename().string();
    try {
        return Name(bytes);
    } catch (const std::invalid_argument&) {
        std::u16string units;
        for (unsigned char c : bytes) units.push_back(c);
        return Name::Raw(units);
    }
}

MtfDate MtimeOf(const fs::path& p) {
    std::error_code ec;
    const auto t = fs::last_write_time(p, ec);
    if (ec) return {};
    const auto sys = std::chrono::file_clock::to_sys(t);
    return MtfDateFromUnixTime(
        std::chrono::duration_cast<std::chrono::seconds>(sys.time_since_epoch()).count());
}

struct Listing {
    std::vector<fs::path> files;
    std::vector<fs::path> directories;
};

Listing List(const fs::path& dir) {
    Listing out;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) throw MediaError("cannot list folder '" + dir.string() + "': " + ec.message());
    for (const fs::directory_entry& entry : it) {
        const fs::file_status st = entry.symlink_status(ec);
        if (ec || fs::is_symlink(st)) continue;
        if (fs::is_regular_file(st)) out.files.push_back(entry.path());
        if (fs::is_directory(st)) out.directories.push_back(entry.path());
    }
    auto byName = [](const fs::path& a, const fs::path& b) {
        return a.filename().string() < b.filename().string();
    };
    std::sort(out.files.begin(), out.files.end(), byName);
    std::sort(out.directories.begin(), out.directories.end(), byName);
    return out;
}

void Describe(const fs::path& dir, std::vector<Name>& components, std::vector<Entry>& entries) {
    // Built in place and then filled: a DirectoryEntry temporary makes GCC 12 at -O3 warn that its unset
    // rawName may be destroyed uninitialised, and clang 14 cannot build an aggregate from parentheses.
    auto& directory = std::get<DirectoryEntry>(entries.emplace_back(std::in_place_type<DirectoryEntry>));
    directory.path = components;
    directory.mtime = MtimeOf(dir);
    const Listing listing = List(dir);
    for (const fs::path& file : listing.files) {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(file, ec);
        if (ec) throw MediaError("cannot read the size of '" + file.string() + "': " + ec.message());
        entries.push_back(FileEntry{
            .name = NameOf(file), .mtime = MtimeOf(file), .data = DiskFileData{.path = file, .size = size}});
    }
    for (const fs::path& sub : listing.directories) {
        components.push_back(NameOf(sub));
        Describe(sub, components, entries);
        components.pop_back();
    }
}

}  // namespace

DataSet DescribeDirectory(const fs::path& root, const SetInfo& set) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) throw MediaError("'" + root.string() + "' is not a folder");
    DataSet out{.info = set};
    std::vector<Name> components;
    Describe(root, components, out.entries);
    return out;
}

}  // namespace ostrum::mtfwriter
