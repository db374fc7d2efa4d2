// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/destination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "save/save_path.h"

namespace ostrum::save {
namespace {

// Bytes of a file written before their write-back to the disk is started.
constexpr std::uint64_t kWriteBackStep = 8u << 20;
// Bytes asked of one copy inside the kernel.
constexpr std::uint64_t kCopyPiece = 8u << 20;
// A file system that says it takes shorter names than this is not believed: shortened names need room.
constexpr std::size_t kMinNameLimit = 32;

std::string SystemReason(int error) {
    return std::strerror(error);
}

std::size_t BelievedNameLimit(long limit) {
    return limit >= static_cast<long>(kMinNameLimit) ? static_cast<std::size_t>(limit) : kMaxNameBytes;
}

}  // namespace

std::size_t NameLimitOf(const std::string& path) {
    std::filesystem::path at = path.empty() ? std::filesystem::path(".") : std::filesystem::path(path);
    std::error_code error;
    while (!std::filesystem::exists(at, error) && at.has_relative_path()) at = at.parent_path();
    if (at.empty()) at = ".";
    return BelievedNameLimit(::pathconf(at.c_str(), _PC_NAME_MAX));
}

// ---- DestinationCalls ----

int DestinationCalls::CreateFile(int folder, const char* name) {
    return ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

int DestinationCalls::CreateUnnamed(int folder) {
    return ::openat(folder, ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666);
}

int DestinationCalls::MakeFolder(int parent, const char* name) {
    return ::mkdirat(parent, name, 0777);
}

ssize_t DestinationCalls::Write(int file, const void* bytes, std::size_t count) {
    return ::write(file, bytes, count);
}

ssize_t DestinationCalls::CopyRange(int from, std::uint64_t& position, int to, std::size_t count) {
    auto at = static_cast<loff_t>(position);
    const ssize_t copied = ::copy_file_range(from, &at, to, nullptr, count, 0);
    if (copied > 0) position = static_cast<std::uint64_t>(at);
    return copied;
}

// Without `replace`: renameat2 with RENAME_NOREPLACE, or, on file systems that do not offer it, a hard
// link to the new name (which fails as well when the name exists) and the removal of the old one.
int DestinationCalls::Rename(int folder, const char* from, const char* to, bool replace) {
    if (replace) return ::renameat(folder, from, folder, to);
    if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (::linkat(folder, from, folder, to, 0) != 0) return -1;
    ::unlinkat(folder, from, 0);
    return 0;
}

// Through the descriptor's entry in /proc, which needs no privilege (AT_EMPTY_PATH would).
int DestinationCalls::LinkUnnamed(int file, int folder, const char* name) {
    char path[32];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", file);
    return ::linkat(AT_FDCWD, path, folder, name, AT_SYMLINK_FOLLOW);
}

int DestinationCalls::SyncFileSystem(int fd) {
    return ::syncfs(fd);
}

// ---- OutputFile ----

OutputFile::OutputFile(DestinationFolder& owner, std::shared_ptr<const FolderHandle> folder,
                       std::string temporaryName, UniqueFd file)
    : owner_(&owner),
      folder_(std::move(folder)),
      temporaryName_(std::move(temporaryName)),
      file_(std::move(file)) {}

OutputFile::~OutputFile() {
    Discard();
}

std::string OutputFile::Describe(const std::string& name) const {
    return "'" + owner_->path() + "/" + folder_->text + name + "'";
}

std::string OutputFile::Unnamed() const {
    return temporaryName_.empty() ? "the new file in '" + owner_->path() + "/" + folder_->text + "'"
                                  : Describe(temporaryName_);
}

bool OutputFile::Write(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t done = owner_->calls_->Write(file_.get(), bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            error_ = "cannot write " + Unnamed() + " at byte " + std::to_string(written_) + ": " +
                     owner_->Reason(done < 0 ? errno : ENOSPC);
            return false;
        }
        Counted(static_cast<std::uint64_t>(done));
        bytes = bytes.subspan(static_cast<std::size_t>(done));
    }
    return true;
}

std::uint64_t OutputFile::CopyFrom(int source, std::uint64_t position, std::uint64_t count) {
    std::uint64_t copied = 0;
    while (copied < count) {
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(count - copied, kCopyPiece));
        const ssize_t done = owner_->calls_->CopyRange(source, position, file_.get(), piece);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) break;
        copied += static_cast<std::uint64_t>(done);
        Counted(static_cast<std::uint64_t>(done));
    }
    return copied;
}

// Large files start on their way to the disk while the rest is written, so that the sync that makes them
// count as saved has little left to wait for. Only a hint: the sync reports any failure.
void OutputFile::Counted(std::uint64_t bytes) {
    written_ += bytes;
    if (written_ - writeBackFrom_ >= kWriteBackStep) {
        ::sync_file_range(file_.get(), static_cast<off_t>(writeBackFrom_),
                          static_cast<off_t>(written_ - writeBackFrom_), SYNC_FILE_RANGE_WRITE);
        writeBackFrom_ = written_;
    }
}

void OutputFile::SetTimes() {
    if (!modified_ || !file_.valid()) return;
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(*modified_), 0}};
    ::futimens(file_.get(), times);  // a file system without times still gets the data
}

bool OutputFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (::lseek(file_.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
        error_ =
            "cannot write " + Unnamed() + " at byte " + std::to_string(offset) + ": " + owner_->Reason(errno);
        return false;
    }
    return Write(bytes);
}

bool OutputFile::Skip(std::uint64_t count) {
    if (::lseek(file_.get(), static_cast<off_t>(count), SEEK_CUR) < 0) {
        error_ = "cannot leave " + std::to_string(count) + " bytes unwritten in " + Unnamed() + ": " +
                 owner_->Reason(errno);
        return false;
    }
    return true;
}

bool OutputFile::SetSize(std::uint64_t size) {
    int result = 0;
    do {
        result = ::ftruncate(file_.get(), static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        error_ =
            "cannot make " + Unnamed() + " " + std::to_string(size) + " bytes long: " + owner_->Reason(errno);
        return false;
    }
    return true;
}

bool OutputFile::Close() {
    if (!file_.valid()) return error_.empty();
    // close() is where some file systems report a full disk; its error counts like a write's.
    if (::close(file_.Release()) != 0 && errno != EINTR) {
        error_ = "cannot finish " + Unnamed() + ": " + owner_->Reason(errno);
        return false;
    }
    return true;
}

// A file without a name is given a temporary one, for a rename to replace an existing file in one step.
bool OutputFile::TakeTemporaryName() {
    for (;;) {
        std::string temporary = owner_->TemporaryName();
        if (owner_->calls_->LinkUnnamed(file_.get(), folder_->fd->get(), temporary.c_str()) == 0) {
            temporaryName_ = std::move(temporary);
            return true;
        }
        if (errno != EEXIST) return false;
    }
}

bool OutputFile::TryName(const std::string& name, bool replace) {
    if (temporaryName_.empty()) {
        if (!replace) return owner_->calls_->LinkUnnamed(file_.get(), folder_->fd->get(), name.c_str()) == 0;
        if (!TakeTemporaryName()) return false;
    }
    return owner_->calls_->Rename(folder_->fd->get(), temporaryName_.c_str(), name.c_str(), replace) == 0;
}

OutputFile::Named OutputFile::Commit(const std::string& name, ExistingFiles policy, std::string& nameUsed) {
    SetTimes();
    // A file under a temporary name is closed before it is named, so that an error the close reports
    // leaves it unnamed; a file without a name needs its descriptor to be named by, and is closed after.
    if (!temporaryName_.empty() && !Close()) {
        Discard();
        return Named::Failed;
    }
    return GiveName(name, policy, nameUsed);
}

OutputFile::Named OutputFile::GiveName(const std::string& name, ExistingFiles policy, std::string& nameUsed) {
    // A name saved earlier in this run is never replaced or skipped over: two files of the medium that
    // map to one name are both kept.
    const std::string key = folder_->text + name;
    const bool savedBefore = owner_->SavedThisRun(key);
    if (policy == ExistingFiles::KeepBoth || savedBefore) {
        // The number tried first: one past the last one given for the name; or, before any, 1 when the
        // name itself was given in this run (only names given a number are noted, so that most files
        // note nothing).
        const auto noted = owner_->nextNumber_.find(key);
        unsigned next = noted != owner_->nextNumber_.end() ? noted->second : savedBefore ? 1 : 0;
        for (unsigned tries = 0; tries <= kMaxNumberedNames; ++tries, ++next) {
            const std::string candidate = next == 0 ? name : owner_->Fit(NumberedName(name, next));
            if (TryName(candidate, false)) {
                if (!Kept(candidate, nameUsed)) return Named::Failed;
                if (next == 0) return Named::AsAsked;
                owner_->nextNumber_[key] = next + 1;
                return Named::Renamed;
            }
            if (errno != EEXIST) break;
        }
    } else if (TryName(name, policy == ExistingFiles::Overwrite)) {
        return Kept(name, nameUsed) ? Named::AsAsked : Named::Failed;
    } else if (errno == EEXIST) {
        Discard();
        return Named::Skipped;
    }
    error_ = "cannot name the file " + Describe(name) + ": " + owner_->Reason(errno);
    Discard();
    return Named::Failed;
}

// The file has its name: a file that was named without a name before is closed now, and removed again
// when the close fails.
bool OutputFile::Kept(const std::string& name, std::string& nameUsed) {
    named_ = true;
    if (!Close()) {
        ::unlinkat(folder_->fd->get(), name.c_str(), 0);
        return false;
    }
    nameUsed = name;
    owner_->savedThisRun_.insert(folder_->text + name);
    owner_->NoteWritten(folder_->fd);
    return true;
}

void OutputFile::Discard() {
    file_.Reset();
    if (folder_ && !named_ && !temporaryName_.empty())
        ::unlinkat(folder_->fd->get(), temporaryName_.c_str(), 0);
    named_ = true;  // nothing left to remove
}

// ---- DestinationFolder ----

DestinationFolder::DestinationFolder(std::string path, UniqueFd root, std::shared_ptr<DestinationCalls> calls)
    : path_(std::move(path)),
      root_(std::make_shared<const UniqueFd>(std::move(root))),
      calls_(calls ? std::move(calls) : std::make_shared<DestinationCalls>()),
      // Files without a name are named through their entries in /proc: without it, they could not be.
      unnamedFiles_(::access("/proc/self/fd", X_OK) == 0),
      pid_(::getpid()) {
    nameLimit_ = BelievedNameLimit(::fpathconf(root_->get(), _PC_NAME_MAX));
}

std::string DestinationFolder::Fit(std::string_view name) const {
    return FitName(name, nameLimit_);
}

std::unique_ptr<DestinationFolder> DestinationFolder::Open(const std::string& path, std::string& error,
                                                           std::shared_ptr<DestinationCalls> calls) {
    UniqueFd root(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid()) {
        error = "cannot open the destination folder '" + path + "': " + SystemReason(errno);
        return nullptr;
    }
    return std::unique_ptr<DestinationFolder>(new DestinationFolder(path, std::move(root), std::move(calls)));
}

std::string DestinationFolder::FolderText(std::span<const std::string> folders) const {
    std::string text;
    for (const auto& folder : folders) text += folder + "/";
    return text;
}

std::shared_ptr<const UniqueFd> DestinationFolder::Folder(std::span<const std::string> folders, bool create,
                                                          std::string& error) {
    std::size_t common = 0;
    while (common < chain_.size() && common < folders.size() && chain_[common].first == folders[common])
        ++common;
    chain_.resize(common);
    for (std::size_t i = common; i < folders.size(); ++i) {
        const int parent = i == 0 ? root_->get() : chain_.back().second->get();
        const char* name = folders[i].c_str();
        if (create && calls_->MakeFolder(parent, name) != 0 && errno != EEXIST) {
            error = "cannot create the folder '" + path_ + "/" + FolderText(folders.first(i + 1)) +
                    "': " + Reason(errno);
            return nullptr;
        }
        UniqueFd opened(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!opened.valid()) {
            const int reason = errno;
            struct stat info {};
            const bool isLink =
                ::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
            if (reason == ENOENT && !create) return nullptr;
            error =
                "cannot use the folder '" + path_ + "/" + FolderText(folders.first(i + 1)) + "': " +
                (isLink ? std::string("it is a symbolic link, which is not followed") : SystemReason(reason));
            return nullptr;
        }
        chain_.emplace_back(folders[i], std::make_shared<const UniqueFd>(std::move(opened)));
    }
    return chain_.empty() ? root_ : chain_.back().second;
}

std::shared_ptr<const FolderHandle> DestinationFolder::OpenFolder(std::span<const std::string> folders,
                                                                  std::string& error) {
    auto folder = Folder(folders, true, error);
    if (!folder) return nullptr;
    // Files of one folder come together: they share one handle.
    if (!lastHandle_ || lastHandle_->fd != folder) {
        lastHandle_ =
            std::make_shared<const FolderHandle>(FolderHandle{std::move(folder), FolderText(folders)});
    }
    return lastHandle_;
}

std::string DestinationFolder::TemporaryName() {
    return ".ostrum-" + std::to_string(pid_) + "-" + std::to_string(++temporaryCount_) + ".partial";
}

std::optional<OutputFile> DestinationFolder::CreateIn(const std::shared_ptr<const FolderHandle>& folder,
                                                      std::string& error) {
    while (unnamedFiles_.load(std::memory_order_relaxed)) {
        UniqueFd file(calls_->CreateUnnamed(folder->fd->get()));
        if (file.valid()) return OutputFile(*this, folder, {}, std::move(file));
        // A file system without unnamed files says so in one of these ways; any other error is the
        // destination's answer for a named file too.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOSYS) break;
        unnamedFiles_.store(false, std::memory_order_relaxed);
    }
    for (;;) {
        std::string temporary = TemporaryName();
        UniqueFd file(calls_->CreateFile(folder->fd->get(), temporary.c_str()));
        if (file.valid()) return OutputFile(*this, folder, std::move(temporary), std::move(file));
        if (errno != EEXIST) {
            error = "cannot create a file in '" + path_ + "/" + folder->text + "': " + Reason(errno);
            return std::nullopt;
        }
    }
}

std::optional<OutputFile> DestinationFolder::Create(std::span<const std::string> folders,
                                                    std::string& error) {
    auto folder = OpenFolder(folders, error);
    if (!folder) return std::nullopt;
    return CreateIn(folder, error);
}

std::string DestinationFolder::Reason(int error) {
    std::string reason = SystemReason(error);
    if (error == ENOSPC || error == EDQUOT || error == EROFS) {
        std::lock_guard lock(fullMutex_);
        if (fullReason_.empty()) fullReason_ = reason;
    }
    return reason;
}

bool DestinationFolder::full() const {
    std::lock_guard lock(fullMutex_);
    return !fullReason_.empty();
}

std::string DestinationFolder::fullReason() const {
    std::lock_guard lock(fullMutex_);
    return fullReason_;
}

void DestinationFolder::NoteWritten(const std::shared_ptr<const UniqueFd>& folder) {
    if (folder == lastWritten_) return;
    lastWritten_ = folder;
    struct stat info {};
    if (::fstat(folder->get(), &info) != 0) info.st_dev = 0;
    for (const auto& [device, fd] : unsynced_) {
        if (device == info.st_dev) return;
    }
    unsynced_.emplace_back(info.st_dev, folder);
}

std::vector<std::shared_ptr<const UniqueFd>> DestinationFolder::TakeUnsynced() {
    std::vector<std::shared_ptr<const UniqueFd>> folders;
    for (auto& [device, fd] : unsynced_) folders.push_back(std::move(fd));
    unsynced_.clear();
    lastWritten_.reset();
    return folders;
}

bool DestinationFolder::SyncFolders(std::span<const std::shared_ptr<const UniqueFd>> folders,
                                    std::string& error) {
    bool synced = true;
    for (const auto& fd : folders) {
        if (calls_->SyncFileSystem(fd->get()) == 0) continue;
        error = "the system could not make sure that the data written to '" + path_ +
                "' reached the disk: " + Reason(errno);
        synced = false;
    }
    return synced;
}

bool DestinationFolder::Sync(std::string& error) {
    return SyncFolders(TakeUnsynced(), error);
}

bool DestinationFolder::MakeFolders(std::span<const std::string> folders, std::string& error) {
    auto folder = Folder(folders, true, error);
    if (!folder) return false;
    NoteWritten(folder);  // the next Sync makes the new folders reach the disk too
    return true;
}

bool DestinationFolder::SetFolderModified(std::span<const std::string> folders, std::int64_t seconds,
                                          std::string& error) {
    auto folder = Folder(folders, false, error);
    if (!folder) {
        if (error.empty()) error = "the folder '" + path_ + "/" + FolderText(folders) + "' does not exist";
        return false;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    if (::futimens(folder->get(), times) != 0) {
        error = "cannot set the date of the folder '" + path_ + "/" + FolderText(folders) +
                "': " + SystemReason(errno);
        return false;
    }
    NoteWritten(folder);
    return true;
}

bool DestinationFolder::Exists(std::span<const std::string> folders, const std::string& name) {
    std::string ignored;
    auto folder = Folder(folders, false, ignored);
    struct stat info {};
    return folder && ::fstatat(folder->get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace ostrum::save
