// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/richtext/style_sheet.h"

#include <algorithm>

#include "ui/richtext/colour_names.h"
#include "ui/richtext/lengths.h"

namespace ostrum::ui {

const char* const kDefaultStyleSheet =
    "body {font-size: 10pt; color:black; font-family:Verdana}\r\n"
    "p {font-size: 10pt; color:black; font-family:Verdana; font-weight:bold}\r\n"
    "h1 {font-size: 14pt; color:black; font-family:Verdana; font-weight:bold}\r\n"
    "h2 {font-size: 13pt; color:#ff9900; font-family:Verdana; font-weight:bold}\r\n"
    "h3 {font-size: 12pt; color:#ff9900; font-family:Arial; font-weight:bold}\r\n"
    "h4 {font-size: 10pt; color:black; font-family:Verdana; font-weight:bold}\r\n"
    "h5 {font-size: 9pt; color:#ff9900; font-family:Verdana; font-weight:bold}\r\n"
    "h6 {font-size: 65%; color:#626262; font-family:Verdana; font-weight:normal}\r\n"
    "pre {font-size: 9pt; font-family:\"Courier\"; background-color:#fbedbb}\r\n"
    "code {color:#990000; font-family:Arial}\r\n"
    "a:link {text-decoration:none; color:blue}\r\n"
    "a:hover {text-decoration:underline; color:blue}\r\n"
    "sub {font-size:65%; vertical-align:bottom}\r\n"
    "sup {font-size:65%; vertical-align:top}\r\n"
    "big {font-size:125%}\r\n"
    "small {font-size:75%}\r\n"
    ".cpp-comment {color:green; font-style:italic}\r\n";

namespace {

constexpr int kNormalWeight = 400;
constexpr int kBoldWeight = 700;
constexpr int kMaxWeight = 900;
constexpr int kMinWeight = 100;
constexpr int kLowestWeight = 1;  // a number given as weight is kept within what a font accepts
constexpr int kHighestWeight = 1000;
constexpr int kThinBorder = 1;
constexpr int kMediumBorder = 3;
constexpr int kThickBorder = 5;

QString unquote(QStringView value) {
    QStringView v = value.trimmed();
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front()) {
        v = v.mid(1, v.size() - 2);
    }
    return v.toString();
}

LengthContext lengthContext(const TextStyle& style, int current, const StyleEnvironment& env) {
    LengthContext c;
    c.current = current;
    c.dpi = env.dpi;
    c.textHeight = env.textHeight ? env.textHeight(style.font()) : style.fontSize;
    c.xHeight = env.xHeight ? env.xHeight(style.font()) : style.fontSize / 2;
    return c;
}

void setLength(int& target, QStringView value, const TextStyle& style, const StyleEnvironment& env) {
    if (const auto length = parseLength(value, lengthContext(style, target, env))) {
        target = *length;
    }
}

int parseWeight(QStringView value, int current) {
    if (value == u"normal") {
        return kNormalWeight;
    }
    if (value == u"bold") {
        return kBoldWeight;
    }
    if (value == u"bolder") {
        return bolderWeight(current);
    }
    if (value == u"lighter") {
        return std::max(kMinWeight, current / 2);
    }
    bool ok = false;
    const int weight = value.toInt(&ok);
    return ok ? std::clamp(weight, kLowestWeight, kHighestWeight) : current;
}

void applyTextDecoration(TextStyle& s, QStringView value) {
    if (value == u"none") {
        s.underline = s.strikeOut = s.overline = false;
    } else if (value == u"underline") {
        s.underline = true;
    } else if (value == u"line-through") {
        s.strikeOut = true;
    } else if (value == u"overline") {
        s.overline = true;
    }
}

void applyAlignment(TextStyle& s, QStringView value) {
    if (value == u"left") {
        s.hAlign = HAlign::Left;
    } else if (value == u"center") {
        s.hAlign = HAlign::Center;
    } else if (value == u"right") {
        s.hAlign = HAlign::Right;
    } else if (value == u"justify") {
        s.hAlign = HAlign::Justify;
    }
}

void applyVerticalAlignment(TextStyle& s, QStringView value) {
    if (value == u"baseline") {
        s.vAlign = VAlign::Baseline;
    } else if (value == u"top") {
        s.vAlign = VAlign::Top;
    } else if (value == u"middle" || value == u"vcenter") {
        s.vAlign = VAlign::Middle;
    } else if (value == u"bottom") {
        s.vAlign = VAlign::Bottom;
    }
}

void applyTransform(TextStyle& s, QStringView value) {
    if (value == u"none") {
        s.transform = TextTransform::None;
    } else if (value == u"uppercase") {
        s.transform = TextTransform::Upper;
    } else if (value == u"lowercase") {
        s.transform = TextTransform::Lower;
    } else if (value == u"capitalize") {
        s.transform = TextTransform::Capitalize;
    }
}

void applyBorderStyle(TextStyle& s, QStringView value) {
    if (value == u"none") {
        s.borderStyle = LineStyle::None;
    } else if (value == u"solid") {
        s.borderStyle = LineStyle::Solid;
    } else if (value == u"dotted") {
        s.borderStyle = LineStyle::Dot;
    } else if (value == u"dashed") {
        s.borderStyle = LineStyle::Dash;
    } else if (value == u"double") {
        s.borderStyle = LineStyle::Double;
    }
}

void applyBorderWidth(TextStyle& s, QStringView value, const StyleEnvironment& env) {
    if (value == u"thin") {
        s.borderWidth = kThinBorder;
    } else if (value == u"medium") {
        s.borderWidth = kMediumBorder;
    } else if (value == u"thick") {
        s.borderWidth = kThickBorder;
    } else {
        setLength(s.borderWidth, value, s, env);
    }
}

ColorRef colourOf(QStringView value, ColorRef current, const StyleEnvironment& env) {
    return env.colours != nullptr ? parseColour(value, current, *env.colours) : current;
}

void applyColours(TextStyle& s, const QString& property, QStringView value, const StyleEnvironment& env) {
    if (property == u"color") {
        s.textColour = colourOf(value, s.textColour, env);
    } else if (property == u"background-color") {
        if (value.compare(u"transparent", Qt::CaseInsensitive) == 0) {
            s.backgroundTransparent = true;
        } else {
            s.backgroundColour = colourOf(value, s.backgroundColour, env);
            s.backgroundTransparent = false;
        }
    } else if (property == u"border-color") {
        s.borderColour = colourOf(value, s.borderColour, env);
    }
}

void applyOne(TextStyle& s, const StyleDeclaration& d, const StyleEnvironment& env) {
    const QString lowered = d.value.toLower();
    const QStringView value(lowered);
    const QString& p = d.property;
    if (p == u"font-size") {
        if (const auto size = parseFontSize(value, lengthContext(s, s.fontSize, env))) {
            s.fontSize = *size;
        }
    } else if (p == u"font-family") {
        const QString first = d.value.section(u',', 0, 0);
        if (!unquote(first).isEmpty()) {
            s.face = unquote(first);
        }
    } else if (p == u"font-style") {
        s.italic = value == u"italic" || value == u"oblique";
    } else if (p == u"font-weight") {
        s.weight = parseWeight(value, s.weight);
    } else if (p == u"text-align") {
        applyAlignment(s, value);
    } else if (p == u"text-transform") {
        applyTransform(s, value);
    } else if (p == u"text-decoration") {
        applyTextDecoration(s, value);
    } else if (p == u"vertical-align") {
        applyVerticalAlignment(s, value);
    } else if (p == u"border-width") {
        applyBorderWidth(s, value, env);
    } else if (p == u"border-style") {
        applyBorderStyle(s, value);
    } else if (p == u"size") {
        setLength(s.size, value, s, env);
    } else if (p == u"margin") {
        setLength(s.margin, value, s, env);
    } else if (p == u"padding") {
        setLength(s.padding, value, s, env);
    } else {
        applyColours(s, p, d.value, env);
    }
}

}  // namespace

int bolderWeight(int weight) {
    return std::min(kMaxWeight, weight * 2);
}

std::vector<StyleDeclaration> parseDeclarations(QStringView text) {
    std::vector<StyleDeclaration> out;
    for (const QStringView part : text.split(u';')) {
        const qsizetype colon = part.indexOf(u':');
        if (colon <= 0) {
            continue;
        }
        StyleDeclaration d{part.left(colon).trimmed().toString().toLower(), unquote(part.mid(colon + 1))};
        if (!d.property.isEmpty()) {
            out.push_back(std::move(d));
        }
    }
    return out;
}

std::vector<StyleRule> parseStyleSheet(QStringView text) {
    std::vector<StyleRule> rules;
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype open = text.indexOf(u'{', at);
        if (open < 0) {
            break;
        }
        qsizetype close = text.indexOf(u'}', open + 1);
        if (close < 0) {
            close = text.size();
        }
        const auto declarations = parseDeclarations(text.mid(open + 1, close - open - 1));
        for (const QStringView selector : text.mid(at, open - at).split(u',')) {
            const QString name = selector.trimmed().toString().toLower();
            if (!name.isEmpty()) {
                rules.push_back({name, declarations});
            }
        }
        at = close + 1;
    }
    return rules;
}

void applyDeclarations(TextStyle& style, const std::vector<StyleDeclaration>& declarations,
                       const StyleEnvironment& environment) {
    for (const StyleDeclaration& d : declarations) {
        applyOne(style, d, environment);
    }
}

void StyleSheet::add(QStringView text) {
    for (StyleRule& rule : parseStyleSheet(text)) {
        auto existing = std::find_if(rules_.begin(), rules_.end(),
                                     [&](const StyleRule& r) { return r.selector == rule.selector; });
        if (existing == rules_.end()) {
            rules_.push_back(std::move(rule));
        } else {
            existing->declarations.insert(existing->declarations.end(), rule.declarations.begin(),
                                          rule.declarations.end());
        }
    }
}

const std::vector<StyleDeclaration>* StyleSheet::find(QStringView selector) const {
    const auto it = std::find_if(rules_.begin(), rules_.end(),
                                 [&](const StyleRule& r) { return r.selector == selector; });
    return it == rules_.end() ? nullptr : &it->declarations;
}

}  // namespace ostrum::ui
