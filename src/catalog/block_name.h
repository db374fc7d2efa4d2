// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Names stored in MTF blocks, turned into the catalog's text, and the check every catalog name passes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/chunk_view.h"

namespace ostrum::catalog {

// Catalog texts are UTF-8. A lone UTF-16 surrogate found on the medium is kept in the text in its
// generalised UTF-8 form (three bytes, ED A0..BF xx) so that the name check can see and refuse it.

// Decodes the name whose bytes lie at chunk offsets first..last (inclusive) as UTF-16LE code units into
// `out`. A NUL unit becomes a backslash. When last > first and the first unit is not NUL, a backslash
// is put in front, counting against `limit` (the most code units written, prefix included). Bytes past
// the chunk are read from the medium that follows it; a name that runs past the end of the medium, or
// whose offsets are negative, gives the empty text. Returns the number of code units copied.
std::size_t ExtractBlockName(const ChunkView& chunk, std::int64_t first, std::int64_t last, std::size_t limit,
                             std::string& out);
// The same text less the backslash put in front, written at `out`, which has room for kMostBytesPerUnit
// bytes per code unit of `limit`; returns the end of what was written.
inline constexpr std::size_t kMostBytesPerUnit = 3;  // a unit up to U+FFFF; a pair of units is 4 bytes
char* ExtractBlockName(const ChunkView& chunk, std::int64_t first, std::int64_t last, std::size_t limit,
                       char* out);

// True when the text is valid UTF-8 holding no control character (below 0x20, or 0x7F), no lone
// surrogate and none of | * : ? < > and the double quote. The empty text is valid.
bool IsCatalogNameValid(std::string_view text);

// The number of characters of a text that passes IsCatalogNameValid, or nothing when it does not: both
// answers in one pass.
std::optional<std::size_t> ValidNameCharacters(std::string_view text);
// Number of characters (code points) in a UTF-8 text; each byte of a malformed sequence counts as one.
std::size_t CharacterCount(std::string_view text);

}  // namespace ostrum::catalog
