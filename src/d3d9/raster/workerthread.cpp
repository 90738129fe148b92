#include "workerthread.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace wbx::raster {

namespace {

void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

// Pauses a waiting side spins before it sleeps: some microseconds.
constexpr int kSpins = 2000;

// Waits until `value` differs from `old`: a short spin first (the other side
// is usually about to get there), then asleep in the kernel, so that a busy
// machine's scheduler never finds a thread here burning time.
template <class T>
void WaitWhile(const std::atomic<T>& value, T old) {
    for (int i = 0; i < kSpins; ++i) {
        if (value.load(std::memory_order_acquire) != old) return;
        Pause();
    }
    while (value.load(std::memory_order_acquire) == old) value.wait(old, std::memory_order_acquire);
}

}  // namespace

WorkerThread::WorkerThread() : thread_([this] { Loop(); }) {}

WorkerThread::~WorkerThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void WorkerThread::Run(const std::function<void(int)>& job) {
    job_.store(&job, std::memory_order_relaxed);
    const uint64_t ticket = posted_.fetch_add(1, std::memory_order_seq_cst) + 1;
    if (sleeping_.load(std::memory_order_seq_cst)) {
        std::lock_guard<std::mutex> lock(mutex_);
        wake_.notify_one();
    }
    job(0);
    for (uint64_t done = finished_.load(std::memory_order_acquire); done != ticket;
         done = finished_.load(std::memory_order_acquire)) {
        WaitWhile(finished_, done);
    }
    job_.store(nullptr, std::memory_order_relaxed);
}

void WorkerThread::Sync() {
    const uint64_t meeting = meetings_.load(std::memory_order_acquire);
    if (arrived_.fetch_add(1, std::memory_order_acq_rel) == 1) {
        arrived_.store(0, std::memory_order_relaxed);
        meetings_.store(meeting + 1, std::memory_order_release);
        meetings_.notify_one();
        return;
    }
    WaitWhile(meetings_, meeting);
}

void WorkerThread::Loop() {
    uint64_t seen = 0;
    for (;;) {
        // Awake for a while (the next job of a frame usually follows at
        // once), then asleep until the next job or the end.
        for (int i = 0; i < kSpins && posted_.load(std::memory_order_acquire) == seen; ++i) Pause();
        if (posted_.load(std::memory_order_acquire) == seen) {
            std::unique_lock<std::mutex> lock(mutex_);
            sleeping_.store(true, std::memory_order_seq_cst);
            wake_.wait(lock, [&] { return stop_ || posted_.load(std::memory_order_seq_cst) != seen; });
            sleeping_.store(false, std::memory_order_relaxed);
            if (stop_) return;
        }
        seen = posted_.load(std::memory_order_acquire);
        (*job_.load(std::memory_order_relaxed))(1);
        finished_.store(seen, std::memory_order_release);
        finished_.notify_one();
    }
}

}  // namespace wbx::raster
