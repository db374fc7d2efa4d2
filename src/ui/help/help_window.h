// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// HelpWindow: a small window of the program's own that shows an HTML manual when the desktop has no
// browser to open it in. Links between the manual's pages, and to places in a page, are followed inside
// it, with Back, Forward and Contents; a link that leaves the manual (a web page, an e-mail address) goes
// to the desktop's handler through the link opener.

#include <QDialog>
#include <QUrl>
#include <memory>

#include "ui/platform/link_opener.h"

class QPushButton;
class QTextBrowser;

namespace ostrum::ui {

class HelpWindow : public QDialog {
    Q_OBJECT
  public:
    // Opens on `page`, a file URL; the folder that holds it is the manual.
    explicit HelpWindow(const QUrl& page, QWidget* parent = nullptr);

    // Where links that leave the manual are opened (tests put a recorder in its place).
    void setLinkOpener(std::shared_ptr<LinkOpener> opener) { opener_ = std::move(opener); }
    QTextBrowser* browser() const { return browser_; }
    // Shows `link`, as a click on it does: inside the window when it is a file of the manual.
    void follow(const QUrl& link);

  private:
    QTextBrowser* browser_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
    std::shared_ptr<LinkOpener> opener_;
};

}  // namespace ostrum::ui
