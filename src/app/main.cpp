// ostrum-tape: the desktop program. Until the wizard window exists, it opens the recovery window
// directly on the image file or tape drive named on its command line.

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "recovery_window.h"
#include "source_arguments.h"

namespace {

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (!words.empty() && (words[0] == "--help" || words[0] == "-h")) {
        std::cout << ostrum::app::kProgramUsage;
        return 0;
    }
    std::string error;
    const auto source = ostrum::app::ParseSourceArguments(words, error);
    if (!source) {
        if (!error.empty()) std::cerr << "ostrum-tape: " << error << "\n";
        std::cerr << ostrum::app::kProgramUsage;
        return 2;
    }
    if (!HasDisplay()) {
        std::cerr << "ostrum-tape: no display to open the window on; ostrum-tape-cli list "
                  << source->SourcePath << " lists the same medium on the terminal\n";
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brivane Ostrum TAPE"));
    QApplication::setApplicationVersion(QStringLiteral("4.02"));
    ostrum::app::RecoveryWindow window(*source);
    window.show();
    window.exec();
    if (!window.scanError().empty()) {
        std::cerr << "ostrum-tape: " << window.scanError() << "\n";
        return 1;
    }
    return 0;
}
