// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/richtext/rich_text_drawer.h"

#include <QPainter>

#include "ui/richtext/markup_preparation.h"

namespace ostrum::ui {

namespace {

constexpr int kPatternGranularity = 5;  // grain of the pattern effects behind tables and cells
constexpr int kMeasureMargin = 1;

void drawText(QPainter& painter, const TextItem& run) {
    if (run.opaqueBackground) {
        painter.fillRect(run.rect, toQColor(run.background));
    }
    painter.setFont(run.font);
    painter.setPen(toQColor(run.colour));
    const int baseline = run.rect.top() + run.ascent;
    if (run.perSpace == 0 && run.remainder == 0) {
        painter.drawText(QPoint(run.rect.left(), baseline), run.text);
    } else {
        // Justified: every space widens by its share of the line's extra width.
        const QFontMetrics fm(run.font, painter.device());
        int x = run.rect.left();
        int space = run.firstSpace;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= run.text.size(); ++i) {
            if (i < run.text.size() && run.text[i] != u' ') {
                continue;
            }
            const QString piece = run.text.mid(start, i - start + (i < run.text.size() ? 1 : 0));
            painter.drawText(QPoint(x, baseline), piece);
            x += fm.horizontalAdvance(piece);
            if (i < run.text.size()) {
                x += run.perSpace + (space < run.remainder ? 1 : 0);
                ++space;
            }
            start = i + 1;
        }
    }
    if (run.overline) {
        painter.fillRect(QRect(run.rect.left(), run.rect.top(), run.rect.width(), run.overlineWidth),
                         toQColor(run.colour));
    }
}

void drawRule(QPainter& painter, EffectPainter& effects, const RuleItem& rule) {
    if (rule.etched) {
        effects.frameRect(painter, rule.rect, systemColor(COLOR_BTNSHADOW), systemColor(COLOR_BTNHIGHLIGHT),
                          LineStyle::Solid, 1);
        return;
    }
    for (int row = 0; row < rule.rect.height(); ++row) {
        effects.line(painter, QPoint(rule.rect.left(), rule.rect.top() + row),
                     QPoint(rule.rect.right() + 1, rule.rect.top() + row), rule.colour, rule.style, 1);
    }
}

void drawPicture(QPainter& painter, EffectPainter& effects, const PictureItem& picture, bool hovered) {
    const PictureOptions& options = hovered ? picture.hover : picture.normal;
    switch (picture.kind) {
        case PictureItem::Kind::Icon:
            effects.drawIcon(painter, picture.rect, picture.icon, options);
            break;
        case PictureItem::Kind::StripCell:
            effects.drawStripCell(painter, picture.rect, picture.image, picture.cellSize, picture.cellIndex,
                                  options);
            break;
        case PictureItem::Kind::Bitmap:
            effects.drawPicture(painter, picture.rect, picture.image, options);
            break;
    }
}

void drawBackground(QPainter& painter, EffectPainter& effects, const BackgroundItem& bg) {
    if (bg.effect != kEffectTransparent) {
        effects.fillBackground(painter, bg.effect, bg.rect, bg.colours[0], bg.colours[1], bg.colours[2],
                               kPatternGranularity, 0);
    } else if (!bg.picture.isNull()) {
        painter.drawTiledPixmap(bg.rect, QPixmap::fromImage(bg.picture));
    }
}

}  // namespace

RichTextDrawer::RichTextDrawer()
    : disabledColour_(systemColor(COLOR_BTNSHADOW)), opener_(std::make_shared<DesktopLinkOpener>()) {
    sheet_.add(QString::fromLatin1(kDefaultStyleSheet));
}

void RichTextDrawer::setNotification(NotifyTarget window, unsigned message, std::intptr_t parameter) {
    notify_ = std::move(window);
    notifyMessage_ = notify_ ? message : 0;
    notifyParameter_ = notify_ ? parameter : 0;
}

void RichTextDrawer::setCommandTarget(CommandTarget window, unsigned message, std::intptr_t parameter) {
    command_ = std::move(window);
    commandMessage_ = message;
    commandParameter_ = parameter;
}

void RichTextDrawer::setShadow(int dx, int dy, int darkness, bool blurred, int blurWidth, int blurHeight) {
    shadow_ = {dx, dy, std::clamp(darkness, 0, 100), blurred, blurWidth, blurHeight};
    changed();
}

void RichTextDrawer::setLinkOpener(std::shared_ptr<LinkOpener> opener) {
    opener_ = opener ? std::move(opener) : std::make_shared<DesktopLinkOpener>();
}

LayoutSettings RichTextDrawer::settings(int alignWidth) const {
    LayoutSettings s;
    s.sheet = &sheet_;
    s.colours = &colours_;
    s.resources = resources_.get();
    s.handles = &handles_;
    s.wrapWidth = maximumWidth_;
    s.alignWidth = alignWidth;
    s.hoverLink = hoverLink_;
    s.enabled = enabled_;
    s.disabledColour = disabledColour_;
    s.shadow = shadow_;
    return s;
}

const Layout& RichTextDrawer::layoutFor(QPaintDevice* device, int alignWidth) {
    const int dpi = device != nullptr ? device->logicalDpiY() : 0;
    const bool reusable = cacheValid_ && cached_.hoverLink == hoverLink_ && cached_.dpi == dpi &&
                          (!cached_.layout.dependsOnAlignWidth || cached_.alignWidth == alignWidth);
    if (!reusable) {
        cached_ = CachedLayout{layoutDocument(document_, settings(alignWidth), device, fonts_), alignWidth,
                               hoverLink_, dpi};
        cacheValid_ = true;
    }
    return cached_.layout;
}

QSize RichTextDrawer::measure(QPainter& painter, const QString& text) {
    text_ = text;
    linkAreas_.clear();
    hoverLink_ = -1;
    changed();
    if (text.isEmpty()) {
        document_ = Document();
        return {0, 0};
    }
    document_ = buildDocument(tokenizeMarkup(prepareMarkup(text, newlineMode_)));
    const Layout& layout = layoutFor(painter.device(), maximumWidth_);
    int width = layout.size.width();
    if (maximumWidth_ > 0) {
        width = std::min(width, maximumWidth_);
    }
    return {width + kMeasureMargin, layout.size.height() + kMeasureMargin};
}

void RichTextDrawer::draw(QPainter& painter, const QRect& rect) {
    linkAreas_.clear();
    if (text_.isEmpty()) {
        return;
    }
    paint(painter, layoutFor(painter.device(), std::max(0, rect.width())), rect.topLeft());
}

void RichTextDrawer::paint(QPainter& painter, const Layout& layout, QPoint origin) {
    painter.save();
    // The items keep their places from the layout's top-left corner, so the kept layout is drawn
    // as it is, moved by the painter.
    painter.translate(origin);
    for (const DisplayItem& item : layout.items) {
        const bool hovered = item.link >= 0 && item.link == hoverLink_;
        std::visit(
            [&](const auto& content) {
                using T = std::decay_t<decltype(content)>;
                if constexpr (std::is_same_v<T, TextItem>) {
                    drawText(painter, content);
                } else if constexpr (std::is_same_v<T, PictureItem>) {
                    drawPicture(painter, effects_, content, hovered);
                } else if constexpr (std::is_same_v<T, RuleItem>) {
                    drawRule(painter, effects_, content);
                } else if constexpr (std::is_same_v<T, BackgroundItem>) {
                    drawBackground(painter, effects_, content);
                } else {
                    effects_.frameRect(painter, content.rect, content.light, content.dark, content.style,
                                       content.width);
                }
            },
            item.content);
        if (item.link >= 0) {
            linkAreas_.push_back({item.link, item.rect().translated(origin)});
        }
    }
    painter.restore();
}

int RichTextDrawer::linkAt(QPoint point) const {
    for (const LinkArea& area : linkAreas_) {
        if (area.rect.contains(point)) {
            return area.link;
        }
    }
    return -1;
}

bool RichTextDrawer::hoverTest(QPoint point) {
    const int link = linkAt(point);
    if (link != hoverLink_) {
        hoverLink_ = link;
        if (notify_) {
            notify_(notifyMessage_, link >= 0 ? link : kLeftAllLinks, notifyParameter_);
        }
    }
    const bool overTarget = link >= 0 && !document_.links[static_cast<std::size_t>(link)].target.isEmpty();
    if (cursorWidget_) {
        if (overTarget) {
            cursorWidget_->setCursor(handCursor());
        } else {
            cursorWidget_->unsetCursor();
        }
    }
    return overTarget;
}

bool RichTextDrawer::click(QPoint point) {
    const int link = linkAt(point);
    if (link < 0) {
        return false;
    }
    const LinkInfo& info = document_.links[static_cast<std::size_t>(link)];
    if (info.target.isEmpty()) {
        return false;
    }
    if (info.kind == LinkKind::Open) {
        opener_->open(info.target);
        return true;
    }
    if (info.kind == LinkKind::Send && command_) {
        command_(commandMessage_, info.target, commandParameter_);
        return true;
    }
    return false;
}

}  // namespace ostrum::ui
