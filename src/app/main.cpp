// SPDX-License-Identifier: GPL-3.0-or-later
// ostrum-tape: the desktop program. Without a medium on its command line it shows the wizard, from
// which the user copies a tape into an image, loads an image or recovers straight from a tape drive;
// with one (or the media of one backup), it opens the recovery window on it at once, with the wizard
// behind it.

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/recovery_window.h"
#include "app/resources/program_help.h"
#include "app/source_arguments.h"
#include "app/wizard_window.h"

namespace {

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

// The wizard, opened on the media named on the command line when there are any: their recovery window
// leads back to the wizard's image page, and only the wizard's exit question ends the program. Why a medium
// could not be read is also said on standard error.
int runWizard(const ostrum::app::ScanSource& source) {
    ostrum::app::WizardFields fields;
    fields.source = source;
    ostrum::app::WizardWindow wizard(fields);
    if (!source.path.empty()) {
        const std::string refused = wizard.openStartSource();
        if (!refused.empty()) std::cerr << "ostrum-tape: " << refused << "\n";
        if (ostrum::app::RecoveryWindow* window = wizard.recoveryWindow()) {
            QObject::connect(window, &ostrum::app::RecoveryWindow::scanEnded, window, [window] {
                if (!window->scanError().empty()) std::cerr << "ostrum-tape: " << window->scanError() << "\n";
            });
        }
    }
    wizard.run();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (!words.empty() && (words[0] == "--help" || words[0] == "-h")) {
        std::cout << ostrum::app::kProgramUsage;
        return 0;
    }
    std::string error;
    const auto source = ostrum::app::parseSourceArguments(words, error);
    if (!source) {
        std::cerr << "ostrum-tape: " << error << "\n" << ostrum::app::kProgramUsage;
        return 2;
    }
    if (!hasDisplay()) {
        std::cerr << "ostrum-tape: no display to open the window on";
        if (!source->path.empty()) {
            std::cerr << "; ostrum-tape-cli list " << source->path;
            for (const std::string& later : source->laterSources) std::cerr << " " << later;
            std::cerr << " lists the same " << (source->laterSources.empty() ? "medium" : "media")
                      << " on the terminal";
        }
        std::cerr << "\n";
        return 1;
    }

    QApplication app(argc, argv);
    // Help files are looked for in the folder current at start, whatever a window does later.
    ostrum::app::programStartDirectory();
    QApplication::setApplicationName(QStringLiteral("Brivane Ostrum TAPE"));
    QApplication::setApplicationVersion(QStringLiteral("4.02"));
    // The wizard hides itself while a recovery window is open, and the recovery window goes before the
    // wizard comes back: the program ends when the wizard's run does, not when no window is shown.
    QApplication::setQuitOnLastWindowClosed(false);
    return runWizard(*source);
}
