// SPDX-License-Identifier: GPL-3.0-or-later
// The window skins: the three wizard pages, the recovery window, the about box and the device
// selection dialog. Each has the title banner along its top; the wizard pages and the recovery
// window have the dark bar along the bottom where their small buttons lie.

#include <QPainterPath>

#include "art_kit.h"
#include "artwork.h"

namespace ostrum::artwork {

namespace {

const QString kHeadingImageRoad = QStringLiteral("Create Tape Image & Recover");
const QString kVersionNote = QStringLiteral("Brivane Ostrum TAPE  \u00b7  Version 4.02");
const QString kWizardSubtitle =
    QStringLiteral("Recover files from backup tapes written in Microsoft Tape Format");

// A wizard page of the given size with its banner, page and bottom bar drawn.
QImage wizardPage(int width, int height) {
    QImage image = canvas(width, height, colour::page);
    QPainter p(&image);
    drawBanner(p, QRect(0, 0, width, kBannerHeight), kWizardSubtitle);
    drawPage(p, QRect(0, kBannerHeight, width, kWizardBarTop - kBannerHeight));
    // The note sits between About and the Stop / Back / Next group.
    drawBottomBar(p, QRect(0, kWizardBarTop, width, height - kWizardBarTop), {});
    prepare(p);
    p.setFont(font(11));
    p.setPen(QColor(160, 190, 220));
    p.drawText(QRect(210, kWizardBarTop + 4, 330, height - kWizardBarTop - 4), Qt::AlignCenter, kVersionNote);
    return image;
}

void drawOrBadge(QPainter& p, QPointF centre) {
    p.save();
    prepare(p);
    p.setPen(QPen(colour::panelBorder, 1));
    p.setBrush(colour::white);
    p.drawEllipse(centre, 17, 17);
    p.setFont(font(12, QFont::Bold));
    p.setPen(colour::mute);
    p.drawText(QRectF(centre.x() - 17, centre.y() - 17, 34, 34), Qt::AlignCenter, QStringLiteral("OR"));
    p.restore();
}

void drawDashedArrow(QPainter& p, QPointF from, QPointF to, const QString& label) {
    p.save();
    prepare(p);
    QPen pen(colour::amber, 3, Qt::DashLine, Qt::RoundCap);
    pen.setDashPattern({2.5, 2});
    p.setPen(pen);
    p.drawLine(from, to - QPointF(10, 0));
    QPainterPath head;
    head.moveTo(to);
    head.lineTo(to + QPointF(-14, -8));
    head.lineTo(to + QPointF(-14, 8));
    head.closeSubpath();
    p.fillPath(head, colour::amber);
    p.setFont(font(11, QFont::Bold));
    p.setPen(colour::amber.darker(140));
    p.drawText(QRectF(from.x(), from.y() - 24, to.x() - from.x(), 18), Qt::AlignCenter, label);
    p.restore();
}

void drawCentredText(QPainter& p, const QRectF& rect, const QString& text, int px, const QColor& ink,
                     int weight = QFont::Normal) {
    p.setFont(font(px, weight));
    p.setPen(ink);
    p.drawText(rect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
}

}  // namespace

QPoint dialogUnits(int x, int y) {
    return {qRound(x * 1.5), qRound(y * 1.625)};
}

QImage startPageSkin() {
    QImage image = wizardPage(732, 410);
    QPainter p(&image);
    prepare(p);

    const QRectF left(16, 100, 319, 250);
    const QRectF right(379, 100, 319, 250);
    const QRectF leftBody = drawPanel(p, left, kHeadingImageRoad, 28);
    drawRibbon(p, QPointF(left.right(), leftBody.top() + 6), QStringLiteral("Recommended"));
    drawStep(p, QPointF(left.left() + 16, 150), left.width() - 32, 1, QStringLiteral("Create Tape Image"),
             QStringLiteral("Copy the tape into an image file, read once from start to end."));
    drawStep(p, QPointF(left.left() + 16, 222), left.width() - 32, 2, QStringLiteral("Load Image & Recover"),
             QStringLiteral("Scan the image and save the files you select."));

    drawPanel(p, right, QStringLiteral("Recover Directly from Tape"), 28);
    drawStep(p, QPointF(right.left() + 16, 150), right.width() - 32, 1, QStringLiteral("Analyze Tape"),
             QStringLiteral("Scan the tape in the drive for backup sets, folders and files."));
    drawStep(p, QPointF(right.left() + 16, 222), right.width() - 32, 2, QStringLiteral("Recover"),
             QStringLiteral("Save the selected files into a folder of your choice."));
    drawOrBadge(p, QPointF((left.right() + right.left()) / 2, 225));

    // The Start Recovery buttons lie exactly here.
    const QImage start = startRecoveryPicture();
    p.drawImage(dialogUnits(77, 184), start);
    p.drawImage(dialogUnits(319, 185), start);
    return image;
}

QImage imageRoadPageSkin() {
    QImage image = wizardPage(730, 409);
    QPainter p(&image);
    prepare(p);

    const QRectF panel(40, 98, 650, 256);
    drawPanel(p, panel, kHeadingImageRoad, 28);
    drawRibbon(p, QPointF(panel.right(), panel.top() + 4), QStringLiteral("Recommended"));

    const QPoint create = dialogUnits(88, 116);
    const QPoint load = dialogUnits(330, 114);
    const QImage createPicture = createImagePicture();
    const QImage loadPicture = loadImagePicture();
    drawStep(p, QPointF(create.x() - 28, 140), 240, 1, QStringLiteral("Create Tape Image"), {});
    drawStep(p, QPointF(load.x() - 40, 140), 240, 2, QStringLiteral("Load Image & Recover"), {});
    p.drawImage(create, createPicture);
    p.drawImage(load, loadPicture);
    drawDashedArrow(p, QPointF(create.x() + createPicture.width() + 22, 232), QPointF(load.x() - 20, 232),
                    QStringLiteral("then"));
    drawCentredText(p, QRectF(create.x() - 40, 286, createPicture.width() + 80, 40),
                    QStringLiteral("Copy the tape in the drive into an image file (.img)"), 11, colour::mute);
    drawCentredText(p, QRectF(load.x() - 40, 286, loadPicture.width() + 80, 40),
                    QStringLiteral("Open an image file, scan it and save the files you select"), 11,
                    colour::mute);
    return image;
}

QImage imagingPageSkin() {
    QImage image = wizardPage(730, 409);
    QPainter p(&image);
    prepare(p);
    const QRectF panel(66, 96, 598, 260);
    const QRectF body = drawPanel(p, panel, kHeadingImageRoad, 28);
    // A faint cassette in the lower right corner of the otherwise empty body.
    p.setOpacity(0.07);
    drawCassette(p, QRectF(body.right() - 150, body.bottom() - 110, 130, 84), colour::navy, colour::white);
    p.setOpacity(1);
    return image;
}

QImage recoverySkin() {
    QImage image = canvas(786, 507, colour::page);
    QPainter p(&image);
    constexpr int kBanner = 64;
    constexpr int kBarTop = 460;
    drawBanner(p, QRect(0, 0, image.width(), kBanner),
               QStringLiteral("Browse what was found and save the files you select"), 24);
    drawPage(p, QRect(0, kBanner, image.width(), kBarTop - kBanner));
    drawBottomBar(p, QRect(0, kBarTop, image.width(), image.height() - kBarTop));
    prepare(p);

    // Captions over the tree and the lists, and the wells they lie in.
    p.setFont(font(12, QFont::Bold));
    p.setPen(colour::ink);
    p.fillRect(QRectF(14, 74, 4, 12), colour::amber);
    p.drawText(QRectF(22, 70, 230, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tape media"));
    p.fillRect(QRectF(261, 74, 4, 12), colour::amber);
    p.drawText(QRectF(269, 70, 480, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Folder contents and all files found"));
    drawWell(p, QRectF(12, 89.5, 244, 343));
    drawWell(p, QRectF(258, 89.5, 515, 343));
    return image;
}

QImage aboutSkin() {
    QImage image = canvas(359, 335, colour::page);
    QPainter p(&image);
    drawBanner(p, QRect(0, 0, image.width(), 104), {}, 18);
    // The about box shows the emblem large and centred over its own title instead of the banner's.
    drawPage(p, QRect(0, 104, image.width(), image.height() - 104));
    prepare(p);
    drawWell(p, QRectF(36, 112, 287, 172));
    p.setFont(font(11));
    p.setPen(colour::mute);
    p.drawText(QRectF(0, 287, image.width(), 14), Qt::AlignCenter,
               QStringLiteral("Recovery of Microsoft Tape Format media"));
    p.fillRect(QRectF(0, image.height() - 3, image.width(), 3), colour::amber);
    return image;
}

QImage deviceSelectionSkin() {
    QImage image = canvas(525, 275, colour::page);
    QPainter p(&image);
    drawPage(p, QRect(0, 0, image.width(), image.height()));
    prepare(p);
    drawWell(p, QRectF(9, 10, 507, 193));
    const QRectF bar(0, 214, image.width(), image.height() - 214);
    QLinearGradient fill(bar.topLeft(), bar.bottomLeft());
    fill.setColorAt(0, QColor(220, 231, 243));
    fill.setColorAt(1, QColor(200, 216, 234));
    p.fillRect(bar, fill);
    p.fillRect(QRectF(0, 214, image.width(), 1), colour::panelBorder);
    p.fillRect(QRectF(0, 215, image.width(), 1), colour::white);
    drawEmblem(p, QRectF(14, 231, 38, 38));
    p.setFont(font(11, QFont::Bold));
    p.setPen(colour::ink);
    p.drawText(QRectF(60, 232, 118, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tape drives"));
    p.setFont(font(10));
    p.setPen(colour::mute);
    p.drawText(QRectF(60, 248, 118, 20), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("holding a medium"));
    return image;
}

}  // namespace ostrum::artwork
