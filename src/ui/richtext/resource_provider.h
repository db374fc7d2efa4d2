// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the drawer finds the program's pictures and strings by number. The program fills one in
// from its resources; tests fill their own.

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

namespace ostrum::ui {

// A bitmap holding equal cells row by row.
struct ImageStrip {
    QImage image;
    QSize cellSize;
};

class ResourceProvider {
  public:
    virtual ~ResourceProvider() = default;
    // Each answers a null picture / nothing when the number is unknown.
    virtual QImage bitmap(int id) const = 0;
    virtual QIcon icon(int id) const = 0;
    virtual ImageStrip imageStrip(int id) const = 0;
    virtual std::optional<QString> string(int id) const = 0;
};

// Knows no number: what a message box given no strings or icons of its own reads.
class NoResourceProvider final : public ResourceProvider {
  public:
    QImage bitmap(int) const override { return {}; }
    QIcon icon(int) const override { return {}; }
    ImageStrip imageStrip(int) const override { return {}; }
    std::optional<QString> string(int) const override { return std::nullopt; }
};

}  // namespace ostrum::ui
