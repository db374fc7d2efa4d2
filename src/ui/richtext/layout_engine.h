// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Internals of the layout: the style stack, the line builder of one flow and the engine that
// applies tags and lays out tables. Only layout*.cpp include this header.

#include <map>
#include <optional>
#include <vector>

#include "ui/richtext/layout.h"
#include "ui/richtext/lengths.h"

namespace ostrum::ui::detail {

inline constexpr int kNoWidth = 0;  // a wrap or align width of 0: unbounded

// The whole number an attribute holds, or `fallback` when it is missing or not a number.
int parseInt(const QString* text, int fallback);

struct StackEntry {
    QString tag;
    TextStyle style;
    int link = -1;
};

// The style in force, pushed by opening tags and popped by their closing tags.
class StyleStack {
  public:
    explicit StyleStack(const TextStyle& base) { entries_.push_back({{}, base, -1}); }

    const TextStyle& top() const { return entries_.back().style; }
    int link() const { return entries_.back().link; }
    void push(const QString& tag, const TextStyle& style, int link);
    // Pops the most recent entry pushed by `tag` and everything above it; nothing if none.
    void pop(QStringView tag);

  private:
    std::vector<StackEntry> entries_;
};

struct FlowResult {
    int width = 0;
    int height = 0;
    std::vector<DisplayItem> items;
};

class Engine;

// Builds the lines of one flow (the body or a table cell).
class FlowBuilder {
  public:
    FlowBuilder(Engine& engine, StyleStack& stack, int wrapWidth, int alignWidth);

    void text(const QString& text);
    void tab(int count);
    void lineBreak(int count);
    void picture(PictureItem picture);
    // A table or a rule: a line of its own.
    void block(FlowResult content, std::optional<HAlign> align);
    int alignWidth() const { return alignWidth_; }

    FlowResult finish();

  private:
    struct LineItem {
        std::vector<DisplayItem> items;  // relative to the item's own top-left corner
        int x = 0;
        int width = 0;
        int ascent = 0;
        int height = 0;
        VAlign valign = VAlign::Baseline;
        bool isText = false;
        bool isBlock = false;
        int spaces = 0;
    };
    struct Line {
        std::vector<LineItem> items;
        int width = 0;
        int ascent = 0;
        int descent = 0;
        HAlign align = HAlign::Left;
        bool alignSet = false;
        int breaks = 0;
        bool explicitBreak = false;
        int extraHeight = 0;  // the further lines of "<br N>"
    };

    void place(LineItem item, int width, int descent);
    void placeText(const QString& text);
    void endLine(bool explicitBreak);
    int positionInLine(const LineItem& item, const Line& line) const;
    void justify(Line& line, int extra);

    Engine& engine_;
    StyleStack& stack_;
    int wrapWidth_;
    int alignWidth_;
    std::vector<Line> lines_;
    Line current_;
    int x_ = 0;
};

class Engine {
  public:
    Engine(const Document& doc, const LayoutSettings& settings, QPaintDevice* device, FontCache& fonts);

    FlowResult flow(const Flow& flow, StyleStack& stack, int wrapWidth, int alignWidth);

    const FontCache::Entry& font(const FontSpec& fontSpec) { return fonts_.get(fontSpec, device_); }
    ColorRef foreground(ColorRef colour) const {
        return settings_.enabled ? colour : settings_.disabledColour;
    }
    const LayoutSettings& settings() const { return settings_; }
    // What a length attribute ("width=50%", "size=2pt") is read against: `current` for a
    // percentage or a relative value, and the device's resolution.
    LengthContext lengths(int current) const;
    StyleEnvironment styleEnvironment();
    void noteAlignWidthUsed() { dependsOnAlignWidth_ = true; }
    bool dependsOnAlignWidth() const { return dependsOnAlignWidth_; }
    void applyClass(TextStyle& style, QStringView selector);

  private:
    int dpi() const;
    void applyTag(int token, StyleStack& stack, FlowBuilder* builder);
    void applyStyleTag(const MarkupTag& tag, int token, StyleStack& stack);
    void applyFontAttributes(const MarkupTag& tag, TextStyle& style);
    void insertString(const MarkupTag& tag, FlowBuilder& builder);
    void rule(const MarkupTag& tag, StyleStack& stack, FlowBuilder& builder);
    std::optional<PictureItem> picture(const MarkupTag& tag);
    PictureOptions pictureEffects(const QString* letters, const QString* mask);

    // Tables (layout_table.cpp).
    FlowResult table(const TableNode& node, StyleStack& stack, int alignWidth, std::optional<HAlign>& align);
    // A cell laid out without a width limit, and the style stack it leaves behind.
    struct NaturalCell {
        FlowResult result;
        StyleStack end{TextStyle()};
    };
    const NaturalCell& naturalCell(const CellNode& cell, const StyleStack& start);
    int minimumCellWidth(const CellNode& cell, const StyleStack& start);
    QImage loadBackgroundPicture(const QString& source) const;

    friend class TableLayout;

    const Document& doc_;
    const LayoutSettings& settings_;
    QPaintDevice* device_;
    FontCache& fonts_;
    std::map<const CellNode*, NaturalCell> naturalCells_;
    std::map<const CellNode*, int> minimumCells_;
    bool dependsOnAlignWidth_ = false;
};

}  // namespace ostrum::ui::detail
