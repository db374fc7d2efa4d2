// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/resources/program_resources.h"

#include <QFile>
#include <algorithm>

#include "app/resources/artwork_names.h"

namespace ostrum::app {

namespace {

QString unescape(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const QChar next = text[++i];
            out += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

using artwork::Picture;

bool isKnownBitmap(int id) {
    return std::any_of(artwork::kBitmapIds.begin(), artwork::kBitmapIds.end(),
                       [id](Picture picture) { return artwork::pictureId(picture) == id; });
}

}  // namespace

ProgramResources::ProgramResources() {
    QFile table(artwork::resourceRoot() + QStringLiteral("strings.txt"));
    if (table.open(QIODevice::ReadOnly)) {
        strings_ = parseStringTable(QString::fromUtf8(table.readAll()));
    }
}

std::shared_ptr<const ProgramResources> ProgramResources::instance() {
    static const auto resources = std::make_shared<const ProgramResources>();
    return resources;
}

std::map<int, QString> ProgramResources::parseStringTable(const QString& text) {
    std::map<int, QString> out;
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        const qsizetype tab = line.indexOf(u'\t');
        if (tab <= 0 || line.startsWith(u'#')) {
            continue;
        }
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (ok) {
            out[id] = unescape(line.mid(tab + 1));
        }
    }
    return out;
}

QImage ProgramResources::bitmap(int id) const {
    if (!isKnownBitmap(id)) {
        return {};
    }
    QImage image(artwork::resourceRoot() + artwork::bitmapFile(static_cast<Picture>(id)));
    return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

QIcon ProgramResources::icon(int id) const {
    QIcon icon;
    for (int size : artwork::kIconSizes) {
        const QString file = artwork::resourceRoot() + artwork::iconFile(static_cast<Picture>(id), size);
        if (QFile::exists(file)) {
            icon.addFile(file, QSize(size, size));
        }
    }
    return icon;
}

ui::ImageStrip ProgramResources::imageStrip(int id) const {
    if (id != artwork::pictureId(Picture::TreeStateStrip) &&
        id != artwork::pictureId(Picture::FolderStateStrip)) {
        return {};
    }
    return {bitmap(id), artwork::kStripCell};
}

std::optional<QString> ProgramResources::string(int id) const {
    if (auto it = strings_.find(id); it != strings_.end()) {
        return it->second;
    }
    return std::nullopt;
}

}  // namespace ostrum::app
