// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The folders of a save besides its files. A folder of the selection is made even when no file of it is
// saved (an empty folder on the medium stays one), and every folder the save made or wrote into gets the
// date its DIRB block recorded. Dates are given only after every file and folder is in place: writing into
// a folder would move its date again (tar does the same).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "save/save_files.h"

namespace ostrum::save {

struct FolderItem {
    std::string catalogPath;     // "TAPE MEDIA\BACKUP SET 1(_Daily)\DOCS\"
    std::uint64_t modified = 0;  // the DIRB's last modification date as stored, 0 unknown
    bool selected = false;       // chosen itself: made even when none of its files was saved
    bool holdsFiles = false;     // a file was saved in it or in a folder below it
};

// The folders of a save of the catalog's checked rows: every fully checked folder below "TAPE MEDIA\"
// (selected), and the folder of every file that `report` kept, in the catalog's tree order.
std::vector<FolderItem> FoldersOfSave(const catalog::Catalog& catalog, const SaveReport& report);

struct FolderReport {
    std::size_t made = 0;   // selected folders that hold no saved file and were made (or were there)
    std::size_t dated = 0;  // folders given their DIRB's date
    std::vector<std::string> notMade;   // why each folder that could not be made was not
    std::vector<std::string> notDated;  // why each folder that could not be dated was not
};

// Makes the selected folders below `destination` (names made safe and fitted as the save fits them, no
// symbolic link followed), then gives each folder with a date that date. Folders that hold saved files
// exist already; those with neither a date nor the selected mark are passed over.
FolderReport FinishFolders(std::span<const FolderItem> folders, const std::string& destination);

// The folders of a save that has ended, made and dated below `destination`: FinishFolders over
// FoldersOfSave. A save that could not use its source or destination at all, or was cancelled, is left as
// it stopped, with no folder made or dated. The command line and the desktop window both end a save here.
FolderReport FinishFoldersOfSave(const catalog::Catalog& catalog, const SaveReport& report,
                                 const std::string& destination);

}  // namespace ostrum::save
