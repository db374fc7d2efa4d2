// Mapped windows: a file cut short under a window reads as zeros from the first lost page on, and says
// where; faults elsewhere still end the program.

#include "common/mapped_window.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <thread>
#include <vector>

#include "common/unique_fd.h"
#include "support/temp_folder.h"

namespace ostrum::common {
namespace {

namespace fs = std::filesystem;

class MappedWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path = temp.path("mapped");
        file = UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        ASSERT_TRUE(file.valid());
        page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        bytes.resize(4 * page);
        std::iota(bytes.begin(), bytes.end(), std::uint8_t{1});
        ASSERT_EQ(::pwrite(file.get(), bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    }

    test_support::TempFolder temp;
    fs::path path;
    UniqueFd file;
    std::size_t page = 0;
    std::vector<std::uint8_t> bytes;
};

TEST_F(MappedWindowTest, FileCutShortReadsAsZerosFromTheFirstLostPageAndSaysWhere) {
    auto window = MappedWindow::Map(file.get(), page, 3 * page);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->offset(), page);
    EXPECT_TRUE(std::equal(window->bytes().begin(), window->bytes().end(), bytes.begin() + page));
    EXPECT_FALSE(window->failedAt());

    // Cut inside the third page of the file: the window's second page keeps what is left of it, its
    // third page is gone. Touching the lost page first, then the one before, names the earlier one.
    ASSERT_EQ(::ftruncate(file.get(), 2 * page + 100), 0);
    const auto seen = window->bytes();
    EXPECT_EQ(seen[2 * page + 7], 0);
    EXPECT_EQ(window->failedAt(), 3 * page);
    EXPECT_EQ(seen[page + 99], bytes[2 * page + 99]);
    EXPECT_EQ(seen[page + 100], 0);  // past the end, in the end's page: zeros without a fault
    EXPECT_EQ(window->failedAt(), 3 * page);

    // Another thread's window is guarded the same; the first window's note stays its own.
    std::optional<std::uint64_t> other;
    std::thread([&] {
        auto second = MappedWindow::Map(file.get(), 0, 4 * page);
        ASSERT_TRUE(second);
        EXPECT_EQ(second->bytes()[0], bytes[0]);
        EXPECT_EQ(second->bytes()[3 * page + 1], 0);
        other = second->failedAt();
    }).join();
    EXPECT_EQ(other, 3 * page);
    EXPECT_EQ(window->failedAt(), 3 * page);

    // Moved, the window keeps its note; the moved-from one holds nothing.
    MappedWindow moved = std::move(*window);
    EXPECT_EQ(moved.failedAt(), 3 * page);
    EXPECT_TRUE(window->bytes().empty());
    EXPECT_FALSE(window->failedAt());
}

TEST_F(MappedWindowTest, WindowsAheadComeInOrderAndStopWhenLeftEarly) {
    {
        WindowsAhead ahead(file.get(), page, 4 * page, 2 * page);
        std::vector<std::uint8_t> seen;
        while (auto window = ahead.Next()) {
            seen.insert(seen.end(), window->bytes().begin(), window->bytes().end());
            ahead.Return(std::move(*window));
        }
        EXPECT_TRUE(std::equal(seen.begin(), seen.end(), bytes.begin() + page, bytes.end()));
        EXPECT_EQ(seen.size(), 3 * page);
    }
    {
        // A range that runs past the file's end: the mapping thread meets the lost pages itself, and
        // the windows still come in order, those past the end saying where their first lost page is.
        WindowsAhead ahead(file.get(), 0, 8 * page, 2 * page);
        std::vector<std::optional<std::uint64_t>> failed;
        while (auto window = ahead.Next()) {
            failed.push_back(window->failedAt());
            if (window->offset() + window->bytes().size() <= bytes.size()) {
                EXPECT_TRUE(std::equal(window->bytes().begin(), window->bytes().end(),
                                       bytes.begin() + static_cast<std::ptrdiff_t>(window->offset())));
            }
            ahead.Return(std::move(*window));
        }
        EXPECT_EQ(failed, (std::vector<std::optional<std::uint64_t>>{std::nullopt, std::nullopt, 4 * page,
                                                                     6 * page}));
    }
    // Left after the first window, with the next ones mapped and waiting: the thread ends.
    WindowsAhead(file.get(), 0, 4 * page, page).Next();
    // A window that cannot be mapped ends the windows.
    WindowsAhead refused(-1, 0, 4 * page, page);
    EXPECT_FALSE(refused.Next());
    EXPECT_FALSE(refused.Next());
}

TEST_F(MappedWindowTest, OffsetsOffThePageAndFaultsOutsideWindowsAreNotTaken) {
    EXPECT_FALSE(MappedWindow::Map(file.get(), 100, page));
    EXPECT_FALSE(MappedWindow::Map(-1, 0, page));
    // A window on the file is mapped, so the guard is in place; a mapping of its own is not guarded.
    auto window = MappedWindow::Map(file.get(), 0, page);
    ASSERT_TRUE(window);
    EXPECT_DEATH(
        {
            void* plain = ::mmap(nullptr, 4 * page, PROT_READ, MAP_SHARED, file.get(), 0);
            if (::ftruncate(file.get(), 0) != 0 || plain == MAP_FAILED) std::_Exit(0);
            volatile std::uint8_t lost = static_cast<const std::uint8_t*>(plain)[2 * page];
            (void)lost;
            std::_Exit(0);
        },
        "");
}

}  // namespace
}  // namespace ostrum::common
