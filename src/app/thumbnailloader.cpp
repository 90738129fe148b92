#include "app/thumbnailloader.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <algorithm>

#include "viewer/thumbnailpruning.h"

namespace wbx {
namespace {

// The most a batch of deliveries takes of the event loop before the rest
// waits for the next turn: well within a frame.
constexpr qint64 kDeliveryBudgetNs = 4'000'000;
// The workers' nice value (a failure to set it changes nothing else).
constexpr int kWorkerNice = 10;

}  // namespace

TThumbnailLoader::TThumbnailLoader(std::string avatarFolder, std::string cacheFolder, int threads)
    : cache_(std::move(cacheFolder)),
      avatarFolder_(std::move(avatarFolder)),
      threads_(threads > 0 ? threads : std::max(1, static_cast<int>(std::thread::hardware_concurrency()))) {}

TThumbnailLoader::~TThumbnailLoader() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
        waiting_.clear();
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    if (pruner_.joinable()) pruner_.join();
}

void TThumbnailLoader::Request(const TThumbnailRequest& request, bool urgent) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (queued_.count(request) != 0) {
            if (!urgent) return;
            const auto at = std::find(waiting_.begin(), waiting_.end(), request);
            if (at == waiting_.end()) return;  // being made now
            waiting_.erase(at);
            waiting_.push_front(request);
            return;
        }
        queued_.insert(request);
        if (urgent)
            waiting_.push_front(request);
        else
            waiting_.push_back(request);
    }
    ++requested_;
    if (workers_.empty()) {
        for (int i = 0; i < threads_; ++i) workers_.emplace_back([this] { Work(); });
        if (!cache_.Folder().empty())
            pruner_ = std::thread(
                [folder = cache_.Folder()] { PruneThumbnailCache(folder, kThumbnailCacheMaxBytes); });
    }
    wake_.notify_one();
}

void TThumbnailLoader::Cancel() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        for (const TThumbnailRequest& request : waiting_) queued_.erase(request);
        requested_ -= static_cast<int>(waiting_.size());
        waiting_.clear();
    }
    if (!Busy()) requested_ = delivered_ = 0;
    if (OnProgress) OnProgress();
}

bool TThumbnailLoader::Busy() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return !queued_.empty() || !finished_.empty();
}

void TThumbnailLoader::Work() {
    // Below the GUI thread, so that on a busy machine the window is served
    // first; thumbnails only wait a little longer.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kWorkerNice);
    TThumbnailMaker maker(avatarFolder_, &cache_);
    for (;;) {
        TThumbnailRequest request;
        {
            std::unique_lock<std::mutex> guard(lock_);
            wake_.wait(guard, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_) return;
            request = std::move(waiting_.front());
            waiting_.pop_front();
        }
        TThumbnailResult result = maker.Make(request.List, request.Item, request.Side);
        bool post = false;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            finished_.emplace_back(std::move(request), std::move(result));
            post = !deliveryPosted_;
            deliveryPosted_ = true;
        }
        if (post)
            QMetaObject::invokeMethod(
                this, [this] { Deliver(); }, Qt::QueuedConnection);
    }
}

void TThumbnailLoader::Deliver() {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        std::vector<std::pair<TThumbnailRequest, TThumbnailResult>> batch;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            if (finished_.empty() || clock.nsecsElapsed() > kDeliveryBudgetNs) {
                // What is left waits for the next turn of the event loop.
                deliveryPosted_ = !finished_.empty();
                if (deliveryPosted_)
                    QMetaObject::invokeMethod(
                        this, [this] { Deliver(); }, Qt::QueuedConnection);
                break;
            }
            // A few at a time, so the budget is checked often.
            const size_t take = std::min<size_t>(finished_.size(), 16);
            batch.assign(std::make_move_iterator(finished_.begin()),
                         std::make_move_iterator(finished_.begin() + static_cast<ptrdiff_t>(take)));
            finished_.erase(finished_.begin(), finished_.begin() + static_cast<ptrdiff_t>(take));
            for (const auto& done : batch) queued_.erase(done.first);
        }
        for (const auto& [request, result] : batch) {
            ++delivered_;
            ++(result.FromCache ? fromCache_ : made_);
            if (OnReady) OnReady(request, result);
        }
    }
    if (!Busy()) requested_ = delivered_ = 0;
    if (OnProgress) OnProgress();
}

bool TThumbnailLoader::WaitUntilIdle(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (Busy()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (Busy()) QThread::usleep(200);
    }
    return true;
}

}  // namespace wbx
