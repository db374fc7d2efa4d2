// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal_progress.h"

#include <gtest/gtest.h>

namespace ostrum::cli {
namespace {

// The count of files found is kept as a number and its text formed when the status is read: whichever of
// a status text and the count came last is the status (the listing's "status").
TEST(ScanProgressSink, TheStatusIsTheTextOrTheCountThatCameLast) {
    TerminalProgress progress;
    ScanProgressSink sink(progress);
    EXPECT_EQ(sink.status(), "");
    sink.StatusLine("Serching Files");
    sink.FilesFound(41);
    sink.FilesFound(42);
    EXPECT_EQ(sink.status(), "Total File Found :42");
    sink.StatusLine("Serching Files");  // the scan of the next medium begins
    EXPECT_EQ(sink.status(), "Serching Files");
    sink.FilesFound(18446744073709551615u);
    EXPECT_EQ(sink.status(), "Total File Found :18446744073709551615");
}

}  // namespace
}  // namespace ostrum::cli
