// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Lays out a parsed document into a display list: text runs, pictures, rules, backgrounds and
// frames, each with its place relative to the layout's top-left corner.

#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QRect>
#include <map>
#include <memory>
#include <variant>
#include <vector>

#include "ui/effects/effect_painter.h"
#include "ui/richtext/document.h"
#include "ui/richtext/resource_provider.h"
#include "ui/richtext/style_sheet.h"

class QPaintDevice;

namespace ostrum::ui {

class ColourTable;

struct TextItem {
    QRect rect;  // the run's box: top-left and advance x text height
    int ascent = 0;
    QString text;
    QFont font;
    ColorRef colour = 0;
    bool opaqueBackground = false;
    ColorRef background = 0;
    bool overline = false;
    int overlineWidth = 1;
    // Justification: every space of the run widens by `perSpace`, the first `remainder` spaces
    // of the line by one more; `firstSpace` numbers this run's first space within its line.
    int perSpace = 0;
    int remainder = 0;
    int firstSpace = 0;
};

struct PictureItem {
    enum class Kind { Bitmap, Icon, StripCell };
    QRect rect;
    Kind kind = Kind::Bitmap;
    QImage image;  // Bitmap and StripCell
    QIcon icon;    // Icon
    QSize cellSize;
    int cellIndex = 0;
    PictureOptions normal;
    PictureOptions hover;  // used while the picture's link is under the cursor
};

struct RuleItem {
    QRect rect;
    bool etched = false;  // shadow over highlight instead of one colour
    ColorRef colour = 0;
    LineStyle style = LineStyle::Solid;
};

struct BackgroundItem {
    QRect rect;
    int effect = kEffectTransparent;
    ColorRef colours[3] = {0, 0, 0};
    QImage picture;  // tiled when there is no effect
};

struct FrameItem {
    QRect rect;
    ColorRef light = 0;
    ColorRef dark = 0;
    LineStyle style = LineStyle::Solid;
    int width = 1;
};

struct DisplayItem {
    std::variant<TextItem, PictureItem, RuleItem, BackgroundItem, FrameItem> content;
    int link = -1;

    QRect& rect();
    const QRect& rect() const;
};

struct Layout {
    QSize size;
    std::vector<DisplayItem> items;
    // Whether another align width would give another layout (aligned lines, tables, rules).
    bool dependsOnAlignWidth = false;
};

// A picture the caller registered under a handle number.
struct HandlePicture {
    QImage image;
    QIcon icon;
};

struct ShadowSettings {
    int dx = 4;
    int dy = 4;
    int darkness = 50;
    bool blurred = true;
    int blurWidth = 7;
    int blurHeight = 7;
};

struct LayoutSettings {
    const StyleSheet* sheet = nullptr;
    const ColourTable* colours = nullptr;
    const ResourceProvider* resources = nullptr;
    const std::map<std::uint32_t, HandlePicture>* handles = nullptr;
    int wrapWidth = 0;   // 0: no automatic wrapping
    int alignWidth = 0;  // width that alignment and tables fill; 0: as wide as the content
    int tabWidth = 32;
    int hoverLink = -1;
    bool enabled = true;
    ColorRef disabledColour = 0x808080;
    ShadowSettings shadow;
};

// Caches fonts and their metrics for one device resolution.
class FontCache {
  public:
    struct Entry {
        QFont font;
        QFontMetrics metrics;
    };
    const Entry& get(const FontSpec& fontSpec, QPaintDevice* device);

  private:
    std::vector<std::pair<FontSpec, std::unique_ptr<Entry>>> entries_;
    int dpi_ = 0;
};

Layout layoutDocument(const Document& doc, const LayoutSettings& settings, QPaintDevice* device,
                      FontCache& fonts);

}  // namespace ostrum::ui
