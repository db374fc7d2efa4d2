// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/richtext/markup_tokenizer.h"

#include <algorithm>

namespace ostrum::ui {

namespace {

constexpr int kMaxTagCount = 1000;  // "<br 100000>" is hostile; nobody breaks more lines than this

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u':';
}

// Finds the ">" that ends the tag starting at `open`, skipping quoted attribute values.
qsizetype findTagEnd(QStringView text, qsizetype open) {
    QChar quote;
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == quote) {
                quote = QChar();
            }
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return i;
        }
    }
    return -1;
}

void skipSpaces(QStringView s, qsizetype& i) {
    while (i < s.size() && s[i].isSpace()) {
        ++i;
    }
}

QString readValue(QStringView s, qsizetype& i) {
    if (i < s.size() && (s[i] == u'"' || s[i] == u'\'')) {
        const QChar quote = s[i++];
        const qsizetype start = i;
        while (i < s.size() && s[i] != quote) {
            ++i;
        }
        const QString value = s.mid(start, i - start).toString();
        if (i < s.size()) {
            ++i;
        }
        return value;
    }
    const qsizetype start = i;
    while (i < s.size() && !s[i].isSpace()) {
        ++i;
    }
    return s.mid(start, i - start).toString();
}

std::vector<MarkupAttribute> readAttributes(QStringView s) {
    std::vector<MarkupAttribute> out;
    qsizetype i = 0;
    while (true) {
        skipSpaces(s, i);
        if (i >= s.size()) {
            return out;
        }
        const qsizetype start = i;
        while (i < s.size() && !s[i].isSpace() && s[i] != u'=') {
            ++i;
        }
        MarkupAttribute attribute{s.mid(start, i - start).toString().toLower(), {}};
        skipSpaces(s, i);
        if (i < s.size() && s[i] == u'=') {
            ++i;
            skipSpaces(s, i);
            attribute.value = readValue(s, i);
        }
        out.push_back(std::move(attribute));
    }
}

int readCount(QStringView digits) {
    bool ok = false;
    const int n = digits.toInt(&ok);
    return ok ? std::clamp(n, 0, kMaxTagCount) : 0;
}

// "br3" and "t2" carry their count in the name; "br 3" as a bare first attribute.
void splitCount(MarkupTag& tag) {
    qsizetype digitsAt = tag.name.size();
    while (digitsAt > 0 && tag.name[digitsAt - 1].isDigit()) {
        --digitsAt;
    }
    const QStringView stem = QStringView(tag.name).left(digitsAt);
    if (stem == u"br" || stem == u"t") {
        if (digitsAt < tag.name.size()) {
            tag.count = readCount(QStringView(tag.name).mid(digitsAt));
            tag.name = stem.toString();
        } else if (!tag.attributes.empty() && tag.attributes.front().value.isEmpty() &&
                   !tag.attributes.front().name.isEmpty() && tag.attributes.front().name.front().isDigit()) {
            tag.count = readCount(tag.attributes.front().name);
        }
    }
}

MarkupTag parseTag(QStringView body) {
    MarkupTag tag;
    qsizetype i = 0;
    if (i < body.size() && body[i] == u'/') {
        tag.closing = true;
        ++i;
    }
    const qsizetype start = i;
    while (i < body.size() && isNameChar(body[i])) {
        ++i;
    }
    tag.name = body.mid(start, i - start).toString().toLower();
    tag.attributes = readAttributes(body.mid(i));
    splitCount(tag);
    return tag;
}

bool opensTag(QStringView text, qsizetype at) {
    if (at + 1 >= text.size()) {
        return false;
    }
    const QChar next = text[at + 1];
    return next.isLetter() || (next == u'/' && at + 2 < text.size() && text[at + 2].isLetter());
}

}  // namespace

const QString* MarkupTag::attribute(QStringView attributeName) const {
    const auto it = std::find_if(attributes.begin(), attributes.end(),
                                 [&](const MarkupAttribute& a) { return a.name == attributeName; });
    return it == attributes.end() ? nullptr : &it->value;
}

std::vector<MarkupToken> tokenizeMarkup(QStringView text) {
    std::vector<MarkupToken> tokens;
    QString run;
    auto flushRun = [&] {
        if (!run.isEmpty()) {
            tokens.push_back({MarkupToken::Kind::Text, std::move(run), {}});
            run.clear();
        }
    };
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] != u'<') {
            run += text[i++];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == u'<') {
            run += u'<';
            i += 2;
            continue;
        }
        const qsizetype end = opensTag(text, i) ? findTagEnd(text, i) : -1;
        if (end < 0) {
            run += text[i++];
            continue;
        }
        flushRun();
        tokens.push_back({MarkupToken::Kind::Tag, {}, parseTag(text.mid(i + 1, end - i - 1))});
        i = end + 1;
    }
    flushRun();
    return tokens;
}

}  // namespace ostrum::ui
