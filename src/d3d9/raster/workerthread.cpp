#include "workerthread.h"

#include <chrono>

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

// How long a waiting side spins before it sleeps. Bounded by time, not by
// a count of pauses: a pause takes from a few to some hundred cycles by
// processor, and a long spin after a frame's last job is processor time
// thrown away.
constexpr std::chrono::microseconds kSpinTime{30};

// Spins until ready() or kSpinTime has passed; returns ready().
template <class Ready>
bool SpinUntil(Ready&& ready) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        for (int i = 0; i < 16; ++i) {
            if (ready()) return true;
            Pause();
        }
        if (std::chrono::steady_clock::now() - start >= kSpinTime) return ready();
    }
}

// Waits until `value` differs from `old`: a short spin first (the other side
// is usually about to get there), then asleep in the kernel, so that a busy
// machine's scheduler never finds a thread here burning time.
template <class T>
void WaitWhile(const std::atomic<T>& value, T old) {
    if (SpinUntil([&] { return value.load(std::memory_order_acquire) != old; })) return;
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
        if (!SpinUntil([&] { return posted_.load(std::memory_order_acquire) != seen; })) {
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
