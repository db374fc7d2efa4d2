// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Cuts prepared mark-up into plain-text runs and tags. A pure function: no fonts, no device.

#include <QString>
#include <QStringView>
#include <vector>

namespace ostrum::ui {

struct MarkupAttribute {
    QString name;  // lower case
    QString value;
};

struct MarkupTag {
    QString name;  // lower case, without the "/" of a closing tag or a trailing count
    bool closing = false;
    int count = 0;  // the N of "<br N>" / "<t3>"; 0 when none was given
    std::vector<MarkupAttribute> attributes;

    // The value of the named attribute, or null when the tag does not carry it.
    const QString* attribute(QStringView attributeName) const;
};

struct MarkupToken {
    enum class Kind { Text, Tag };
    Kind kind = Kind::Text;
    QString text;   // Kind::Text
    MarkupTag tag;  // Kind::Tag
};

// "<<" is a literal "<"; a "<" that does not open a tag (no letter or "/" after it, or no closing
// ">") is kept as text.
std::vector<MarkupToken> tokenizeMarkup(QStringView text);

}  // namespace ostrum::ui
