// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace ostrum::common {
namespace {

// Work that runs until its stop flag is set, counting the runs that reached their end.
void RunUntilStopped(const WorkerThread& worker, std::atomic<int>& ended) {
    while (!worker.stopRequested()) std::this_thread::yield();
    ++ended;
}

TEST(WorkerThreadTest, StopRunsTheOwnersStepAndANewStartClearsTheFlag) {
    std::atomic<int> stops{0}, ended{0};
    WorkerThread worker([&] { ++stops; });
    ASSERT_TRUE(worker.Start([&] { RunUntilStopped(worker, ended); }));
    EXPECT_FALSE(worker.Start([] {})) << "a second thread while the first runs";
    worker.StopAndJoin();
    EXPECT_EQ(ended.load(), 1);
    EXPECT_EQ(stops.load(), 1);
    EXPECT_FALSE(worker.started());

    // A stop asked for the run before does not end the next one at once.
    ASSERT_TRUE(worker.Start([&] {
        EXPECT_FALSE(worker.stopRequested());
        ++ended;
    }));
    worker.Join();
    EXPECT_EQ(ended.load(), 2);
}

TEST(WorkerThreadTest, DestructionStopsAndJoinsRunningWork) {
    std::atomic<int> ended{0};
    {
        WorkerThread worker;
        worker.Start([&] { RunUntilStopped(worker, ended); });
    }  // the work must have been stopped and joined: a std::thread destroyed while joinable ends the program
    EXPECT_EQ(ended.load(), 1);
}

}  // namespace
}  // namespace ostrum::common
