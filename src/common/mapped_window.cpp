#include "common/mapped_window.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <utility>

namespace ostrum::common {
namespace {

// The windows mapped at any one time, for the SIGBUS handler, which may only read atomics. An entry is
// taken by setting `taken`, then filled; the handler trusts an entry whose `end` is set.
struct GuardEntry {
    std::atomic<bool> taken{false};
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<std::uintptr_t> firstFailed{0};  // address of the first page replaced, 0 none
};
constexpr std::size_t kGuardEntries = 16;
std::array<GuardEntry, kGuardEntries> guards;
std::uintptr_t pageSize = 4096;
struct sigaction previousAction {};

void LowerTo(std::atomic<std::uintptr_t>& first, std::uintptr_t page) {
    std::uintptr_t seen = first.load();
    while ((seen == 0 || page < seen) && !first.compare_exchange_weak(seen, page)) {
    }
}

void OnBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardEntry& entry : guards) {
        const std::uintptr_t end = entry.end.load();
        if (end == 0 || address < entry.begin.load() || address >= end) continue;
        const std::uintptr_t page = address & ~(pageSize - 1);
        // A private page of zeros over the unreadable one: the faulting instruction runs again and reads
        // zeros. mmap is a plain system call, safe here; the errno of the code it interrupted is kept.
        const int interruptedErrno = errno;
        void* zeros = ::mmap(reinterpret_cast<void*>(page), pageSize, PROT_READ,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        errno = interruptedErrno;
        if (zeros == MAP_FAILED) break;
        LowerTo(entry.firstFailed, page);
        return;
    }
    // Not a window's page: what would have happened without this handler.
    if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
        previousAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(signal);
        return;
    }
    // Back to the default action, and the signal again: the program ends as it would have.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigemptyset(&fallback.sa_mask);
    ::sigaction(SIGBUS, &fallback, nullptr);
    ::raise(signal);
}

bool InstallGuard() {
    static std::once_flag once;
    static bool installed = false;
    std::call_once(once, [] {
        const long size = ::sysconf(_SC_PAGESIZE);
        if (size > 0) pageSize = static_cast<std::uintptr_t>(size);
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        ::sigemptyset(&action.sa_mask);
        installed = ::sigaction(SIGBUS, &action, &previousAction) == 0;
    });
    return installed;
}

int TakeGuard(std::uintptr_t begin, std::uintptr_t end) {
    for (std::size_t i = 0; i < kGuardEntries; ++i) {
        bool free = false;
        if (!guards[i].taken.compare_exchange_strong(free, true)) continue;
        guards[i].firstFailed.store(0);
        guards[i].begin.store(begin);
        guards[i].end.store(end);
        return static_cast<int>(i);
    }
    return -1;
}

void ReleaseGuard(int index) {
    GuardEntry& entry = guards[static_cast<std::size_t>(index)];
    entry.end.store(0);
    entry.begin.store(0);
    entry.taken.store(false);
}

// Enters a window's pages in the page tables by reading a byte of each block of kTouchStep: the fault
// on that byte also maps the pages around it that the page cache holds (64 KiB of them by default),
// which costs less per page than having them entered one by one (MADV_POPULATE_READ) or faulted by the
// scan. A page that cannot be read raises SIGBUS here as it would in the scan: the handler notes it in
// the window's entry, where the scan finds it. Pages not entered here are faulted by the scan itself.
constexpr std::size_t kTouchStep = 64u << 10;

void EnterPages(const MappedWindow& window) {
    const std::span<const std::uint8_t> bytes = window.bytes();
    for (std::size_t at = 0; at < bytes.size(); at += kTouchStep)
        static_cast<void>(*static_cast<const volatile std::uint8_t*>(bytes.data() + at));
}

}  // namespace

std::optional<MappedWindow> MappedWindow::Map(int fd, std::uint64_t offset, std::size_t length) {
    if (length == 0 || !InstallGuard() || offset % pageSize != 0) return std::nullopt;
    void* base = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(offset));
    if (base == MAP_FAILED) return std::nullopt;
    const auto begin = reinterpret_cast<std::uintptr_t>(base);
    const int guard = TakeGuard(begin, begin + length);
    if (guard < 0) {
        ::munmap(base, length);
        return std::nullopt;
    }
    // Read in order, once: the kernel reads ahead further and drops pages behind sooner.
    ::madvise(base, length, MADV_SEQUENTIAL);
    return MappedWindow(static_cast<const std::uint8_t*>(base), length, offset, guard);
}

MappedWindow::MappedWindow(MappedWindow&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      offset_(other.offset_),
      guard_(std::exchange(other.guard_, -1)) {}

MappedWindow& MappedWindow::operator=(MappedWindow&& other) noexcept {
    if (this != &other) {
        Release();
        base_ = std::exchange(other.base_, nullptr);
        length_ = std::exchange(other.length_, 0);
        offset_ = other.offset_;
        guard_ = std::exchange(other.guard_, -1);
    }
    return *this;
}

MappedWindow::~MappedWindow() {
    Release();
}

void MappedWindow::Release() {
    if (base_ == nullptr) return;
    // The entry goes first: once unmapped, the addresses may be given to anything else.
    ReleaseGuard(guard_);
    ::munmap(const_cast<std::uint8_t*>(base_), length_);
    base_ = nullptr;
    guard_ = -1;
}

std::optional<std::uint64_t> MappedWindow::failedAt() const {
    if (base_ == nullptr) return std::nullopt;
    const std::uintptr_t page = guards[static_cast<std::size_t>(guard_)].firstFailed.load();
    if (page == 0) return std::nullopt;
    return offset_ + (page - reinterpret_cast<std::uintptr_t>(base_));
}

WindowsAhead::WindowsAhead(int fd, std::uint64_t begin, std::uint64_t end, std::size_t windowSize)
    : thread_([this, fd, begin, end, windowSize] { MapAll(fd, begin, end, windowSize); }) {}

WindowsAhead::~WindowsAhead() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void WindowsAhead::MapAll(int fd, std::uint64_t begin, std::uint64_t end, std::size_t windowSize) {
    for (std::uint64_t at = begin; at < end;) {
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(windowSize, end - at));
        std::optional<MappedWindow> window = MappedWindow::Map(fd, at, length);
        if (window) EnterPages(*window);
        const bool mapped = window.has_value();
        {
            std::unique_lock lock(mutex_);
            // Waits for room ahead, unmapping what comes back meanwhile (outside the lock).
            while (!stopping_ && (ready_.size() >= kAhead || !returned_.empty())) {
                if (returned_.empty()) {
                    changed_.wait(lock);
                    continue;
                }
                std::vector<MappedWindow> unmap = std::move(returned_);
                returned_.clear();
                lock.unlock();
                unmap.clear();
                lock.lock();
            }
            if (stopping_) break;
            ready_.push_back(std::move(window));
        }
        changed_.notify_all();
        if (!mapped) break;
        at += length;
    }
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
    }
    changed_.notify_all();
    // What is handed back after the last window is unmapped by the taker itself.
}

std::optional<MappedWindow> WindowsAhead::Next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || finished_; });
    if (ready_.empty()) return std::nullopt;
    std::optional<MappedWindow> window = std::move(ready_.front());
    ready_.pop_front();
    lock.unlock();
    changed_.notify_all();
    return window;
}

void WindowsAhead::Return(MappedWindow window) {
    std::unique_lock lock(mutex_);
    if (finished_) {
        lock.unlock();
        return;  // `window` is unmapped here as it goes
    }
    returned_.push_back(std::move(window));
    lock.unlock();
    changed_.notify_all();
}

}  // namespace ostrum::common
