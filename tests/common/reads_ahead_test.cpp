// SPDX-License-Identifier: GPL-3.0-or-later
// Reading ahead: windows come in order with the file's bytes, a window read short says so, and a reader
// given up before its end stops without waiting for the windows nobody takes.

#include "common/reads_ahead.h"

#include <gtest/gtest.h>

#include <fstream>
#include <numeric>
#include <vector>

#include "support/temp_folder.h"

namespace ostrum::common {
namespace {

// A file image whose reads stop short from one byte on, as a bad stretch of disk does.
class ShortImage final : public ImageSource {
  public:
    ShortImage(const ImageSource& image, std::uint64_t badByte) : image_(image), bad_(badByte) {}
    std::optional<std::uint64_t> Size() const override { return image_.Size(); }
    ImageRead Read(std::uint64_t position, std::span<std::uint8_t> out) const override {
        if (bad_ >= position && bad_ < position + out.size()) {
            ImageRead read = image_.Read(position, out.first(static_cast<std::size_t>(bad_ - position)));
            read.error = "cannot read";
            return read;
        }
        return image_.Read(position, out);
    }

  private:
    const ImageSource& image_;
    std::uint64_t bad_;
};

class ReadsAheadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        bytes.resize(10 * 1000 + 123);
        std::iota(bytes.begin(), bytes.end(), std::uint8_t{7});
        const std::string path = temp.path("image").string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        ASSERT_TRUE(OpenImageFile(file, path));
    }

    test_support::TempFolder temp;
    std::vector<std::uint8_t> bytes;
    ImageFile file;
};

TEST_F(ReadsAheadTest, WindowsComeInOrderWithTheFilesBytesAndTheLastMayBeShorter) {
    ReadsAhead ahead(file, 500, bytes.size(), 1000);
    std::uint64_t expected = 500;
    while (auto window = ahead.Next()) {
        EXPECT_EQ(window->offset, expected);
        EXPECT_TRUE(window->complete);
        EXPECT_EQ(window->bytes.size(), std::min<std::uint64_t>(1000, bytes.size() - expected));
        EXPECT_TRUE(std::equal(window->bytes.begin(), window->bytes.end(), bytes.begin() + expected));
        expected += window->bytes.size();
        ahead.Return(*window);
    }
    EXPECT_EQ(expected, bytes.size());
    EXPECT_FALSE(ahead.Next());
}

TEST_F(ReadsAheadTest, WindowReadShortSaysSoAndTheReadsGoOnAfterIt) {
    const ShortImage damaged(file, 3 * 1000 + 10);
    ReadsAhead ahead(damaged, 0, 6000, 1000);
    std::vector<std::size_t> sizes;
    std::vector<bool> complete;
    while (auto window = ahead.Next()) {
        sizes.push_back(window->bytes.size());
        complete.push_back(window->complete);
        ahead.Return(*window);
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{1000, 1000, 1000, 10, 1000, 1000}));
    EXPECT_EQ(complete, (std::vector<bool>{true, true, true, false, true, true}));
}

TEST_F(ReadsAheadTest, ReaderGivenUpEarlyStopsWithWindowsStillOut) {
    for (int held = 0; held < 3; ++held) {
        ReadsAhead ahead(file, 0, bytes.size(), 100);
        for (int i = 0; i < held; ++i) ASSERT_TRUE(ahead.Next());  // taken and never returned
    }
    ReadsAhead empty(file, 100, 100, 1000);
    EXPECT_FALSE(empty.Next());
}

}  // namespace
}  // namespace ostrum::common
