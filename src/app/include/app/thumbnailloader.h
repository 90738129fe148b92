#pragma once
// TThumbnailLoader: item thumbnails made on worker threads while the window
// stays responsive. Requests queue up (an urgent one, such as an item just
// scrolled into view, goes first); each worker owns a TThumbnailMaker and they
// share the disk cache. Finished thumbnails come back on the GUI thread in
// batches, each batch taking at most a few milliseconds of the event loop.
//
// Made and used on the GUI thread; the workers are joined when it goes.
//
// At its start it keeps the disk cache within kThumbnailCacheMaxBytes
// (thumbnailpruning.h) on a thread of its own, joined when it goes.

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "viewer/partlists.h"
#include "viewer/thumbnailcache.h"
#include "viewer/thumbnailmaker.h"

namespace wbx {

struct TThumbnailRequest {
    TPartList List = plHair;
    std::string Item;
    TThumbnailSide Side = TThumbnailSide::Front;
    int Index = 0;  // the item's place in its list, handed back with the result

    auto operator<=>(const TThumbnailRequest&) const = default;
};

class TThumbnailLoader : public QObject {
public:
    // avatarFolder: the layer files' folder; cacheFolder: the disk cache ("":
    // none); threads 0: one per processor. The threads start with the first
    // request: a window whose browser is never opened runs none.
    TThumbnailLoader(std::string avatarFolder, std::string cacheFolder, int threads = 0);
    ~TThumbnailLoader() override;
    TThumbnailLoader(const TThumbnailLoader&) = delete;
    TThumbnailLoader& operator=(const TThumbnailLoader&) = delete;

    // Called on the GUI thread for every finished request.
    std::function<void(const TThumbnailRequest&, const TThumbnailResult&)> OnReady;
    // Called on the GUI thread after each batch and after Cancel.
    std::function<void()> OnProgress;

    // Queues request unless it is already waiting or being made; an urgent
    // request that is waiting moves to the front.
    void Request(const TThumbnailRequest& request, bool urgent = false);
    // Drops every waiting request (those being made still finish and are delivered).
    void Cancel();

    // Progress of the requests since the queue was last empty: how many were
    // asked for and how many of those are done.
    int Requested() const { return requested_; }
    int Delivered() const { return delivered_; }
    bool Busy() const;
    // Whether the worker threads have been started.
    bool Started() const { return !workers_.empty(); }
    // Thumbnails delivered from the disk cache, and made afresh, in all.
    int64_t FromCache() const { return fromCache_; }
    int64_t Made() const { return made_; }

    // Runs the event loop until nothing is waiting or being made, or timeoutMs
    // passes; true when everything was delivered (for tests and benchmarks).
    bool WaitUntilIdle(int timeoutMs);

private:
    void Work();
    void Deliver();

    TThumbnailCache cache_;
    std::string avatarFolder_;

    mutable std::mutex lock_;  // guards everything down to finished_
    std::condition_variable wake_;
    std::deque<TThumbnailRequest> waiting_;
    std::set<TThumbnailRequest> queued_;  // waiting or being made
    std::vector<std::pair<TThumbnailRequest, TThumbnailResult>> finished_;
    bool deliveryPosted_ = false;
    bool stopping_ = false;

    int threads_;
    std::thread pruner_;                 // keeps the disk cache within its size; joined last
    std::vector<std::thread> workers_;   // started by the first Request (GUI thread), with the pruner
    int requested_ = 0, delivered_ = 0;  // GUI thread only
    int64_t fromCache_ = 0, made_ = 0;   // GUI thread only
};

}  // namespace wbx
