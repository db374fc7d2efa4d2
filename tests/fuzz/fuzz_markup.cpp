// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the mark-up parser: the bytes, as UTF-8, are prepared (entities, line feeds and tabs; the first
// byte chooses the newline mode), cut into tokens and built into the document of flows, tables and links
// that the drawer lays out. The document's indexes must all point into its tokens.

#include <cstddef>
#include <cstdint>

#include "ui/richtext/document.h"
#include "ui/richtext/markup_preparation.h"
#include "ui/richtext/markup_tokenizer.h"

namespace {

using namespace ostrum::ui;

void CheckFlow(const Document& doc, const Flow& flow, int depth) {
    if (depth > kMaxTableDepth) __builtin_trap();
    const auto tokens = static_cast<int>(doc.tokens.size());
    for (const FlowNode& node : flow) {
        if (node.table) {
            if (node.table->tagToken < 0 || node.table->tagToken >= tokens) __builtin_trap();
            for (const RowNode& row : node.table->rows) {
                if (row.tagToken >= tokens) __builtin_trap();
                for (const CellNode& cell : row.cells) CheckFlow(doc, cell.content, depth + 1);
            }
            for (int tag : node.table->trailingTags) {
                if (doc.tagAt(tag) == nullptr) __builtin_trap();
            }
        } else if (node.token < 0 || node.token >= tokens) {
            __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool newlineMode = (data[0] & 1) != 0;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const Document doc = buildDocument(tokenizeMarkup(prepareMarkup(text, newlineMode)));
    if (doc.linkOfToken.size() != doc.tokens.size()) __builtin_trap();
    for (int link : doc.linkOfToken) {
        if (link >= static_cast<int>(doc.links.size())) __builtin_trap();
    }
    CheckFlow(doc, doc.body, 0);
    return 0;
}
