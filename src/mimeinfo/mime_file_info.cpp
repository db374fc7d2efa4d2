// SPDX-License-Identifier: GPL-3.0-or-later
#include "mimeinfo/mime_file_info.h"

#include <QMimeDatabase>
#include <QString>

namespace ostrum::mimeinfo {

catalog::FileTypeInfo MimeFileInfo::Compute(std::string_view fileName) const {
    const QString name = QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size()));
    const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    if (type.isValid() && !type.isDefault()) {
        return {type.comment().toStdString(), type.iconName().toStdString()};
    }
    // Unknown to the database: name it after its extension, as desktops do.
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0 || dot + 1 == name.size()) return {"File", "unknown"};
    return {name.mid(dot + 1).toUpper().toStdString() + " File", "unknown"};
}

}  // namespace ostrum::mimeinfo
