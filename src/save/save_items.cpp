// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/save_items.h"

namespace ostrum::save {
namespace {

// Gives the item of `row` the medium of its FILE block and, when its data lie in pieces, the pieces and
// what holds the rest.
void AddMediaPieces(SaveItem& item, const catalog::Catalog& catalog, std::size_t row) {
    const catalog::MediaSpan& span = catalog.mediaSpan();
    item.medium = span.MediumOfRow(row);
    const catalog::SpannedFile* spanned = span.FindSpanned(row);
    if (spanned == nullptr) return;
    item.parts = spanned->parts;
    item.headMissing = spanned->headMissing;
    item.missingMedium = span.MissingMediumText(row, item.size.value_or(0));
    for (std::size_t i = 1; i < spanned->parts.size(); ++i) {
        if (spanned->parts[i].missingBefore != 0)
            item.missingBetween.push_back(span.GapText(*spanned, i) + ", which was not read");
    }
}

}  // namespace

SaveItem RowItem(const catalog::FileRow& row) {
    return SaveItem{row.path().str(), row.storedSize(), row.dataOffset(),
                    row.chunkIndex(), row.modified(),   row.dataOffsetInChunk()};
}

SaveItem SaveItemOf(const catalog::Catalog& catalog, std::size_t row) {
    SaveItem item = RowItem(catalog.row(row));
    AddMediaPieces(item, catalog, row);
    return item;
}

std::vector<SaveItem> CheckedItems(const catalog::Catalog& catalog) {
    std::vector<SaveItem> items;
    for (std::size_t i = 0; i < catalog.rowCount(); ++i) {
        if (catalog.row(i).checked()) items.push_back(SaveItemOf(catalog, i));
    }
    return items;
}

}  // namespace ostrum::save
