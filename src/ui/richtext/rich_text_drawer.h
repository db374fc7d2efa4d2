// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// RichTextDrawer: measures and draws a small HTML-like mark-up (styled text runs, alignment,
// breaks and tabs, horizontal rules, tables with borders and background effects, pictures with
// effects, string resources, and hyperlinks with a hover style) through a QPainter.

#include <QCursor>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "ui/effects/effect_painter.h"
#include "ui/platform/link_opener.h"
#include "ui/richtext/colour_names.h"
#include "ui/richtext/document.h"
#include "ui/richtext/layout.h"
#include "ui/richtext/resource_provider.h"
#include "ui/richtext/style_sheet.h"

class QPainter;

namespace ostrum::ui {

// The window that hears about hover changes: the message, the link's number (-2 when the cursor
// left every link) and the parameter given with the target.
using NotifyTarget = std::function<void(unsigned message, int linkIndex, std::intptr_t parameter)>;
// The window that receives "msg" links: the message, the link's target text and the parameter.
using CommandTarget = std::function<void(unsigned message, const QString& target, std::intptr_t parameter)>;

class RichTextDrawer {
  public:
    static constexpr int kLeftAllLinks = -2;

    RichTextDrawer();

    void setNotification(NotifyTarget window, unsigned message, std::intptr_t parameter);
    void setCommandTarget(CommandTarget window, unsigned message, std::intptr_t parameter);
    void setMaximumWidth(int width) { maximumWidth_ = std::max(0, width), changed(); }
    void setNewlineMode(bool on) { newlineMode_ = on; }
    void setEnabled(bool on) { enabled_ = on, changed(); }
    void setDisabledColour(ColorRef colour) { disabledColour_ = colour, changed(); }
    void setShadow(int dx, int dy, int darkness, bool blurred, int blurWidth, int blurHeight);
    void addStyleSheet(QStringView text) { sheet_.add(text), changed(); }

    // Where pictures and strings named by number come from, and pictures registered by handle.
    void setResourceProvider(std::shared_ptr<const ResourceProvider> provider) {
        resources_ = std::move(provider), changed();
    }
    void registerHandle(std::uint32_t handle, const QIcon& icon) { handles_[handle] = {{}, icon}, changed(); }
    void registerHandle(std::uint32_t handle, const QImage& image) {
        handles_[handle] = {image, {}}, changed();
    }
    // The link-opening seam; the desktop's default handler unless replaced.
    void setLinkOpener(std::shared_ptr<LinkOpener> opener);
    // The widget whose cursor becomes the hand over a link (none: the cursor is left alone).
    void setCursorWidget(QWidget* widget) { cursorWidget_ = widget; }
    static QCursor handCursor() { return QCursor(Qt::PointingHandCursor); }

    // Stores and prepares `text`, lays it out without drawing and answers its size plus one pixel
    // each way; an empty text measures 0 by 0.
    QSize measure(QPainter& painter, const QString& text);
    // Lays out the stored text and draws it into `rect`.
    void draw(QPainter& painter, const QRect& rect);
    // Tracks the link under `point` (coordinates of the last draw); answers whether it is a link
    // with a target, over which the hand cursor is shown.
    bool hoverTest(QPoint point);
    // Follows the link under `point`; answers whether there was one to follow.
    bool click(QPoint point);

    int hoverLink() const { return hoverLink_; }
    const StyleSheet& styleSheet() const { return sheet_; }
    int linkCount() const { return static_cast<int>(document_.links.size()); }

  private:
    LayoutSettings settings(int alignWidth) const;
    // Forgets the kept layout when a setting that shapes it changes.
    void changed() { cacheValid_ = false; }
    const Layout& layoutFor(QPaintDevice* device, int alignWidth);
    void paint(QPainter& painter, const Layout& layout, QPoint origin);
    int linkAt(QPoint point) const;

    struct LinkArea {
        int link;
        QRect rect;
    };

    NotifyTarget notify_;
    unsigned notifyMessage_ = 0;
    std::intptr_t notifyParameter_ = 0;
    CommandTarget command_;
    unsigned commandMessage_ = 0;
    std::intptr_t commandParameter_ = 0;
    int maximumWidth_ = 0;
    bool newlineMode_ = true;
    bool enabled_ = true;
    ColorRef disabledColour_;
    ShadowSettings shadow_;
    StyleSheet sheet_;
    ColourTable colours_;
    EffectPainter effects_;
    std::shared_ptr<const ResourceProvider> resources_;
    std::map<std::uint32_t, HandlePicture> handles_;
    std::shared_ptr<LinkOpener> opener_;
    QPointer<QWidget> cursorWidget_;
    FontCache fonts_;

    QString text_;
    Document document_;
    std::vector<LinkArea> linkAreas_;
    int hoverLink_ = -1;

    // The last layout, reused while text, settings, hover and (where it matters) width stay.
    struct CachedLayout {
        Layout layout;
        int alignWidth = 0;
        int hoverLink = -1;
        int dpi = 0;
    };
    CachedLayout cached_;
    bool cacheValid_ = false;
};

}  // namespace ostrum::ui
