// SPDX-License-Identifier: GPL-3.0-or-later
// Renders every message-box style and button set, every skin and every button picture, so that
// anyone can look at them without running the program.

#include "controls_gallery.h"

#include <QDir>
#include <QPainter>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/dialog_units.h"
#include "app/resources/artwork_names.h"
#include "app/resources/program_message.h"
#include "app/resources/program_resources.h"
#include "ui/msgbox/message_box.h"
#include "ui/msgbox/message_box_dialog.h"
#include "ui/skin/hover_button.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_picture.h"
#include "ui/skin/skin_static.h"

namespace ostrum::gallery {

namespace {

using namespace ostrum::ui;
using namespace ostrum::app;
using artwork::Picture;
using artwork::pictureId;

constexpr int kGap = 16;
constexpr int kCaptionBar = 22;
constexpr int kLabel = 18;

QFont labelFont(int px = 12, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

// A picture with a title line above it.
struct Tile {
    QString title;
    QImage image;
};

// Lays tiles out left to right, wrapping at `pageWidth`.
QImage composePage(const QString& heading, const std::vector<Tile>& tiles, int pageWidth,
                   const QColor& background) {
    int x = kGap;
    int y = 40;
    int rowHeight = 0;
    std::vector<QPoint> places;
    for (const Tile& t : tiles) {
        if (x > kGap && x + t.image.width() > pageWidth - kGap) {
            x = kGap;
            y += rowHeight + kGap;
            rowHeight = 0;
        }
        places.emplace_back(x, y);
        x += std::max(t.image.width(), 120) + kGap;
        rowHeight = std::max(rowHeight, t.image.height() + kLabel);
    }
    QImage page(pageWidth, y + rowHeight + kGap, QImage::Format_RGB32);
    page.fill(background);
    QPainter p(&page);
    p.setFont(labelFont(18, true));
    p.drawText(QRect(kGap, 8, pageWidth, 26), Qt::AlignLeft | Qt::AlignVCenter, heading);
    p.setFont(labelFont());
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        p.setPen(Qt::black);
        p.drawText(QRect(places[i].x(), places[i].y(), pageWidth, kLabel), Qt::AlignLeft | Qt::AlignVCenter,
                   tiles[i].title);
        p.drawImage(places[i] + QPoint(0, kLabel), tiles[i].image);
    }
    return page;
}

// The box as the desktop would show it: a title bar with the caption over the client area.
QImage boxPicture(MessageBoxDialog& box) {
    box.ensurePolished();
    const QImage client = box.grab().toImage();
    QImage framed(client.width() + 2, client.height() + kCaptionBar + 1, QImage::Format_RGB32);
    framed.fill(QColor(60, 72, 88));
    QPainter p(&framed);
    QLinearGradient bar(0, 0, 0, kCaptionBar);
    bar.setColorAt(0, QColor(70, 110, 160));
    bar.setColorAt(1, QColor(40, 70, 115));
    p.fillRect(QRect(1, 0, client.width(), kCaptionBar), bar);
    p.setFont(labelFont(12, true));
    p.setPen(Qt::white);
    p.drawText(QRect(8, 0, client.width() - 40, kCaptionBar), Qt::AlignLeft | Qt::AlignVCenter,
               box.windowTitle());
    p.setPen(box.closeEnabled() ? Qt::white : QColor(130, 150, 175));
    p.drawText(QRect(client.width() - 24, 0, 20, kCaptionBar), Qt::AlignCenter, QStringLiteral("\u2715"));
    p.drawImage(1, kCaptionBar, client);
    return framed;
}

Tile box(const QString& title, const QString& text, const QString& caption, MessageStyle style,
         MessageBoxParams params = standardMessageParams(), bool openDetails = false) {
    style.options |= MessageOption::NoBeep;
    MessageBoxDialog dialog(prepareMessageParams(nullptr, MessageText(text), caption, style, &params));
    if (openDetails) {
        dialog.command(MessageAnswer::Details);
    }
    return {title, boxPicture(dialog)};
}

std::vector<Tile> messageBoxTiles() {
    std::vector<Tile> tiles;
    // The four styles the program uses, with its own texts and captions.
    tiles.push_back(box(QStringLiteral("style 0"), QStringLiteral("please stop repairing process"),
                        kCaptionTapeMedia, kMessagePlain));
    tiles.push_back(box(QStringLiteral("style 0x20"),
                        QStringLiteral("There is no media available , please insert the media"),
                        kCaptionTapeMedia, kMessageNotice));
    tiles.push_back(box(QStringLiteral("style 0x24"),
                        QStringLiteral("Do you want to stop repairing process?"), kCaptionTapeMedia,
                        kMessageQuestion));
    tiles.push_back(box(QStringLiteral("style 0x24, exit"), QStringLiteral("Do you really want to exit?"),
                        kCaptionTapeMediaMixedCase, kMessageQuestion));
    tiles.push_back(box(QStringLiteral("style 0x40"), QStringLiteral("Help file not found"), kCaptionProgram,
                        kMessageInformation));
    // An error, as the window says why a medium cannot be read: the error icon, a sentence.
    tiles.push_back(box(QStringLiteral("error"),
                        plainMessageText(capitalised(QStringLiteral(
                            "cannot open '/home/user/tapes/missing.img': No such file or directory"))),
                        kCaptionTapeMedia, kMessageError));
    // Every button set and icon, titled with the platform's names for them.
    const char* const setNames[] = {
        "MB_OK",         "MB_OKCANCEL",    "MB_ABORTRETRYIGNORE",  "MB_YESNOCANCEL",
        "MB_YESNO",      "MB_RETRYCANCEL", "MB_CANCELTRYCONTINUE", "RXMB_SET_CONTINUE_ABORT",
        "RXMB_SET_SKIP", "RXMB_SET_IGNORE"};
    const MessageButtons sets[] = {MessageButtons::Ok,
                                   MessageButtons::OkCancel,
                                   MessageButtons::AbortRetryIgnore,
                                   MessageButtons::YesNoCancel,
                                   MessageButtons::YesNo,
                                   MessageButtons::RetryCancel,
                                   MessageButtons::CancelTryContinue,
                                   MessageButtons::ContinueAbort,
                                   MessageButtons::SkipSkipAllCancel,
                                   MessageButtons::IgnoreIgnoreAllCancel};
    const MessageIcon icons[] = {MessageIcon::None, MessageIcon::Error, MessageIcon::Question,
                                 MessageIcon::Warning, MessageIcon::Information};
    for (std::size_t set = 0; set < std::size(sets); ++set) {
        tiles.push_back(box(QStringLiteral("set %1 %2").arg(set).arg(QLatin1String(setNames[set])),
                            QStringLiteral("Button set <b>%1</b>.").arg(QLatin1String(setNames[set])),
                            QStringLiteral("Button sets"), {sets[set], icons[set % std::size(icons)]},
                            MessageBoxParams()));
    }
    tiles.push_back(box(QStringLiteral("Yes/No to all, Help, default 2"),
                        QStringLiteral("Replace <i>report.doc</i>?"), QStringLiteral("Extras"),
                        {MessageButtons::YesNoCancel, MessageIcon::Question, 1,
                         MessageOption::YesToAll | MessageOption::NoToAll | MessageOption::Help},
                        MessageBoxParams()));
    MessageBoxParams custom;
    custom.customButtons = QStringLiteral("Image\nDirect\n\nLater");
    custom.buttonAlignment = 1;
    tiles.push_back(box(QStringLiteral("custom buttons, right"), QStringLiteral("Which road?"),
                        QStringLiteral("Custom"), {MessageButtons::Ok, MessageIcon::Question}, custom));
    MessageBoxParams rich;
    rich.headerHeight = 40;
    rich.headerText = MessageText(
        "<font size=4 color=white><b>Header</b></font> with a <a href=\"https://example.com\">link</a>");
    rich.header = {1,
                   2,
                   MessageText("header"),
                   kEffectHGradient,
                   makeColorRef(40, 80, 160),
                   0,
                   makeColorRef(120, 170, 230)};
    rich.buttons = {1,
                    0,
                    MessageText("buttons"),
                    kEffectVGradient,
                    makeColorRef(240, 240, 240),
                    0,
                    makeColorRef(200, 210, 225)};
    rich.details = {2, 1, MessageText("details"), kEffectSolid, makeColorRef(255, 250, 230), 0, 0};
    rich.detailsText = MessageText(
        "Block 17 of set 2 could not be read.\nThe set's files after it are listed as <b>lost</b>.");
    rich.checkBoxText = MessageText("Do not ask again for this tape");
    tiles.push_back(box(QStringLiteral("header, separators, details closed"),
                        QStringLiteral("Mark-up body with <u>links</u>, "
                                       "<font color=darkred>colours</font>\nand a second line."),
                        QStringLiteral("Areas"),
                        {MessageButtons::OkCancel, MessageIcon::Warning, 0, MessageOption::DontShowAgain},
                        rich));
    tiles.push_back(box(
        QStringLiteral("details open, check box below"), QStringLiteral("Same box, details shown."),
        QStringLiteral("Areas"),
        {MessageButtons::OkCancel, MessageIcon::Warning, 0,
         MessageOption::DontShowAgain | MessageOption::CheckBoxBelow | MessageOption::DontShowAgainTicked},
        rich, true));
    MessageBoxParams countdown = standardMessageParams();
    countdown.autoCloseSeconds = 10;
    tiles.push_back(box(QStringLiteral("auto-close 10"), QStringLiteral("Closing by itself."),
                        QStringLiteral("Countdown"), {MessageButtons::Ok, MessageIcon::Information},
                        countdown));
    MessageBoxParams disabled = standardMessageParams();
    disabled.disableSeconds = 5;
    disabled.captionCountdown = true;
    tiles.push_back(box(QStringLiteral("disable 5, caption countdown"), QStringLiteral("Read this first."),
                        QStringLiteral("Countdown"),
                        {MessageButtons::OkCancel, MessageIcon::Warning, 0, MessageOption::Help}, disabled));
    tiles.push_back(box(QStringLiteral("MB_RIGHT, user icon 163"),
                        QStringLiteral("Right-aligned text\nnext to our own icon"),
                        QStringLiteral("User icon"),
                        {MessageButtons::Ok, MessageIcon::User, 0, MessageOption::RightAligned}, [] {
                            MessageBoxParams p = standardMessageParams();
                            p.userIcon = MessageText::fromId(pictureId(Picture::TapeMediumIcon));
                            return p;
                        }()));
    return tiles;
}

std::vector<Tile> skinTiles() {
    const auto resources = ProgramResources::instance();
    std::vector<Tile> tiles;
    const std::pair<Picture, const char*> skins[] = {
        {Picture::StartPageSkin, "start page"},     {Picture::ImageRoadPageSkin, "image page"},
        {Picture::ImagingPageSkin, "imaging page"}, {Picture::RecoverySkin, "recovery window"},
        {Picture::AboutSkin, "about box"},          {Picture::DeviceSelectionSkin, "device selection"}};
    for (const auto& [picture, title] : skins) {
        tiles.push_back({QStringLiteral("%1 %2").arg(pictureId(picture)).arg(QString::fromLatin1(title)),
                         resources->bitmap(pictureId(picture))});
    }
    return tiles;
}

QImage scaled(const QImage& image, int factor) {
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// A SkinButton in one of its states, drawn over a piece of the bottom bar of the recovery skin.
QImage skinButtonState(Picture normal, Picture hover, bool hovered, bool pressed, bool enabled,
                       bool focused = false) {
    const auto resources = ProgramResources::instance();
    SkinButton button;
    button.resize(42, 34);
    button.setBitmaps(*resources, pictureId(hover), 0, pictureId(normal), 0);
    SkinButtonLook look = button.look();
    look.hovered = hovered;
    look.pressed = pressed;
    look.enabled = enabled;
    look.focused = focused;
    look.focusWhenFlat = true;  // as the program's windows set their picture buttons up
    look.alignment = kImageRight;
    look.picture = (hovered || pressed ? button.hoverPicture() : button.normalPicture()).composed();
    QImage canvas = resources->bitmap(pictureId(Picture::RecoverySkin)).copy(600, 466, 60, 38);
    QPainter p(&canvas);
    p.translate(8, 2);
    drawSkinButton(p, look);
    return scaled(canvas, 2);
}

std::vector<Tile> buttonTiles() {
    const auto resources = ProgramResources::instance();
    std::vector<Tile> tiles;
    using enum Picture;
    for (int id :
         {pictureId(StartRecoveryPicture), pictureId(LoadImagePicture), pictureId(CreateImagePicture)}) {
        tiles.push_back({QStringLiteral("%1").arg(id), resources->bitmap(id)});
    }
    for (Picture picture :
         {StopButton, StopButtonHover, BackButton, BackButtonHover, NextButton, NextButtonHover}) {
        const int id = pictureId(picture);
        tiles.push_back({QStringLiteral("%1 (x2)").arg(id), scaled(resources->bitmap(id), 2)});
    }
    for (Picture picture : {HelpTopicsButtonHover, HelpTopicsButton, HomeButton, HomeButtonHover, AboutButton,
                            AboutButtonHover}) {
        const int id = pictureId(picture);
        tiles.push_back({QStringLiteral("%1 (x2)").arg(id), scaled(resources->bitmap(id), 2)});
    }
    for (Picture strip : {TreeStateStrip, FolderStateStrip}) {
        const int id = pictureId(strip);
        tiles.push_back({QStringLiteral("%1 strip (x4)").arg(id), scaled(resources->bitmap(id), 4)});
    }
    for (Picture picture : artwork::kIconIds) {
        const int id = pictureId(picture);
        QImage icons(16 + 32 + 48 + 2 * 8, 48, QImage::Format_ARGB32);
        icons.fill(QColor(235, 240, 246));
        QPainter p(&icons);
        const QIcon icon = resources->icon(id);
        int x = 0;
        for (int size : {16, 32, 48}) {
            p.drawPixmap(x, 48 - size, icon.pixmap(size, size));
            x += size + 8;
        }
        tiles.push_back({QStringLiteral("icon %1").arg(id), icons});
    }
    // The Back button in its states, as the recovery window shows it (x2).
    tiles.push_back({QStringLiteral("Back normal"),
                     skinButtonState(Picture::BackButton, Picture::BackButtonHover, false, false, true)});
    tiles.push_back({QStringLiteral("Back hover"),
                     skinButtonState(Picture::BackButton, Picture::BackButtonHover, true, false, true)});
    tiles.push_back({QStringLiteral("Back pressed"),
                     skinButtonState(Picture::BackButton, Picture::BackButtonHover, false, true, true)});
    tiles.push_back({QStringLiteral("Back disabled"),
                     skinButtonState(Picture::BackButton, Picture::BackButtonHover, false, false, false)});
    tiles.push_back(
        {QStringLiteral("Back focused"),
         skinButtonState(Picture::BackButton, Picture::BackButtonHover, false, false, true, true)});
    // A large picture button of the wizard with the focus, on the image page's skin (x2).
    const QImage load = resources->bitmap(pictureId(LoadImagePicture));
    const QPoint at(dialogUnitsAcross(330), dialogUnitsDown(114));  // where the wizard puts it
    QImage loadFocused = resources->bitmap(pictureId(ImageRoadPageSkin)).copy(QRect(at, load.size()));
    {
        QPainter p(&loadFocused);
        drawHoverButton(p, mapTo3DColours(load), false, true);
    }
    tiles.push_back({QStringLiteral("Load Image focused (x2)"), scaled(loadFocused, 2)});
    // The wizard's labels.
    SkinStatic label;
    label.resize(198, 20);
    label.setFont(QStringLiteral("Arial"), 16, 700);
    label.setColours(0xB3FCFF, 0xB3FCFF, kGradientHorizontal);
    label.setText(QStringLiteral("Source Drive"));
    tiles.push_back({QStringLiteral("SkinStatic label"), label.grab().toImage()});
    SkinStatic shadow;
    shadow.resize(198, 40);
    shadow.setFont(QStringLiteral("DejaVu Sans"), 16, 700);
    shadow.setColours(makeColorRef(40, 80, 160), makeColorRef(160, 200, 240), kGradientVertical);
    shadow.setTextColour(0xFFFFFF);
    shadow.setShadow(true);
    shadow.setText(QStringLiteral("Shadowed text that breaks onto two lines"));
    tiles.push_back({QStringLiteral("SkinStatic shadow, gradient"), shadow.grab().toImage()});
    return tiles;
}

bool save(const QImage& page, const QString& path) {
    if (!page.save(path)) {
        std::fprintf(stderr, "ostrum-gallery: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("ostrum-gallery: wrote %s (%dx%d)\n", qPrintable(path), page.width(), page.height());
    return true;
}

}  // namespace

bool writeControlsGallery(const QString& folder) {
    const QDir dir(folder);
    bool ok = save(composePage(QStringLiteral("RxMessageBox: program styles, button sets, options"),
                               messageBoxTiles(), 1500, QColor(224, 228, 234)),
                   dir.filePath(QStringLiteral("gallery_msgbox.png")));
    ok = save(composePage(QStringLiteral("Skins"), skinTiles(), 1580, QColor(200, 204, 210)),
              dir.filePath(QStringLiteral("gallery_skins.png"))) &&
         ok;
    ok = save(composePage(QStringLiteral("Button pictures, strips, icons, skinned controls"), buttonTiles(),
                          1100, QColor(200, 204, 210)),
              dir.filePath(QStringLiteral("gallery_buttons.png"))) &&
         ok;
    return ok;
}

}  // namespace ostrum::gallery
