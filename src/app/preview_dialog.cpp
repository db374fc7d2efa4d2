// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/preview_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QVBoxLayout>
#include <array>

#include "app/catalog_models.h"
#include "ui/skin/focus_frame.h"

namespace ostrum::app {
namespace {

using save::TextEncoding;

constexpr int kHexPerLine = 16;

// Windows-1252 where it differs from Latin-1: 0x80 to 0x9F (0 where the code page leaves a byte unused).
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QString fromWindows1252(std::span<const std::uint8_t> bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const std::uint8_t byte : bytes) {
        const char16_t high = byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : 0;
        text.append(QChar(high != 0 ? high : char16_t{byte}));
    }
    return text;
}

QString hexLines(std::span<const std::uint8_t> bytes) {
    QString text;
    for (std::size_t at = 0; at < bytes.size(); at += kHexPerLine) {
        const auto line = bytes.subspan(at, std::min<std::size_t>(kHexPerLine, bytes.size() - at));
        QString hex, shown;
        for (std::size_t i = 0; i < kHexPerLine; ++i) {
            hex += i < line.size() ? QStringLiteral("%1 ").arg(line[i], 2, 16, QChar(u'0'))
                                   : QStringLiteral("   ");
            if (i < line.size()) shown += line[i] >= 0x20 && line[i] < 0x7F ? QChar(line[i]) : QChar(u'.');
        }
        text += QStringLiteral("%1  %2 |%3|\n").arg(at, 8, 16, QChar(u'0')).arg(hex, shown);
    }
    return text;
}

}  // namespace

QString previewText(std::span<const std::uint8_t> bytes, const save::DetectedText& text) {
    const auto body = bytes.subspan(std::min(text.markSize, bytes.size()));
    const auto* data = reinterpret_cast<const char*>(body.data());
    const auto size = static_cast<qsizetype>(body.size());
    switch (text.encoding) {
        case TextEncoding::Utf8:
            return QString::fromUtf8(data, size);
        case TextEncoding::Utf16Le:
            return QStringDecoder(QStringConverter::Utf16LE).decode(QByteArrayView(data, size));
        case TextEncoding::Utf16Be:
            return QStringDecoder(QStringConverter::Utf16BE).decode(QByteArrayView(data, size));
        case TextEncoding::Windows1252:
            return fromWindows1252(body);
        case TextEncoding::Binary:
            break;
    }
    return hexLines(bytes);
}

QString previewSummary(const save::FilePreview& preview, const save::DetectedText& text,
                       std::optional<std::uint64_t> size) {
    const std::uint64_t count = preview.bytes.size();
    QString shown = preview.longer ? QStringLiteral("The first %1 bytes").arg(groupedNumber(count))
                                   : QStringLiteral("All %1 bytes").arg(groupedNumber(count));
    if (preview.longer && size && *size > count) shown += QStringLiteral(" of %1").arg(groupedNumber(*size));
    const std::string_view encoding = save::EncodingName(text.encoding);
    shown += encoding.empty()
                 ? QStringLiteral(", in hex")
                 : QStringLiteral(", as text (%1)")
                       .arg(QString::fromLatin1(encoding.data(), static_cast<qsizetype>(encoding.size())));
    for (const std::string& said : {preview.note, preview.error}) {
        if (!said.empty()) shown += QStringLiteral("\n") + QString::fromStdString(said);
    }
    return shown;
}

PreviewDialog::PreviewDialog(const QString& path, const save::FilePreview& preview,
                             std::optional<std::uint64_t> size, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PreviewDialog"));
    setWindowTitle(QStringLiteral("Preview: %1").arg(path));
    const save::DetectedText text = save::DetectText(preview.bytes, preview.longer);
    summary_ = new QLabel(previewSummary(preview, text, size), this);
    summary_->setObjectName(QStringLiteral("PreviewSummary"));
    summary_->setWordWrap(true);
    summary_->setTextFormat(Qt::PlainText);
    view_ = new QPlainTextEdit(this);
    view_->setObjectName(QStringLiteral("PreviewText"));
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view_->setPlainText(previewText(preview.bytes, text));
    ui::showFocusFrame(*view_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(view_, 1);
    layout->addWidget(buttons);
    resize(720, 520);
}

}  // namespace ostrum::app
