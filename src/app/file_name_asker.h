// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Asking the user for a file name. The windows describe what they ask (title, initial name, filter in
// the "Description|pattern|...||" form the program's texts are written in) and a FileNameAsker answers:
// the platform's file dialog in the program, a stand-in in the tests.

#include <QString>
#include <QStringList>

class QWidget;

namespace ostrum::app {

struct FileQuestion {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QString title;                // empty: the dialog's own ("Save As", "Open")
    QString initialName;          // the name offered at first
    QString defaultSuffix;        // added by the dialog to a typed name without one ("img")
    QString filter;               // "Image Files (*.img)|*.img|AllFiles(*.*)|*.*||"
    bool overwritePrompt = true;  // a save dialog asks before an existing file is chosen
};

class FileNameAsker {
  public:
    virtual ~FileNameAsker() = default;
    // The full path chosen, or the empty text when the user cancels.
    virtual QString ask(QWidget* owner, const FileQuestion& question) = 0;
    // An Open question in which several files may be chosen at once: their full paths in the order the
    // dialog gives them, none when the user cancels. By default the one file ask() gives.
    virtual QStringList askSeveral(QWidget* owner, const FileQuestion& question);
};

// The platform's file dialog.
class DialogFileNameAsker final : public FileNameAsker {
  public:
    QString ask(QWidget* owner, const FileQuestion& question) override;
    QStringList askSeveral(QWidget* owner, const FileQuestion& question) override;
};

// The name filters of a "Description|pattern|...||" filter, one per pair, written so that the dialog
// shows each description as it stands and matches its patterns ("*.*" matches every file, as it does
// where the texts were written).
QStringList dialogNameFilters(const QString& filter);

}  // namespace ostrum::app
