// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What `list` prints of the medium's own catalog: with --catalog the catalog itself (the sets and what each
// holds, as the backup program recorded them), and after an ordinary listing the files it names that the
// scan did not find.

#include <ostream>
#include <string>
#include <string_view>

#include "catalog/catalog.h"

namespace ostrum::cli {

struct ListingForm {
    bool json = false;
    bool mediaCatalog = false;  // --catalog: the medium's own catalog instead of what the scan found
};

// Prints the listing of a scan on standard output in the form asked for (`status`, the scan's last status
// line, is the JSON's "status"); false (after saying why on standard error) when the medium's own catalog
// was asked for and the scan found none, or when the listing could not be written whole.
bool PrintListing(std::string_view source, const catalog::Catalog& catalog, std::string_view status,
                  ListingForm form);

// The medium's own catalog: its sets, then every folder and file each set's detail names, by the
// CatalogPath the scan gives (or would give) them.
void PrintMediaCatalogText(std::ostream& out, std::string_view source, const catalog::Catalog& catalog);
// {"source", "media_family", "sets": [{"number", "name", "label", "scanned", "folders", "files", "size",
//  "entries": [{"path", "kind", "size"}...]}...]}
void PrintMediaCatalogJson(std::ostream& out, std::string_view source, const catalog::Catalog& catalog);

// After a text listing: what the medium's catalog names that the scan did not find. Nothing when the
// medium has no catalog.
void PrintComparisonText(std::ostream& out, const catalog::Catalog& catalog);
// The "catalog" member of `list --json`: {"files_named", "not_compared", "missing": [paths]}.
std::string ComparisonJson(const catalog::Catalog& catalog);

}  // namespace ostrum::cli
