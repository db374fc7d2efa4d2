// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/file_name_asker.h"

#include <QFileDialog>

namespace ostrum::app {

QStringList dialogNameFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;  // the closing "||"
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
        }
        // The dialog takes the last parenthesised group as the patterns and, told to hide it, shows
        // the description alone.
        filters << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return filters;
}

QStringList FileNameAsker::askSeveral(QWidget* owner, const FileQuestion& question) {
    const QString path = ask(owner, question);
    return path.isEmpty() ? QStringList{} : QStringList{path};
}

namespace {

// The files chosen in the platform's dialog, asked in `mode`.
QStringList chosenFiles(QWidget* owner, const FileQuestion& question, QFileDialog::FileMode mode) {
    const bool save = question.kind == FileQuestion::Kind::Save;
    QFileDialog dialog(owner, question.title);
    dialog.setObjectName(save ? QStringLiteral("SaveFileDialog") : QStringLiteral("OpenFileDialog"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(mode);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !question.overwritePrompt);
    dialog.setNameFilters(dialogNameFilters(question.filter));
    if (!question.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(question.defaultSuffix);
    if (!question.initialName.isEmpty()) dialog.selectFile(question.initialName);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

}  // namespace

QString DialogFileNameAsker::ask(QWidget* owner, const FileQuestion& question) {
    const bool save = question.kind == FileQuestion::Kind::Save;
    const QStringList chosen =
        chosenFiles(owner, question, save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    return chosen.isEmpty() ? QString() : chosen.front();
}

QStringList DialogFileNameAsker::askSeveral(QWidget* owner, const FileQuestion& question) {
    return chosenFiles(owner, question, QFileDialog::ExistingFiles);
}

}  // namespace ostrum::app
