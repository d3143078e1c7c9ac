// Hands the recorder's filed recordings to the call index on a thread of its own, so filing
// never waits on a database server. A recording the index could not take (server down) is
// tried again, first after `firstRetry`, then twice as long each time up to `maxRetry`; once an
// add works again, `reconcile` runs for the roots whose calls may have been missed, which is a
// refresh of those roots. Beyond `maxPending` waiting recordings the oldest are dropped, their
// roots reconciled later the same way: the files stay the truth, so nothing is lost.
//
// Threads: Filed() may be called from any thread and never blocks on the index; `add` and
// `reconcile` run only on the feed's own thread. No callback runs after the destructor returns.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "index/core/call_store.h"

namespace pell {

class FiledCallFeed {
public:
    using Add = std::function<StoreStatus(const std::string& root, const std::string& path)>;
    using Reconcile = std::function<StoreStatus(const std::vector<std::string>& roots)>;

    struct Options {
        std::size_t maxPending = 10'000;
        std::chrono::milliseconds firstRetry{1'000};
        std::chrono::milliseconds maxRetry{60'000};
    };

    struct Totals {
        std::size_t added = 0;
        std::size_t refused = 0;  // Invalid: not a recording of a day folder of its root; not retried
        std::size_t dropped = 0;  // beyond maxPending; left to the reconciling refresh
        std::size_t reconciled = 0;
        StoreStatus last;  // the index's last answer
    };

    FiledCallFeed(Add add, Reconcile reconcile, Options options);
    FiledCallFeed(Add add, Reconcile reconcile) : FiledCallFeed(std::move(add), std::move(reconcile), Options{}) {}
    // Stops after the call in hand; recordings still waiting are left to the next refresh.
    ~FiledCallFeed();
    FiledCallFeed(const FiledCallFeed&) = delete;
    FiledCallFeed& operator=(const FiledCallFeed&) = delete;

    // `path` (root/dd.mm.yyyy/name.mp3) was filed under the drop folder `root`.
    void Filed(std::string root, std::string path);

    // Waits until nothing waits and nothing needs reconciling; false when `timeout` passed first.
    bool Flush(std::chrono::milliseconds timeout);

    Totals Counts() const;

private:
    struct Entry {
        std::string root;
        std::string path;
    };
    void Run();

    Add add_;
    Reconcile reconcile_;
    Options options_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Entry> pending_;
    std::set<std::string> toReconcile_;
    bool busy_ = false;
    bool stopping_ = false;
    Totals totals_;
    std::thread worker_;  // last: starts after everything it uses exists
};

}  // namespace pell
