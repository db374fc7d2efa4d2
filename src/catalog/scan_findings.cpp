// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/scan_findings.h"

#include <algorithm>

#include "catalog/mtf_layout.h"

namespace ostrum::catalog {
namespace {

// A medium of fewer bytes than a FILE block and its data need holds no file off the grid either.
constexpr std::uint64_t kSmallestMedium = 2 * mtf::kSlotSize;

}  // namespace

FindingsMark::FindingsMark(const ScanContext& context)
    : soundBlocks_(context.soundBlocks),
      gridLosses_(context.grid.losses),
      rows_(context.catalog.rowCount()),
      nodes_(context.catalog.nodeCount()),
      sets_(context.catalog.setLabels().size()) {}

void FindingsMark::Fill(const ScanContext& context, ScanFindings& found) const {
    const Catalog& catalog = context.catalog;
    found.soundBlocks = context.soundBlocks - soundBlocks_;
    found.gridLosses = context.grid.losses - gridLosses_;
    found.firstGridLoss = found.gridLosses > 0 ? context.grid.firstLoss : std::nullopt;
    found.catalogued =
        catalog.rowCount() != rows_ || catalog.nodeCount() != nodes_ || catalog.setLabels().size() != sets_;
}

bool FoundMtfData(const ScanFindings& findings) {
    return findings.soundBlocks > 0 || findings.catalogued;
}

std::string NoMtfDataText(std::string_view name, std::uint64_t bytesExamined) {
    return "no MTF data found in " + std::string(name) + " (" + std::to_string(bytesExamined) +
           " bytes examined)";
}

bool DeepScanMayFindFiles(const Catalog& catalog, std::span<const ScanFindings> media) {
    return catalog.rowCount() == 0 && catalog.setLabels().empty() &&
           std::any_of(media.begin(), media.end(), [](const ScanFindings& found) {
               return FoundMtfData(found) || found.bytesExamined >= kSmallestMedium;
           });
}

}  // namespace ostrum::catalog
