// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The parsed mark-up: its tokens, the flows of the body and of every table cell, and the list of
// links numbered in order of appearance.

#include <QString>
#include <memory>
#include <vector>

#include "ui/richtext/markup_tokenizer.h"

namespace ostrum::ui {

struct TableNode;

// One element of a flow: a token (text or tag) or a whole table.
struct FlowNode {
    int token = -1;
    std::unique_ptr<TableNode> table;
};
using Flow = std::vector<FlowNode>;

struct CellNode {
    int tagToken = -1;  // the "td" tag
    Flow content;
};

struct RowNode {
    int tagToken = -1;  // the "tr" tag, or -1 for cells written without one
    std::vector<CellNode> cells;
};

struct TableNode {
    int tagToken = -1;  // the "table" tag
    std::vector<RowNode> rows;
    std::vector<int> trailingTags;  // style tags after the last cell, applied after the table
};

enum class LinkKind { None = 0, Open = 1, Send = 2 };

struct LinkInfo {
    LinkKind kind = LinkKind::None;
    QString target;
};

struct Document {
    std::vector<MarkupToken> tokens;
    Flow body;
    std::vector<LinkInfo> links;
    std::vector<int> linkOfToken;  // link number of each "a" tag token, -1 elsewhere

    const MarkupTag* tagAt(int token) const {
        return token >= 0 && token < static_cast<int>(tokens.size()) &&
                       tokens[static_cast<std::size_t>(token)].kind == MarkupToken::Kind::Tag
                   ? &tokens[static_cast<std::size_t>(token)].tag
                   : nullptr;
    }
};

// Tables nest at most this deep; deeper "table" tags are ignored.
inline constexpr int kMaxTableDepth = 16;

Document buildDocument(std::vector<MarkupToken> tokens);

}  // namespace ostrum::ui
