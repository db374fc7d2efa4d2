// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/shell_file_info.h"

#include <cctype>

namespace ostrum::catalog {

std::string_view FileTypeKey(std::string_view name) {
    // Most names hold no backslash: a quick search from the front says so before the one from the end.
    if (name.find('\\') != std::string_view::npos) name.remove_prefix(name.rfind('\\') + 1);
    const auto dot = name.find('.');
    return dot == std::string_view::npos ? name : name.substr(dot);
}

const FileTypeInfo& CachedShellFileInfo::Describe(std::string_view name) const {
    const auto slash = name.find_last_of('\\');
    const std::string_view fileName = slash == std::string_view::npos ? name : name.substr(slash + 1);
    std::string key(FileTypeKey(fileName));

    std::lock_guard lock(mutex_);
    if (auto it = byKey_.find(key); it != byKey_.end()) return *it->second;
    const FileTypeInfo& description = *descriptions_.insert(Compute(fileName)).first;
    if (byKey_.size() >= kMaxCachedKeys) byKey_.clear();
    byKey_.emplace(std::move(key), &description);
    return description;
}

FileTypeInfo ExtensionFileInfo::Compute(std::string_view fileName) const {
    const auto dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos || dot + 1 == fileName.size()) return {"File", "unknown"};
    std::string extension;
    for (char c : fileName.substr(dot + 1))
        extension.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return {extension + " File", "unknown"};
}

}  // namespace ostrum::catalog
