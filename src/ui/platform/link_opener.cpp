// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/platform/link_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace ostrum::ui {

bool DesktopLinkOpener::open(const QString& target) {
    // A target without a scheme ("www.example.com/page.htm" or a local path) is read the way
    // the user would type it, so that both web pages and files reach their default handler.
    const QUrl url = QUrl::fromUserInput(target);
    if (!url.isValid()) {
        return false;
    }
    return QDesktopServices::openUrl(url);
}

}  // namespace ostrum::ui
