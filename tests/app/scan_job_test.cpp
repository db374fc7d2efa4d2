// SPDX-License-Identifier: GPL-3.0-or-later
// The scan job's hand-over: the test thread reads every row and node the worker has published while
// the worker goes on appending more (run under ThreadSanitizer too), a job that goes away while its
// worker runs stops and joins it, and the window takes a scan's end as soon as it is published.
#include <chrono>
#include <thread>

#include "app_fixture.h"
#include "catalog/shell_file_info.h"
#include "damage.h"

namespace ostrum::app::testing {
namespace {

// Enough files that the scan is still running when the test first looks, however fast the scan gets.
constexpr std::uint64_t kFiles = 60000;

std::string writeManyFiles(const TestFolder& folder) {
    const auto path = folder.path("many.img");
    mw::ImageFileSink sink(path);
    mw::MediaWriter writer(sink, {.mediaName = "Many", .logicalBlockSize = 512}, {.recordFiles = false});
    writer.BeginSet({.name = "Many"});
    for (std::uint64_t file = 0; file < kFiles; ++file) {
        if (file % 150 == 0) writer.AddDirectory({.path = {"D" + std::to_string(file / 150)}});
        writer.AddFile({.name = "F" + std::to_string(file) + ".TXT", .data = mw::BytesOf("x")});
    }
    writer.EndSet();
    writer.Finish();
    return path.string();
}

TEST(ScanJob, PublishedRowsAndNodesAreReadWhileTheScanGrowsThem) {
    TestFolder folder;
    const std::string image = writeManyFiles(folder);
    catalog::Catalog catalog(std::make_shared<catalog::ExtensionFileInfo>());
    ScanJob job(scanOf(imageSource(image)), catalog);
    job.start();
    ScanSnapshot seen;
    int looks = 0;
    for (bool finished = false; !finished; ++looks) {
        const ScanSnapshot now = job.take();
        ASSERT_GE(now.rows, seen.rows);
        ASSERT_GE(now.nodes, seen.nodes);
        for (std::size_t row = seen.rows; row < now.rows; ++row) {
            ASSERT_TRUE(catalog.row(row).path().starts_with("TAPE MEDIA\\BACKUP SET 1(_Many)\\D")) << row;
            ASSERT_TRUE(catalog.row(row).dataOffset().has_value());
        }
        for (auto node = static_cast<catalog::NodeId>(seen.nodes); node < now.nodes; ++node) {
            const auto& made = catalog.node(node);
            ASSERT_TRUE(made.parent == catalog::kNoNode || made.parent < node);
            ASSERT_FALSE(made.text.empty());
        }
        seen = now;
        finished = now.finished;
        std::this_thread::yield();
    }
    job.join();
    EXPECT_GT(looks, 1);
    EXPECT_EQ(seen.rows, kFiles);
    EXPECT_EQ(seen.nodes, catalog.nodeCount());
    EXPECT_EQ(seen.status, "Total File Found :" + std::to_string(kFiles));
    EXPECT_TRUE(seen.end.error.empty());
}

TEST(ScanJob, AJobThatGoesAwayStopsAndJoinsItsWorkerAndAMissingImageIsAnError) {
    TestFolder folder;
    const std::string image = writeManyFiles(folder);
    {
        catalog::Catalog catalog(std::make_shared<catalog::ExtensionFileInfo>());
        ScanJob job(scanOf(imageSource(image)), catalog);
        job.start();
    }  // the catalog goes only after the worker has ended

    catalog::Catalog catalog(std::make_shared<catalog::ExtensionFileInfo>());
    ScanJob missing(scanOf(imageSource(folder.path("none.img").string())), catalog);
    missing.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return missing.take().finished; }));
    EXPECT_NE(missing.take().end.error.find("none.img"), std::string::npos);
    EXPECT_EQ(missing.take().rows, 0u);
}

// The deep scan is the source's to choose: an image cut by 100 bytes lists its files only with it.
TEST(ScanJob, TheSourceChoosesTheDeepScanForAnImageOffTheGrid) {
    TestFolder folder;
    const std::string cut = folder.path("cut.img").string();
    mw::DamageFile(writeManyFiles(folder), cut, mw::Damage::CutFront(100));
    for (bool deep : {false, true}) {
        catalog::Catalog catalog(std::make_shared<catalog::ExtensionFileInfo>());
        ScanSource source = imageSource(cut);
        source.deep = deep;
        ScanJob job(scanOf(source), catalog);
        job.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return job.take().finished; }, 20000));
        EXPECT_EQ(job.take().rows, deep ? kFiles : 0u);
    }
}

// The window shows a scan's end as soon as the worker has published it, not at its timer's next look:
// posted events alone, which run no timer, end the scan in the window.
TEST(ScanJob, TheWindowTakesTheEndOfAScanWithoutWaitingForItsTimer) {
    TestFolder folder;
    RecoveryWindow window(imageSource(folder.writeImage(windowMedia())));
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (window.isScanRunning() && std::chrono::steady_clock::now() < giveUp) {
        QCoreApplication::sendPostedEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_FALSE(window.isScanRunning());
    EXPECT_EQ(window.catalog().rowCount(), windowMediaPaths().size());
}

}  // namespace
}  // namespace ostrum::app::testing
