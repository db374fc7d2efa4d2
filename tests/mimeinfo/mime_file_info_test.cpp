// SPDX-License-Identifier: GPL-3.0-or-later
// File types from the shared MIME database, by the name alone: known extensions in any case and the longest
// pattern among several, and names the database does not know, named after their extension as desktops do.

#include "mimeinfo/mime_file_info.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace ostrum::mimeinfo {
namespace {

TEST(MimeFileInfo, NamesKnownTypesFromTheDatabaseAndUnknownOnesFromTheirExtension) {
    QLocale::setDefault(QLocale(QLocale::English));  // the database's comments are translated
    const MimeFileInfo info;
    const std::pair<const char*, catalog::FileTypeInfo> cases[] = {
        // The part after the last backslash counts; upper case matches the database's lower-case patterns.
        {"TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\REPORT.PDF", {"PDF document", "application-pdf"}},
        {"notes.txt", {"plain text document", "text-plain"}},
        {"BACKUP.TAR.GZ", {"Tar archive (gzip-compressed)", "application-x-compressed-tar"}},
        {"data.qqz7", {"QQZ7 File", "unknown"}},
        {"NOEXTENSIONZZ", {"File", "unknown"}},
        {"ENDSWITHADOT.", {"File", "unknown"}},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(info.GetFileTypeName(name), expected.typeName);
        EXPECT_EQ(info.GetFileIconName(name), expected.iconName);
    }
    EXPECT_EQ(info.GetFolderIconName(), "folder");
}

}  // namespace
}  // namespace ostrum::mimeinfo
