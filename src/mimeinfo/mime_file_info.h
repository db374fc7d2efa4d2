// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File types and icons from the shared MIME database (freedesktop.org), matched on the file name's
// extension only: no file is ever opened or looked at.

#include "catalog/shell_file_info.h"

namespace ostrum::mimeinfo {

class MimeFileInfo final : public catalog::CachedShellFileInfo {
  public:
    std::string_view GetFolderIconName() const override { return "folder"; }

  protected:
    catalog::FileTypeInfo Compute(std::string_view fileName) const override;
};

}  // namespace ostrum::mimeinfo
