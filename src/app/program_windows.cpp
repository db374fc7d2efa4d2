#include "program_windows.h"

#include "dialog_units.h"
#include "ui/resources/program_resources.h"
#include "ui/skin/skin_background.h"
#include "ui/skin/skin_button.h"

namespace ostrum::app {

void setUpProgramWindow(ui::SkinBackground& window, const char* name, const QString& title, int skin,
                        int width, int height) {
    window.setObjectName(QString::fromLatin1(name));
    window.setWindowTitle(title);
    const auto resources = ui::ProgramResources::instance();
    window.setWindowIcon(resources->icon(kProgramIcon));
    if (skin != 0) window.loadSkin(*resources, skin);
    window.setFixedSize(dialogUnitsAcross(width), dialogUnitsDown(height));
}

void setUpPictureButton(ui::SkinButton& button, int normal, int hover, const QString& tip) {
    button.setBitmaps(*ui::ProgramResources::instance(), hover, 0, normal, 0);
    button.offsetColour(0, 100);
    button.setColour(1, ui::makeColorRef(0, 128, 0));
    button.setAlignment(2);
    button.setTooltipText(tip, true);
    button.setAutoDefault(false);
    button.setDefault(false);
}

}  // namespace ostrum::app
