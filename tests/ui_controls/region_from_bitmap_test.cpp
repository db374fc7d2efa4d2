// SPDX-License-Identifier: GPL-3.0-or-later
// regionFromBitmap: tolerance bands, inside and outside regions, and the batching of runs.
#include "ui/skin/region_from_bitmap.h"

#include <gtest/gtest.h>

namespace ostrum::ui {
namespace {

QImage row(std::initializer_list<QRgb> pixels) {
    QImage image(static_cast<int>(pixels.size()), 1, QImage::Format_RGB32);
    int x = 0;
    for (QRgb p : pixels) {
        image.setPixel(x++, 0, p);
    }
    return image;
}

TEST(RegionFromBitmap, GreenKeyOutsideCoversOnlyTheRedPixel) {
    const auto region =
        regionFromBitmap(row({qRgb(0, 255, 0), qRgb(255, 0, 0), qRgb(0, 255, 0)}), 0x00FF00, false);
    ASSERT_TRUE(region.has_value());
    EXPECT_EQ(*region, QRegion(1, 0, 1, 1));
    const auto inside =
        regionFromBitmap(row({qRgb(0, 255, 0), qRgb(255, 0, 0), qRgb(0, 255, 0)}), 0x00FF00, true);
    EXPECT_EQ(*inside, QRegion(0, 0, 1, 1) + QRegion(2, 0, 1, 1));
}

TEST(RegionFromBitmap, ToleranceBandsOfBlackWhiteAndOtherKeys) {
    const QImage blackProbe = row({qRgb(16, 16, 16), qRgb(17, 0, 0)});
    EXPECT_EQ(*regionFromBitmap(blackProbe, 0x000000, true), QRegion(0, 0, 1, 1));
    const QImage whiteProbe = row({qRgb(239, 239, 239), qRgb(238, 255, 255)});
    EXPECT_EQ(*regionFromBitmap(whiteProbe, 0xFFFFFF, true), QRegion(0, 0, 1, 1));
    // Any other key: each channel within 17, clamped at the ends.
    const QImage probe = row({qRgb(100 + 17, 10, 250), qRgb(100 + 18, 10, 250), qRgb(83, 0, 255)});
    EXPECT_EQ(*regionFromBitmap(probe, makeColorRef(100, 10, 250), true),
              QRegion(0, 0, 1, 1) + QRegion(2, 0, 1, 1));
    const auto bands = keyColourBands(makeColorRef(5, 128, 250));
    EXPECT_EQ(bands[0].low, 0);
    EXPECT_EQ(bands[0].high, 22);
    EXPECT_EQ(bands[2].high, 255);
}

TEST(RegionFromBitmap, RunsAreBatchedByThreeThousand) {
    // Every other pixel is key-coloured: 1501 runs per row, two rows = 3002 runs in two batches.
    QImage image(3001, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, x % 2 == 0 ? qRgb(0, 255, 0) : qRgb(0, 0, 255));
        }
    }
    RegionBuildStats stats;
    const auto region = regionFromBitmap(image, 0x00FF00, true, &stats);
    EXPECT_EQ(stats.runs, 3002);
    EXPECT_EQ(stats.batches, 2);
    EXPECT_TRUE(region->contains(QPoint(3000, 1)));
    EXPECT_FALSE(region->contains(QPoint(2999, 1)));
    EXPECT_EQ(region->rectCount(), 3002);
}

TEST(RegionFromBitmap, NoPictureGivesNoRegion) {
    EXPECT_FALSE(regionFromBitmap(QImage(), 0, false).has_value());
    // A picture without key pixels: outside covers all of it.
    EXPECT_EQ(*regionFromBitmap(row({qRgb(9, 99, 199)}), 0x00FF00, false), QRegion(0, 0, 1, 1));
}

}  // namespace
}  // namespace ostrum::ui
