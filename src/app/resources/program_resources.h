// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own pictures and strings, embedded at build time: the skins, button pictures,
// state-image strips and icons that the artwork generator drew, and the string table.

#include <map>
#include <memory>

#include "ui/richtext/resource_provider.h"

namespace ostrum::app {

class ProgramResources final : public ui::ResourceProvider {
  public:
    ProgramResources();

    // The one set of the program's resources; it never changes after it is made.
    static std::shared_ptr<const ProgramResources> instance();

    QImage bitmap(int id) const override;
    QIcon icon(int id) const override;
    ui::ImageStrip imageStrip(int id) const override;
    std::optional<QString> string(int id) const override;

    // Reads a string table: one "number<TAB>text" per line, the text running to the end of the line
    // (trailing blanks kept), "\n" and "\t" standing for a line feed and a tab, "\\" for a backslash.
    static std::map<int, QString> parseStringTable(const QString& text);

  private:
    std::map<int, QString> strings_;
};

}  // namespace ostrum::app
