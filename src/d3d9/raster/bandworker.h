#pragma once
// A second thread for the rasteriser. Run hands a job to the worker and runs
// it on the calling thread as well, each with its own band index, and
// returns when both are done. The worker sleeps between jobs.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace wbx::raster {

class BandWorker {
public:
    BandWorker();
    ~BandWorker();  // finishes and joins the thread
    BandWorker(const BandWorker&) = delete;
    BandWorker& operator=(const BandWorker&) = delete;

    // Calls job(1) on the worker and job(0) on the caller; returns after both.
    // The job must not throw.
    void Run(const std::function<void(int)>& job);

private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(int)>* job_ = nullptr;  // valid while a Run is in progress
    uint64_t posted_ = 0;                            // jobs handed over
    uint64_t finished_ = 0;                          // jobs the worker completed
    bool stop_ = false;
    std::thread thread_;  // last: starts after the fields it reads
};

}  // namespace wbx::raster
