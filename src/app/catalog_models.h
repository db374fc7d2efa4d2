// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three views of the recovery window read the catalog and the selection rules through these thin
// models: no item per row, nothing copied. Each model reports exactly the rows and nodes the rules say
// changed, and rows only once the window has been handed them (a scan publishes them in batches).

#include <QAbstractItemModel>
#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QIcon>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog.h"
#include "selection/selection_rules.h"

namespace ostrum::app {

using catalog::NodeId;
using selection::RowRange;
using selection::SelectionChanges;

// Roles beyond Qt's own.
enum CatalogRole : int {
    // The state image in front of column 0, numbered as the strips are: 1 Unchecked, 2 Checked,
    // 3 Partial, 4 the ".." row's up mark.
    StateImageRole = Qt::UserRole + 1,
    NodeIdRole,        // tree: the node's id
    FolderRowKindRole  // folder list: selection::FolderRowKind as an int
};

inline constexpr int kUpRowImage = 4;
inline int stateImageOf(catalog::CheckState mark) {
    return static_cast<int>(mark) + 1;
}

// Rows of the catalog that a filter shows, ascending; shared by the filter's run and the list.
using ShownRows = std::shared_ptr<const std::vector<std::uint32_t>>;

// Catalog texts are UTF-8.
QString catalogText(std::string_view text);
// A count with its thousands grouped: "41,943,040".
QString groupedNumber(std::uint64_t value);

// Icons by freedesktop name, each looked up once; a name the icon theme lacks gets the style's file or
// folder icon.
class TypeIcons {
  public:
    QIcon fileIcon(std::string_view name) const;
    QIcon folderIcon(std::string_view name) const;

  private:
    QIcon lookUp(std::string_view name, bool folder) const;
    mutable QHash<QString, QIcon> icons_;
};

// The SelectionTree: "TAPE MEDIA", the backup sets and their folders, each with its tri-state mark.
class SelectionTreeModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    SelectionTreeModel(selection::SelectionRules& rules, const catalog::Catalog& catalog,
                       QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QModelIndex indexOf(NodeId node) const;
    NodeId nodeOf(const QModelIndex& index) const;

    // Tells the rules of the next node made by the scan and inserts its row.
    SelectionChanges addNode(NodeId node);
    // The marks of these nodes changed (ascending, as the rules report them).
    void announceNodes(const std::vector<NodeId>& nodes);

  private:
    selection::SelectionRules& rules_;
    const catalog::Catalog& catalog_;
    QIcon tapeIcon_;
    QIcon folderIcon_;  // closed, and open while selected
};

// The FolderList: "..", the shown folder's sub-folders, then the files lying directly in it.
class FolderListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { NameColumn, TypeColumn, SizeColumn, ColumnCount };

    FolderListModel(const selection::SelectionRules& rules, const catalog::Catalog& catalog,
                    QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Reads the shown folder afresh.
    void reset();
    // Marks changed, and rows a scan added to the shown folder.
    void announce(const SelectionChanges& changes);
    // The scan fixed the sizes of rows it had appended before.
    void announceSizes();

  private:
    const selection::SelectionRules& rules_;
    const catalog::Catalog& catalog_;
    TypeIcons icons_;
    int rows_ = 0;  // the rows announced so far
};

// The FoundFilesList: one row per file found, in the order found, with where its data lies in two
// columns of no width. A filter may show some of them only (the catalog's row numbers, ascending: no copy
// of the rows), and the files that the medium's own catalog names but the scan did not find follow them in
// grey, without a box: they cannot be ticked and are never saved. The list may show those alone.
class FoundFilesModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { NameColumn, TypeColumn, SizeColumn, DataOffsetColumn, ChunkIndexColumn, ColumnCount };
    static constexpr char kLostType[] = "lost to damage (named by the medium's catalog)";
    // The tip of a lost file's type, which its column shows cut.
    static constexpr char kLostTypeTip[] =
        "Lost to damage: the medium's own catalog names this file, but the scan did not find its data, "
        "so it cannot be saved";

    explicit FoundFilesModel(const catalog::Catalog& catalog, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rows below `rows` may be read now: inserts those not yet shown (while no filter is set).
    void publish(std::size_t rows);
    // The checks of these catalog rows changed.
    void announceRows(const std::vector<RowRange>& rows);
    // The scan fixed the sizes of rows it had appended before.
    void announceSizes();

    // The files the medium's catalog names that the scan did not find, by CatalogPath.
    void setLostFiles(std::vector<std::string> paths);
    std::size_t lostFileCount() const { return lost_.size(); }
    const std::string& lostPath(std::size_t lost) const { return lost_[lost]; }
    // What is shown: the catalog rows `rows` (every published row when none) and the lost files
    // `lostRows` (indices in the lost files), or the lost files alone.
    void show(ShownRows rows, std::vector<std::uint32_t> lostRows, bool lostOnly);
    bool lostOnly() const { return lostOnly_; }
    // The catalog rows shown, ascending: the filter's, or all of them (null).
    const ShownRows& filteredRows() const { return filtered_; }
    // The number of catalog rows shown.
    std::size_t foundRowsShown() const;
    // The catalog row a list row shows; nothing for a lost file.
    std::optional<std::size_t> catalogRow(int row) const;

  private:
    QVariant lostData(std::size_t lost, int column, int role) const;

    const catalog::Catalog& catalog_;
    TypeIcons icons_;
    int rows_ = 0;  // catalog rows published
    ShownRows filtered_;
    std::vector<std::string> lost_;
    std::vector<std::uint32_t> lostShown_;
    bool lostOnly_ = false;
};

// Colours of a FoundFilesList row: green on black for a type beginning with "Progress", red on pink
// when ticked, else none (the view's own).
struct FoundFileColours {
    std::optional<QColor> text;
    std::optional<QColor> background;
};
FoundFileColours foundFileColours(std::string_view typeName, bool checked);

}  // namespace ostrum::app
