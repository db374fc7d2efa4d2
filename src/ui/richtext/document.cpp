// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/richtext/document.h"

namespace ostrum::ui {

namespace {

bool isTableStructure(const QString& name) {
    return name == u"table" || name == u"tr" || name == u"td";
}

class DocumentBuilder {
  public:
    explicit DocumentBuilder(Document& doc) : doc_(doc) {}

    Flow flow(int depth, bool insideCell) {
        Flow out;
        while (at_ < size()) {
            const MarkupTag* tag = doc_.tagAt(at_);
            if (tag != nullptr && isTableStructure(tag->name)) {
                if (insideCell && (tag->name != u"table" || tag->closing)) {
                    return out;  // the cell ends here; the table reads the tag
                }
                if (tag->name == u"table" && !tag->closing && depth < kMaxTableDepth) {
                    out.push_back({-1, table(depth + 1)});
                    continue;
                }
                ++at_;  // a stray table tag outside any table
                continue;
            }
            numberLink(at_);
            out.push_back({at_++, nullptr});
        }
        return out;
    }

  private:
    int size() const { return static_cast<int>(doc_.tokens.size()); }

    void numberLink(int token) {
        const MarkupTag* tag = doc_.tagAt(token);
        if (tag == nullptr || tag->name != u"a" || tag->closing) {
            return;
        }
        LinkInfo link;
        if (const QString* href = tag->attribute(u"href")) {
            link = {LinkKind::Open, *href};
        } else if (const QString* msg = tag->attribute(u"msg")) {
            link = {LinkKind::Send, *msg};
        }
        doc_.linkOfToken[static_cast<std::size_t>(token)] = static_cast<int>(doc_.links.size());
        doc_.links.push_back(std::move(link));
    }

    std::unique_ptr<TableNode> table(int depth) {
        auto node = std::make_unique<TableNode>();
        node->tagToken = at_++;
        std::vector<int> pending;  // style tags met between cells
        while (at_ < size()) {
            const MarkupTag* tag = doc_.tagAt(at_);
            if (tag == nullptr) {
                ++at_;  // text between cells belongs to no cell
                continue;
            }
            if (tag->name == u"table" && tag->closing) {
                ++at_;
                break;
            }
            if (tag->name == u"tr") {
                if (!tag->closing) {
                    node->rows.push_back({at_, {}});
                }
                ++at_;
            } else if (tag->name == u"td" && !tag->closing) {
                cell(*node, pending, depth);
            } else {
                if (!(tag->name == u"td" || tag->name == u"table")) {
                    numberLink(at_);
                    pending.push_back(at_);
                }
                ++at_;
            }
        }
        node->trailingTags = std::move(pending);
        return node;
    }

    void cell(TableNode& node, std::vector<int>& pending, int depth) {
        if (node.rows.empty()) {
            node.rows.push_back({-1, {}});
        }
        CellNode c;
        c.tagToken = at_++;
        for (int token : pending) {
            c.content.push_back({token, nullptr});
        }
        pending.clear();
        Flow body = flow(depth, true);
        std::move(body.begin(), body.end(), std::back_inserter(c.content));
        const MarkupTag* end = doc_.tagAt(at_);
        if (end != nullptr && end->name == u"td" && end->closing) {
            ++at_;
        }
        node.rows.back().cells.push_back(std::move(c));
    }

    Document& doc_;
    int at_ = 0;
};

}  // namespace

Document buildDocument(std::vector<MarkupToken> tokens) {
    Document doc;
    doc.tokens = std::move(tokens);
    doc.linkOfToken.assign(doc.tokens.size(), -1);
    DocumentBuilder builder(doc);
    doc.body = builder.flow(0, false);
    return doc;
}

}  // namespace ostrum::ui
