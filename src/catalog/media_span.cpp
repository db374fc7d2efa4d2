// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/media_span.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "catalog/block_tags.h"
#include "catalog/catalog.h"
#include "catalog/image_scanner.h"
#include "catalog/mtf_layout.h"
#include "catalog/scan_context.h"
#include "common/byte_source.h"
#include "common/hex_text.h"

namespace ostrum::catalog {
using namespace mtf;

namespace {

constexpr std::size_t kTapeFixedSize = 94;
constexpr std::size_t kEotmFixedSize = 60;
constexpr std::size_t kSsetFixedSize = 98;
// The logical block size taken when the medium's TAPE block was not met: the one most writers use.
constexpr std::uint16_t kUsualLogicalBlockSize = 1024;

// The block's common header when its checksum holds, with `fixedSize` bytes of it.
std::optional<ByteSpan> SoundBlock(const ChunkView& chunk, std::size_t slot, std::size_t fixedSize,
                                   std::vector<std::uint8_t>& scratch) {
    const ByteSpan block = chunk.Fetch(slot, fixedSize, scratch);
    if (block.size() < fixedSize || !BlockHeaderChecksumHolds(block, 0)) return std::nullopt;
    return block;
}

bool HasContinuationBit(ByteSpan block) {
    return (*ReadLE32(block, db_hdr::kBlockAttributes) & db_hdr::kContinuation) != 0;
}

}  // namespace

std::string LabelText(const MediumLabel& label) {
    return "medium " + std::to_string(label.sequence) + " of media family " + common::Hex32(label.family);
}

std::string NotTheMediumAfterText(const std::string& name, const MediumLabel& label,
                                  const std::string& before, const MediumLabel& beforeLabel) {
    return name + " is " + LabelText(label) + ", not the medium after " + before + " (" +
           LabelText(beforeLabel) + ")";
}

std::optional<MediumLabel> LabelOfTapeBlock(ByteSpan block) {
    if (block.size() < kTapeFixedSize || LookupBlockTag(block) != kTagTAPE ||
        !BlockHeaderChecksumHolds(block, 0))
        return std::nullopt;
    MediumLabel label{*ReadLE32(block, tape::kMediaFamilyId), *ReadLE16(block, tape::kMediaSequenceNumber),
                      0};
    const std::uint16_t size = *ReadLE16(block, tape::kFormatLogicalBlockSize);
    if (size == 512 || size == 1024) label.logicalBlockSize = size;
    return label;
}

std::optional<MediumLabel> ReadMediumLabel(const common::ImageSource& image) {
    std::array<std::uint8_t, kTapeFixedSize> block{};
    const common::ImageRead read = image.Read(0, block);
    return LabelOfTapeBlock(ByteSpan(block.data(), read.count));
}

bool MediaOrder::Reordered() const {
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i] != i) return true;
    }
    return false;
}

MediaOrder OrderMedia(std::span<const std::string> names,
                      std::span<const std::optional<MediumLabel>> labels) {
    MediaOrder result;
    result.order.resize(names.size());
    std::iota(result.order.begin(), result.order.end(), std::size_t{0});
    std::optional<std::size_t> before;  // the last medium given with a label
    for (std::size_t i = 0; i < names.size() && i < labels.size(); ++i) {
        if (!labels[i]) continue;
        if (before && labels[*before]->family != labels[i]->family) {
            result.refusal = NotTheMediumAfterText(names[i], *labels[i], names[*before], *labels[*before]);
            return result;
        }
        before = i;
    }
    const bool allLabelled =
        labels.size() == names.size() &&
        std::all_of(labels.begin(), labels.end(), [](const auto& label) { return label; });
    if (allLabelled) {
        std::stable_sort(result.order.begin(), result.order.end(), [&](std::size_t a, std::size_t b) {
            return labels[a]->sequence < labels[b]->sequence;
        });
    }
    return result;
}

std::string ImageMediaOrder::NoteText() const {
    if (!reordered) return {};
    std::string text = std::string(kMediaSortedNote) + ": ";
    for (std::size_t i = 0; i < paths.size(); ++i) text += (i == 0 ? "" : ", ") + paths[i];
    return text;
}

ImageMediaOrder OrderImageMedia(std::span<const std::string> paths) {
    ImageMediaOrder result;
    std::vector<std::optional<MediumLabel>> labels;
    for (const std::string& path : paths) {
        common::ImageFile image;
        if (!common::OpenImageFile(image, path)) {
            result.error = image.error();
            return result;
        }
        labels.push_back(ReadMediumLabel(image));
    }
    const MediaOrder order = OrderMedia(paths, labels);
    if (!order.refusal.empty()) {
        result.error = order.refusal;
        return result;
    }
    for (const std::size_t index : order.order) result.paths.push_back(paths[index]);
    result.reordered = order.Reordered();
    return result;
}

// ---- MediaSpan ----

MediaSpan::Medium& MediaSpan::At(std::uint32_t medium) {
    if (media_.size() <= medium) media_.resize(medium + 1);
    return media_[medium];
}

void MediaSpan::BeginMedium(std::uint32_t medium, std::string name, std::size_t firstRow) {
    Medium& entry = At(medium);
    entry.name = std::move(name);
    entry.firstRow = firstRow;
}

std::string MediaSpan::mediumName(std::uint32_t medium) const {
    if (medium < media_.size() && !media_[medium].name.empty()) return media_[medium].name;
    return "medium " + std::to_string(medium + 1);
}

std::optional<MediumLabel> MediaSpan::label(std::uint32_t medium) const {
    return medium < media_.size() ? media_[medium].label : std::nullopt;
}

void MediaSpan::NoteLabel(std::uint32_t medium, const MediumLabel& label) {
    At(medium).label = label;
    const auto before = medium > 0 ? this->label(medium - 1) : std::nullopt;
    if (before && (before->family != label.family || before->sequence + 1 != label.sequence))
        Note(NotTheMediumAfterText(mediumName(medium), label, mediumName(medium - 1), *before));
}

std::uint32_t MediaSpan::MediumOfRow(std::size_t row) const {
    std::uint32_t medium = 0;
    for (std::uint32_t m = 1; m < media_.size(); ++m) {
        if (media_[m].firstRow <= row) medium = m;
    }
    return medium;
}

const SpannedFile* MediaSpan::FindSpanned(std::size_t row) const {
    const auto found = files_.find(row);
    return found == files_.end() ? nullptr : &found->second;
}

std::uint64_t MediaSpan::DataBytes(const SpannedFile& file) {
    std::uint64_t bytes = 0;
    for (const DataPart& part : file.parts) bytes += part.length;
    // The first part holds the stream header too, and a file whose head is missing has it alone.
    return bytes - std::min<std::uint64_t>(bytes, stream_hdr::kSize);
}

std::uint64_t MediaSpan::DataEnd(const SpannedFile& file) {
    std::uint64_t missing = 0;
    for (const DataPart& part : file.parts) missing += part.missingBefore;
    return DataBytes(file) + missing;
}

std::string MediaSpan::NextMediumText(std::uint32_t medium) const {
    if (const auto known = label(medium)) {
        return "medium " + std::to_string(known->sequence + 1) + " of media family " +
               common::Hex32(known->family);
    }
    return "the medium after " + mediumName(medium);
}

std::string MediaSpan::PreviousMediumText(std::uint32_t medium) const {
    if (const auto known = label(medium); known && known->sequence > 1) {
        return "medium " + std::to_string(known->sequence - 1) + " of media family " +
               common::Hex32(known->family);
    }
    return "the medium before " + mediumName(medium);
}

std::string MediaSpan::MissingMediumText(std::size_t row, std::uint64_t size) const {
    const SpannedFile* file = FindSpanned(row);
    if (file == nullptr) return {};
    if (file->headMissing) return PreviousMediumText(MediumOfRow(row));
    if (DataEnd(*file) < size) return NextMediumText(file->cutOnMedium);
    return {};
}

std::string MediaSpan::MediaBetweenText(std::uint32_t before, std::uint32_t after) const {
    const auto first = label(before);
    const auto last = label(after);
    if (first && last && first->family == last->family && last->sequence > first->sequence + 2) {
        return "media " + std::to_string(first->sequence + 1) + " to " + std::to_string(last->sequence - 1) +
               " of media family " + common::Hex32(first->family);
    }
    return NextMediumText(before);
}

std::string MediaSpan::GapText(const SpannedFile& file, std::size_t index) const {
    std::uint64_t from = 0;
    for (std::size_t i = 0; i < index; ++i) from += file.parts[i].missingBefore + file.parts[i].length;
    from -= std::min<std::uint64_t>(from, stream_hdr::kSize);  // the first part holds the stream header
    const std::uint64_t to = from + file.parts[index].missingBefore - 1;
    return "bytes " + std::to_string(from) + " to " + std::to_string(to) + " are on " +
           MediaBetweenText(file.parts[index - 1].medium, file.parts[index].medium);
}

std::string MediaSpan::MissingText(std::size_t row, std::uint64_t size) const {
    const SpannedFile* file = FindSpanned(row);
    if (file == nullptr) return {};
    std::string text;
    for (std::size_t i = 1; i < file->parts.size(); ++i) {
        if (file->parts[i].missingBefore == 0) continue;
        text += (text.empty() ? "" : "; ") + GapText(*file, i) + ", which was not read";
    }
    const std::string medium = MissingMediumText(row, size);
    if (!medium.empty()) {
        text += std::string(text.empty() ? "" : "; ") +
                (file->headMissing ? "its beginning is on " : "the rest is on ") + medium +
                ", which was not read";
    }
    return text;
}

std::vector<MissingMedium> MissingMedia(const Catalog& catalog) {
    const MediaSpan& span = catalog.mediaSpan();
    std::vector<MissingMedium> missing;
    const auto entry = [&missing](std::string text) -> MissingMedium& {
        for (MissingMedium& known : missing) {
            if (known.text == text) return known;
        }
        return missing.emplace_back(MissingMedium{std::move(text), {}});
    };
    const auto cuts = [](MissingMedium& medium, std::size_t row) {
        if (medium.rowsCut.empty() || medium.rowsCut.back() != row) medium.rowsCut.push_back(row);
    };
    for (std::uint32_t m = 1; m < span.mediumCount(); ++m) {
        const auto before = span.label(m - 1);
        const auto after = span.label(m);
        if (before && after && before->family == after->family && after->sequence > before->sequence + 1)
            entry(span.MediaBetweenText(m - 1, m));
    }
    for (const auto& [row, file] : span.spanned()) {
        for (std::size_t i = 1; i < file.parts.size(); ++i) {
            if (file.parts[i].missingBefore != 0)
                cuts(entry(span.MediaBetweenText(file.parts[i - 1].medium, file.parts[i].medium)), row);
        }
        const std::string end = span.MissingMediumText(row, catalog.row(row).storedSize().value_or(0));
        if (!end.empty()) cuts(entry(end), row);
    }
    return missing;
}

// ---- the scan's handlers ----

void OnTapeBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot) {
    MediaSpan& span = context.catalog.mediaSpan();
    if (span.label(context.medium)) return;
    std::vector<std::uint8_t> scratch;
    if (const auto label = LabelOfTapeBlock(chunk.Fetch(slot, kTapeFixedSize, scratch)))
        span.NoteLabel(context.medium, *label);
}

void OnEndOfMediumBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot) {
    std::vector<std::uint8_t> scratch;
    if (!SoundBlock(chunk, slot, kEotmFixedSize, scratch)) return;
    const auto open = context.openData;
    context.openData.reset();
    const std::uint64_t at = chunk.position() + slot;
    if (!open || at < open->start || at - open->start >= open->length) return;
    CutFrameWalk(context, open->row, chunk.start() + slot);
    DropGridNote(context.grid, open->row);
    SpannedFile& file = context.catalog.mediaSpan().Spanned(open->row);
    const std::uint64_t before = at - open->start;
    if (file.parts.empty()) {
        file.parts.push_back({context.medium, open->start - stream_hdr::kSize, stream_hdr::kSize + before});
    } else {
        file.parts.back().length = before;
    }
    file.cutOnMedium = context.medium;
    context.cutRow = open->row;
}

namespace {

// The continued stream's length is what remains of the file, so where its data belong in the file is
// known: right after the part before, or further on when media between were not read. A piece that would
// overlap what came before, or lie past the file's end, has no place: it is left out and said so.
// False when it was left out.
bool JoinCutFile(ScanContext& context, std::size_t row, DataPart data) {
    MediaSpan& span = context.catalog.mediaSpan();
    SpannedFile& file = span.Spanned(row);
    const std::uint64_t size = context.catalog.row(row).storedSize().value_or(0);
    const std::uint64_t end = MediaSpan::DataEnd(file);
    if (data.length > size || size - data.length < end) {
        span.Note(context.catalog.row(row).path().str() + ": the " + std::to_string(data.length) +
                  " bytes its continuation on " + span.mediumName(context.medium) +
                  " says remain do not follow the " + std::to_string(end) + " of " + std::to_string(size) +
                  " bytes before them; that part is left out");
        return false;
    }
    data.missingBefore = size - data.length - end;
    file.parts.push_back(data);
    context.openData = ScanContext::OpenData{row, data.offset, data.length};
    return true;
}

}  // namespace

bool ContinuesCurrentSet(const ScanContext& context, const ChunkView& chunk, std::size_t slot) {
    std::vector<std::uint8_t> scratch;
    const auto block = SoundBlock(chunk, slot, kSsetFixedSize, scratch);
    return block && HasContinuationBit(*block) && context.dataSetNumber &&
           *ReadLE16(*block, sset::kDataSetNumber) == *context.dataSetNumber;
}

bool OnContinuedFileBlock(ScanContext& context, const ChunkView& chunk, std::size_t slot) {
    std::vector<std::uint8_t> scratch;
    // Most FILE blocks are no continuation: the bit is looked at before the checksum.
    const auto attributes = ReadLE32(chunk.Fetch(slot + db_hdr::kBlockAttributes, 4, scratch), 0);
    if (!attributes || (*attributes & db_hdr::kContinuation) == 0) return false;
    if (!SoundBlock(chunk, slot, db_hdr::kSize, scratch)) return false;
    const auto stream = FindDataStream(chunk, slot);
    if (!stream) return false;
    const ByteSpan header = chunk.Fetch(slot + stream->headerDistance, stream_hdr::kSize, scratch);
    if (!StreamHeaderChecksumHolds(header) ||
        (*ReadLE16(header, stream_hdr::kMediaFormatAttributes) & kMediaFormatContinue) == 0) {
        return false;
    }
    auto row = FileRowOf(context, chunk, slot);
    if (!row) return true;  // a name the scan cannot use: no more catalogued than its first part was
    MediaSpan& span = context.catalog.mediaSpan();
    // The continued data start at the logical block boundary after the block and its stream header.
    const std::uint64_t blockSize = span.label(context.medium).value_or(MediumLabel{}).logicalBlockSize;
    const std::uint64_t unit = blockSize != 0 ? blockSize : kUsualLogicalBlockSize;
    const std::uint64_t headerEnd = stream->headerDistance + stream_hdr::kSize;
    const std::uint64_t dataInChunk = slot + (headerEnd + unit - 1) / unit * unit;
    const DataPart data{context.medium, chunk.position() + dataInChunk, stream->length};

    Catalog& catalog = context.catalog;
    if (context.cutRow && catalog.row(*context.cutRow).path() == FileBlockPath(context, *row)) {
        const std::size_t cut = *context.cutRow;
        context.cutRow.reset();
        if (JoinCutFile(context, cut, data)) {
            ContinueFrameWalk(context, chunk, cut, dataInChunk, data.length);
        } else {
            EndFrameWalk(context);
        }
        return true;
    }
    // Its beginning lies on a medium that was not scanned: what is here is kept as a file cut short.
    FoundFile& values = row->values;
    values.size = stream->length;
    values.dataOffset = data.offset;
    values.chunkIndex = chunk.chunkIndex();
    const std::size_t index = AppendFileBlockRow(context, *row);
    SpannedFile& file = span.Spanned(index);
    file.headMissing = true;
    file.parts = {{context.medium, chunk.position() + slot + stream->headerDistance, stream_hdr::kSize},
                  data};
    context.openData = ScanContext::OpenData{index, data.offset, data.length};
    NoteFileFound(context);
    return true;
}

void BeginMedium(ScanContext& context, std::size_t index, std::string name) {
    if (index == 0) {
        context.catalog.mediaSpan().BeginMedium(0, std::move(name), 0);
    } else {
        BeginNextMedium(context, std::move(name));
    }
}

void BeginNextMedium(ScanContext& context, std::string name) {
    ++context.medium;
    context.catalog.mediaSpan().BeginMedium(context.medium, std::move(name), context.catalog.rowCount());
    context.openData.reset();
    context.catalogDataEnd = 0;  // positions start again on the new medium
    context.grid.firstLoss.reset();
}

}  // namespace ostrum::catalog
