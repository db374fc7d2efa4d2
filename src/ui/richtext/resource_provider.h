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

}  // namespace ostrum::ui
