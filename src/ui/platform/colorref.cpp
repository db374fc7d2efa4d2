// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/platform/colorref.h"

#include <QGuiApplication>
#include <QPalette>

namespace ostrum::ui {

namespace {

struct PaletteSlot {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

PaletteSlot paletteSlotFor(SysColor which) {
    using G = QPalette::ColorGroup;
    using R = QPalette::ColorRole;
    switch (which) {
        case SysColor::ScrollBar:
            return {G::Active, R::Mid};
        case SysColor::Background:
            return {G::Active, R::Window};
        case SysColor::ActiveCaption:
            return {G::Active, R::Highlight};
        case SysColor::InactiveCaption:
            return {G::Inactive, R::Highlight};
        case SysColor::Menu:
            return {G::Active, R::Window};
        case SysColor::Window:
            return {G::Active, R::Base};
        case SysColor::WindowFrame:
            return {G::Active, R::Shadow};
        case SysColor::MenuText:
            return {G::Active, R::WindowText};
        case SysColor::WindowText:
            return {G::Active, R::Text};
        case SysColor::CaptionText:
            return {G::Active, R::HighlightedText};
        case SysColor::ActiveBorder:
            return {G::Active, R::Window};
        case SysColor::InactiveBorder:
            return {G::Inactive, R::Window};
        case SysColor::AppWorkspace:
            return {G::Active, R::Dark};
        case SysColor::Highlight:
            return {G::Active, R::Highlight};
        case SysColor::HighlightText:
            return {G::Active, R::HighlightedText};
        case SysColor::BtnFace:
            return {G::Active, R::Button};
        case SysColor::BtnShadow:
            return {G::Active, R::Dark};
        case SysColor::GrayText:
            return {G::Disabled, R::Text};
        case SysColor::BtnText:
            return {G::Active, R::ButtonText};
        case SysColor::InactiveCaptionText:
            return {G::Inactive, R::HighlightedText};
        case SysColor::BtnHighlight:
            return {G::Active, R::Light};
        case SysColor::DkShadow3D:
            return {G::Active, R::Shadow};
        case SysColor::Light3D:
            return {G::Active, R::Midlight};
        case SysColor::InfoText:
            return {G::Active, R::ToolTipText};
        case SysColor::InfoBk:
            return {G::Active, R::ToolTipBase};
    }
    return {G::Active, R::Window};
}

}  // namespace

ColorRef systemColor(SysColor which) {
    const PaletteSlot slot = paletteSlotFor(which);
    const QPalette palette = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
                                 ? QGuiApplication::palette()
                                 : QPalette();
    return fromQColor(palette.color(slot.group, slot.role));
}

}  // namespace ostrum::ui
