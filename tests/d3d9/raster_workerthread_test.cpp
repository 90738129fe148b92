// The rasteriser's second thread: jobs run on both sides and Run returns
// only after both; phases separated by Sync see each other's results, back
// to back (while the worker spins) and after pauses long enough for either
// side to fall asleep.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "workerthread.h"

namespace wbx::raster {
namespace {

TEST(RasterWorkerThread, PhasesSeeEachOthersResultsAwakeAndAfterSleeping) {
    WorkerThread worker;
    std::vector<int> first(2), second(2), third(2);
    for (int round = 0; round < 60; ++round) {
        // Every fifth job comes after the worker has had time to fall asleep;
        // in every third one side reaches the meeting late.
        if (round % 5 == 4) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const int lateSide = round % 3 == 0 ? round % 2 : -1;
        const std::function<void(int)> job = [&](int index) {
            if (index == lateSide) std::this_thread::sleep_for(std::chrono::microseconds(300));
            first[index] = round * 10 + index;
            worker.Sync();
            // The other side's first phase is complete here.
            second[index] = first[1 - index] + 1000;
            worker.Sync();
            if (index == 1 - lateSide) std::this_thread::sleep_for(std::chrono::microseconds(200));
            third[index] = round;
        };
        worker.Run(job);
        // Both sides finished before Run returned.
        ASSERT_EQ(second[0], round * 10 + 1 + 1000) << "round " << round;
        ASSERT_EQ(second[1], round * 10 + 1000) << "round " << round;
        ASSERT_EQ(third[0], round) << "round " << round;
        ASSERT_EQ(third[1], round) << "round " << round;
    }
}

}  // namespace
}  // namespace wbx::raster
