// SPDX-License-Identifier: GPL-3.0-or-later
// ostrum-mkmedia as golden cases (command, expected output or error, exit code), the sample medium, and the
// JSON manifest read back with an independent JSON parser.
#include "mkmedia_cli.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <sstream>

#include "chain_walker.h"
#include "damage.h"
#include "lzs_reference_decoder.h"
#include "manifest_json.h"
#include "sample_media.h"
#include "test_media.h"

namespace ostrum::mtfwriter::testing {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

CliRun Mkmedia(std::vector<std::string> args) {
    std::ostringstream out, err;
    CliRun r;
    r.code = RunMkmedia(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

QJsonObject ReadJson(const fs::path& p) {
    const auto bytes = ReadFile(p);
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())),
        &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return doc.object();
}

TEST(MkmediaUsage, HelpUnknownCommandsAndBadArguments) {
    const CliRun none = Mkmedia({});
    EXPECT_EQ(none.code, kExitUsage);
    EXPECT_EQ(none.err.rfind("usage: ostrum-mkmedia COMMAND", 0), 0u);

    const CliRun help = Mkmedia({"help"});
    EXPECT_EQ(help.code, kExitOk);
    EXPECT_NE(help.out.find("generate OUT --files N --folders M --file-size BYTES"), std::string::npos);

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"frobnicate"}, "ostrum-mkmedia: unknown command 'frobnicate' (try 'ostrum-mkmedia help')\n"},
        {{"sample"}, "ostrum-mkmedia: sample takes 1 argument(s), got 0 (try 'ostrum-mkmedia help')\n"},
        {{"sample", "x.img", "--bogus"},
         "ostrum-mkmedia: unknown option --bogus for sample (try 'ostrum-mkmedia help')\n"},
        {{"sample", "x.img", "--block-size", "1000"},
         "ostrum-mkmedia: --block-size must be a multiple of 512, not 1000 (try 'ostrum-mkmedia help')\n"},
        {{"sample", "x.img", "--block-size"},
         "ostrum-mkmedia: option --block-size needs 1 value(s) (try 'ostrum-mkmedia help')\n"},
        {{"sample", "x.tap", "--tap", "--soft-filemarks"},
         "ostrum-mkmedia: --soft-filemarks is for image files; a .tap has real tape marks (try "
         "'ostrum-mkmedia help')\n"},
        {{"sample", "x.img", "--logical-block-size", "2048"},
         "ostrum-mkmedia: --logical-block-size must be 512 or 1024 (try 'ostrum-mkmedia help')\n"},
        {{"generate", "g.img", "--folders", "1", "--file-size", "1"},
         "ostrum-mkmedia: generate needs --files (try 'ostrum-mkmedia help')\n"},
        {{"generate", "g.img", "--files", "1", "--folders", "1", "--file-size", "12Q"},
         "ostrum-mkmedia: --file-size has an unknown suffix: '12Q' (try 'ostrum-mkmedia help')\n"},
        {{"generate", "g.img", "--files", "x", "--folders", "1", "--file-size", "1"},
         "ostrum-mkmedia: --files must be a number, not 'x' (try 'ostrum-mkmedia help')\n"},
        {{"generate", "g.img", "--files", "1", "--folders", "1", "--file-size", "1", "--sets", "0"},
         "ostrum-mkmedia: --sets must be 1 to 65535 (try 'ostrum-mkmedia help')\n"},
        {{"damage", "a", "b"},
         "ostrum-mkmedia: damage takes exactly one of --cut, --zero, --shift, --insert, --truncate (try "
         "'ostrum-mkmedia help')\n"},
        {{"damage", "a", "b", "--cut", "1", "--shift", "2"},
         "ostrum-mkmedia: damage takes exactly one of --cut, --zero, --shift, --insert, --truncate (try "
         "'ostrum-mkmedia help')\n"},
        {{"damage", "a", "b", "--zero", "5"},
         "ostrum-mkmedia: option --zero needs 2 value(s) (try 'ostrum-mkmedia help')\n"},
    };
    for (const auto& [args, expected] : cases) {
        const CliRun r = Mkmedia(args);
        EXPECT_EQ(r.code, kExitUsage) << args[0];
        EXPECT_EQ(r.err, expected);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(fs::exists("x.img"));
}

TEST(MkmediaSample, WritesTheSampleImageManifestAndTape) {
    TempDir tmp;
    const std::string img = (tmp / "sample.img").string();
    const std::string json = (tmp / "sample.json").string();
    const CliRun r = Mkmedia({"sample", img, "--manifest", json});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "wrote " + img +
                         ": image, 3 sets, 16 files, 126976 bytes of tape data\nmanifest: " + json + "\n");

    const auto image = ReadFile(img);
    MemorySink memory;
    WriteMedia(SampleMedia(), memory);
    EXPECT_EQ(image, memory.bytes) << "the sample is the same bytes every time";
    const Walk walk = WalkImage(image, 512);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();
    EXPECT_EQ(walk.ofType("SSET").size(), 3u);

    const QJsonObject doc = ReadJson(json);
    EXPECT_EQ(doc["image_size"].toInteger(), static_cast<qint64>(image.size()));
    EXPECT_EQ(doc["file_count"].toInteger(), 16);
    const QJsonArray files = doc["files"].toArray();
    ASSERT_EQ(files.size(), 16);
    const auto fileBlocks = walk.ofType("FILE");
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QJsonObject f = files[i].toObject();
        const WalkedBlock& b = *fileBlocks[static_cast<std::size_t>(i)];
        EXPECT_EQ(f["file_block_offset"].toInteger(), static_cast<qint64>(b.offset));
        EXPECT_EQ(f["data_offset"].toInteger(), static_cast<qint64>(b.stream("STAN")->dataOffset()));
        EXPECT_EQ(f["name"].toString().toStdU16String(), b.name);
    }
    EXPECT_EQ(files[4]["name"].toString(), QString::fromUtf8("Résumé.doc"));
    EXPECT_EQ(files[0]["mtime"].toString(), "2024-04-02 10:15:00");
    const QJsonArray dirs = doc["directories"].toArray();
    EXPECT_EQ(dirs[8].toObject()["path"].toString(), QString::fromUtf8("MAIL\\Données"));
    EXPECT_EQ(doc["filemarks"].toArray().size(), 9);
    EXPECT_EQ(doc["sets"].toArray()[1].toObject()["compressed"].toBool(), true);

    const std::string tap = (tmp / "sample.tap").string();
    const CliRun t = Mkmedia({"sample", tap, "--tap", "--block-size", "16K"});
    ASSERT_EQ(t.code, kExitOk) << t.err;
    const ParsedTap parsed = ParseTap(ReadFile(tap));
    ASSERT_EQ(parsed.error, "");
    const Walk tapWalk = WalkImage(parsed.data, 16384);
    EXPECT_TRUE(tapWalk.errors.empty()) << tapWalk.errors.front();
    EXPECT_EQ(parsed.marks, tapWalk.filemarks);
}

TEST(MkmediaSample, HoldsTheAdvertisedKindsOfFiles) {
    MemorySink sink;
    const Manifest m = WriteMedia(SampleMedia(), sink);
    std::map<std::string, const ManifestFile*> byName;
    for (const auto& f : m.files) byName[f.name] = &f;
    ASSERT_TRUE(byName.count("README") && byName.count("sunset.bmp") && byName.count("report.doc") &&
                byName.count("payroll.doc") && byName.count("sales.csv") && byName.count("Résumé.doc"));
    const ManifestFile& bmp = *byName["sunset.bmp"];
    EXPECT_EQ(Slice(sink.bytes, *bmp.dataOffset, 2), BytesOf("BM"));
    EXPECT_EQ(ReadU32(sink.bytes, *bmp.dataOffset + 2), bmp.dataLength);
    const ManifestFile& payroll = *byName["payroll.doc"];
    EXPECT_GT(*payroll.dataOffset - 22 - payroll.fileBlockOffset, 512u);
    const ManifestFile& csv = *byName["sales.csv"];
    EXPECT_TRUE(csv.compressed);
    EXPECT_GT(csv.originalLength, 65536u) << "spans several compression frames";
    const Decoded d = DecodeFrames(Slice(sink.bytes, *csv.dataOffset, csv.dataLength));
    ASSERT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(d)) << std::get<DecodeError>(d).what;
    EXPECT_EQ(std::get<std::vector<std::uint8_t>>(d).size(), csv.originalLength);
}

TEST(MkmediaFromDir, OneSetFromAFolderAndErrorsLeaveNoOutput) {
    TempDir tmp;
    fs::create_directories(tmp / "src" / "docs");
    WriteFile(tmp / "src" / "docs" / "a.txt", std::string(100000, 'a'));
    WriteFile(tmp / "src" / "top.txt", "top");
    const std::string img = (tmp / "dir.img").string();
    const std::string json = (tmp / "dir.json").string();
    const CliRun r = Mkmedia({"from-dir", (tmp / "src").string(), img, "--set-name", "Mine", "--compress",
                              "--soft-filemarks", "--logical-block-size", "512", "--manifest", json});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out.rfind("wrote " + img + ": image, 1 set, 2 files, ", 0), 0u) << r.out;
    const auto image = ReadFile(img);
    const Walk walk = WalkImage(image, 512);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();
    EXPECT_TRUE(walk.softFilemarks);
    EXPECT_EQ(walk.ofType("SSET")[0]->name, u"Mine");
    const QJsonObject doc = ReadJson(json);
    const QJsonObject a = doc["files"].toArray()[1].toObject();
    EXPECT_EQ(a["directory"].toString(), "docs");
    EXPECT_TRUE(a["compressed"].toBool());
    EXPECT_LT(a["data_length"].toInteger(), 5000);
    EXPECT_EQ(a["original_length"].toInteger(), 100000);

    const std::string failed = (tmp / "failed.img").string();
    const CliRun bad = Mkmedia({"from-dir", (tmp / "nowhere").string(), failed});
    EXPECT_EQ(bad.code, kExitFailure);
    EXPECT_EQ(bad.err, "ostrum-mkmedia from-dir: '" + (tmp / "nowhere").string() + "' is not a folder\n");
    EXPECT_FALSE(fs::exists(failed));

    // That error comes before the output is created; this one comes from the writer, after it was.
    const CliRun late =
        Mkmedia({"from-dir", (tmp / "src").string(), failed, "--soft-filemarks", "--block-size", "64K"});
    EXPECT_EQ(late.code, kExitFailure);
    EXPECT_EQ(late.err,
              "ostrum-mkmedia from-dir: soft filemarks need a physical block size of at most 32768 bytes\n");
    EXPECT_FALSE(fs::exists(failed));
}

TEST(MkmediaGenerate, SpreadsFilesOverFoldersAndSets) {
    TempDir tmp;
    const std::string img = (tmp / "gen.img").string();
    const std::string json = (tmp / "gen.json").string();
    const CliRun r = Mkmedia({"generate", img, "--files", "10", "--folders", "3", "--file-size", "1K",
                              "--sets", "2", "--seed", "5", "--manifest", json});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const auto image = ReadFile(img);
    const Walk walk = WalkImage(image, 512);
    ASSERT_TRUE(walk.errors.empty()) << walk.errors.front();
    EXPECT_EQ(walk.ofType("SSET").size(), 2u);
    EXPECT_EQ(walk.ofType("FILE").size(), 10u);
    EXPECT_EQ(walk.ofType("DIRB").size(), 2u + 3u);  // a root per set and three folders
    const QJsonArray files = ReadJson(json)["files"].toArray();
    ASSERT_EQ(files.size(), 10);
    EXPECT_EQ(files[0].toObject()["directory"].toString(), "dir000000");
    EXPECT_EQ(files[9].toObject()["directory"].toString(), "dir000002");
    EXPECT_EQ(files[9].toObject()["set"].toInt(), 2);
    const auto off = static_cast<std::uint64_t>(files[4].toObject()["data_offset"].toInteger());
    std::vector<std::uint8_t> expected(1024);
    FillGenerated(5 * 1000003 + 4, 0, expected);
    EXPECT_EQ(Slice(image, off, 1024), expected);

    const std::string tap = (tmp / "gen.tap").string();
    // TAPE 256K | SSET, VOLB, DIRB and three 301K files padded to 1024K | ESET 256K | EOTM 256K.
    const CliRun t = Mkmedia({"generate", tap, "--files", "3", "--folders", "0", "--file-size", "300K",
                              "--tap", "--block-size", "256K"});
    ASSERT_EQ(t.code, kExitOk) << t.err;
    EXPECT_EQ(t.out, "wrote " + tap +
                         ": .tap with 262144-byte records, 1 set, 3 files, 1835008 bytes of tape data\n");
    const ParsedTap parsed = ParseTap(ReadFile(tap));
    ASSERT_EQ(parsed.error, "");
    for (std::uint32_t size : parsed.recordSizes) EXPECT_EQ(size, 262144u);

    // --split-at given twice cuts the one large file twice: three media, each after the first going on with
    // it.
    const std::string a = (tmp / "a.img").string(), b = (tmp / "b.img").string(),
                      c = (tmp / "c.img").string();
    const CliRun split = Mkmedia({"generate", a, "--files", "1", "--folders", "0", "--file-size", "400000",
                                  "--split-at", "10000", b, "--split-at", "150000", c});
    ASSERT_EQ(split.code, kExitOk) << split.err;
    EXPECT_NE(split.out.find("spread over 3 media: " + a + " holds "), std::string::npos) << split.out;
    for (const std::string& later : {b, c}) {
        const Walk medium = WalkImage(ReadFile(later), 512);
        ASSERT_EQ(medium.ofType("FILE").size(), 1u) << later;
        EXPECT_EQ(medium.ofType("FILE")[0]->attributes & 1u, 1u) << "a continuation";
    }
    EXPECT_EQ(
        Mkmedia({"generate", a, "--files", "1", "--folders", "0", "--file-size", "1", "--split-at", "1"})
            .code,
        kExitUsage);
}

TEST(MkmediaDamage, WritesTheDamagedCopyOrSaysWhyNot) {
    TempDir tmp;
    const std::string img = (tmp / "s.img").string();
    ASSERT_EQ(Mkmedia({"sample", img}).code, kExitOk);
    const std::string out = (tmp / "cut.img").string();
    const CliRun r = Mkmedia({"damage", img, out, "--cut", "1K"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "wrote " + out + ": 125952 bytes\n");
    auto expected = ReadFile(img);
    ApplyDamage(expected, Damage::CutFront(1024));
    EXPECT_TRUE(test_support::SameBytes(ReadFile(out), expected));

    const CliRun zero = Mkmedia({"damage", img, out, "--zero", "0", "512"});
    ASSERT_EQ(zero.code, kExitOk) << zero.err;
    EXPECT_EQ(Slice(ReadFile(out), 0, 4), (std::vector<std::uint8_t>{0, 0, 0, 0}));

    const CliRun junk = Mkmedia({"damage", img, out, "--insert", "60000", "7"});
    ASSERT_EQ(junk.code, kExitOk) << junk.err;
    expected = ReadFile(img);
    ApplyDamage(expected, Damage::InsertJunk(60000, 7));
    EXPECT_TRUE(test_support::SameBytes(ReadFile(out), expected));

    const std::string missing = (tmp / "missing.img").string();
    const CliRun bad = Mkmedia({"damage", missing, out, "--shift", "7"});
    EXPECT_EQ(bad.code, kExitFailure);
    EXPECT_EQ(bad.err, "ostrum-mkmedia damage: cannot open '" + missing + "': No such file or directory\n");
}

TEST(ManifestJson, OddNamesAreEscapedAndKeepTheirUnits) {
    MediaDescription media;
    media.sets.push_back(
        {.info = {.name = "q\"uote"},
         .entries = {FileEntry{
             .name = Name::Raw({u'a', 0, u'"', u'\\', 0xD800}), .data = BytesOf("1"), .noStan = true}}});
    MemorySink sink;
    const Manifest m = WriteMedia(media, sink);
    std::ostringstream out;
    WriteManifestJson(m, out);
    const std::string text = out.str();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << text;
    const QJsonObject f = doc.object()["files"].toArray()[0].toObject();
    EXPECT_EQ(f["name"].toString(), QString::fromStdU16String(std::u16string{u'a', 0, u'"', u'\\', 0xFFFD}));
    EXPECT_TRUE(f["data_offset"].isNull());
    const QJsonArray units = f["name_units"].toArray();
    ASSERT_EQ(units.size(), 5);
    EXPECT_EQ(units[4].toInt(), 0xD800);
    EXPECT_EQ(doc.object()["sets"].toArray()[0].toObject()["name"].toString(), "q\"uote");
}

}  // namespace
}  // namespace ostrum::mtfwriter::testing
