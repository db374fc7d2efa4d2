// SPDX-License-Identifier: GPL-3.0-or-later
// A backup spread over several media in the recovery window: the media named while they are scanned, a file
// cut by the end of a medium shown as one row and saved whole as extract saves it, media put in the order of
// their sequence numbers, and several tape drives read but not saved from.
#include "app/resources/program_message.h"
#include "app/source_arguments.h"
#include "app_fixture.h"
#include "cli_golden.h"
#include "mimeinfo/mime_file_info.h"
#include "ui/skin/skin_static.h"

namespace ostrum::app::testing {
namespace {

const std::string kHugePath = "TAPE MEDIA\\BACKUP SET 1(_Daily)\\DOCS\\HUGE.BIN";

ScanSource mediaSource(const std::vector<std::string>& paths) {
    ScanSource source = imageSource(paths.front());
    source.laterSources.assign(paths.begin() + 1, paths.end());
    return source;
}

// The status lines a scan gives, each once.
class StatusLines final : public catalog::CatalogSink {
  public:
    void StatusLine(std::string_view text) override {
        if (lines.empty() || lines.back() != text) lines.emplace_back(text);
    }
    std::vector<std::string> lines;
};

TEST(SpannedMedia, TwoAndThreeMediaScanAsOneBackupWithOneRowPerFileAndSaveWhatExtractSaves) {
    TestFolder folder;
    const auto two = writeSpreadMedia(folder, {"two1.bkf", "two2.bkf"}, {20000});
    const auto three = writeSpreadMedia(folder, {"a.bkf", "b.bkf", "c.bkf"}, {20000, 200000});

    // The status line names the medium being scanned, by its file name; at the end, what was found.
    catalog::Catalog scanned(std::make_shared<mimeinfo::MimeFileInfo>());
    StatusLines status;
    std::atomic<bool> active{true}, stop{false};
    const ScanEnd end = scanOf(mediaSource(three))(scanned, status, active, stop);
    EXPECT_EQ(end.error, "");
    EXPECT_EQ(status.lines, (std::vector<std::string>{"medium 1 of 3: a.bkf", "medium 2 of 3: b.bkf",
                                                      "medium 3 of 3: c.bkf", "Total File Found :3"}));

    for (const auto& media : {two, three}) {
        SCOPED_TRACE(media.size());
        RecoveryWindow window(mediaSource(media));
        const auto saved = folder.path("saved" + std::to_string(media.size()));
        std::filesystem::create_directory(saved);
        window.setFolderChooser([&] { return QString::fromStdString(saved.string()); });
        ASSERT_TRUE(waitForScanEnd(window));
        ASSERT_EQ(window.catalog().rowCount(), 3u);
        EXPECT_EQ(window.catalog().row(1).path().str(), kHugePath);
        EXPECT_EQ(window.catalog().row(1).size(), 400000u);

        MessageAnswerer answers;
        window.saveCheckedFiles();
        EXPECT_EQ(answers.texts(),
                  QStringList(QStringLiteral("All 3 files were saved in %1.")
                                  .arg(app::plainMessageText(QString::fromStdString(saved)))));
        std::string words = "extract";
        for (const std::string& medium : media) words += " '" + medium + "'";
        const auto cli = folder.path("cli" + std::to_string(media.size()));
        const auto extract =
            cli::testing::RunCli(words + " '" + cli.string() + "'", folder.path("err").string());
        ASSERT_EQ(extract.status, 0) << extract.out << extract.err;
        const auto files = filesBelow(saved);
        EXPECT_EQ(files, filesBelow(cli));
        EXPECT_EQ(files.at("BACKUP SET 1(_Daily)/DOCS/HUGE.BIN").size(), 400000u);
    }

    // Without the last medium, HUGE.BIN is kept as a part and the account names the medium it needs. The
    // status line says so at once; it used to read "Serching Files" when the last medium read held no new
    // file, its start having replaced the count.
    RecoveryWindow window(mediaSource({three[0], three[1]}));
    window.setFolderChooser([&] { return folder.qpath("part"); });
    std::filesystem::create_directory(folder.path("part"));
    ASSERT_TRUE(waitForScanEnd(window));
    EXPECT_EQ(window.statusLine()->text().toStdString(),
              "Total File Found :2; medium 3 of media family 0x0000BEEF was not given: 1 file cut short");
    MessageAnswerer answers;
    std::vector<QString> details;
    answers.setWatcher([&](ui::MessageBoxDialog& box) { details.push_back(box.details()); });
    window.saveCheckedFiles();
    ASSERT_EQ(details.size(), 1u);
    EXPECT_TRUE(
        details[0].contains(QStringLiteral("the rest of its data is on medium 3 of media family "
                                           "0x0000BEEF, which was not read")))
        << details[0].toStdString();
    EXPECT_TRUE(std::filesystem::exists(folder.path("part/BACKUP SET 1(_Daily)/DOCS/HUGE.BIN.partial")));
}

// The refusal of another family through Load Image is in the wizard's tests, the rules of the order in the
// catalog's.
TEST(SpannedMedia, MediaNamedOutOfOrderAreSortedWithANoteAMissingOneIsSaidAndAnUnreadableOneRefused) {
    TestFolder folder;
    const auto media = writeSpreadMedia(folder, {"a.bkf", "b.bkf", "c.bkf"}, {20000, 200000});
    std::string error;
    auto source = parseSourceArguments(std::vector<std::string>{media[2], media[0], media[1]}, error);
    ASSERT_TRUE(source) << error;
    ASSERT_TRUE(putMediaInOrder(*source, error)) << error;
    RecoveryWindow window(*source);
    ASSERT_TRUE(waitForScanEnd(window));
    EXPECT_EQ(window.catalog().rowCount(), 3u);
    EXPECT_EQ(window.statusLine()->text().toStdString(),
              "Total File Found :3; media sorted by sequence number");
    EXPECT_EQ(window.statusLine()->toolTip().toStdString(),
              "Read in this order: " + media[0] + ", " + media[1] + ", " + media[2]);

    // The middle medium left out: said as soon as the scan ends, in the listing's words, with the file it
    // cuts in the tip (it used to be said only in the account of a save).
    RecoveryWindow gap(mediaSource({media[0], media[2]}));
    ASSERT_TRUE(waitForScanEnd(gap));
    EXPECT_EQ(gap.statusLine()->text().toStdString(),
              "Total File Found :3; medium 2 of media family 0x0000BEEF was not given: 1 file cut short");
    const QStringList tip = gap.statusLine()->toolTip().split(u'\n');
    ASSERT_EQ(tip.size(), 3) << gap.statusLine()->toolTip().toStdString();
    EXPECT_EQ(tip[0].toStdString(), media[2] +
                                        " is medium 3 of media family 0x0000BEEF, not the medium after " +
                                        media[0] + " (medium 1 of media family 0x0000BEEF)");
    EXPECT_EQ(tip[1], QStringLiteral("Medium 2 of media family 0x0000BEEF was not given: 1 file cut short:"));
    EXPECT_TRUE(tip[2].startsWith(QString::fromStdString("    " + kHugePath + ": bytes ")));
    EXPECT_TRUE(
        tip[2].endsWith(QStringLiteral(" are on medium 2 of media family 0x0000BEEF, which was not read")));

    ScanSource missing = mediaSource({media[0], folder.path("none.bkf").string()});
    EXPECT_FALSE(putMediaInOrder(missing, error));
    EXPECT_NE(error.find("none.bkf"), std::string::npos) << error;
}

TEST(SpannedMedia, SeveralDrivesAreReadInOrderButSavingFromThemIsRefusedWithTheAdvice) {
    TestFolder folder;
    mw::TapFileSink first(folder.path("a.tap"), 16384), second(folder.path("b.tap"), 16384);
    std::vector<mw::Sink*> sinks{&first, &second};
    mw::WriteSpannedMedia(spreadBackup(0xBEEF), sinks, std::vector<std::uint64_t>{100000});

    std::string error;
    const auto source = parseSourceArguments(
        std::vector<std::string>{"--attach", "0=" + folder.path("a.tap").string(), "--attach",
                                 "1=" + folder.path("b.tap").string(), "//./tape0", "//./tape1"},
        error);
    ASSERT_TRUE(source) << error;
    RecoveryWindow window(*source);
    ASSERT_TRUE(waitForScanEnd(window));
    ASSERT_EQ(window.catalog().rowCount(), 3u);
    EXPECT_EQ(window.catalog().row(1).path().str(), kHugePath);

    bool chosen = false;
    window.setFolderChooser([&] {
        chosen = true;
        return folder.qpath("saved");
    });
    MessageAnswerer answers;
    window.saveCheckedFiles();
    EXPECT_FALSE(chosen);
    EXPECT_EQ(answers.texts(), QStringList(QStringLiteral(
                                   "The files could not be saved: files are saved from one tape at a "
                                   "time; copy each tape of the backup into an image file and save from "
                                   "the images, given in order")));
}

}  // namespace
}  // namespace ostrum::app::testing
