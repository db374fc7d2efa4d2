// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/resources/program_message.h"

#include "app/resources/program_help.h"
#include "app/resources/program_resources.h"
#include "ui/effects/effect_painter.h"
#include "ui/msgbox/message_box.h"

namespace ostrum::app {

ui::MessageBoxParams standardMessageParams() {
    ui::MessageBoxParams params;
    // Texts and icons given by number are the program's own.
    params.stringsModule = ProgramResources::instance();
    params.iconModule = ProgramResources::instance();
    params.background.separatorType = 0;
    params.background.separatorAlign = 2;
    params.background.separatorText = ui::MessageText();
    params.background.effect = ui::kEffectVBump;
    params.background.colour1 = 0x86FDF7;
    params.background.colour2 = 0xFFFFFF;
    params.background.colour3 = 0x86FDF7;
    params.help = [](QWidget* box) {
        showHelp(programHelpPlaces(programStartDirectory()), std::make_shared<ui::DesktopLinkOpener>(), box);
    };
    return params;
}

QString plainMessageText(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
            case u'&':
                out += QStringLiteral("&amp;");
                break;
            case u'<':
                out += QStringLiteral("&lt;");
                break;
            case u'>':
                out += QStringLiteral("&gt;");
                break;
            default:
                out += c;
        }
    }
    return out;
}

QString capitalised(QString text) {
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    return text;
}

ui::MessageAnswer programMessage(const QString& text, const QString& caption, const ui::MessageStyle& style) {
    const ui::MessageBoxParams params = standardMessageParams();
    return ui::showMessageBox(nullptr, ui::MessageText(text), caption, style, &params);
}

void programError(std::string_view why) {
    const QString text = QString::fromUtf8(why.data(), static_cast<qsizetype>(why.size()));
    programMessage(plainMessageText(capitalised(text)), kCaptionTapeMedia, kMessageError);
}

}  // namespace ostrum::app
