// SPDX-License-Identifier: GPL-3.0-or-later
#include "manifest_json.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace ostrum::mtfwriter {

namespace {

void PutString(std::ostream& out, const std::string& s) {
    out << '"';
    for (unsigned char c : s) {
        switch (c) {
            case '"':
                out << "\\\"";
                break;
            case '\\':
                out << "\\\\";
                break;
            case '\n':
                out << "\\n";
                break;
            case '\r':
                out << "\\r";
                break;
            case '\t':
                out << "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out << buf;
                } else {
                    out << static_cast<char>(c);
                }
        }
    }
    out << '"';
}

std::string DateText(const MtfDate& d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{d.year}, unsigned{d.month},
                  unsigned{d.day}, unsigned{d.hour}, unsigned{d.minute}, unsigned{d.second});
    return buf;
}

template <typename T, typename Each>
void PutArray(std::ostream& out, const std::vector<T>& items, Each each) {
    out << '[';
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out << ',';
        out << "\n    ";
        each(items[i]);
    }
    out << (items.empty() ? "]" : "\n  ]");
}

void PutFile(std::ostream& out, const ManifestFile& f) {
    out << "{\"set\": " << f.setNumber << ", \"directory\": ";
    PutString(out, f.directory);
    out << ", \"name\": ";
    PutString(out, f.name);
    if (Utf8ToUtf16(f.name) != f.nameUnits) {
        out << ", \"name_units\": [";
        for (std::size_t i = 0; i < f.nameUnits.size(); ++i)
            out << (i ? "," : "") << unsigned{f.nameUnits[i]};
        out << ']';
    }
    out << ", \"file_block_offset\": " << f.fileBlockOffset << ", \"data_offset\": ";
    if (f.dataOffset) {
        out << *f.dataOffset;
    } else {
        out << "null";
    }
    out << ", \"data_length\": " << f.dataLength << ", \"declared_length\": " << f.declaredLength
        << ", \"original_length\": " << f.originalLength
        << ", \"compressed\": " << (f.compressed ? "true" : "false") << ", \"mtime\": \"" << DateText(f.mtime)
        << "\"}";
}

}  // namespace

void WriteManifestJson(const Manifest& m, std::ostream& out) {
    out << "{\n  \"image_size\": " << m.imageSize << ",\n  \"logical_block_size\": " << m.logicalBlockSize
        << ",\n  \"physical_block_size\": " << m.physicalBlockSize
        << ",\n  \"soft_filemarks\": " << (m.softFilemarks ? "true" : "false") << ",\n  \"filemarks\": [";
    for (std::size_t i = 0; i < m.filemarks.size(); ++i) out << (i ? ", " : "") << m.filemarks[i];
    out << "],\n  \"sets\": ";
    PutArray(out, m.sets, [&](const ManifestSet& s) {
        out << "{\"number\": " << s.number << ", \"name\": ";
        PutString(out, s.name);
        out << ", \"compressed\": " << (s.compressed ? "true" : "false")
            << ", \"sset_offset\": " << s.ssetOffset << ", \"eset_offset\": " << s.esetOffset << '}';
    });
    out << ",\n  \"directories\": ";
    PutArray(out, m.directories, [&](const ManifestDirectory& d) {
        out << "{\"set\": " << d.setNumber << ", \"path\": ";
        PutString(out, d.path);
        out << ", \"block_offset\": " << d.blockOffset << '}';
    });
    out << ",\n  \"file_count\": " << m.fileCount << ",\n  \"files\": ";
    PutArray(out, m.files, [&](const ManifestFile& f) { PutFile(out, f); });
    out << "\n}\n";
}

void WriteManifestJson(const Manifest& manifest, const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create manifest file '" + path.string() + "'");
    WriteManifestJson(manifest, out);
    out.flush();
    if (!out) throw std::runtime_error("cannot write manifest file '" + path.string() + "'");
}

}  // namespace ostrum::mtfwriter
