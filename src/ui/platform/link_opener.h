// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one place where a hyperlink target leaves the program. The desktop opener hands it to the
// desktop's default handler; tests put a recorder in its place.

#include <QString>

namespace ostrum::ui {

class LinkOpener {
  public:
    virtual ~LinkOpener() = default;
    // Opens the target; answers whether the desktop accepted it.
    virtual bool open(const QString& target) = 0;
};

class DesktopLinkOpener final : public LinkOpener {
  public:
    bool open(const QString& target) override;
};

}  // namespace ostrum::ui
