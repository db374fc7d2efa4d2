// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The folder files are saved into, reached only through descriptors: every folder below it is opened
// relative to its parent without following symbolic links, so nothing is ever created outside it, and
// every file is written without a name (or, where the file system cannot do that, under a temporary one)
// and given its real name only when it is complete. A file counts as saved only once Sync has made its data
// reach the disk.

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/unique_fd.h"

namespace ostrum::save {

using common::UniqueFd;

// What to do when the name a file should get is already taken in the destination.
enum class ExistingFiles : std::uint8_t {
    KeepBoth,   // give the new file a free name, "A (1).TXT"
    Skip,       // leave the existing file and do not save the new one
    Overwrite,  // replace the existing file (never one saved earlier in the same run)
    Ask,        // ask the caller about each file whose name is taken (SaveSink::AskExisting)
};

// How many numbered names keep-both tries before it gives up on a file.
inline constexpr unsigned kMaxNumberedNames = 100000;

class DestinationFolder;

// The longest name, in bytes, that the file system of `path` takes, or of the nearest folder above it that
// exists (a destination not made yet); kMaxNameBytes when the system does not say.
std::size_t NameLimitOf(const std::string& path);

// The system calls through which the destination is written: the kernel's own, unless a caller (a test)
// puts others in their place to make the destination fail as a full or read-only disk does. Each returns
// what its system call returns and leaves errno set when it fails. Files are written on several threads at
// once: every call but MakeFolder and SyncFileSystem may come from any of them.
class DestinationCalls {
  public:
    virtual ~DestinationCalls() = default;
    // openat: a new file, never an existing one nor through a symbolic link.
    virtual int CreateFile(int folder, const char* name);
    // openat with O_TMPFILE: a new file without a name in `folder`, given one by LinkUnnamed once whole.
    virtual int CreateUnnamed(int folder);
    virtual int MakeFolder(int parent, const char* name);  // mkdirat
    virtual ssize_t Write(int file, const void* bytes, std::size_t count);
    // copy_file_range: up to `count` bytes of `from` at `position` (moved past what was copied) written
    // at the end of what `to` holds, inside the kernel.
    virtual ssize_t CopyRange(int from, std::uint64_t& position, int to, std::size_t count);
    // Gives `from` the name `to` in `folder`; fails with EEXIST when `to` exists, unless `replace`.
    virtual int Rename(int folder, const char* from, const char* to, bool replace);
    // Gives the unnamed file `file` the name `name` in `folder`; fails with EEXIST when `name` exists.
    virtual int LinkUnnamed(int file, int folder, const char* name);
    virtual int SyncFileSystem(int fd);  // syncfs
};

// A folder below the destination, opened: where new files are created.
struct FolderHandle {
    std::shared_ptr<const UniqueFd> fd;
    std::string text;  // its path below the destination, "" or "A/B/"
};

// One file being written, without a name or under a temporary one. Destruction without Commit removes it.
class OutputFile {
  public:
    OutputFile(OutputFile&&) noexcept = default;
    OutputFile& operator=(OutputFile&&) noexcept = default;
    ~OutputFile();

    // Appends bytes; false (with error()) when the system refuses them, e.g. a full disk.
    bool Write(std::span<const std::uint8_t> bytes);
    // Appends up to `count` bytes of the file `source` from `position` on, copied inside the kernel; returns
    // how many. It stops short, and sets no error, wherever the kernel does not copy: the caller goes on
    // with Write, which says why if the destination is at fault.
    std::uint64_t CopyFrom(int source, std::uint64_t position, std::uint64_t count);
    // Writes bytes at `offset` of the file, leaving what lies before it untouched (a hole, if never
    // written); later appends follow them.
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Leaves `count` bytes unwritten (a hole, unless later writes fill it): later appends follow them.
    bool Skip(std::uint64_t count);
    // Gives the file this size: bytes past it are cut off, and a file made longer ends in a hole.
    bool SetSize(std::uint64_t size);
    std::uint64_t written() const { return written_; }
    const std::string& error() const { return error_; }
    // Gives the file this modification time (seconds since 1970 UTC) once it is complete.
    void SetModified(std::int64_t seconds) { modified_ = seconds; }

    enum class Named : std::uint8_t { AsAsked, Renamed, Skipped, Failed };
    // Finishes the file and gives it `name` in its folder by the policy; the name it got is in `nameUsed`.
    // Skipped: the name was taken and the policy says skip (the file is removed).
    Named Commit(const std::string& name, ExistingFiles policy, std::string& nameUsed);
    // Removes the file.
    void Discard();

  private:
    friend class DestinationFolder;
    OutputFile(DestinationFolder& owner, std::shared_ptr<const FolderHandle> folder,
               std::string temporaryName, UniqueFd file);
    void Counted(std::uint64_t bytes);
    void SetTimes();
    bool Close();
    bool TryName(const std::string& name, bool replace);
    bool TakeTemporaryName();
    Named GiveName(const std::string& name, ExistingFiles policy, std::string& nameUsed);
    bool Kept(const std::string& name, std::string& nameUsed);
    std::string Describe(const std::string& name) const;
    // How an error names the file before it has its name.
    std::string Unnamed() const;

    DestinationFolder* owner_;
    std::shared_ptr<const FolderHandle> folder_;
    std::string temporaryName_;  // empty while the file has no name at all
    UniqueFd file_;
    std::uint64_t written_ = 0;
    std::uint64_t writeBackFrom_ = 0;  // the first byte whose write-back has not been started
    std::optional<std::int64_t> modified_;
    std::string error_;
    bool named_ = false;
};

class DestinationFolder {
  public:
    // Opens the folder the user chose (a symbolic link there is followed: it was chosen by name), to be
    // written through `calls` (the kernel's own when null).
    static std::unique_ptr<DestinationFolder> Open(const std::string& path, std::string& error,
                                                   std::shared_ptr<DestinationCalls> calls = nullptr);

    // Opens the folder `folders` below the destination, creating the folders on the way; nothing when a
    // folder cannot be made or is a symbolic link or a file (with `error`).
    std::shared_ptr<const FolderHandle> OpenFolder(std::span<const std::string> folders, std::string& error);
    // Creates a new file in that folder, without a name where the file system allows it; may be called
    // from any thread.
    std::optional<OutputFile> CreateIn(const std::shared_ptr<const FolderHandle>& folder, std::string& error);
    // Both in one.
    std::optional<OutputFile> Create(std::span<const std::string> folders, std::string& error);
    // Makes the folder `folders` below the destination and those on the way, when they do not exist yet;
    // false (with `error`) when one cannot be made or is a symbolic link or a file.
    bool MakeFolders(std::span<const std::string> folders, std::string& error);
    // Gives the existing folder `folders` this modification time (seconds since 1970 UTC); false (with
    // `error`) when it cannot be reached or the system refuses.
    bool SetFolderModified(std::span<const std::string> folders, std::int64_t seconds, std::string& error);
    // True when `name` exists (of whatever kind, links not followed) in the folder `folders`; a folder
    // that does not exist yet holds nothing.
    bool Exists(std::span<const std::string> folders, const std::string& name);
    // True when the file `relative` ("A/B.TXT") was saved earlier in this run.
    bool SavedThisRun(const std::string& relative) const { return savedThisRun_.contains(relative); }

    const std::string& path() const { return path_; }
    // Makes the files named since the last call reach the disk: syncs each file system they were written
    // to. False (with `error`) when the system reports that some data may not have reached it.
    bool Sync(std::string& error);
    // The same in two steps, the second of which may run on another thread: a folder on each file system
    // written to since the last call, and the sync of those.
    std::vector<std::shared_ptr<const UniqueFd>> TakeUnsynced();
    bool SyncFolders(std::span<const std::shared_ptr<const UniqueFd>> folders, std::string& error);
    // True once the system has said that the destination is full, read-only or over its quota: nothing
    // more can be written to it. fullReason() holds the system's words.
    bool full() const;
    std::string fullReason() const;
    // The longest name, in bytes, that the destination's file system takes.
    std::size_t nameLimit() const { return nameLimit_; }
    // `name` shortened to the destination's longest name when it is longer (FitName).
    std::string Fit(std::string_view name) const;

  private:
    friend class OutputFile;
    DestinationFolder(std::string path, UniqueFd root, std::shared_ptr<DestinationCalls> calls);
    std::shared_ptr<const UniqueFd> Folder(std::span<const std::string> folders, bool create,
                                           std::string& error);
    std::string FolderText(std::span<const std::string> folders) const;
    std::string TemporaryName();
    void NoteWritten(const std::shared_ptr<const UniqueFd>& folder);
    // The system's text for the errno of a failed call; notes a destination that has become full.
    std::string Reason(int error);

    std::string path_;
    std::shared_ptr<const UniqueFd> root_;
    // The folders last opened, outermost first: files of one folder come together, so most files need
    // no folder to be opened at all.
    std::vector<std::pair<std::string, std::shared_ptr<const UniqueFd>>> chain_;
    std::shared_ptr<const FolderHandle> lastHandle_;  // the last folder handed out
    std::unordered_set<std::string> savedThisRun_;
    // The number keep-both tries first for a name ("A/B.TXT"): one past the last it gave it, so that many
    // files of one name do not each try every number taken before them.
    std::unordered_map<std::string, unsigned> nextNumber_;
    std::shared_ptr<DestinationCalls> calls_;
    // A folder on each file system written to since the last Sync, and the folder last written to.
    std::vector<std::pair<dev_t, std::shared_ptr<const UniqueFd>>> unsynced_;
    std::shared_ptr<const UniqueFd> lastWritten_;
    // Files are created without a name (and named once whole) until the file system says it cannot; the
    // others get a temporary name first. Both are used from the writers' threads.
    std::atomic<bool> unnamedFiles_{true};
    std::atomic<std::uint64_t> temporaryCount_{0};
    const pid_t pid_;
    std::size_t nameLimit_ = 0;
    mutable std::mutex fullMutex_;
    std::string fullReason_;
};

}  // namespace ostrum::save
