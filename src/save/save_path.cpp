// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/save_path.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "catalog/catalog.h"

namespace ostrum::save {

std::string SafeComponent(std::string_view component) {
    if (component.empty() || component == ".") return "_";
    if (component == "..") return "__";
    std::string safe(component);
    std::replace(safe.begin(), safe.end(), '/', '_');
    std::replace(safe.begin(), safe.end(), '\0', '_');
    return safe;
}

std::vector<std::string> DestinationComponents(std::string_view catalogPath) {
    if (catalogPath.starts_with(catalog::kMediaRootPrefix))
        catalogPath.remove_prefix(catalog::kMediaRootPrefix.size());
    std::vector<std::string> components;
    for (;;) {
        const auto separator = catalogPath.find('\\');
        components.push_back(SafeComponent(catalogPath.substr(0, separator)));
        if (separator == std::string_view::npos) break;
        catalogPath.remove_prefix(separator + 1);
    }
    return components;
}

std::string JoinComponents(std::span<const std::string> components) {
    std::string text;
    for (const auto& component : components) {
        if (!text.empty()) text += '/';
        text += component;
    }
    return text;
}

std::string NumberedName(std::string_view name, unsigned n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    const auto dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) return std::string(name) + suffix;
    return std::string(name.substr(0, dot)) + suffix + std::string(name.substr(dot));
}

namespace {

// An extension longer than this is taken as part of the name when a name is shortened.
constexpr std::size_t kMaxKeptExtensionBytes = 32;

std::uint32_t NameHash(std::string_view name) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (const char c : name) hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
    return hash;
}

bool IsContinuationByte(char c) {
    return (static_cast<std::uint8_t>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string FitName(std::string_view name, std::size_t limit) {
    if (name.size() <= limit) return std::string(name);
    char mark[16];
    std::snprintf(mark, sizeof mark, "~%08x", static_cast<unsigned>(NameHash(name)));
    const std::string_view suffix(mark);
    std::string_view extension;
    const auto dot = name.find_last_of('.');
    if (dot != std::string_view::npos && dot != 0 && name.size() - dot <= kMaxKeptExtensionBytes &&
        name.size() - dot + suffix.size() < limit) {
        extension = name.substr(dot);
    }
    std::size_t keep =
        limit > suffix.size() + extension.size() ? limit - suffix.size() - extension.size() : 0;
    while (keep > 0 && IsContinuationByte(name[keep])) --keep;
    return std::string(name.substr(0, keep)) + std::string(suffix) + std::string(extension);
}

std::optional<std::int64_t> MtfDateToUnixTime(std::uint64_t stored) {
    if (stored == 0) return std::nullopt;
    const auto field = [stored](unsigned shift, unsigned bits) {
        return static_cast<unsigned>((stored >> shift) & ((1u << bits) - 1));
    };
    const unsigned second = field(0, 6), minute = field(6, 6), hour = field(12, 5);
    const unsigned day = field(17, 5), month = field(22, 4), year = field(26, 14);
    const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(year)),
                                           std::chrono::month(month), std::chrono::day(day)};
    if (!date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    const auto days = std::chrono::sys_days(date).time_since_epoch().count();
    return static_cast<std::int64_t>(days) * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace ostrum::save
