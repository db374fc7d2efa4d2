// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a file found on the medium is saved: its CatalogPath less "TAPE MEDIA\", cut at the backslashes
// into folder and file names that are safe to create below the destination folder, and the free names
// used when a name is taken. Also the MTF date of a file as a time the file system can keep.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ostrum::save {

// Names come from the medium and may be hostile. A component that is empty, "." or "..", or that holds
// "/" or NUL, would leave the destination or name no file at all; each is replaced: an empty component
// by "_", "." by "_", ".." by "__", and every "/" or NUL character by "_".
std::string SafeComponent(std::string_view component);

// The safe components of a CatalogPath below the destination: the folders, then the file name (always at
// least one component).
std::vector<std::string> DestinationComponents(std::string_view catalogPath);

// Components joined by "/", as shown to the user and kept in the results.
std::string JoinComponents(std::span<const std::string> components);

// The n-th free-name candidate of `name`: " (n)" before the extension, e.g. "A (1).TXT"; a name without
// an extension (or whose only dot leads it, ".profile") gets the suffix at its end.
std::string NumberedName(std::string_view name, unsigned n);

// What a file that the medium cuts short is kept under: its name and this.
inline constexpr std::string_view kPartialSuffix = ".partial";

// Longest name, in bytes, that Linux file systems take, used when the destination does not say.
inline constexpr std::size_t kMaxNameBytes = 255;

// `name` when it is at most `limit` bytes long; otherwise shortened to fit: its beginning, cut on a
// UTF-8 character boundary, then "~" and eight hexadecimal digits of a hash of the whole name (so that
// long names sharing a beginning stay apart), then its extension, when it has a short one.
std::string FitName(std::string_view name, std::size_t limit);

// Seconds since 1970-01-01 UTC of a 5-byte MTF date stored as a 40-bit number (year 14 bits, month 4,
// day 5, hour 5, minute 6, second 6, from the most significant bit down). Nothing for 0 (unknown) or a
// date that is not a real calendar time.
std::optional<std::int64_t> MtfDateToUnixTime(std::uint64_t stored);

}  // namespace ostrum::save
