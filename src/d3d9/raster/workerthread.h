#pragma once
// A second thread for the rasteriser. Run hands a job to the worker and runs
// it on the calling thread as well, each with its own index, and returns
// when both are done. Between jobs the worker waits a little while awake
// (the next job of a frame usually follows at once), then sleeps. Either
// side that waits for the other spins briefly, then sleeps.
//
// Inside a job the two may meet at Sync: each waits there until the other
// has arrived, so a job can run in phases whose results the next phase of
// the other thread reads.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace wbx::raster {

class WorkerThread {
public:
    WorkerThread();
    ~WorkerThread();  // finishes and joins the thread
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Calls job(1) on the worker and job(0) on the caller; returns after both.
    // The job must not throw.
    void Run(const std::function<void(int)>& job);

    // Called by both sides of a job, the same number of times: returns when
    // the other side has reached the same call.
    void Sync();

private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<const std::function<void(int)>*> job_{nullptr};  // set while a Run is in progress
    std::atomic<uint64_t> posted_{0};                            // jobs handed over
    std::atomic<uint64_t> finished_{0};                          // jobs the worker completed
    std::atomic<bool> sleeping_{false};
    bool stop_ = false;  // under mutex_
    // Sync: arrivals at the current meeting, and meetings completed.
    std::atomic<int> arrived_{0};
    std::atomic<uint64_t> meetings_{0};
    std::thread thread_;  // last: starts after the fields it reads
};

}  // namespace wbx::raster
