// SPDX-License-Identifier: GPL-3.0-or-later
#include "save/save_plan.h"

#include <sys/stat.h>

#include <unordered_map>
#include <unordered_set>

#include "catalog/byte_reader.h"
#include "catalog/mtf_layout.h"
#include "decode/compressed_stream.h"
#include "save/file_extraction.h"
#include "save/save_path.h"

namespace ostrum::save {
namespace {

namespace stream_hdr = catalog::mtf::stream_hdr;

// What the stream header before a file's data says of the bytes the save would write.
struct StreamLook {
    PlannedOutcome outcome = PlannedOutcome::Save;
    std::optional<std::uint64_t> size;
    std::string note;
};

// Reads `count` bytes at `position`; fewer at the image's end or on a read error.
std::vector<std::uint8_t> ReadBytes(const common::ImageSource& image, std::uint64_t position,
                                    std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    bytes.resize(image.Read(position, bytes).count);
    return bytes;
}

// The decoded size of an LZS stream, from its first frame header.
void LookAtCompressedStream(const common::ImageSource& image, std::uint64_t dataOffset, std::uint64_t length,
                            StreamLook& look) {
    decode::CompressedStreamDecoder decoder;
    const auto header = ReadBytes(image, dataOffset, decode::frame_hdr::kSize);
    decoder.Take(header, [](std::span<const std::uint8_t>) { return true; });
    if (const auto announced = decoder.announced()) {
        look.size = *announced;
        look.note = "decoded from " + std::to_string(length) + " bytes on the medium";
        return;
    }
    look.outcome = PlannedOutcome::Truncate;
    look.size.reset();
    look.note = "compressed, but " +
                (decoder.error().empty() ? std::string("the image ends inside its first frame header")
                                         : decoder.error()) +
                ": nothing of it would decode";
}

StreamLook LookAtStream(const common::ImageSource& image, const SaveItem& item) {
    StreamLook look;
    const std::uint64_t headerAt = *item.dataOffset - stream_hdr::kSize;
    const auto header = ReadBytes(image, headerAt, stream_hdr::kSize);
    if (auto problem = StanHeaderProblem(header, headerAt))
        return {PlannedOutcome::Fail, std::nullopt, *problem};
    const std::uint64_t length = *catalog::ReadLE64(header, stream_hdr::kStreamLength);
    const std::uint16_t attributes = *catalog::ReadLE16(header, stream_hdr::kMediaFormatAttributes);
    const std::uint16_t compression = *catalog::ReadLE16(header, stream_hdr::kDataCompressionAlgorithm);
    look.size = length;
    if (attributes & catalog::mtf::kMediaFormatEncrypted) {
        look.note = "encrypted: saved as it is on the medium, not decoded";
    } else if (attributes & catalog::mtf::kMediaFormatCompressed) {
        if (compression == catalog::mtf::kCompressionStacLzs) {
            LookAtCompressedStream(image, *item.dataOffset, length, look);
        } else {
            look.note =
                "compressed with an algorithm this program cannot decode: saved as it is on the medium";
        }
    }
    const std::uint64_t imageSize = image.Size().value_or(0);
    const std::uint64_t present = imageSize > *item.dataOffset ? imageSize - *item.dataOffset : 0;
    if (look.outcome == PlannedOutcome::Save && present < length) {
        look.outcome = PlannedOutcome::Truncate;
        look.note = "the image ends after " + std::to_string(present) + " of its " + std::to_string(length) +
                    " bytes on the medium";
    }
    return look;
}

enum class OnDisk : std::uint8_t { Missing, Folder, Other };

OnDisk Look(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return OnDisk::Missing;
    return S_ISDIR(info.st_mode) ? OnDisk::Folder : OnDisk::Other;
}

// The names the save gives, followed as the engine gives them.
class NamePlanner {
  public:
    NamePlanner(std::string destination, ExistingFiles existing)
        : destination_(std::move(destination)),
          existing_(existing == ExistingFiles::Ask ? ExistingFiles::KeepBoth : existing),
          limit_(NameLimitOf(destination_)) {}

    void Plan(const SaveItem& item, PlannedFile& planned) {
        std::vector<std::string> components = DestinationComponents(item.catalogPath);
        bool shortened = false;
        for (auto& component : components) {
            std::string fitted = FitName(component, limit_);
            shortened = shortened || fitted.size() != component.size();
            component = std::move(fitted);
        }
        std::string name = components.back();
        components.pop_back();
        const std::string folder = components.empty() ? std::string() : JoinComponents(components) + "/";
        planned.destination = folder + name;
        if (auto blocked = FolderInTheWay(components)) {
            planned.outcome = PlannedOutcome::Fail;
            planned.note = *blocked;
            return;
        }
        const bool exists = Exists(folder + name);
        if (existing_ == ExistingFiles::Skip && !given_.contains(folder + name) && exists) {
            planned.outcome = PlannedOutcome::Skip;
            planned.note = "'" + planned.destination + "' already exists";
            return;
        }
        // What the medium cuts short is kept beside any file of its name.
        ExistingFiles policy = existing_;
        if (planned.outcome == PlannedOutcome::Truncate) {
            name = FitName(name + std::string(kPartialSuffix), limit_);
            policy = ExistingFiles::KeepBoth;
        }
        const std::string used = Name(folder, name, policy);
        planned.destination = folder + used;
        if (policy == ExistingFiles::Overwrite && used == name && exists) {
            planned.outcome = PlannedOutcome::Replace;
            planned.note = "replaces the file of that name";
        }
        if ((used == name && !shortened) || planned.outcome == PlannedOutcome::Truncate) return;
        if (planned.outcome == PlannedOutcome::Save) planned.outcome = PlannedOutcome::SaveRenamed;
        const std::string why =
            used != name ? "'" + name + "' is taken" : "names shortened to fit the destination";
        planned.note = planned.note.empty() ? why : why + "; " + planned.note;
    }

  private:
    // The name a file called `name` gets in `folder`: a free numbered one when keeping both, or when the
    // name was given earlier in this save (two files of the medium that map to one name are both kept).
    std::string Name(const std::string& folder, const std::string& name, ExistingFiles policy) {
        std::string used = name;
        if (policy == ExistingFiles::KeepBoth || given_.contains(folder + name)) {
            unsigned& next = nextNumber_[folder + name];
            for (unsigned tries = 0; tries <= kMaxNumberedNames; ++tries, ++next) {
                used = next == 0 ? name : FitName(NumberedName(name, next), limit_);
                if (!given_.contains(folder + used) && !Exists(folder + used)) break;
            }
            ++next;
        }
        given_.insert(folder + used);
        return used;
    }

    bool Exists(const std::string& relative) const {
        return Look(destination_ + "/" + relative) != OnDisk::Missing;
    }

    // Why a folder on the way cannot be used (a file or a symbolic link has its name); the save would fail.
    std::optional<std::string> FolderInTheWay(const std::vector<std::string>& folders) const {
        std::string path = destination_;
        for (const auto& folder : folders) {
            path += "/" + folder;
            const OnDisk found = Look(path);
            if (found == OnDisk::Missing) return std::nullopt;
            if (found == OnDisk::Other) {
                return "cannot use the folder '" + path + "': it is a file or a symbolic link, not a folder";
            }
        }
        return std::nullopt;
    }

    std::string destination_;
    ExistingFiles existing_;
    std::size_t limit_;
    std::unordered_set<std::string> given_;  // names given earlier in this save, "A/B.TXT"
    std::unordered_map<std::string, unsigned> nextNumber_;
};

}  // namespace

std::vector<PlannedFile> PlanSave(std::span<const SaveItem> items, const std::string& destination,
                                  ExistingFiles existing, const common::ImageSource* image) {
    NamePlanner names(destination, existing);
    std::vector<PlannedFile> plan(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const SaveItem& item = items[i];
        PlannedFile& planned = plan[i];
        planned.size = item.size;
        if (!item.dataOffset || *item.dataOffset < stream_hdr::kSize) {
            planned.destination = JoinComponents(DestinationComponents(item.catalogPath));
            planned.outcome = PlannedOutcome::Fail;
            planned.size.reset();
            planned.note = "not found: no data stream";
            continue;
        }
        if (image != nullptr) {
            StreamLook look = LookAtStream(*image, item);
            planned.outcome = look.outcome;
            planned.size = look.size;
            planned.note = std::move(look.note);
            if (planned.outcome == PlannedOutcome::Fail) {
                planned.destination = JoinComponents(DestinationComponents(item.catalogPath));
                continue;
            }
        }
        names.Plan(item, planned);
    }
    return plan;
}

}  // namespace ostrum::save
