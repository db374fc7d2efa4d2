// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/richtext/colour_names.h"

#include <QString>
#include <algorithm>

namespace ostrum::ui {

namespace {

struct NamedColour {
    const char* name;
    ColorRef value;
};

// Sorted by name for binary search.
constexpr NamedColour kNamed[] = {
    {"aliceblue", makeColorRef(0xf0, 0xf8, 0xff)},
    {"antiquewhite", makeColorRef(0xfa, 0xeb, 0xd7)},
    {"aqua", makeColorRef(0x00, 0xff, 0xff)},
    {"aquamarine", makeColorRef(0x7f, 0xff, 0xd4)},
    {"azure", makeColorRef(0xf0, 0xff, 0xff)},
    {"beige", makeColorRef(0xf5, 0xf5, 0xdc)},
    {"bisque", makeColorRef(0xff, 0xe4, 0xc4)},
    {"black", makeColorRef(0x00, 0x00, 0x00)},
    {"blanchedalmond", makeColorRef(0xff, 0xeb, 0xcd)},
    {"blue", makeColorRef(0x00, 0x00, 0xff)},
    {"blueviolet", makeColorRef(0x8a, 0x2b, 0xe2)},
    {"brown", makeColorRef(0xa5, 0x2a, 0x2a)},
    {"burlywood", makeColorRef(0xde, 0xb8, 0x87)},
    {"cadetblue", makeColorRef(0x5f, 0x9e, 0xa0)},
    {"chartreuse", makeColorRef(0x7f, 0xff, 0x00)},
    {"chocolate", makeColorRef(0xd2, 0x69, 0x1e)},
    {"coral", makeColorRef(0xff, 0x7f, 0x50)},
    {"cornflowerblue", makeColorRef(0x64, 0x95, 0xed)},
    {"cornsilk", makeColorRef(0xff, 0xf8, 0xdc)},
    {"crimson", makeColorRef(0xdc, 0x14, 0x3c)},
    {"cyan", makeColorRef(0x00, 0xff, 0xff)},
    {"darkblue", makeColorRef(0x00, 0x00, 0x8b)},
    {"darkcyan", makeColorRef(0x00, 0x8b, 0x8b)},
    {"darkgoldenrod", makeColorRef(0xb8, 0x86, 0x0b)},
    {"darkgray", makeColorRef(0xa9, 0xa9, 0xa9)},
    {"darkgreen", makeColorRef(0x00, 0x64, 0x00)},
    {"darkkhaki", makeColorRef(0xbd, 0xb7, 0x6b)},
    {"darkmagenta", makeColorRef(0x8b, 0x00, 0x8b)},
    {"darkolivegreen", makeColorRef(0x55, 0x6b, 0x2f)},
    {"darkorange", makeColorRef(0xff, 0x8c, 0x00)},
    {"darkorchid", makeColorRef(0x99, 0x32, 0xcc)},
    {"darkred", makeColorRef(0x8b, 0x00, 0x00)},
    {"darksalmon", makeColorRef(0xe9, 0x96, 0x7a)},
    {"darkseagreen", makeColorRef(0x8f, 0xbc, 0x8f)},
    {"darkslateblue", makeColorRef(0x48, 0x3d, 0x8b)},
    {"darkslategray", makeColorRef(0x2f, 0x4f, 0x4f)},
    {"darkturquoise", makeColorRef(0x00, 0xce, 0xd1)},
    {"darkviolet", makeColorRef(0x94, 0x00, 0xd3)},
    {"deeppink", makeColorRef(0xff, 0x14, 0x93)},
    {"deepskyblue", makeColorRef(0x00, 0xbf, 0xff)},
    {"dimgray", makeColorRef(0x69, 0x69, 0x69)},
    {"dodgerblue", makeColorRef(0x1e, 0x90, 0xff)},
    {"firebrick", makeColorRef(0xb2, 0x22, 0x22)},
    {"floralwhite", makeColorRef(0xff, 0xfa, 0xf0)},
    {"forestgreen", makeColorRef(0x22, 0x8b, 0x22)},
    {"fuchsia", makeColorRef(0xff, 0x00, 0xff)},
    {"gainsboro", makeColorRef(0xdc, 0xdc, 0xdc)},
    {"ghostwhite", makeColorRef(0xf8, 0xf8, 0xff)},
    {"gold", makeColorRef(0xff, 0xd7, 0x00)},
    {"goldenrod", makeColorRef(0xda, 0xa5, 0x20)},
    {"gray", makeColorRef(0x80, 0x80, 0x80)},
    {"green", makeColorRef(0x00, 0x80, 0x00)},
    {"greenyellow", makeColorRef(0xad, 0xff, 0x2f)},
    {"honeydew", makeColorRef(0xf0, 0xff, 0xf0)},
    {"hotpink", makeColorRef(0xff, 0x69, 0xb4)},
    {"indianred", makeColorRef(0xcd, 0x5c, 0x5c)},
    {"indigo", makeColorRef(0x4b, 0x00, 0x82)},
    {"ivory", makeColorRef(0xff, 0xff, 0xf0)},
    {"khaki", makeColorRef(0xf0, 0xe6, 0x8c)},
    {"lavender", makeColorRef(0xe6, 0xe6, 0xfa)},
    {"lavenderblush", makeColorRef(0xff, 0xf0, 0xf5)},
    {"lawngreen", makeColorRef(0x7c, 0xfc, 0x00)},
    {"lemonchiffon", makeColorRef(0xff, 0xfa, 0xcd)},
    {"lightblue", makeColorRef(0xad, 0xd8, 0xe6)},
    {"lightcoral", makeColorRef(0xf0, 0x80, 0x80)},
    {"lightcyan", makeColorRef(0xe0, 0xff, 0xff)},
    {"lightgoldenrodyellow", makeColorRef(0xfa, 0xfa, 0xd2)},
    {"lightgreen", makeColorRef(0x90, 0xee, 0x90)},
    {"lightgrey", makeColorRef(0xd3, 0xd3, 0xd3)},
    {"lightpink", makeColorRef(0xff, 0xb6, 0xc1)},
    {"lightsalmon", makeColorRef(0xff, 0xa0, 0x7a)},
    {"lightseagreen", makeColorRef(0x20, 0xb2, 0xaa)},
    {"lightskyblue", makeColorRef(0x87, 0xce, 0xfa)},
    {"lightslategray", makeColorRef(0x77, 0x88, 0x99)},
    {"lightsteelblue", makeColorRef(0xb0, 0xc4, 0xde)},
    {"lightyellow", makeColorRef(0xff, 0xff, 0xe0)},
    {"lime", makeColorRef(0x00, 0xff, 0x00)},
    {"limegreen", makeColorRef(0x32, 0xcd, 0x32)},
    {"linen", makeColorRef(0xfa, 0xf0, 0xe6)},
    {"magenta", makeColorRef(0xff, 0x00, 0xff)},
    {"maroon", makeColorRef(0x80, 0x00, 0x00)},
    {"mediumaquamarine", makeColorRef(0x66, 0xcd, 0xaa)},
    {"mediumblue", makeColorRef(0x00, 0x00, 0xcd)},
    {"mediumorchid", makeColorRef(0xba, 0x55, 0xd3)},
    {"mediumpurple", makeColorRef(0x93, 0x70, 0xdb)},
    {"mediumseagreen", makeColorRef(0x3c, 0xb3, 0x71)},
    {"mediumslateblue", makeColorRef(0x7b, 0x68, 0xee)},
    {"mediumspringgreen", makeColorRef(0x00, 0xfa, 0x9a)},
    {"mediumturquoise", makeColorRef(0x48, 0xd1, 0xcc)},
    {"mediumvioletred", makeColorRef(0xc7, 0x15, 0x85)},
    {"midnightblue", makeColorRef(0x19, 0x19, 0x70)},
    {"mintcream", makeColorRef(0xf5, 0xff, 0xfa)},
    {"mistyrose", makeColorRef(0xff, 0xe4, 0xe1)},
    {"moccasin", makeColorRef(0xff, 0xe4, 0xb5)},
    {"navajowhite", makeColorRef(0xff, 0xde, 0xad)},
    {"navy", makeColorRef(0x00, 0x00, 0x80)},
    {"oldlace", makeColorRef(0xfd, 0xf5, 0xe6)},
    {"olive", makeColorRef(0x80, 0x80, 0x00)},
    {"olivedrab", makeColorRef(0x6b, 0x8e, 0x23)},
    {"orange", makeColorRef(0xff, 0xa5, 0x00)},
    {"orangered", makeColorRef(0xff, 0x45, 0x00)},
    {"orchid", makeColorRef(0xda, 0x70, 0xd6)},
    {"palegoldenrod", makeColorRef(0xee, 0xe8, 0xaa)},
    {"palegreen", makeColorRef(0x98, 0xfb, 0x98)},
    {"paleturquoise", makeColorRef(0xaf, 0xee, 0xee)},
    {"palevioletred", makeColorRef(0xdb, 0x70, 0x93)},
    {"papayawhip", makeColorRef(0xff, 0xef, 0xd5)},
    {"peachpuff", makeColorRef(0xff, 0xda, 0xb9)},
    {"peru", makeColorRef(0xcd, 0x85, 0x3f)},
    {"pink", makeColorRef(0xff, 0xc0, 0xcb)},
    {"plum", makeColorRef(0xdd, 0xa0, 0xdd)},
    {"powderblue", makeColorRef(0xb0, 0xe0, 0xe6)},
    {"purple", makeColorRef(0x80, 0x00, 0x80)},
    {"red", makeColorRef(0xff, 0x00, 0x00)},
    {"rosybrown", makeColorRef(0xbc, 0x8f, 0x8f)},
    {"royalblue", makeColorRef(0x41, 0x69, 0xe1)},
    {"saddlebrown", makeColorRef(0x8b, 0x45, 0x13)},
    {"salmon", makeColorRef(0xfa, 0x80, 0x72)},
    {"sandybrown", makeColorRef(0xf4, 0xa4, 0x60)},
    {"seagreen", makeColorRef(0x2e, 0x8b, 0x57)},
    {"seashell", makeColorRef(0xff, 0xf5, 0xee)},
    {"sienna", makeColorRef(0xa0, 0x52, 0x2d)},
    {"silver", makeColorRef(0xc0, 0xc0, 0xc0)},
    {"skyblue", makeColorRef(0x87, 0xce, 0xeb)},
    {"slateblue", makeColorRef(0x6a, 0x5a, 0xcd)},
    {"slategray", makeColorRef(0x70, 0x80, 0x90)},
    {"snow", makeColorRef(0xff, 0xfa, 0xfa)},
    {"springgreen", makeColorRef(0x00, 0xff, 0x7f)},
    {"steelblue", makeColorRef(0x46, 0x82, 0xb4)},
    {"tan", makeColorRef(0xd2, 0xb4, 0x8c)},
    {"teal", makeColorRef(0x00, 0x80, 0x80)},
    {"thistle", makeColorRef(0xd8, 0xbf, 0xd8)},
    {"tomato", makeColorRef(0xff, 0x63, 0x47)},
    {"turquoise", makeColorRef(0x40, 0xe0, 0xd0)},
    {"violet", makeColorRef(0xee, 0x82, 0xee)},
    {"wheat", makeColorRef(0xf5, 0xde, 0xb3)},
    {"white", makeColorRef(0xff, 0xff, 0xff)},
    {"whitesmoke", makeColorRef(0xf5, 0xf5, 0xf5)},
    {"yellow", makeColorRef(0xff, 0xff, 0x00)},
    {"yellowgreen", makeColorRef(0x9a, 0xcd, 0x32)},
};
static_assert(std::size(kNamed) == ColourTable::kNamedColours);

struct SystemKeyword {
    const char* name;
    SysColor colour;
};

constexpr SystemKeyword kSystem[] = {
    {"activeborder", SysColor::ActiveBorder},
    {"activecaption", SysColor::ActiveCaption},
    {"appworkspace", SysColor::AppWorkspace},
    {"background", SysColor::Background},
    {"buttonface", SysColor::BtnFace},
    {"buttonhighlight", SysColor::BtnHighlight},
    {"buttonshadow", SysColor::BtnShadow},
    {"buttontext", SysColor::BtnText},
    {"captiontext", SysColor::CaptionText},
    {"graytext", SysColor::GrayText},
    {"highlight", SysColor::Highlight},
    {"highlighttext", SysColor::HighlightText},
    {"inactiveborder", SysColor::InactiveBorder},
    {"inactivecaption", SysColor::InactiveCaption},
    {"inactivecaptiontext", SysColor::InactiveCaptionText},
    {"infobackground", SysColor::InfoBk},
    {"infotext", SysColor::InfoText},
    {"menu", SysColor::Menu},
    {"menutext", SysColor::MenuText},
    {"scrollbar", SysColor::ScrollBar},
    {"threeddarkshadow", SysColor::DkShadow3D},
    {"threedface", SysColor::BtnFace},
    {"threedhighlight", SysColor::BtnHighlight},
    {"threedlightshadow", SysColor::Light3D},
    {"threedshadow", SysColor::BtnShadow},
    {"window", SysColor::Window},
    {"windowframe", SysColor::WindowFrame},
    {"windowtext", SysColor::WindowText},
};
static_assert(std::size(kSystem) == ColourTable::kSystemKeywords);

constexpr int kHashColourLength = 7;  // "#" and six hexadecimal digits
constexpr int kHexBase = 16;
constexpr int kDecimalBase = 10;

std::optional<ColorRef> parseHash(QStringView text) {
    if (text.size() != kHashColourLength) {
        return std::nullopt;
    }
    bool ok = false;
    const uint rgb = text.mid(1).toUInt(&ok, kHexBase);
    if (!ok || text.mid(1).startsWith(u'+') || text.mid(1).startsWith(u'-')) {
        return std::nullopt;
    }
    return fromRgbPixel(rgb);
}

std::optional<ColorRef> parseNumber(QStringView text) {
    bool ok = false;
    uint value = 0;
    if (text.startsWith(u"0x", Qt::CaseInsensitive)) {
        value = text.mid(2).toUInt(&ok, kHexBase);
    } else if (!text.isEmpty() && text.front().isDigit()) {
        value = text.toUInt(&ok, kDecimalBase);
    }
    if (!ok) {
        return std::nullopt;
    }
    return static_cast<ColorRef>(value & 0x00FFFFFFu);  // a COLORREF has no fourth byte
}

}  // namespace

ColourTable::ColourTable() {
    for (std::size_t i = 0; i < system_.size(); ++i) {
        system_[i] = systemColor(kSystem[i].colour);
    }
}

std::optional<ColorRef> ColourTable::lookup(QStringView name) const {
    const QByteArray key = name.toString().toLower().toLatin1();
    const auto named = std::lower_bound(std::begin(kNamed), std::end(kNamed), key,
                                        [](const NamedColour& c, const QByteArray& k) { return k > c.name; });
    if (named != std::end(kNamed) && key == named->name) {
        return named->value;
    }
    for (std::size_t i = 0; i < system_.size(); ++i) {
        if (key == kSystem[i].name) {
            return system_[i];
        }
    }
    return std::nullopt;
}

ColorRef parseColour(QStringView text, ColorRef current, const ColourTable& table) {
    const QStringView value = text.trimmed();
    if (value.startsWith(u'#')) {
        return parseHash(value).value_or(current);
    }
    if (const auto number = parseNumber(value)) {
        return *number;
    }
    return table.lookup(value).value_or(current);
}

}  // namespace ostrum::ui
