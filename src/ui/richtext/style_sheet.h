// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text style of the rich-text drawer, the style sheet of classes that change it, and the
// CSS-like parser of style-sheet text.

#include <QString>
#include <QStringView>
#include <functional>
#include <vector>

#include "ui/effects/effect_painter.h"
#include "ui/platform/colorref.h"
#include "ui/platform/font_description.h"

namespace ostrum::ui {

class ColourTable;

enum class HAlign { Left, Center, Right, Justify };
enum class VAlign { Baseline, Top, Middle, Bottom };
enum class TextTransform { None, Upper, Lower, Capitalize };

struct TextStyle {
    int fontSize = 16;  // pixels
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool overline = false;
    QString face = QStringLiteral("Verdana");
    ColorRef textColour = 0;
    ColorRef backgroundColour = 0xFFFFFF;
    bool backgroundTransparent = true;
    ColorRef borderColour = 0xFFFFFF;
    int borderWidth = 0;
    LineStyle borderStyle = LineStyle::None;
    int size = 0;  // thickness of a horizontal rule drawn in this style; 0 means the default
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Baseline;
    TextTransform transform = TextTransform::None;
    int margin = 0;
    int padding = 0;

    FontSpec font() const { return {face, fontSize, weight, italic, underline, strikeOut}; }
};

struct StyleDeclaration {
    QString property;  // lower case
    QString value;     // quotes around the whole value removed
};

struct StyleRule {
    QString selector;  // lower case
    std::vector<StyleDeclaration> declarations;
};

// "selector {property: value; ...}" rules, one per line by convention; a comma-separated selector
// list gives one rule per selector. A pure function; malformed pieces are skipped.
std::vector<StyleRule> parseStyleSheet(QStringView text);
// The "property: value; ..." list between the braces (also the form of an inline "style").
std::vector<StyleDeclaration> parseDeclarations(QStringView text);

// The sheet every drawer starts with.
extern const char* const kDefaultStyleSheet;

// What applying a declaration needs to know beyond the style itself.
struct StyleEnvironment {
    const ColourTable* colours = nullptr;
    int dpi = 96;
    // Height of the whole font and of its "x", for "em" and "ex".
    std::function<int(const FontSpec&)> textHeight;
    std::function<int(const FontSpec&)> xHeight;
};

void applyDeclarations(TextStyle& style, const std::vector<StyleDeclaration>& declarations,
                       const StyleEnvironment& environment);

// One step bolder: "font-weight: bolder" and each "b" tag double the weight, up to 900.
int bolderWeight(int weight);

class StyleSheet {
  public:
    // Adds the rules of `text`; a selector seen before gains the new declarations after its old
    // ones, so the later value of a property wins.
    void add(QStringView text);
    // The declarations of a selector ("h1", "a:hover", ".name"), or null.
    const std::vector<StyleDeclaration>* find(QStringView selector) const;
    const std::vector<StyleRule>& rules() const { return rules_; }

  private:
    std::vector<StyleRule> rules_;
};

}  // namespace ostrum::ui
