// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/help/help_window.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace ostrum::ui {

namespace {

constexpr QSize kHelpWindowSize(860, 660);  // room for the manual's widest pictures

QPushButton* addButton(QHBoxLayout& row, const char* name, const char* text, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    row.addWidget(button);
    return button;
}

}  // namespace

HelpWindow::HelpWindow(const QUrl& page, QWidget* parent)
    : QDialog(parent), opener_(std::make_shared<DesktopLinkOpener>()) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    setAttribute(Qt::WA_DeleteOnClose);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    // Every click comes to follow(), which keeps the browser inside the manual's own files.
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::follow);
    connect(browser_, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(browser_->documentTitle()); });

    auto* buttons = new QHBoxLayout;
    back_ = addButton(*buttons, "HelpBack", "Back", this);
    forward_ = addButton(*buttons, "HelpForward", "Forward", this);
    QPushButton* contents = addButton(*buttons, "HelpContents", "Contents", this);
    buttons->addStretch();
    QPushButton* close = addButton(*buttons, "HelpClose", "Close", this);
    back_->setEnabled(false);
    forward_->setEnabled(false);
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(contents, &QPushButton::clicked, browser_, &QTextBrowser::home);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QWidget::setEnabled);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_);
    resize(kHelpWindowSize);
    browser_->setSource(page);
}

void HelpWindow::follow(const QUrl& link) {
    const QUrl target = browser_->source().resolved(link);
    if (target.isLocalFile() && target.fileName().endsWith(QStringLiteral(".html"), Qt::CaseInsensitive)) {
        browser_->setSource(target);
        return;
    }
    // Anything else, a web page, an address or a file that is not a page, is the desktop's to open.
    opener_->open(target.toString());
}

}  // namespace ostrum::ui
