// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/save_folders.h"

#include <unordered_set>

#include "save/destination.h"
#include "save/save_path.h"

namespace ostrum::save {
namespace {

// The folder's components below the destination, fitted to the names the destination takes.
std::vector<std::string> FolderComponents(const DestinationFolder& folder, std::string_view catalogPath) {
    if (catalogPath.ends_with('\\')) catalogPath.remove_suffix(1);
    std::vector<std::string> components = DestinationComponents(catalogPath);
    for (auto& component : components) component = folder.Fit(component);
    return components;
}

}  // namespace

std::vector<FolderItem> FoldersOfSave(const catalog::Catalog& catalog, const SaveReport& report) {
    std::unordered_set<std::string> direct;  // folders a kept file lies in
    std::unordered_set<std::string> above;   // those and every folder above them
    for (const FileResult& file : report.files) {
        if (file.savedAs.empty()) continue;
        const auto last = file.catalogPath.rfind('\\');
        if (last == std::string::npos) continue;
        std::string folder = file.catalogPath.substr(0, last + 1);
        direct.insert(folder);
        while (above.insert(folder).second && folder.size() >= 2) {
            const auto end = folder.rfind('\\', folder.size() - 2);
            if (end == std::string::npos) break;
            folder.resize(end + 1);
        }
    }
    std::vector<FolderItem> folders;
    for (catalog::NodeId id : catalog.PreOrder()) {
        const catalog::CatalogNode& node = catalog.node(id);
        if (node.parent == catalog::kNoNode) continue;  // "TAPE MEDIA" itself stands for the destination
        std::string path = catalog.FullPath(id);
        const bool selected = node.state == catalog::CheckState::Checked;
        if (!selected && !direct.contains(path)) continue;
        const bool holdsFiles = above.contains(path);
        folders.push_back(FolderItem{std::move(path), node.modified, selected, holdsFiles});
    }
    return folders;
}

FolderReport FinishFolders(std::span<const FolderItem> folders, const std::string& destination) {
    FolderReport report;
    std::string error;
    auto target = DestinationFolder::Open(destination, error);
    if (!target) {
        report.notMade.push_back(error);
        return report;
    }
    std::vector<bool> usable(folders.size(), true);
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (!folders[i].selected) continue;
        error.clear();
        if (!target->MakeFolders(FolderComponents(*target, folders[i].catalogPath), error)) {
            report.notMade.push_back(error);
            usable[i] = false;
        } else if (!folders[i].holdsFiles) {
            ++report.made;
        }
    }
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const auto seconds = MtfDateToUnixTime(folders[i].modified);
        if (!usable[i] || !seconds) continue;
        error.clear();
        if (target->SetFolderModified(FolderComponents(*target, folders[i].catalogPath), *seconds, error)) {
            ++report.dated;
        } else {
            report.notDated.push_back(error);
        }
    }
    // Folders made empty count as saved once they have reached the disk, as files do.
    if (!target->Sync(error)) report.notMade.push_back(error);
    return report;
}

FolderReport FinishFoldersOfSave(const catalog::Catalog& catalog, const SaveReport& report,
                                 const std::string& destination) {
    if (!report.error.empty() || report.cancelled) return {};
    return FinishFolders(FoldersOfSave(catalog, report), destination);
}

}  // namespace ostrum::save
