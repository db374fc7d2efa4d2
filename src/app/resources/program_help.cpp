// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/resources/program_help.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

#include "app/resources/program_message.h"
#include "ui/help/help_window.h"

namespace ostrum::app {

QStringList manualFoldersOf(const QString& programFolder) {
    const QDir folder(programFolder);
    return {QDir::cleanPath(folder.filePath(QString::fromLatin1(kManualFolderName))),
            QDir::cleanPath(
                folder.filePath(QStringLiteral("../") + QString::fromLatin1(kInstalledManualFolder)))};
}

const QString& programStartDirectory() {
    static const QString directory = QDir::currentPath();
    return directory;
}

HelpPlaces programHelpPlaces(const QString& startDirectory) {
    return {startDirectory, manualFoldersOf(QCoreApplication::applicationDirPath())};
}

HelpTarget findHelp(const HelpPlaces& places) {
    // An existence test, as the help file has always had: what opens it is the desktop's matter.
    const QString helpFile = QDir(places.startDirectory).filePath(QString::fromLatin1(kHelpFileName));
    if (QFileInfo::exists(helpFile)) return {HelpKind::HelpFile, helpFile};
    const QString manual = findManual(places.manualFolders);
    if (!manual.isEmpty()) return {HelpKind::Manual, manual};
    return {};
}

QString findManual(const QStringList& folders) {
    for (const QString& folder : folders) {
        const QFileInfo page(QDir(folder).filePath(QString::fromLatin1(kManualFirstPage)));
        if (page.isFile()) return page.absoluteFilePath();
    }
    return {};
}

ui::HelpWindow* showHelp(const HelpPlaces& places, const std::shared_ptr<ui::LinkOpener>& links,
                         QWidget* parent) {
    HelpTarget help = findHelp(places);
    // A help file that nothing on the desktop opens gives way to the manual.
    if (help.kind == HelpKind::HelpFile && !links->open(QUrl::fromLocalFile(help.path).toString())) {
        help = {HelpKind::Manual, findManual(places.manualFolders)};
    }
    if (help.kind == HelpKind::HelpFile) return nullptr;
    if (help.path.isEmpty()) {
        programMessage(QStringLiteral("Help file not found"), kCaptionProgram, kMessageInformation);
        return nullptr;
    }
    const QUrl page = QUrl::fromLocalFile(help.path);
    if (links->open(page.toString())) return nullptr;

    // No browser: the program's own window, one over each window that asks, brought forward when asked again.
    static QPointer<ui::HelpWindow> shown;
    if (shown.isNull() || shown->parentWidget() != parent) {
        shown = new ui::HelpWindow(page, parent);
        shown->setLinkOpener(links);
    } else {
        shown->browser()->setSource(page);
    }
    shown->show();
    shown->raise();
    shown->activateWindow();
    return shown;
}

}  // namespace ostrum::app
