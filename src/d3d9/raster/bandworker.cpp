#include "bandworker.h"

namespace wbx::raster {

BandWorker::BandWorker() : thread_([this] { Loop(); }) {}

BandWorker::~BandWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void BandWorker::Run(const std::function<void(int)>& job) {
    uint64_t ticket;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job_ = &job;
        ticket = ++posted_;
    }
    wake_.notify_one();
    job(0);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return finished_ == ticket; });
    job_ = nullptr;
}

void BandWorker::Loop() {
    uint64_t seen = 0;
    for (;;) {
        const std::function<void(int)>* job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || posted_ != seen; });
            if (stop_) return;
            seen = posted_;
            job = job_;
        }
        (*job)(1);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = seen;
        }
        done_.notify_one();
    }
}

}  // namespace wbx::raster
