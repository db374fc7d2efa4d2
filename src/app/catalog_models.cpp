// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/catalog_models.h"

#include <QApplication>
#include <QStyle>
#include <algorithm>

#include "app/resources/artwork_names.h"
#include "app/resources/program_resources.h"

namespace ostrum::app {
namespace {

using selection::FolderRowKind;

using artwork::Picture;
constexpr int kIconSize = 16;

const QColor kUpRowBackground(220, 242, 226);
const QColor kProgressText(0, 255, 0);
const QColor kProgressBackground(0, 0, 0);
const QColor kTickedText(255, 0, 0);
const QColor kTickedBackground(248, 233, 243);
const QColor kLostText(128, 128, 128);

QPixmap programPicture(Picture picture) {
    return ProgramResources::instance()->icon(artwork::pictureId(picture)).pixmap(kIconSize, kIconSize);
}

QString optionalNumber(const std::optional<std::uint64_t>& value) {
    return value ? QString::number(*value) : QString();
}

}  // namespace

QString catalogText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString groupedNumber(std::uint64_t value) {
    QString text = QString::number(value);
    for (auto at = text.size() - 3; at > 0; at -= 3) text.insert(at, u',');
    return text;
}

QIcon TypeIcons::fileIcon(std::string_view name) const {
    return lookUp(name, false);
}
QIcon TypeIcons::folderIcon(std::string_view name) const {
    return lookUp(name, true);
}

QIcon TypeIcons::lookUp(std::string_view name, bool folder) const {
    const QString key = catalogText(name);
    if (auto it = icons_.constFind(key); it != icons_.constEnd()) return *it;
    QIcon icon = QIcon::fromTheme(key);
    if (icon.isNull()) {
        icon = QApplication::style()->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    }
    icons_.insert(key, icon);
    return icon;
}

FoundFileColours foundFileColours(std::string_view typeName, bool checked) {
    if (typeName.starts_with("Progress")) return {kProgressText, kProgressBackground};
    if (checked) return {kTickedText, kTickedBackground};
    return {};
}

// ---- SelectionTreeModel

SelectionTreeModel::SelectionTreeModel(selection::SelectionRules& rules, const catalog::Catalog& catalog,
                                       QObject* parent)
    : QAbstractItemModel(parent), rules_(rules), catalog_(catalog) {
    // The tree's pictures: the tape (the top-level node), a closed and an open folder.
    tapeIcon_.addPixmap(programPicture(Picture::TapeMediumIcon));
    folderIcon_.addPixmap(programPicture(Picture::ClosedFolderIcon), QIcon::Normal);
    folderIcon_.addPixmap(programPicture(Picture::OpenFolderIcon), QIcon::Selected);
}

QModelIndex SelectionTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || (parent.isValid() && parent.model() != this)) return {};
    const auto& children = rules_.Children(parent.isValid() ? nodeOf(parent) : catalog::kNoNode);
    if (static_cast<std::size_t>(row) >= children.size()) return {};
    return createIndex(row, 0, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
}

QModelIndex SelectionTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    const NodeId parentNode = rules_.Parent(nodeOf(child));
    return parentNode == catalog::kNoNode ? QModelIndex() : indexOf(parentNode);
}

int SelectionTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    return static_cast<int>(rules_.Children(parent.isValid() ? nodeOf(parent) : catalog::kNoNode).size());
}

int SelectionTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant SelectionTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const NodeId node = nodeOf(index);
    switch (role) {
        case Qt::DisplayRole:
            return catalogText(catalog_.node(node).text);
        case Qt::DecorationRole:
            return rules_.Parent(node) == catalog::kNoNode ? tapeIcon_ : folderIcon_;
        case StateImageRole:
            return stateImageOf(rules_.Mark(node));
        case NodeIdRole:
            return static_cast<qulonglong>(node);
        default:
            return {};
    }
}

Qt::ItemFlags SelectionTreeModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QModelIndex SelectionTreeModel::indexOf(NodeId node) const {
    if (node == catalog::kNoNode || node >= rules_.NodeCount()) return {};
    return createIndex(static_cast<int>(rules_.IndexInParent(node)), 0, static_cast<quintptr>(node));
}

NodeId SelectionTreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<NodeId>(index.internalId()) : catalog::kNoNode;
}

SelectionChanges SelectionTreeModel::addNode(NodeId node) {
    // A node made by the scan is the last child of its parent so far.
    const NodeId parentNode = catalog_.node(node).parent;
    const int row = static_cast<int>(rules_.Children(parentNode).size());
    beginInsertRows(indexOf(parentNode), row, row);
    SelectionChanges changes = rules_.NodeAdded(node);
    endInsertRows();
    return changes;
}

void SelectionTreeModel::announceNodes(const std::vector<NodeId>& nodes) {
    // One announcement per run of neighbouring siblings.
    std::vector<std::pair<NodeId, std::size_t>> places;  // (parent, index in parent)
    places.reserve(nodes.size());
    for (NodeId node : nodes) places.emplace_back(rules_.Parent(node), rules_.IndexInParent(node));
    std::sort(places.begin(), places.end());
    const QList<int> roles{StateImageRole};
    for (std::size_t first = 0; first < places.size();) {
        std::size_t last = first;
        while (last + 1 < places.size() && places[last + 1].first == places[first].first &&
               places[last + 1].second == places[last].second + 1) {
            ++last;
        }
        const auto& siblings = rules_.Children(places[first].first);
        emit dataChanged(indexOf(siblings[places[first].second]), indexOf(siblings[places[last].second]),
                         roles);
        first = last + 1;
    }
}

// ---- FolderListModel

FolderListModel::FolderListModel(const selection::SelectionRules& rules, const catalog::Catalog& catalog,
                                 QObject* parent)
    : QAbstractTableModel(parent), rules_(rules), catalog_(catalog) {}

int FolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int FolderListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_) return {};
    const auto row = static_cast<std::size_t>(index.row());
    const selection::FolderRow item = rules_.FolderRowAt(row);
    std::optional<catalog::FileRow> file;
    if (item.kind == FolderRowKind::File) file = catalog_.row(item.fileRow);
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == NameColumn) return catalogText(rules_.FolderRowName(row));
            if (index.column() == TypeColumn) {
                if (file) return catalogText(file->typeName());
                return item.kind == FolderRowKind::Folder ? QStringLiteral("Folder") : QString();
            }
            return file ? QString::fromStdString(file->SizeText()) : QString();
        case Qt::DecorationRole:
            if (index.column() != NameColumn) return {};
            return file ? icons_.fileIcon(file->iconName())
                        : icons_.folderIcon(catalog_.shell().GetFolderIconName());
        case Qt::BackgroundRole:
            if (item.kind == FolderRowKind::Up) return kUpRowBackground;
            return {};
        case StateImageRole: {
            if (index.column() != NameColumn) return {};
            const auto mark = rules_.FolderRowMark(row);
            return mark ? stateImageOf(*mark) : kUpRowImage;
        }
        case FolderRowKindRole:
            return static_cast<int>(item.kind);
        default:
            return {};
    }
}

QVariant FolderListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kHeadings[] = {"Name", "Type", "File Size"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kHeadings[section]) : QVariant();
}

void FolderListModel::reset() {
    beginResetModel();
    rows_ = static_cast<int>(rules_.FolderRowCount());
    endResetModel();
}

void FolderListModel::announceSizes() {
    if (rows_ > 0) emit dataChanged(index(0, SizeColumn), index(rows_ - 1, SizeColumn), {Qt::DisplayRole});
}

void FolderListModel::announce(const SelectionChanges& changes) {
    if (changes.folderListReset) {
        reset();
        return;
    }
    const QList<int> roles{StateImageRole};
    for (const RowRange& range : changes.folderRows) {
        if (range.begin >= range.end) continue;
        emit dataChanged(index(static_cast<int>(range.begin), NameColumn),
                         index(static_cast<int>(range.end - 1), NameColumn), roles);
    }
    for (const RowRange& range : changes.folderRowsInserted) {
        if (range.begin >= range.end) continue;
        beginInsertRows({}, static_cast<int>(range.begin), static_cast<int>(range.end - 1));
        rows_ += static_cast<int>(range.end - range.begin);
        endInsertRows();
    }
}

// ---- FoundFilesModel

FoundFilesModel::FoundFilesModel(const catalog::Catalog& catalog, QObject* parent)
    : QAbstractTableModel(parent), catalog_(catalog) {}

int FoundFilesModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>((lostOnly_ ? 0 : foundRowsShown()) + lostShown_.size());
}

int FoundFilesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

std::size_t FoundFilesModel::foundRowsShown() const {
    return filtered_ ? filtered_->size() : static_cast<std::size_t>(rows_);
}

std::optional<std::size_t> FoundFilesModel::catalogRow(int row) const {
    if (row < 0 || lostOnly_) return std::nullopt;
    const auto at = static_cast<std::size_t>(row);
    if (at >= foundRowsShown()) return std::nullopt;
    return filtered_ ? std::size_t{(*filtered_)[at]} : at;
}

Qt::ItemFlags FoundFilesModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return catalogRow(index.row()) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsSelectable;
}

QVariant FoundFilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto shown = catalogRow(index.row());
    if (!shown) {
        const std::size_t lost = static_cast<std::size_t>(index.row()) - (lostOnly_ ? 0 : foundRowsShown());
        return lostData(lostShown_[lost], index.column(), role);
    }
    const catalog::FileRow row = catalog_.row(*shown);
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case NameColumn:
                    return catalogText(row.path().str());
                case TypeColumn:
                    return catalogText(row.typeName());
                case SizeColumn:
                    return QString::fromStdString(row.SizeText());
                case DataOffsetColumn:
                    return optionalNumber(row.dataOffset());
                default:
                    return optionalNumber(row.chunkIndex());
            }
        case Qt::DecorationRole:
            return index.column() == NameColumn ? icons_.fileIcon(row.iconName()) : QVariant();
        case Qt::ToolTipRole:  // the whole path and type, which the columns may show elided
            if (index.column() == NameColumn) return catalogText(row.path().str());
            return index.column() == TypeColumn ? catalogText(row.typeName()) : QVariant();
        case Qt::CheckStateRole:
            if (index.column() != NameColumn) return {};
            return row.checked() ? Qt::Checked : Qt::Unchecked;
        case Qt::ForegroundRole:
            if (auto colour = foundFileColours(row.typeName(), row.checked()).text) return *colour;
            return {};
        case Qt::BackgroundRole:
            if (auto colour = foundFileColours(row.typeName(), row.checked()).background) return *colour;
            return {};
        default:
            return {};
    }
}

QVariant FoundFilesModel::lostData(std::size_t lost, int column, int role) const {
    switch (role) {
        case Qt::DisplayRole:
            if (column == NameColumn) return catalogText(lost_[lost]);
            if (column == TypeColumn) return QString::fromLatin1(kLostType);
            return {};
        case Qt::ToolTipRole:
            if (column == NameColumn) return catalogText(lost_[lost]);
            return column == TypeColumn ? QString::fromLatin1(kLostTypeTip) : QVariant();
        case Qt::ForegroundRole:
            return kLostText;
        default:
            return {};
    }
}

QVariant FoundFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kHeadings[] = {"File Name", "File Type", "File Size", "", ""};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kHeadings[section]) : QVariant();
}

void FoundFilesModel::publish(std::size_t rows) {
    const int count = static_cast<int>(rows);
    if (count <= rows_) return;
    if (filtered_ || lostOnly_ || !lostShown_.empty()) {  // the rows shown are not the published ones
        rows_ = count;
        return;
    }
    beginInsertRows({}, rows_, count - 1);
    rows_ = count;
    endInsertRows();
}

void FoundFilesModel::setLostFiles(std::vector<std::string> paths) {
    beginResetModel();
    lost_ = std::move(paths);
    lostShown_.resize(lost_.size());
    for (std::size_t i = 0; i < lost_.size(); ++i) lostShown_[i] = static_cast<std::uint32_t>(i);
    endResetModel();
}

void FoundFilesModel::show(ShownRows rows, std::vector<std::uint32_t> lostRows, bool lostOnly) {
    beginResetModel();
    filtered_ = std::move(rows);
    lostShown_ = std::move(lostRows);
    lostOnly_ = lostOnly;
    endResetModel();
}

void FoundFilesModel::announceSizes() {
    const int rows = rowCount();
    if (rows > 0) emit dataChanged(index(0, SizeColumn), index(rows - 1, SizeColumn), {Qt::DisplayRole});
}

void FoundFilesModel::announceRows(const std::vector<RowRange>& rows) {
    if (lostOnly_) return;
    const QList<int> roles{Qt::CheckStateRole, Qt::ForegroundRole, Qt::BackgroundRole};
    for (const RowRange& range : rows) {
        // Catalog rows to list rows: the same, or where they stand among the rows the filter shows.
        std::size_t first = range.begin, end = std::min(range.end, static_cast<std::size_t>(rows_));
        if (filtered_) {
            first = static_cast<std::size_t>(
                std::lower_bound(filtered_->begin(), filtered_->end(), range.begin) - filtered_->begin());
            end = static_cast<std::size_t>(std::lower_bound(filtered_->begin(), filtered_->end(), range.end) -
                                           filtered_->begin());
        }
        if (first >= end) continue;
        emit dataChanged(index(static_cast<int>(first), 0), index(static_cast<int>(end) - 1, ColumnCount - 1),
                         roles);
    }
}

}  // namespace ostrum::app
