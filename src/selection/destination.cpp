#include "destination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "save_path.h"

namespace ostrum::selection {
namespace {

// Bytes of a file written before their write-back to the disk is started.
constexpr std::uint64_t kWriteBackStep = 8u << 20;
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

int DestinationCalls::MakeFolder(int parent, const char* name) {
    return ::mkdirat(parent, name, 0777);
}

ssize_t DestinationCalls::Write(int file, const void* bytes, std::size_t count) {
    return ::write(file, bytes, count);
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

int DestinationCalls::SyncFileSystem(int fd) {
    return ::syncfs(fd);
}

// ---- OutputFile ----

OutputFile::OutputFile(DestinationFolder& owner, std::shared_ptr<const UniqueFd> folder,
                       std::string folderText, std::string temporaryName, UniqueFd file)
    : owner_(&owner),
      folder_(std::move(folder)),
      folderText_(std::move(folderText)),
      temporaryName_(std::move(temporaryName)),
      file_(std::move(file)) {}

OutputFile::~OutputFile() {
    Discard();
}

std::string OutputFile::Describe(const std::string& name) const {
    return "'" + owner_->path() + "/" + folderText_ + name + "'";
}

bool OutputFile::Write(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t done = owner_->calls_->Write(file_.get(), bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            error_ = "cannot write " + Describe(temporaryName_) + " at byte " + std::to_string(written_) +
                     ": " + owner_->Reason(done < 0 ? errno : ENOSPC);
            return false;
        }
        written_ += static_cast<std::uint64_t>(done);
        bytes = bytes.subspan(static_cast<std::size_t>(done));
    }
    // Large files start on their way to the disk while the rest is written, so that the sync that makes
    // them count as saved has little left to wait for. Only a hint: the sync reports any failure.
    if (written_ - writeBackFrom_ >= kWriteBackStep) {
        ::sync_file_range(file_.get(), static_cast<off_t>(writeBackFrom_),
                          static_cast<off_t>(written_ - writeBackFrom_), SYNC_FILE_RANGE_WRITE);
        writeBackFrom_ = written_;
    }
    return true;
}

bool OutputFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (::lseek(file_.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
        error_ = "cannot write " + Describe(temporaryName_) + " at byte " + std::to_string(offset) + ": " +
                 owner_->Reason(errno);
        return false;
    }
    return Write(bytes);
}

bool OutputFile::SetSize(std::uint64_t size) {
    int result = 0;
    do {
        result = ::ftruncate(file_.get(), static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        error_ = "cannot make " + Describe(temporaryName_) + " " + std::to_string(size) +
                 " bytes long: " + owner_->Reason(errno);
        return false;
    }
    return true;
}

bool OutputFile::Close() {
    if (!file_.valid()) return error_.empty();
    if (modified_) {
        const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(*modified_), 0}};
        ::futimens(file_.get(), times);  // a file system without times still gets the data
    }
    // close() is where some file systems report a full disk; its error counts like a write's.
    if (::close(file_.Release()) != 0 && errno != EINTR) {
        error_ = "cannot finish " + Describe(temporaryName_) + ": " + owner_->Reason(errno);
        return false;
    }
    return true;
}

bool OutputFile::TryName(const std::string& name, bool replace) {
    return owner_->calls_->Rename(folder_->get(), temporaryName_.c_str(), name.c_str(), replace) == 0;
}

OutputFile::Named OutputFile::Commit(const std::string& name, ExistingFiles policy, std::string& nameUsed) {
    if (!Close()) {
        Discard();
        return Named::Failed;
    }
    // A name saved earlier in this run is never replaced or skipped over: two files of the medium that
    // map to one name are both kept.
    const bool savedBefore = owner_->SavedThisRun(folderText_ + name);
    if (policy == ExistingFiles::KeepBoth || savedBefore) {
        unsigned& next = owner_->nextNumber_[folderText_ + name];
        for (unsigned tries = 0; tries <= kMaxNumberedNames; ++tries, ++next) {
            const std::string candidate = next == 0 ? name : owner_->Fit(NumberedName(name, next));
            if (TryName(candidate, false)) {
                Kept(candidate, nameUsed);
                return next++ == 0 ? Named::AsAsked : Named::Renamed;
            }
            if (errno != EEXIST) break;
        }
    } else if (TryName(name, policy == ExistingFiles::Overwrite)) {
        Kept(name, nameUsed);
        return Named::AsAsked;
    } else if (errno == EEXIST) {
        Discard();
        return Named::Skipped;
    }
    error_ = "cannot name the file " + Describe(name) + ": " + owner_->Reason(errno);
    Discard();
    return Named::Failed;
}

void OutputFile::Kept(const std::string& name, std::string& nameUsed) {
    named_ = true;
    nameUsed = name;
    owner_->savedThisRun_.insert(folderText_ + name);
    owner_->NoteWritten(folder_);
}

void OutputFile::Discard() {
    file_.Reset();
    if (folder_ && !named_) {
        ::unlinkat(folder_->get(), temporaryName_.c_str(), 0);
        named_ = true;  // nothing left to remove
    }
}

// ---- DestinationFolder ----

DestinationFolder::DestinationFolder(std::string path, UniqueFd root, std::shared_ptr<DestinationCalls> calls)
    : path_(std::move(path)),
      root_(std::make_shared<const UniqueFd>(std::move(root))),
      calls_(calls ? std::move(calls) : std::make_shared<DestinationCalls>()) {
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

std::optional<OutputFile> DestinationFolder::Create(std::span<const std::string> folders,
                                                    std::string& error) {
    auto folder = Folder(folders, true, error);
    if (!folder) return std::nullopt;
    for (;;) {
        const std::string temporary =
            ".ostrum-" + std::to_string(::getpid()) + "-" + std::to_string(++temporaryCount_) + ".partial";
        UniqueFd file(calls_->CreateFile(folder->get(), temporary.c_str()));
        if (file.valid()) return OutputFile(*this, folder, FolderText(folders), temporary, std::move(file));
        if (errno != EEXIST) {
            error = "cannot create a file in '" + path_ + "/" + FolderText(folders) + "': " + Reason(errno);
            return std::nullopt;
        }
    }
}

std::string DestinationFolder::Reason(int error) {
    std::string reason = SystemReason(error);
    if ((error == ENOSPC || error == EDQUOT || error == EROFS) && fullReason_.empty()) fullReason_ = reason;
    return reason;
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

bool DestinationFolder::Sync(std::string& error) {
    bool synced = true;
    for (const auto& [device, fd] : unsynced_) {
        if (calls_->SyncFileSystem(fd->get()) == 0) continue;
        error = "the system could not make sure that the data written to '" + path_ +
                "' reached the disk: " + Reason(errno);
        synced = false;
    }
    unsynced_.clear();
    lastWritten_.reset();
    return synced;
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

}  // namespace ostrum::selection
