// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/program_windows.h"

#include "app/dialog_units.h"
#include "app/resources/program_resources.h"
#include "ui/skin/skin_background.h"
#include "ui/skin/skin_button.h"

namespace ostrum::app {

void setUpProgramWindow(ui::SkinBackground& window, const char* name, const QString& title,
                        std::optional<Picture> skin, int width, int height) {
    window.setObjectName(QString::fromLatin1(name));
    window.setWindowTitle(title);
    const auto resources = ProgramResources::instance();
    window.setWindowIcon(resources->icon(artwork::pictureId(Picture::ProgramIcon)));
    if (skin) window.loadSkin(*resources, artwork::pictureId(*skin));
    window.setFixedSize(dialogUnitsAcross(width), dialogUnitsDown(height));
}

void setUpPictureButton(ui::SkinButton& button, Picture normal, Picture hover, const QString& tip) {
    button.setBitmaps(*ProgramResources::instance(), artwork::pictureId(hover), 0, artwork::pictureId(normal),
                      0);
    button.offsetColour(0, 100);
    button.setColour(1, ui::makeColorRef(0, 128, 0));
    button.setAlignment(2);
    button.setTooltipText(tip, true);
    button.setAutoDefault(false);
    button.setDefault(false);
    button.setFocusWhenFlat(true);  // the keyboard reaches it: it shows when it has the focus
}

}  // namespace ostrum::app
