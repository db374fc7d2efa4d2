// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures and strings the program embeds: every number is there in the size the windows
// expect, and the string table keeps its texts exactly.
#include "app/resources/program_resources.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <set>

#include "app/resources/artwork_names.h"

namespace ostrum::app {
namespace {

using artwork::Picture;
using artwork::pictureId;

// The numbers a `set(<name> ...)` line of the build's artwork list holds.
std::set<int> CMakeNumbers(const QString& text, const QString& name) {
    const QRegularExpression line(QStringLiteral("set\\(%1 ([0-9 ]+)\\)").arg(name));
    const QRegularExpressionMatch match = line.match(text);
    std::set<int> numbers;
    if (!match.hasMatch()) return numbers;
    for (const QString& number : match.captured(1).split(u' ', Qt::SkipEmptyParts))
        numbers.insert(number.toInt());
    return numbers;
}

template <std::size_t N>
std::set<int> Numbers(const std::array<Picture, N>& pictures) {
    std::set<int> numbers;
    for (Picture picture : pictures) numbers.insert(pictureId(picture));
    return numbers;
}

// The build embeds the files its own list names (CMake cannot read the Picture enum): that list holds
// exactly the pictures the enum names, so none is drawn and left out, or listed and never drawn.
TEST(ProgramResources, TheBuildListsEveryPictureOnce) {
    QFile list(QStringLiteral(OSTRUM_ARTWORK_CMAKE));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly)) << OSTRUM_ARTWORK_CMAKE;
    const QString text = QString::fromUtf8(list.readAll());
    EXPECT_EQ(CMakeNumbers(text, QStringLiteral("bitmap_ids")), Numbers(artwork::kBitmapIds));
    EXPECT_EQ(CMakeNumbers(text, QStringLiteral("icon_ids")), Numbers(artwork::kIconIds));
    EXPECT_EQ(CMakeNumbers(text, QStringLiteral("icon_sizes")),
              std::set<int>(artwork::kIconSizes.begin(), artwork::kIconSizes.end()));
}

TEST(ProgramResources, EveryPictureHasItsSize) {
    using enum Picture;
    const std::map<Picture, QSize> sizes{
        {ImageRoadPageSkin, {730, 409}},   {StartPageSkin, {732, 410}},
        {StartRecoveryPicture, {120, 38}}, {LoadImagePicture, {140, 85}},
        {CreateImagePicture, {138, 84}},   {StopButton, {50, 38}},
        {StopButtonHover, {50, 38}},       {BackButton, {50, 38}},
        {BackButtonHover, {50, 38}},       {NextButton, {50, 38}},
        {NextButtonHover, {50, 38}},       {ImagingPageSkin, {730, 409}},
        {TreeStateStrip, {68, 16}},        {FolderStateStrip, {74, 16}},
        {RecoverySkin, {786, 507}},        {AboutSkin, {359, 335}},
        {DeviceSelectionSkin, {525, 275}}, {HelpTopicsButtonHover, {83, 21}},
        {HelpTopicsButton, {83, 21}},      {HomeButton, {44, 21}},
        {HomeButtonHover, {44, 21}},       {AboutButton, {47, 21}},
        {AboutButtonHover, {47, 21}},
    };
    const auto resources = ProgramResources::instance();
    ASSERT_EQ(sizes.size(), artwork::kBitmapIds.size());
    for (const auto& [picture, size] : sizes) {
        const int id = pictureId(picture);
        const QImage image = resources->bitmap(id);
        EXPECT_EQ(image.size(), size) << "bitmap " << id;
        EXPECT_EQ(image.format(), QImage::Format_RGB32) << "bitmap " << id;
    }
    EXPECT_TRUE(resources->bitmap(999).isNull());
}

TEST(ProgramResources, SmallButtonsHaveBlackCornersAndAVisibleSymbol) {
    const auto resources = ProgramResources::instance();
    using enum Picture;
    for (Picture picture : {StopButton, StopButtonHover, BackButton, BackButtonHover, NextButton,
                            NextButtonHover, HelpTopicsButtonHover, HelpTopicsButton, HomeButton,
                            HomeButtonHover, AboutButton, AboutButtonHover}) {
        const int id = pictureId(picture);
        const QImage image = resources->bitmap(id);
        EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0)) << "bitmap " << id;  // the transparent colour
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                opaque += (image.pixel(x, y) & 0xFFFFFF) != 0 ? 1 : 0;
            }
        }
        EXPECT_GT(opaque, image.width() * image.height() / 3) << "bitmap " << id;
    }
}

TEST(ProgramResources, StripsIconsAndStrings) {
    const auto resources = ProgramResources::instance();
    const ui::ImageStrip strip = resources->imageStrip(pictureId(Picture::FolderStateStrip));
    EXPECT_EQ(strip.cellSize, QSize(16, 16));
    EXPECT_EQ(strip.image.width(), 74);
    // Cell 0 of the tree's strip is blank white; cell 1 has the box's frame.
    const QImage tree = resources->imageStrip(pictureId(Picture::TreeStateStrip)).image;
    EXPECT_EQ(tree.pixel(8, 8), qRgb(255, 255, 255));
    EXPECT_NE(tree.pixel(16 + 2, 8), qRgb(255, 255, 255));
    for (Picture picture : artwork::kIconIds) {
        const int id = pictureId(picture);
        const QIcon icon = resources->icon(id);
        EXPECT_FALSE(icon.isNull()) << "icon " << id;
        EXPECT_EQ(icon.availableSizes().size(), 3) << "icon " << id;
    }
    EXPECT_EQ(resources->string(101), QStringLiteral("&About Brivane Ostrum TAPE (WINDOWS)"));
    EXPECT_EQ(resources->string(9020), QStringLiteral("%s (%d seconds remaining)"));
    EXPECT_EQ(resources->string(9011), QStringLiteral("<< More"));
    EXPECT_FALSE(resources->string(4242).has_value());
}

TEST(ProgramResources, StringTableKeepsTrailingBlanksAndEscapes) {
    const auto table = ProgramResources::parseStringTable(
        QStringLiteral("# comment\n7\tends in a blank \r\n8\ttwo\\nlines\\t\\\\\nbad line\n9\t\n"));
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table.at(7), QStringLiteral("ends in a blank "));
    EXPECT_EQ(table.at(8), QStringLiteral("two\nlines\t\\"));
    EXPECT_EQ(table.at(9), QString());
}

}  // namespace
}  // namespace ostrum::app
