// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stand-ins shared by the controls tests: a link opener that records what it was asked to open
// instead of handing it to the desktop (and answers that the desktop took it, or, told so, that it could
// not), and a resource provider that knows no number, for a test to override where it needs pictures or
// strings.

#include <QIcon>
#include <QImage>
#include <QStringList>
#include <optional>

#include "ui/platform/link_opener.h"
#include "ui/richtext/resource_provider.h"

namespace ostrum::ui {

class RecordingLinkOpener final : public LinkOpener {
  public:
    bool open(const QString& target) override {
        opened.append(target);
        return accepts;
    }
    QStringList opened;
    bool accepts = true;
};

class NoResources : public ResourceProvider {
  public:
    QImage bitmap(int) const override { return {}; }
    QIcon icon(int) const override { return {}; }
    ImageStrip imageStrip(int) const override { return {}; }
    std::optional<QString> string(int) const override { return std::nullopt; }
};

}  // namespace ostrum::ui
