// The pictures and strings the program embeds: every number is there in the size the windows
// expect, and the string table keeps its texts exactly.
#include "app/resources/program_resources.h"

#include <gtest/gtest.h>

#include "app/resources/artwork_names.h"

namespace ostrum::ui {
namespace {

TEST(ProgramResources, EveryPictureHasItsSize) {
    const std::map<int, QSize> sizes{
        {129, {730, 409}}, {130, {732, 410}}, {131, {120, 38}}, {132, {140, 85}}, {133, {138, 84}},
        {134, {50, 38}},   {135, {50, 38}},   {136, {50, 38}},  {137, {50, 38}},  {138, {50, 38}},
        {139, {50, 38}},   {140, {730, 409}}, {144, {68, 16}},  {147, {74, 16}},  {150, {786, 507}},
        {151, {359, 335}}, {155, {525, 275}}, {156, {83, 21}},  {157, {83, 21}},  {158, {44, 21}},
        {159, {44, 21}},   {160, {47, 21}},   {161, {47, 21}},
    };
    const auto resources = ProgramResources::instance();
    ASSERT_EQ(sizes.size(), artwork::kBitmapIds.size());
    for (const auto& [id, size] : sizes) {
        const QImage image = resources->bitmap(id);
        EXPECT_EQ(image.size(), size) << "bitmap " << id;
        EXPECT_EQ(image.format(), QImage::Format_RGB32) << "bitmap " << id;
    }
    EXPECT_TRUE(resources->bitmap(999).isNull());
}

TEST(ProgramResources, SmallButtonsHaveBlackCornersAndAVisibleSymbol) {
    const auto resources = ProgramResources::instance();
    for (int id : {134, 135, 136, 137, 138, 139, 156, 157, 158, 159, 160, 161}) {
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
    const ImageStrip strip = resources->imageStrip(147);
    EXPECT_EQ(strip.cellSize, QSize(16, 16));
    EXPECT_EQ(strip.image.width(), 74);
    // Cell 0 of 144 is blank white; cell 1 has the box's frame.
    const QImage tree = resources->imageStrip(144).image;
    EXPECT_EQ(tree.pixel(8, 8), qRgb(255, 255, 255));
    EXPECT_NE(tree.pixel(16 + 2, 8), qRgb(255, 255, 255));
    for (int id : artwork::kIconIds) {
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
}  // namespace ostrum::ui
