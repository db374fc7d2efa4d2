// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/msgbox/message_texts.h"

#include <algorithm>
#include <array>

#include "ui/richtext/markup_preparation.h"
#include "ui/richtext/markup_tokenizer.h"

namespace ostrum::ui {

namespace {

struct BuiltinText {
    MessageTextKey key;
    const char* text;
    int resourceId;
};

using A = MessageAnswer;
constexpr std::array kBuiltinTexts{
    BuiltinText{A::Ok, "OK", 9001},
    BuiltinText{A::Cancel, "Cancel", 9002},
    BuiltinText{A::Abort, "Abort", 9005},
    BuiltinText{A::Retry, "Retry", 9004},
    BuiltinText{A::Ignore, "Ignore", 9003},
    BuiltinText{A::Yes, "Yes", 9007},
    BuiltinText{A::No, "No", 9008},
    BuiltinText{A::Help, "Help", 9006},
    BuiltinText{A::TryAgain, "Try again", 9015},
    BuiltinText{A::Continue, "Continue", 9009},
    BuiltinText{A::Skip, "Skip", 9018},
    BuiltinText{A::SkipAll, "Skip all", 9019},
    BuiltinText{A::IgnoreAll, "Ignore all", 9017},
    BuiltinText{A::YesToAll, "Yes to all", 9013},
    BuiltinText{A::NoToAll, "No to all", 9014},
    BuiltinText{A::Report, "Report", 9016},
    BuiltinText{MessageLabel::DetailsShown, "<< More", 9011},
    BuiltinText{A::Details, "More >>", 9010},
    BuiltinText{MessageLabel::CheckBox, "Do not show again", 9012},
    BuiltinText{MessageLabel::CaptionCountdown, "%s (%d seconds remaining)", 9020},
};

const BuiltinText* findBuiltin(const MessageTextKey& key) {
    for (const BuiltinText& entry : kBuiltinTexts) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

QString builtinText(const MessageTextKey& key) {
    const BuiltinText* entry = findBuiltin(key);
    return entry != nullptr ? QString::fromLatin1(entry->text) : QString();
}

int stringResourceId(const MessageTextKey& key) {
    const BuiltinText* entry = findBuiltin(key);
    return entry != nullptr ? entry->resourceId : 0;
}

QString resolveMessageText(const MessageText& field, const ResourceProvider& strings,
                           bool noStringResources) {
    if (!field.isId()) {
        return field.text();
    }
    if (noStringResources) {
        return {};
    }
    return strings.string(field.id()).value_or(QString());
}

QString messageKeyText(const MessageTextKey& key, const MessageTextMap* map, const ResourceProvider& strings,
                       bool noStringResources, const QString& callerDefault) {
    if (map != nullptr) {
        if (auto it = map->find(key); it != map->end()) {
            QString mapped = resolveMessageText(it->second, strings, noStringResources);
            if (!mapped.isEmpty()) {
                return mapped;
            }
        }
    }
    if (const int id = stringResourceId(key); id != 0 && !noStringResources) {
        QString loaded = strings.string(id).value_or(QString());
        if (!loaded.isEmpty()) {
            return loaded;
        }
    }
    if (!callerDefault.isEmpty()) {
        return callerDefault;
    }
    return builtinText(key);
}

QString markupAsPlainText(const QString& markup) {
    QString plain;
    plain.reserve(markup.size());
    for (const MarkupToken& token : tokenizeMarkup(prepareMarkup(markup, true))) {
        if (token.kind == MarkupToken::Kind::Text) {
            plain += token.text;
        } else if (!token.tag.closing && (token.tag.name == u"br" || token.tag.name == u"t")) {
            plain += QString(std::max(1, token.tag.count), token.tag.name == u"br" ? u'\n' : u'\t');
        }
    }
    return plain;
}

QString countdownLabel(const QString& text, int seconds) {
    return QStringLiteral("%1 = %2").arg(text).arg(seconds);
}

QString formatTextNumber(const QString& format, const QString& text, int number) {
    // Substitutes in one pass so that a "%d" inside the inserted text stays as it is.
    QString out;
    out.reserve(format.size() + text.size() + 8);
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'%' && i + 1 < format.size()) {
            const QChar next = format[i + 1];
            if (next == u's') {
                out += text;
                ++i;
                continue;
            }
            if (next == u'd') {
                out += QString::number(number);
                ++i;
                continue;
            }
            if (next == u'%') {
                out += u'%';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace ostrum::ui
