// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Type names and icon names of files, asked by file name alone without touching any file. The
// catalog shows what this service returns; the desktop program and the command-line tool use the
// shared MIME database (mimeinfo/mime_file_info.h), tests use the plain extension-based service below.

#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ostrum::catalog {

struct FileTypeInfo {
    std::string typeName;  // e.g. "plain text document"
    std::string iconName;  // a freedesktop icon name, e.g. "text-plain"

    auto operator<=>(const FileTypeInfo&) const = default;
};

class ShellFileInfo {
  public:
    virtual ~ShellFileInfo() = default;
    // Describes a file by its name (or a whole path: only the part after the last backslash counts).
    // The reference stays valid for the service's lifetime. Safe to call from any thread.
    virtual const FileTypeInfo& Describe(std::string_view name) const = 0;
    virtual std::string_view GetFolderIconName() const = 0;

    std::string_view GetFileTypeName(std::string_view name) const { return Describe(name).typeName; }
    std::string_view GetFileIconName(std::string_view name) const { return Describe(name).iconName; }
};

// The part of a name that decides its type: from the first dot of the last path component on, or the
// whole component when it has no dot. Names sharing this key share a description.
std::string_view FileTypeKey(std::string_view name);

// Computes a description once per type key. Descriptions are kept once per distinct value and never
// dropped, so references stay valid; the key lookup table is bounded, so that a medium holding millions
// of names without extension (each its own key) cannot grow it without limit.
class CachedShellFileInfo : public ShellFileInfo {
  public:
    const FileTypeInfo& Describe(std::string_view name) const final;

  protected:
    virtual FileTypeInfo Compute(std::string_view fileName) const = 0;

  private:
    static constexpr std::size_t kMaxCachedKeys = 16384;
    mutable std::mutex mutex_;
    mutable std::set<FileTypeInfo> descriptions_;
    mutable std::unordered_map<std::string, const FileTypeInfo*> byKey_;
};

// Names types the way a desktop does without a database: "TXT File" for A.TXT, "File" with no extension.
class ExtensionFileInfo final : public CachedShellFileInfo {
  public:
    std::string_view GetFolderIconName() const override { return "folder"; }

  protected:
    FileTypeInfo Compute(std::string_view fileName) const override;
};

}  // namespace ostrum::catalog
