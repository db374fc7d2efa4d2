// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX helpers: calls interrupted by a signal are retried, reads and writes loop to the end, and a
// failure keeps its errno.

#include "common/posix_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <thread>
#include <vector>

#include "support/temp_folder.h"

namespace ostrum::common {
namespace {

namespace fs = std::filesystem;

std::atomic<int> signalsTaken{0};
void TakeSignal(int) {
    signalsTaken.fetch_add(1);
}

// True once the thread sleeps in the kernel (state 'S'), i.e. is blocked in a system call.
bool IsBlocked(pid_t thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
}

class PosixIoTest : public ::testing::Test {
  protected:
    test_support::TempFolder temp_;
    const fs::path dir_ = temp_.root();
};

TEST_F(PosixIoTest, OpenInterruptedByASignalIsRetried) {
    // A signal handler installed without SA_RESTART makes a blocked open fail with EINTR; the helper must
    // open all the same once the other end of the pipe appears.
    struct sigaction action {
    }, previous{};
    action.sa_handler = TakeSignal;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    std::atomic<pid_t> reader{0};
    std::atomic<bool> returned{false};
    int error = -1;
    UniqueFd opened;
    std::thread opener([&] {
        reader = static_cast<pid_t>(::syscall(SYS_gettid));
        opened = OpenFile(fifo, O_RDONLY | O_CLOEXEC, error);
        returned = true;
    });
    while (reader == 0 || !IsBlocked(reader)) std::this_thread::yield();
    const int before = signalsTaken.load();
    ::pthread_kill(opener.native_handle(), SIGUSR1);
    while (signalsTaken.load() == before) std::this_thread::yield();
    // Back in open after the signal, or returned from it.
    while (!returned && !IsBlocked(reader)) std::this_thread::yield();
    int writerError = 0;
    UniqueFd writer = OpenFile(fifo, O_WRONLY | O_NONBLOCK | O_CLOEXEC, writerError);
    opener.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_TRUE(writer.valid()) << writerError;
    EXPECT_TRUE(opened.valid());
    EXPECT_EQ(error, 0);
}

TEST_F(PosixIoTest, ReadsAndWritesGoToTheEndAndKeepTheirErrno) {
    const std::string path = (dir_ / "data").string();
    int error = 0;
    UniqueFd out = OpenFile(path, O_WRONLY | O_CREAT | O_CLOEXEC, error, 0600);
    ASSERT_TRUE(out.valid()) << error;
    std::vector<std::uint8_t> bytes(100000);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    EXPECT_EQ(WriteAll(out.get(), bytes).count, bytes.size());

    // Reading past the end stops there without an error; a write-only descriptor cannot be read.
    std::vector<std::uint8_t> back(200);
    IoResult read = ReadAt(out.get(), 0, back);
    EXPECT_EQ(read.error, EBADF);
    UniqueFd in = OpenFile(path, O_RDONLY | O_CLOEXEC, error);
    ASSERT_TRUE(in.valid());
    read = ReadAt(in.get(), bytes.size() - 50, back);
    EXPECT_FALSE(read.failed());
    EXPECT_EQ(read.count, 50u);
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + 50, bytes.end() - 50));

    // One scattered read fills the parts in order.
    std::array<std::uint8_t, 3> first{};
    std::array<std::uint8_t, 5> second{};
    std::array<iovec, 2> parts{iovec{first.data(), first.size()}, iovec{second.data(), second.size()}};
    read = ReadVectorAt(in.get(), 1000, parts);
    EXPECT_EQ(read.count, 8u);
    EXPECT_EQ(first[0], bytes[1000]);
    EXPECT_EQ(second[4], bytes[1007]);

    // A full device refuses the write with its own reason; a missing file says so.
    UniqueFd full = OpenFile("/dev/full", O_WRONLY | O_CLOEXEC, error);
    ASSERT_TRUE(full.valid());
    const IoResult written = WriteAll(full.get(), bytes);
    EXPECT_EQ(written.error, ENOSPC);
    EXPECT_EQ(written.count, 0u);
    EXPECT_FALSE(OpenFile((dir_ / "absent").string(), O_RDONLY, error).valid());
    EXPECT_EQ(error, ENOENT);
}

}  // namespace
}  // namespace ostrum::common
