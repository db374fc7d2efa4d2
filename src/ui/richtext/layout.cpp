// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/richtext/layout.h"

#include <QPaintDevice>
#include <QPixmap>
#include <algorithm>

#include "ui/richtext/colour_names.h"
#include "ui/richtext/layout_engine.h"
#include "ui/richtext/lengths.h"

namespace ostrum::ui {

namespace {

constexpr int kMaxStyleDepth = 1000;  // deeper nesting comes only from hostile text
constexpr int kMaxFontCache = 64;
constexpr int kDefaultDpi = 96;
constexpr int kDefaultTabWidth = 32;
constexpr int kDefaultRuleSize = 2;
constexpr int kMaxRuleSize = 100;
constexpr int kRuleMargin = 4;  // space above and below a horizontal rule
constexpr int kDefaultIconSize = 32;
constexpr int kMaxPictureSide = 4096;
constexpr QStringView kBreakCharacters = u" -.,!:;)}]?";

bool isBreakCharacter(QChar c) {
    return kBreakCharacters.contains(c);
}

QString transformed(const QString& text, TextTransform transform) {
    switch (transform) {
        case TextTransform::Upper:
            return text.toUpper();
        case TextTransform::Lower:
            return text.toLower();
        case TextTransform::Capitalize: {
            QString out = text;
            for (qsizetype i = 0; i < out.size(); ++i) {
                if ((i == 0 || out[i - 1] == u' ') && out[i].isLower()) {
                    out[i] = out[i].toUpper();
                }
            }
            return out;
        }
        case TextTransform::None:
            break;
    }
    return text;
}

// The longest prefix (ending just after a break character) whose drawn width fits `available`;
// -1 when none does. A space that ends the prefix is not drawn and so is not measured.
qsizetype lastFittingBreak(const QString& text, int available, const QFontMetrics& fm) {
    std::vector<qsizetype> cuts;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isBreakCharacter(text[i])) {
            cuts.push_back(i + 1);
        }
    }
    auto widthOf = [&](qsizetype cut) {
        const qsizetype shown = text[cut - 1] == u' ' ? cut - 1 : cut;
        return fm.horizontalAdvance(text.left(shown));
    };
    qsizetype lo = 0;
    qsizetype hi = static_cast<qsizetype>(cuts.size());  // answer among cuts[0, hi)
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (widthOf(cuts[static_cast<std::size_t>(mid)]) <= available) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo == 0 ? -1 : cuts[static_cast<std::size_t>(lo - 1)];
}

qsizetype firstBreak(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isBreakCharacter(text[i])) {
            return i + 1;
        }
    }
    return text.size();
}

QString withoutTrailingSpace(const QString& piece) {
    return piece.endsWith(u' ') ? piece.chopped(1) : piece;
}

int countSpaces(const QString& text) {
    return static_cast<int>(text.count(u' '));
}

std::optional<std::uint32_t> parseHandle(const QString& text) {
    bool ok = false;
    const QString t = text.trimmed();
    const uint value =
        t.startsWith(u"0x", Qt::CaseInsensitive) ? t.mid(2).toUInt(&ok, 16) : t.toUInt(&ok, 10);
    return ok ? std::optional<std::uint32_t>(value) : std::nullopt;
}

bool namesOtherModule(const MarkupTag& tag) {
    const QString* srcdll = tag.attribute(u"srcdll");
    return (srcdll != nullptr && !srcdll->isEmpty()) || detail::parseInt(tag.attribute(u"iddll"), 0) != 0;
}

}  // namespace

QRect& DisplayItem::rect() {
    return std::visit([](auto& item) -> QRect& { return item.rect; }, content);
}

const QRect& DisplayItem::rect() const {
    return std::visit([](const auto& item) -> const QRect& { return item.rect; }, content);
}

const FontCache::Entry& FontCache::get(const FontSpec& fontSpec, QPaintDevice* device) {
    const int dpi = device != nullptr ? device->logicalDpiY() : kDefaultDpi;
    if (dpi != dpi_ || entries_.size() > static_cast<std::size_t>(kMaxFontCache)) {
        entries_.clear();
        dpi_ = dpi;
    }
    for (const auto& [key, entry] : entries_) {
        if (key == fontSpec) {
            return *entry;
        }
    }
    QFont font = makeFont(fontSpec);
    QFontMetrics metrics = device != nullptr ? QFontMetrics(font, device) : QFontMetrics(font);
    entries_.emplace_back(fontSpec, std::make_unique<Entry>(Entry{font, metrics}));
    return *entries_.back().second;
}

namespace detail {

int parseInt(const QString* text, int fallback) {
    if (text == nullptr) {
        return fallback;
    }
    bool ok = false;
    const int value = text->trimmed().toInt(&ok);
    return ok ? value : fallback;
}

// --- style stack ----------------------------------------------------------------------------

void StyleStack::push(const QString& tag, const TextStyle& style, int link) {
    if (entries_.size() < static_cast<std::size_t>(kMaxStyleDepth)) {
        entries_.push_back({tag, style, link});
    }
}

void StyleStack::pop(QStringView tag) {
    for (std::size_t i = entries_.size(); i-- > 1;) {
        if (entries_[i].tag == tag) {
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i), entries_.end());
            return;
        }
    }
}

// --- lines of a flow ------------------------------------------------------------------------

FlowBuilder::FlowBuilder(Engine& engine, StyleStack& stack, int wrapWidth, int alignWidth)
    : engine_(engine), stack_(stack), wrapWidth_(wrapWidth), alignWidth_(alignWidth) {}

void FlowBuilder::place(LineItem item, int width, int descent) {
    if (!current_.alignSet) {
        current_.align = stack_.top().hAlign;
        current_.alignSet = true;
    }
    item.x = x_;
    item.width = width;
    current_.ascent = std::max(current_.ascent, item.ascent);
    current_.descent = std::max(current_.descent, descent);
    current_.breaks += item.spaces;
    x_ += width;
    current_.width = x_;
    current_.items.push_back(std::move(item));
}

void FlowBuilder::placeText(const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    const TextStyle& style = stack_.top();
    const FontCache::Entry& font = engine_.font(style.font());
    TextItem run;
    run.text = text;
    run.font = font.font;
    run.ascent = font.metrics.ascent();
    run.colour = engine_.foreground(style.textColour);
    run.opaqueBackground = !style.backgroundTransparent;
    run.background = style.backgroundColour;
    run.overline = style.overline;
    run.overlineWidth = style.weight >= 700 ? 2 : 1;
    const int width = font.metrics.horizontalAdvance(text);
    run.rect = QRect(0, 0, width, font.metrics.height());
    LineItem item;
    item.ascent = font.metrics.ascent();
    item.height = font.metrics.height();
    item.valign = style.vAlign;
    item.isText = true;
    item.spaces = countSpaces(text);
    item.items.push_back({std::move(run), stack_.link()});
    place(std::move(item), width, font.metrics.height() - font.metrics.ascent());
}

void FlowBuilder::text(const QString& raw) {
    const TextStyle& style = stack_.top();
    QString rest = transformed(raw, style.transform);
    const QFontMetrics& fm = engine_.font(style.font()).metrics;
    while (!rest.isEmpty()) {
        const int available = wrapWidth_ - x_;
        if (wrapWidth_ == kNoWidth || fm.horizontalAdvance(rest) <= available) {
            placeText(rest);
            return;
        }
        qsizetype cut = lastFittingBreak(rest, available, fm);
        if (cut < 0 && (!current_.items.empty() || x_ > 0)) {
            endLine(false);  // try again at the start of a fresh line
            continue;
        }
        if (cut < 0) {
            cut = firstBreak(rest);  // nothing fits even on its own line: the first word overflows
        }
        placeText(withoutTrailingSpace(rest.left(cut)));
        rest = rest.mid(cut);
        if (!rest.isEmpty()) {
            endLine(false);
        }
    }
}

void FlowBuilder::tab(int count) {
    const int width = engine_.settings().tabWidth > 0 ? engine_.settings().tabWidth : kDefaultTabWidth;
    x_ = std::min(kMaxLength, (x_ / width + std::max(1, count)) * width);
    current_.width = x_;
}

void FlowBuilder::lineBreak(int count) {
    endLine(true);
    const Line& ended = lines_.back();
    const int height = ended.ascent + ended.descent;
    lines_.back().extraHeight = std::min(kMaxLength, (std::max(1, count) - 1) * height);
}

void FlowBuilder::picture(PictureItem picture) {
    LineItem item;
    item.ascent = picture.rect.height();
    item.height = picture.rect.height();
    item.valign = stack_.top().vAlign;
    const int width = picture.rect.width();
    item.items.push_back({std::move(picture), stack_.link()});
    place(std::move(item), width, 0);
}

void FlowBuilder::block(FlowResult content, std::optional<HAlign> align) {
    if (!current_.items.empty() || x_ > 0) {
        endLine(false);
    }
    LineItem item;
    item.ascent = content.height;
    item.height = content.height;
    item.isBlock = true;
    item.valign = VAlign::Top;
    item.items = std::move(content.items);
    current_.align = align.value_or(stack_.top().hAlign);
    current_.alignSet = true;
    place(std::move(item), content.width, 0);
    endLine(false);
}

void FlowBuilder::endLine(bool explicitBreak) {
    if (current_.items.empty()) {
        // A line without items is as high as the current font.
        const QFontMetrics& fm = engine_.font(stack_.top().font()).metrics;
        current_.ascent = fm.ascent();
        current_.descent = fm.height() - fm.ascent();
        if (!current_.alignSet) {
            current_.align = stack_.top().hAlign;
        }
    }
    current_.explicitBreak = explicitBreak;
    lines_.push_back(std::move(current_));
    current_ = Line();
    x_ = 0;
}

int FlowBuilder::positionInLine(const LineItem& item, const Line& line) const {
    if (item.isBlock) {
        return 0;
    }
    const int h = line.ascent + line.descent;
    switch (item.valign) {
        case VAlign::Top:
            return 0;
        case VAlign::Middle:
            return (h - item.height) / 2;
        case VAlign::Bottom:
            return item.isText ? h - item.ascent : h - item.height;
        case VAlign::Baseline:
            break;
    }
    return h - line.descent - item.ascent;  // text: baselines line up; pictures: bottom on it
}

void FlowBuilder::justify(Line& line, int extra) {
    const int per = extra / line.breaks;
    const int remainder = extra % line.breaks;
    int spacesBefore = 0;
    for (LineItem& item : line.items) {
        item.x += spacesBefore * per + std::min(spacesBefore, remainder);
        if (item.isText) {
            auto& run = std::get<TextItem>(item.items.front().content);
            run.perSpace = per;
            run.remainder = remainder;
            run.firstSpace = spacesBefore;
        }
        spacesBefore += item.spaces;
    }
}

FlowResult FlowBuilder::finish() {
    if (!current_.items.empty() || x_ > 0) {
        endLine(false);
    }
    FlowResult out;
    int y = 0;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        Line& line = lines_[i];
        const int free = alignWidth_ == kNoWidth ? 0 : std::max(0, alignWidth_ - line.width);
        int offset = 0;
        if (line.align != HAlign::Left) {
            engine_.noteAlignWidthUsed();
        }
        if (line.align == HAlign::Center) {
            offset = free / 2;
        } else if (line.align == HAlign::Right) {
            offset = free;
        } else if (line.align == HAlign::Justify && free > 0 && line.breaks > 0 && !line.explicitBreak &&
                   i + 1 < lines_.size()) {
            justify(line, free);
        }
        for (LineItem& item : line.items) {
            const QPoint shift(offset + item.x, y + positionInLine(item, line));
            for (DisplayItem& d : item.items) {
                d.rect().translate(shift);
                out.items.push_back(std::move(d));
            }
        }
        out.width = std::max(out.width, line.width);
        y = std::min(kMaxLength, y + line.ascent + line.descent + line.extraHeight);
    }
    out.height = y;
    return out;
}

// --- the engine -----------------------------------------------------------------------------

Engine::Engine(const Document& doc, const LayoutSettings& settings, QPaintDevice* device, FontCache& fonts)
    : doc_(doc), settings_(settings), device_(device), fonts_(fonts) {}

int Engine::dpi() const {
    return device_ != nullptr ? device_->logicalDpiY() : kDefaultDpi;
}

LengthContext Engine::lengths(int current) const {
    LengthContext c;
    c.current = current;
    c.dpi = dpi();
    return c;
}

StyleEnvironment Engine::styleEnvironment() {
    StyleEnvironment env;
    env.colours = settings_.colours;
    env.dpi = dpi();
    env.textHeight = [this](const FontSpec& fontSpec) { return font(fontSpec).metrics.height(); };
    env.xHeight = [this](const FontSpec& fontSpec) { return font(fontSpec).metrics.xHeight(); };
    return env;
}

void Engine::applyClass(TextStyle& style, QStringView selector) {
    if (settings_.sheet == nullptr) {
        return;
    }
    if (const auto* declarations = settings_.sheet->find(selector)) {
        applyDeclarations(style, *declarations, styleEnvironment());
    }
}

FlowResult Engine::flow(const Flow& flow, StyleStack& stack, int wrapWidth, int alignWidth) {
    FlowBuilder builder(*this, stack, wrapWidth, alignWidth);
    for (const FlowNode& node : flow) {
        if (node.table) {
            noteAlignWidthUsed();
            std::optional<HAlign> align;
            FlowResult table = this->table(*node.table, stack, alignWidth, align);
            if (table.width > 0 || table.height > 0) {
                builder.block(std::move(table), align);
            }
            continue;
        }
        const MarkupToken& token = doc_.tokens[static_cast<std::size_t>(node.token)];
        if (token.kind == MarkupToken::Kind::Text) {
            builder.text(token.text);
        } else {
            applyTag(node.token, stack, &builder);
        }
    }
    return builder.finish();
}

void Engine::applyFontAttributes(const MarkupTag& tag, TextStyle& style) {
    static const std::pair<const char16_t*, const char16_t*> kFontAttributes[] = {
        {u"face", u"font-family"},   {u"size", u"font-size"},         {u"color", u"color"},
        {u"weight", u"font-weight"}, {u"bkgnd", u"background-color"},
    };
    std::vector<StyleDeclaration> declarations;
    for (const auto& [attribute, property] : kFontAttributes) {
        if (const QString* value = tag.attribute(attribute)) {
            declarations.push_back({QString::fromUtf16(property), *value});
        }
    }
    if (const QString* inlineStyle = tag.attribute(u"style")) {
        const auto more = parseDeclarations(*inlineStyle);
        declarations.insert(declarations.end(), more.begin(), more.end());
    }
    applyDeclarations(style, declarations, styleEnvironment());
}

void Engine::applyStyleTag(const MarkupTag& tag, int token, StyleStack& stack) {
    static const QStringList kClassTags = {
        QStringLiteral("body"), QStringLiteral("h1"),  QStringLiteral("h2"),    QStringLiteral("h3"),
        QStringLiteral("h4"),   QStringLiteral("h5"),  QStringLiteral("h6"),    QStringLiteral("code"),
        QStringLiteral("pre"),  QStringLiteral("big"), QStringLiteral("small"), QStringLiteral("sub"),
        QStringLiteral("sup")};
    const QString& name = tag.name;
    TextStyle s = stack.top();
    int link = stack.link();
    if (name == u"b") {
        s.weight = bolderWeight(s.weight);
    } else if (name == u"i") {
        s.italic = !s.italic;
    } else if (name == u"u") {
        s.underline = !s.underline;
    } else if (name == u"s") {
        s.strikeOut = !s.strikeOut;
    } else if (name == u"font") {
        applyFontAttributes(tag, s);
    } else if (name == u"left" || name == u"center" || name == u"right" || name == u"justify") {
        applyDeclarations(s, {{QStringLiteral("text-align"), name}}, {});
    } else if (name == u"baseline" || name == u"top" || name == u"vcenter" || name == u"middle" ||
               name == u"bottom") {
        applyDeclarations(s, {{QStringLiteral("vertical-align"), name}}, {});
    } else if (kClassTags.contains(name)) {
        applyClass(s, name);
    } else if (name == u"span") {
        if (const QString* cls = tag.attribute(u"class")) {
            applyClass(s, QString(u'.' + cls->toLower()));
        }
    } else if (name == u"a") {
        link = doc_.linkOfToken[static_cast<std::size_t>(token)];
        applyClass(s, link == settings_.hoverLink && link >= 0 ? u"a:hover" : u"a:link");
    } else {
        return;  // unknown tags are ignored
    }
    stack.push(name, s, link);
}

void Engine::applyTag(int token, StyleStack& stack, FlowBuilder* builder) {
    const MarkupTag& tag = doc_.tokens[static_cast<std::size_t>(token)].tag;
    QString name = tag.name;
    if (name == u"em") {
        name = QStringLiteral("i");
    } else if (name == u"strike") {
        name = QStringLiteral("s");
    }
    if (tag.closing) {
        stack.pop(name);
        return;
    }
    const bool content = name == u"hr" || name == u"br" || name == u"t" || name == u"bmp" ||
                         name == u"icon" || name == u"ilst" || name == u"string";
    if (!content) {
        MarkupTag canonical = tag;
        canonical.name = name;
        applyStyleTag(canonical, token, stack);
        return;
    }
    if (builder == nullptr) {
        return;  // content between table cells has no place to go
    }
    if (name == u"br") {
        builder->lineBreak(tag.count);
    } else if (name == u"t") {
        builder->tab(tag.count);
    } else if (name == u"hr") {
        rule(tag, stack, *builder);
    } else if (name == u"string") {
        insertString(tag, *builder);
    } else if (auto item = picture(tag)) {
        builder->picture(std::move(*item));
    }
}

void Engine::insertString(const MarkupTag& tag, FlowBuilder& builder) {
    const QString* id = tag.attribute(u"idres");
    if (id == nullptr || settings_.resources == nullptr || namesOtherModule(tag)) {
        return;
    }
    if (const auto text = settings_.resources->string(parseInt(id, -1))) {
        builder.text(*text);
    }
}

void Engine::rule(const MarkupTag& tag, StyleStack& stack, FlowBuilder& builder) {
    noteAlignWidthUsed();
    TextStyle s = stack.top();
    applyClass(s, u"hr");
    int thickness = s.size > 0 ? s.size : kDefaultRuleSize;
    if (const QString* size = tag.attribute(u"size")) {
        thickness = parseLength(*size, lengths(thickness)).value_or(thickness);
    }
    thickness = std::clamp(thickness, 1, kMaxRuleSize);
    int width = builder.alignWidth();
    if (const QString* w = tag.attribute(u"width")) {
        width = parseLength(*w, lengths(width)).value_or(width);
    }
    RuleItem item;
    item.rect = QRect(0, kRuleMargin, std::clamp(width, 0, kMaxLength), thickness);
    item.style = s.borderStyle == LineStyle::None ? LineStyle::Solid : s.borderStyle;
    if (const QString* colour = tag.attribute(u"color")) {
        item.colour = foreground(parseColour(*colour, s.textColour, *settings_.colours));
    } else {
        item.etched = true;
    }
    FlowResult block;
    block.width = item.rect.width();
    block.height = thickness + 2 * kRuleMargin;
    block.items.push_back({std::move(item), -1});
    builder.block(std::move(block), std::nullopt);
}

PictureOptions Engine::pictureEffects(const QString* letters, const QString* mask) {
    constexpr int kFull = 255;
    constexpr int kPercent = 100;
    const ShadowSettings& shadow = settings_.shadow;
    PictureOptions o;
    if (mask != nullptr) {
        o.useTransparent = true;
        o.transparent = parseColour(*mask, 0, *settings_.colours);
    }
    const QString l = letters != nullptr ? letters->toLower() : QString();
    o.flags |= l.contains(u'g') ? kPictureGrey : 0u;
    o.flags |= l.contains(u'd') ? kPictureDarker : 0u;
    o.flags |= l.contains(u'l') ? kPictureLighter : 0u;
    if (l.contains(u's')) {
        o.flags |= shadow.blurred ? kPictureBlurredShadow : kPictureShadow;
        o.shadowOn = true;
    }
    o.shadowDx = shadow.dx;
    o.shadowDy = shadow.dy;
    o.blurWidth = shadow.blurWidth;
    o.blurHeight = shadow.blurHeight;
    const int grey = kFull * (kPercent - std::clamp(shadow.darkness, 0, kPercent)) / kPercent;
    o.shadowColour = makeColorRef(grey, grey, grey);
    return o;
}

std::optional<PictureItem> Engine::picture(const MarkupTag& tag) {
    if (namesOtherModule(tag)) {
        return std::nullopt;  // resources of other modules do not exist here
    }
    PictureItem item;
    const QString& name = tag.name;
    item.kind = name == u"icon"   ? PictureItem::Kind::Icon
                : name == u"ilst" ? PictureItem::Kind::StripCell
                                  : PictureItem::Kind::Bitmap;
    const HandlePicture* handle = nullptr;
    if (const QString* h = tag.attribute(u"handle"); h != nullptr && settings_.handles != nullptr) {
        if (const auto number = parseHandle(*h)) {
            const auto it = settings_.handles->find(*number);
            handle = it != settings_.handles->end() ? &it->second : nullptr;
        }
    }
    const QString* file = tag.attribute(u"file");
    const int id = parseInt(tag.attribute(u"idres"), -1);
    const ResourceProvider* resources = settings_.resources;
    QSize natural;
    if (item.kind == PictureItem::Kind::Icon) {
        if (handle != nullptr) {
            item.icon = !handle->icon.isNull() ? handle->icon : QIcon(QPixmap::fromImage(handle->image));
        } else if (file != nullptr) {
            item.icon = QIcon(*file);
        } else if (resources != nullptr && id >= 0) {
            item.icon = resources->icon(id);
        }
        if (item.icon.isNull()) {
            return std::nullopt;
        }
        natural = QSize(parseInt(tag.attribute(u"cx"), kDefaultIconSize),
                        parseInt(tag.attribute(u"cy"), kDefaultIconSize));
    } else {
        ImageStrip strip;
        if (handle != nullptr) {
            strip.image =
                !handle->image.isNull() ? handle->image : handle->icon.pixmap(kDefaultIconSize).toImage();
        } else if (file != nullptr) {
            strip.image = QImage(*file);
        } else if (resources != nullptr && id >= 0) {
            strip = item.kind == PictureItem::Kind::StripCell ? resources->imageStrip(id)
                                                              : ImageStrip{resources->bitmap(id), {}};
        }
        if (strip.image.isNull()) {
            return std::nullopt;
        }
        item.image = strip.image;
        natural = item.image.size();
        if (item.kind == PictureItem::Kind::StripCell) {
            const int side = strip.image.height();
            const QSize given = strip.cellSize.isValid() ? strip.cellSize : QSize(side, side);
            item.cellSize = QSize(parseInt(tag.attribute(u"cx"), given.width()),
                                  parseInt(tag.attribute(u"cy"), given.height()));
            item.cellIndex = parseInt(tag.attribute(u"index"), 0);
            natural = item.cellSize;
        }
    }
    auto dimension = [&](const char16_t* attribute, int naturalValue) {
        const QString* value = tag.attribute(attribute);
        const int v = value != nullptr ? parseLength(*value, lengths(naturalValue)).value_or(naturalValue)
                                       : naturalValue;
        return std::min(v, kMaxPictureSide);
    };
    const QSize size(dimension(u"width", natural.width()), dimension(u"height", natural.height()));
    if (size.width() <= 0 || size.height() <= 0) {
        return std::nullopt;
    }
    item.rect = QRect(QPoint(0, 0), size);
    item.normal = pictureEffects(tag.attribute(u"style"), tag.attribute(u"mask"));
    const QString* hot = tag.attribute(u"hotstyle");
    item.hover = pictureEffects(hot != nullptr ? hot : tag.attribute(u"style"), tag.attribute(u"mask"));
    return item;
}

}  // namespace detail

Layout layoutDocument(const Document& doc, const LayoutSettings& settings, QPaintDevice* device,
                      FontCache& fonts) {
    detail::Engine engine(doc, settings, device, fonts);
    detail::StyleStack stack{TextStyle()};
    detail::FlowResult result = engine.flow(doc.body, stack, settings.wrapWidth, settings.alignWidth);
    return {QSize(result.width, result.height), std::move(result.items), engine.dependsOnAlignWidth()};
}

}  // namespace ostrum::ui
