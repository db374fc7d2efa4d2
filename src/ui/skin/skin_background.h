// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SkinBackground: a dialog painted with a full-size picture at its client origin, unscaled. With
// no picture the dialog's ordinary background is painted. Every picture it takes also gets its
// region of non-green pixels computed, for windows that want to shape themselves by it.

#include <QDialog>
#include <QImage>
#include <QRegion>

#include "ui/platform/colorref.h"
#include "ui/richtext/resource_provider.h"

namespace ostrum::ui {

class SkinBackground : public QDialog {
    Q_OBJECT
  public:
    // The key colour of the skin region: pure green marks the outside of a shaped window.
    static constexpr std::uint32_t kRegionKey = 0x00FF00;

    explicit SkinBackground(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    // Loads skin `id`; answers false (and paints no picture) when it cannot be loaded.
    bool loadSkin(const ResourceProvider& resources, int id);
    void setSkin(const QImage& skin);
    const QImage& skin() const { return skin_; }
    const QRegion& skinRegion() const { return skinRegion_; }

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QImage skin_;
    QRegion skinRegion_;
};

// Paints `skin` at the origin of the painter, clipped to `area`.
void paintSkin(QPainter& painter, const QImage& skin, const QRect& area);

}  // namespace ostrum::ui
