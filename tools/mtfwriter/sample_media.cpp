// SPDX-License-Identifier: GPL-3.0-or-later
#include "sample_media.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace ostrum::mtfwriter {

namespace {

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> TextLines(const std::string& title, int lines, const std::string& body) {
    std::string text = title + "\r\n\r\n";
    for (int i = 1; i <= lines; ++i) text += std::to_string(i) + ". " + body + "\r\n";
    return BytesOf(text);
}

// The first sector of an OLE compound document (what .doc files start with), then the text.
std::vector<std::uint8_t> WordDocument(const std::string& text) {
    static constexpr std::uint8_t kOleSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::vector<std::uint8_t> out(512, 0);
    std::copy(std::begin(kOleSignature), std::end(kOleSignature), out.begin());
    const auto body = BytesOf(text);
    out.insert(out.end(), body.begin(), body.end());
    out.resize((out.size() + 511) / 512 * 512, 0);
    return out;
}

std::vector<std::uint8_t> CsvTable(int rows) {
    std::string csv = "date,store,item,quantity,price\n";
    for (int i = 0; i < rows; ++i) {
        csv += "2024-0" + std::to_string(1 + i % 9) + "-" + std::to_string(10 + i % 18) + ",store" +
               std::to_string(i % 7) + ",item" + std::to_string(i % 41) + "," + std::to_string(1 + i % 12) +
               "," + std::to_string(100 + (i * 37) % 900) + ".99\n";
    }
    return BytesOf(csv);
}

constexpr MtfDate kTapeDate{2024, 5, 17, 9, 30, 0};

DataSet OfficeSet() {
    DataSet set{.info = {.name = "Office documents",
                         .description = "Weekly full backup of the office PC",
                         .userName = "OFFICE\\alice",
                         .type = BackupType::Normal,
                         .date = {2024, 5, 17, 9, 31, 5},
                         .machineName = "OFFICE-PC"}};
    set.entries = {
        DirectoryEntry{.path = {}, .mtime = {2024, 5, 1, 8, 0, 0}},
        FileEntry{.name = "README",
                  .mtime = {2024, 4, 2, 10, 15, 0},
                  .data = TextLines("Read me first", 12, "Backups run every Friday evening.")},
        FileEntry{.name = "notes.txt",
                  .mtime = {2024, 5, 16, 17, 45, 12},
                  .data = TextLines("Notes", 40, "Call the supplier about the late delivery.")},
        DirectoryEntry{.path = {"DOCS"}, .mtime = {2024, 5, 10, 9, 0, 0}},
        FileEntry{
            .name = "A.TXT", .mtime = {2024, 1, 5, 12, 0, 0}, .data = BytesOf("A short text file.\r\n")},
        FileEntry{.name = "report.doc",
                  .mtime = {2024, 5, 9, 16, 20, 41},
                  .data = WordDocument("Quarterly report. Sales rose in every region but one.")},
        FileEntry{.name = "Résumé.doc",
                  .mtime = {2024, 3, 14, 11, 11, 11},
                  .data = WordDocument("Curriculum vitae of the office manager.")},
        DirectoryEntry{.path = {"DOCS", "LETTERS"}, .mtime = {2024, 2, 1, 8, 30, 0}},
        FileEntry{.name = "january.txt",
                  .mtime = {2024, 1, 31, 15, 2, 0},
                  .data = TextLines("Dear customer,", 25, "Thank you for your order of January.")},
        FileEntry{.name = "february.txt",
                  .mtime = {2024, 2, 29, 15, 2, 0},
                  .data = TextLines("Dear customer,", 25, "Thank you for your order of February.")},
        DirectoryEntry{.path = {"PICTURES"}, .mtime = {2024, 4, 20, 19, 0, 0}},
        FileEntry{.name = "sunset.bmp", .mtime = {2023, 8, 12, 20, 41, 3}, .data = SampleBitmap(96, 64, 1)},
        FileEntry{.name = "logo.bmp", .mtime = {2022, 11, 3, 9, 5, 0}, .data = SampleBitmap(32, 32, 7)},
        DirectoryEntry{.path = {"SECURE"}, .mtime = {2024, 5, 2, 7, 0, 0}},
        FileEntry{.name = "payroll.doc",
                  .mtime = {2024, 4, 30, 18, 0, 0},
                  .data = WordDocument("Payroll for April. Confidential."),
                  .naclBytes = 628,
                  .csum = true},
    };
    return set;
}

DataSet ProjectsSet() {
    std::string source;
    for (int i = 0; i < 60; ++i) {
        source += "int step" + std::to_string(i) + "(int x) {\n    return x * " + std::to_string(i + 2) +
                  " + " + std::to_string(i) + ";\n}\n\n";
    }
    DataSet set{.info = {.name = "Weekly projects",
                         .description = "Compressed backup of the project folders",
                         .userName = "OFFICE\\bob",
                         .type = BackupType::Normal,
                         .compressed = true,
                         .date = {2024, 5, 17, 9, 40, 0},
                         .machineName = "BUILD-PC"}};
    set.entries = {
        DirectoryEntry{.path = {"PROJECTS"}, .mtime = {2024, 5, 15, 10, 0, 0}},
        DirectoryEntry{.path = {"PROJECTS", "ostrum"}, .mtime = {2024, 5, 15, 10, 0, 0}},
        FileEntry{.name = "main.cpp", .mtime = {2024, 5, 15, 9, 59, 30}, .data = BytesOf(source)},
        FileEntry{.name = "changelog.txt",
                  .mtime = {2024, 5, 14, 18, 0, 0},
                  .data = TextLines("Changes", 80, "Fixed a crash when the tape ends early.")},
        FileEntry{.name = "sales.csv", .mtime = {2024, 5, 13, 8, 0, 0}, .data = CsvTable(4000)},
        FileEntry{.name = "archive.backup",
                  .mtime = {2024, 5, 1, 0, 0, 0},
                  .data = GeneratedData{.size = 20000, .seed = 2024}},
    };
    return set;
}

DataSet MailSet() {
    DataSet set{.info = {.name = "Daily mail",
                         .description = "Differential backup of the mail folder",
                         .userName = "OFFICE\\alice",
                         .type = BackupType::Differential,
                         .date = {2024, 5, 18, 22, 0, 0},
                         .machineName = "OFFICE-PC"}};
    set.entries = {
        DirectoryEntry{.path = {"MAIL"}, .mtime = {2024, 5, 18, 21, 0, 0}},
        FileEntry{.name = "inbox.txt",
                  .mtime = {2024, 5, 18, 20, 59, 0},
                  .data = TextLines("Inbox", 30, "Meeting moved to Tuesday.")},
        DirectoryEntry{.path = {"MAIL", "Données"}, .mtime = {2024, 5, 18, 21, 0, 0}},
        FileEntry{.name = "budget.txt",
                  .mtime = {2024, 5, 18, 12, 0, 0},
                  .data = TextLines("Budget", 10, "Travel: 1200 EUR.")},
    };
    return set;
}

}  // namespace

std::vector<std::uint8_t> SampleBitmap(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
    const std::uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    const std::uint32_t pixelBytes = rowBytes * height;
    std::vector<std::uint8_t> out = {'B', 'M'};
    PutLe(out, 14 + 40 + pixelBytes, 4);  // file size
    PutLe(out, 0, 4);                     // reserved
    PutLe(out, 14 + 40, 4);               // offset of the pixels
    PutLe(out, 40, 4);                    // BITMAPINFOHEADER size
    PutLe(out, width, 4);
    PutLe(out, height, 4);
    PutLe(out, 1, 2);   // planes
    PutLe(out, 24, 2);  // bits per pixel
    PutLe(out, 0, 4);   // no compression
    PutLe(out, pixelBytes, 4);
    PutLe(out, 2835, 4);  // 72 dpi
    PutLe(out, 2835, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            out.push_back(static_cast<std::uint8_t>(x * 255 / width + seed));   // blue
            out.push_back(static_cast<std::uint8_t>(y * 255 / height));         // green
            out.push_back(static_cast<std::uint8_t>((x + y) * 4 + seed * 16));  // red
        }
        out.resize(out.size() + (rowBytes - width * 3), 0);
    }
    return out;
}

MediaDescription SampleMedia() {
    MediaDescription media{.tape = {.mediaName = "Brivane Ostrum sample tape",
                                    .mediaDescription = "Sample medium made by ostrum-mkmedia",
                                    .logicalBlockSize = 1024,
                                    .mediaFamilyId = 0x20240517,
                                    .date = kTapeDate}};
    media.sets = {OfficeSet(), ProjectsSet(), MailSet()};
    return media;
}

}  // namespace ostrum::mtfwriter
