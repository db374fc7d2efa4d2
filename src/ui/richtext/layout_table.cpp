// SPDX-License-Identifier: GPL-3.0-or-later
// Table layout: the grid of cells with their spans, column widths and row heights, cell padding
// and spacing, borders and background effects.
#include <QFile>
#include <algorithm>
#include <numeric>

#include "ui/richtext/colour_names.h"
#include "ui/richtext/layout_engine.h"
#include "ui/richtext/lengths.h"

namespace ostrum::ui::detail {

namespace {

constexpr int kMaxSpan = 64;
constexpr int kMaxColumns = 256;
constexpr int kMaxBorder = 100;
constexpr int kMaxPadding = 1000;
constexpr int kDoubleBorderAllowance = 6;  // both sides of a double border
constexpr int kDoubleBorderInset = 3;
constexpr int kNarrowestWrap = 1;  // wrapping at every break gives a cell's minimum width

// Attributes with limits; every fallback passed here already lies within its limits.
int parseNumber(const QString* text, int fallback, int low, int high) {
    return std::clamp(parseInt(text, fallback), low, high);
}

std::optional<int> parseEffect(const QString& text) {
    const QString name = text.trimmed().toLower();
    for (std::size_t i = 0; i < std::size(kBackgroundEffectNames); ++i) {
        if (name == QStringView(kBackgroundEffectNames[i])) {
            return static_cast<int>(i) + kEffectTransparent;
        }
    }
    bool ok = false;
    const int number = name.toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

std::optional<LineStyle> parseBorderStyle(const QString& text) {
    static const std::pair<const char16_t*, LineStyle> kStyles[] = {
        {u"none", LineStyle::None},       {u"solid", LineStyle::Solid},
        {u"dashed", LineStyle::Dash},     {u"dash", LineStyle::Dash},
        {u"dotted", LineStyle::Dot},      {u"dot", LineStyle::Dot},
        {u"dashdot", LineStyle::DashDot}, {u"dashdotdot", LineStyle::DashDotDot},
        {u"double", LineStyle::Double},
    };
    const QString name = text.trimmed().toLower();
    for (const auto& [n, style] : kStyles) {
        if (name == QStringView(n)) {
            return style;
        }
    }
    bool ok = false;
    const int number = name.toInt(&ok);
    if (ok && number >= 0 && number <= static_cast<int>(LineStyle::Double)) {
        return static_cast<LineStyle>(number);
    }
    return std::nullopt;
}

std::optional<HAlign> parseHAlign(const QString* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    const QString v = text->trimmed().toLower();
    if (v == u"left") {
        return HAlign::Left;
    }
    if (v == u"center" || v == u"middle") {
        return HAlign::Center;
    }
    if (v == u"right") {
        return HAlign::Right;
    }
    if (v == u"justify") {
        return HAlign::Justify;
    }
    return std::nullopt;
}

std::optional<VAlign> parseVAlign(const QString* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    const QString v = text->trimmed().toLower();
    if (v == u"top") {
        return VAlign::Top;
    }
    if (v == u"middle" || v == u"vcenter" || v == u"center") {
        return VAlign::Middle;
    }
    if (v == u"bottom") {
        return VAlign::Bottom;
    }
    if (v == u"baseline") {
        return VAlign::Baseline;
    }
    return std::nullopt;
}

// Border and background of the table or of one cell.
struct Box {
    int border = 0;
    LineStyle borderStyle = LineStyle::Solid;
    ColorRef light = 0;
    ColorRef dark = 0;
    int effect = kEffectTransparent;
    ColorRef colours[3] = {0, 0, 0};
    QString picture;

    int allowance() const {
        if (border <= 0 || borderStyle == LineStyle::None) {
            return 0;
        }
        return borderStyle == LineStyle::Double ? kDoubleBorderAllowance : 2 * border;
    }
    int inset() const { return allowance() / 2; }
};

struct CellSlot {
    const CellNode* node = nullptr;
    const MarkupTag* tag = nullptr;
    const MarkupTag* rowTag = nullptr;
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    Box box;
    std::optional<int> fixedWidth;
    std::optional<int> fixedHeight;
    std::optional<HAlign> align;
    VAlign valign = VAlign::Middle;
    StyleStack start{TextStyle()};
    FlowResult content;
};

const QString* attributeOf(const MarkupTag* tag, const char16_t* name) {
    return tag != nullptr ? tag->attribute(name) : nullptr;
}

}  // namespace

class TableLayout {
  public:
    TableLayout(Engine& engine, const TableNode& node, int available)
        : engine_(engine), node_(node), tag_(engine.doc_.tagAt(node.tagToken)), available_(available) {}

    FlowResult run(StyleStack& stack, std::optional<HAlign>& align);

  private:
    std::optional<int> length(const QString* text, int percentOf) const {
        if (text == nullptr) {
            return std::nullopt;
        }
        const auto value = parseLength(*text, engine_.lengths(percentOf));
        return value && *value >= 0 ? value : std::nullopt;
    }

    void readBox(Box& box, const MarkupTag* tag, bool withBorder) const;
    void placeCells();
    void measureCells(StyleStack& stack);
    void sizeColumns();
    void fitColumns();
    void sizeRows();
    FlowResult compose();
    int insets(const CellSlot& cell) const { return padding_ + cell.box.inset(); }
    // What `count` columns (or rows) take beside their own sizes: the spacing before, between and
    // after them, the pixel between neighbours, and the table's border.
    int frameAround(int count) const { return spacing_ * (count + 1) + (count - 1) + box_.allowance(); }
    // `count` columns (or rows) from `first` with the spacing and pixels between them.
    int span(const std::vector<int>& sizes, int first, int count) const;
    // Where each column (or row) starts, and after the last, where the next would.
    std::vector<int> starts(const std::vector<int>& sizes) const;
    int spanWidth(const CellSlot& cell) const { return span(columns_, cell.column, cell.columnSpan); }
    int spanHeight(const CellSlot& cell) const { return span(rows_, cell.row, cell.rowSpan); }

    Engine& engine_;
    const TableNode& node_;
    const MarkupTag* tag_;
    int available_;
    Box box_;
    int padding_ = 0;
    int spacing_ = 0;
    std::vector<CellSlot> cells_;
    std::vector<int> columns_;
    std::vector<bool> fixedColumns_;
    std::vector<int> rows_;
    int rowCount_ = 0;
};

void TableLayout::readBox(Box& box, const MarkupTag* tag, bool withBorder) const {
    if (tag == nullptr) {
        return;
    }
    const ColourTable& colours = *engine_.settings().colours;
    if (withBorder) {
        box.border = parseNumber(tag->attribute(u"border"), box.border, 0, kMaxBorder);
        if (const QString* style = tag->attribute(u"borderstyle")) {
            box.borderStyle = parseBorderStyle(*style).value_or(box.borderStyle);
        }
        if (const QString* c = tag->attribute(u"bordercolor")) {
            box.light = box.dark = parseColour(*c, box.light, colours);
        }
        if (const QString* c = tag->attribute(u"bordercolorlight")) {
            box.light = parseColour(*c, box.light, colours);
        }
        if (const QString* c = tag->attribute(u"bordercolordark")) {
            box.dark = parseColour(*c, box.dark, colours);
        }
    }
    if (const QString* c = tag->attribute(u"bgcolor")) {
        // A colour alone paints solid; mid and end colours default to it.
        box.colours[0] = box.colours[1] = box.colours[2] = parseColour(*c, box.colours[0], colours);
        box.effect = kEffectSolid;
    }
    if (const QString* c = tag->attribute(u"bgmidcolor")) {
        box.colours[1] = parseColour(*c, box.colours[1], colours);
    }
    if (const QString* c = tag->attribute(u"bgendcolor")) {
        box.colours[2] = parseColour(*c, box.colours[2], colours);
    }
    if (const QString* e = tag->attribute(u"bgeffect")) {
        box.effect = parseEffect(*e).value_or(box.effect);
    }
    if (const QString* p = tag->attribute(u"background")) {
        box.picture = *p;
    }
}

void TableLayout::placeCells() {
    rowCount_ = static_cast<int>(node_.rows.size());
    std::vector<std::vector<bool>> taken(static_cast<std::size_t>(rowCount_));
    auto occupied = [&](int r, int c) {
        const auto& row = taken[static_cast<std::size_t>(r)];
        return c < static_cast<int>(row.size()) && row[static_cast<std::size_t>(c)];
    };
    int columnCount = 0;
    for (int r = 0; r < rowCount_; ++r) {
        const RowNode& row = node_.rows[static_cast<std::size_t>(r)];
        int c = 0;
        for (const CellNode& cellNode : row.cells) {
            while (occupied(r, c)) {
                ++c;
            }
            CellSlot cell;
            cell.node = &cellNode;
            cell.tag = engine_.doc_.tagAt(cellNode.tagToken);
            cell.rowTag = engine_.doc_.tagAt(row.tagToken);
            cell.row = r;
            cell.column = c;
            cell.rowSpan =
                std::min(parseNumber(attributeOf(cell.tag, u"rowspan"), 1, 1, kMaxSpan), rowCount_ - r);
            cell.columnSpan = parseNumber(attributeOf(cell.tag, u"colspan"), 1, 1, kMaxSpan);
            if (c + cell.columnSpan > kMaxColumns) {
                continue;  // beyond the widest table believed
            }
            for (int rr = r; rr < r + cell.rowSpan; ++rr) {
                auto& marks = taken[static_cast<std::size_t>(rr)];
                marks.resize(std::max(marks.size(), static_cast<std::size_t>(c + cell.columnSpan)), false);
                std::fill(marks.begin() + c, marks.begin() + c + cell.columnSpan, true);
            }
            c += cell.columnSpan;
            columnCount = std::max(columnCount, c);
            cells_.push_back(std::move(cell));
        }
    }
    columns_.assign(static_cast<std::size_t>(columnCount), 0);
    fixedColumns_.assign(static_cast<std::size_t>(columnCount), false);
    rows_.assign(static_cast<std::size_t>(rowCount_), 0);
}

void TableLayout::measureCells(StyleStack& stack) {
    const Box cellDefaults = [&] {
        Box b;
        b.border = box_.border > 0 ? 1 : 0;
        b.borderStyle = box_.borderStyle;
        b.light = box_.light;
        b.dark = box_.dark;
        return b;
    }();
    const std::optional<VAlign> tableVAlign = parseVAlign(attributeOf(tag_, u"valign"));
    for (CellSlot& cell : cells_) {
        cell.box = cellDefaults;
        readBox(cell.box, cell.rowTag, false);
        readBox(cell.box, cell.tag, true);
        cell.align = parseHAlign(attributeOf(cell.tag, u"align"));
        if (!cell.align) {
            cell.align = parseHAlign(attributeOf(cell.rowTag, u"align"));
        }
        cell.valign = parseVAlign(attributeOf(cell.tag, u"valign"))
                          .value_or(parseVAlign(attributeOf(cell.rowTag, u"valign"))
                                        .value_or(tableVAlign.value_or(VAlign::Middle)));
        cell.fixedWidth = length(attributeOf(cell.tag, u"width"), available_);
        cell.fixedHeight = length(attributeOf(cell.tag, u"height"), 0);
        // The cell starts with the style in force where it stands in the text.
        cell.start = stack;
        if (cell.align) {
            TextStyle s = cell.start.top();
            s.hAlign = *cell.align;
            cell.start.push(QStringLiteral("td"), s, cell.start.link());
        }
        const Engine::NaturalCell& natural = engine_.naturalCell(*cell.node, cell.start);
        cell.content = natural.result;
        // What the cell leaves open stays open for the text after it.
        stack = natural.end;
        if (cell.align) {
            stack.pop(u"td");
        }
    }
}

int TableLayout::span(const std::vector<int>& sizes, int first, int count) const {
    const auto begin = sizes.begin() + first;
    return std::accumulate(begin, begin + count, 0) + (count - 1) * (spacing_ + 1);
}

std::vector<int> TableLayout::starts(const std::vector<int>& sizes) const {
    std::vector<int> out(sizes.size() + 1, box_.inset() + spacing_);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        out[i + 1] = out[i] + sizes[i] + spacing_ + 1;
    }
    return out;
}

void TableLayout::sizeColumns() {
    auto need = [&](const CellSlot& cell) {
        if (cell.fixedWidth) {
            return std::max(*cell.fixedWidth, engine_.minimumCellWidth(*cell.node, cell.start)) +
                   2 * insets(cell);
        }
        return cell.content.width + 2 * insets(cell);
    };
    for (const CellSlot& cell : cells_) {
        if (cell.columnSpan == 1) {
            auto& width = columns_[static_cast<std::size_t>(cell.column)];
            width = std::max(width, need(cell));
            if (cell.fixedWidth) {
                fixedColumns_[static_cast<std::size_t>(cell.column)] = true;
            }
        }
    }
    for (const CellSlot& cell : cells_) {
        const int deficit = need(cell) - spanWidth(cell);
        if (cell.columnSpan > 1 && deficit > 0) {
            for (int k = 0; k < cell.columnSpan; ++k) {
                columns_[static_cast<std::size_t>(cell.column + k)] +=
                    deficit / cell.columnSpan + (k < deficit % cell.columnSpan ? 1 : 0);
            }
        }
    }
}

void TableLayout::fitColumns() {
    const int count = static_cast<int>(columns_.size());
    const int natural = std::accumulate(columns_.begin(), columns_.end(), 0) + frameAround(count);
    std::optional<int> target = length(attributeOf(tag_, u"width"), available_);
    if (!target && available_ != kNoWidth) {
        target = available_;
    }
    if (!target || *target == natural) {
        return;
    }
    std::vector<int> flexible;
    for (int c = 0; c < count; ++c) {
        if (!fixedColumns_[static_cast<std::size_t>(c)]) {
            flexible.push_back(c);
        }
    }
    if (*target > natural) {
        // Each flexible column gets the remaining difference divided by the columns still to serve.
        int difference = *target - natural;
        for (std::size_t i = 0; i < flexible.size(); ++i) {
            const int share = difference / static_cast<int>(flexible.size() - i);
            columns_[static_cast<std::size_t>(flexible[i])] += share;
            difference -= share;
        }
        return;
    }
    // Too wide: flexible columns give up width down to the widest word or picture they hold.
    std::vector<int> minimum(static_cast<std::size_t>(count), 0);
    for (const CellSlot& cell : cells_) {
        if (cell.columnSpan == 1) {
            auto& m = minimum[static_cast<std::size_t>(cell.column)];
            m = std::max(m, engine_.minimumCellWidth(*cell.node, cell.start) + 2 * insets(cell));
        }
    }
    long long spare = 0;
    for (int c : flexible) {
        spare += std::max(0, columns_[static_cast<std::size_t>(c)] - minimum[static_cast<std::size_t>(c)]);
    }
    const long long excess = std::min<long long>(natural - *target, spare);
    if (spare <= 0) {
        return;
    }
    for (int c : flexible) {
        auto& width = columns_[static_cast<std::size_t>(c)];
        const int give = std::max(0, width - minimum[static_cast<std::size_t>(c)]);
        width -= static_cast<int>(excess * give / spare);
    }
}

void TableLayout::sizeRows() {
    for (CellSlot& cell : cells_) {
        const int width = spanWidth(cell) - 2 * insets(cell);
        // Wrap only where the cell is narrower than its text wants to be.
        const bool wrap = width < cell.content.width;
        StyleStack start = cell.start;
        cell.content =
            engine_.flow(cell.node->content, start, wrap ? std::max(1, width) : kNoWidth, std::max(0, width));
    }
    auto need = [&](const CellSlot& cell) {
        return std::max(cell.fixedHeight.value_or(0), cell.content.height + 2 * insets(cell));
    };
    for (const CellSlot& cell : cells_) {
        if (cell.rowSpan == 1) {
            auto& height = rows_[static_cast<std::size_t>(cell.row)];
            height = std::max(height, need(cell));
        }
    }
    for (const CellSlot& cell : cells_) {
        const int deficit = need(cell) - spanHeight(cell);
        if (cell.rowSpan > 1 && deficit > 0) {
            rows_[static_cast<std::size_t>(cell.row + cell.rowSpan - 1)] += deficit;
        }
    }
    const int natural = std::accumulate(rows_.begin(), rows_.end(), 0) + frameAround(rowCount_);
    if (const auto target = length(attributeOf(tag_, u"height"), 0);
        target && *target > natural && rowCount_ > 0) {
        int difference = *target - natural;
        for (int r = 0; r < rowCount_; ++r) {
            const int share = difference / (rowCount_ - r);
            rows_[static_cast<std::size_t>(r)] += share;
            difference -= share;
        }
    }
}

FlowResult TableLayout::compose() {
    const int count = static_cast<int>(columns_.size());
    FlowResult out;
    const int width = std::accumulate(columns_.begin(), columns_.end(), 0) + frameAround(count);
    const int height = std::accumulate(rows_.begin(), rows_.end(), 0) + frameAround(rowCount_);
    out.width = std::min(width, kMaxLength);
    out.height = std::min(height, kMaxLength);
    const LayoutSettings& settings = engine_.settings();
    auto paintBox = [&](const Box& box, const QRect& rect) {
        if (box.effect != kEffectTransparent) {
            BackgroundItem bg;
            bg.rect = rect;
            bg.effect = box.effect;
            std::copy(std::begin(box.colours), std::end(box.colours), bg.colours);
            out.items.push_back({std::move(bg), -1});
        } else if (!box.picture.isEmpty()) {
            BackgroundItem bg;
            bg.rect = rect;
            bg.picture = engine_.loadBackgroundPicture(box.picture);
            if (!bg.picture.isNull()) {
                out.items.push_back({std::move(bg), -1});
            }
        }
        if (box.allowance() > 0) {
            FrameItem frame;
            frame.rect = rect;
            frame.light = settings.enabled ? box.light : settings.disabledColour;
            frame.dark = settings.enabled ? box.dark : settings.disabledColour;
            frame.style = box.borderStyle;
            frame.width = box.borderStyle == LineStyle::Double ? 1 : box.border;
            out.items.push_back({std::move(frame), -1});
        }
    };
    paintBox(box_, QRect(0, 0, out.width, out.height));
    const std::vector<int> columnX = starts(columns_);
    const std::vector<int> rowY = starts(rows_);
    for (CellSlot& cell : cells_) {
        const QRect rect(columnX[static_cast<std::size_t>(cell.column)],
                         rowY[static_cast<std::size_t>(cell.row)], spanWidth(cell), spanHeight(cell));
        paintBox(cell.box, rect);
        const int free = rect.height() - 2 * insets(cell) - cell.content.height;
        const int dy = cell.valign == VAlign::Middle ? free / 2 : cell.valign == VAlign::Bottom ? free : 0;
        const QPoint shift(rect.left() + insets(cell), rect.top() + insets(cell) + std::max(0, dy));
        for (DisplayItem& item : cell.content.items) {
            item.rect().translate(shift);
            out.items.push_back(std::move(item));
        }
    }
    return out;
}

FlowResult TableLayout::run(StyleStack& stack, std::optional<HAlign>& align) {
    box_.light = systemColor(COLOR_BTNHIGHLIGHT);
    box_.dark = systemColor(COLOR_BTNSHADOW);
    readBox(box_, tag_, true);
    padding_ = parseNumber(attributeOf(tag_, u"cellpadding"), 0, 0, kMaxPadding);
    spacing_ = parseNumber(attributeOf(tag_, u"cellspacing"), 0, 0, kMaxPadding);
    align = parseHAlign(attributeOf(tag_, u"align"));
    placeCells();
    measureCells(stack);
    if (columns_.empty() || rowCount_ == 0) {
        return {};
    }
    sizeColumns();
    fitColumns();
    sizeRows();
    return compose();
}

FlowResult Engine::table(const TableNode& node, StyleStack& stack, int alignWidth,
                         std::optional<HAlign>& align) {
    TableLayout layout(*this, node, alignWidth);
    FlowResult result = layout.run(stack, align);
    for (int token : node.trailingTags) {
        applyTag(token, stack, nullptr);
    }
    return result;
}

const Engine::NaturalCell& Engine::naturalCell(const CellNode& cell, const StyleStack& start) {
    const auto it = naturalCells_.find(&cell);
    if (it != naturalCells_.end()) {
        return it->second;
    }
    NaturalCell natural;
    natural.end = start;
    natural.result = flow(cell.content, natural.end, kNoWidth, kNoWidth);
    return naturalCells_.emplace(&cell, std::move(natural)).first->second;
}

int Engine::minimumCellWidth(const CellNode& cell, const StyleStack& start) {
    const auto it = minimumCells_.find(&cell);
    if (it != minimumCells_.end()) {
        return it->second;
    }
    StyleStack stack = start;
    const int width = flow(cell.content, stack, kNarrowestWrap, kNoWidth).width;
    minimumCells_.emplace(&cell, width);
    return width;
}

QImage Engine::loadBackgroundPicture(const QString& source) const {
    bool isNumber = false;
    const int id = source.trimmed().toInt(&isNumber);
    if (isNumber) {
        return settings_.resources != nullptr ? settings_.resources->bitmap(id) : QImage();
    }
    return QImage(source);
}

}  // namespace ostrum::ui::detail
