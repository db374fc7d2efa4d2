// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/richtext/markup_preparation.h"

namespace ostrum::ui {

namespace {

struct Entity {
    const char16_t* name;  // without "&" and ";"
    const char16_t* replacement;
};

// The characters are those the entities stand for in the Windows-1252 code page of the mark-up's
// origin (0x95 bullet, 0x88 euro, 0x99 trade mark, ...), here as Unicode characters.
constexpr Entity kEntities[] = {
    {u"amp", u"&"},        {u"bull", u"\u2022"},   {u"copy", u"\u00A9"}, {u"euro", u"\u20AC"},
    {u"gt", u">"},         {u"iquest", u"\u00BF"}, {u"lt", u"<<"},       {u"nbsp", u" "},
    {u"para", u"\u00B6"},  {u"pound", u"\u00A3"},  {u"quot", u"\""},     {u"reg", u"\u00AE"},
    {u"trade", u"\u2122"},
};

const Entity* entityAt(QStringView text, qsizetype at, qsizetype& length) {
    for (const Entity& e : kEntities) {
        const QStringView name(e.name);
        if (text.size() - at >= name.size() + 2 && text.mid(at + 1, name.size()) == name &&
            text[at + 1 + name.size()] == u';') {
            length = name.size() + 2;
            return &e;
        }
    }
    return nullptr;
}

}  // namespace

QString replaceEntities(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        qsizetype length = 0;
        const Entity* entity = text[i] == u'&' ? entityAt(text, i, length) : nullptr;
        if (entity != nullptr) {
            out += QStringView(entity->replacement);
            i += length;
        } else {
            out += text[i];
            ++i;
        }
    }
    return out;
}

QString prepareMarkup(QStringView text, bool newlineMode) {
    const QString replaced = replaceEntities(text);
    QString out = QStringLiteral("<body>");
    out.reserve(replaced.size() + 16);
    for (const QChar c : replaced) {
        if (c == u'\r') {
            continue;
        }
        if (c == u'\n' || c == u'\t') {
            if (newlineMode) {
                out += c == u'\n' ? QStringLiteral("<br>") : QStringLiteral("<t>");
            }
            continue;
        }
        out += c;
    }
    out += QStringLiteral("</body>");
    return out;
}

}  // namespace ostrum::ui
