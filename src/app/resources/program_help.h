// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where F1 and the Help button of the program's message boxes find the program's help, and how they show
// it. The help file "Brivane Ostrum for TAPE.chm" in the folder that was current when the program started
// comes first, as it always has: the desktop opens it. Else the HTML manual: beside the program when it
// runs from its build (the build writes the manual there), or where the package installs it, found from
// the program's folder (/usr/bin/../share/doc/ostrum-tape/manual, and the same under /usr/local). The
// manual opens in the user's browser, or in the program's own help window when the desktop has no
// browser to open it in. With neither, the user is told "Help file not found".

#include <QString>
#include <QStringList>
#include <memory>

#include "ui/platform/link_opener.h"

class QWidget;

namespace ostrum::ui {
class HelpWindow;
}

namespace ostrum::app {

inline constexpr char kHelpFileName[] = "Brivane Ostrum for TAPE.chm";
// The manual's folder beside the program, the one the package installs under the installation's prefix,
// and the manual's first page in either.
inline constexpr char kManualFolderName[] = "manual";
inline constexpr char kInstalledManualFolder[] = "share/doc/ostrum-tape/manual";
inline constexpr char kManualFirstPage[] = "index.html";

struct HelpPlaces {
    QString startDirectory;     // where the help file is looked for
    QStringList manualFolders;  // where the manual is looked for, in this order
};

// The manual's folders seen from the program's folder: beside it, then under the installation's prefix
// (the program's folder is that prefix's bin).
QStringList manualFoldersOf(const QString& programFolder);
// The folder current when the program started, taken at the first call (main makes it first).
const QString& programStartDirectory();
// The places of this program, with help files looked for in `startDirectory`.
HelpPlaces programHelpPlaces(const QString& startDirectory);

enum class HelpKind { HelpFile, Manual, None };
struct HelpTarget {
    HelpKind kind = HelpKind::None;
    QString path;  // the help file, or the manual's first page
};
HelpTarget findHelp(const HelpPlaces& places);
// The manual's first page in the first of `folders` that holds one; empty when none does.
QString findManual(const QStringList& folders);

// Shows the help found, over `parent`: the help file or the manual through `links`, the manual in the help
// window when `links` cannot open it (its links that leave the manual go to `links` too), else the "Help file
// not found" message. Answers the help window when it came to that (it deletes itself when closed), else
// null.
ui::HelpWindow* showHelp(const HelpPlaces& places, const std::shared_ptr<ui::LinkOpener>& links,
                         QWidget* parent);

}  // namespace ostrum::app
