#include "index/core/filed_call_feed.h"

#include <algorithm>

namespace pell {

FiledCallFeed::FiledCallFeed(Add add, Reconcile reconcile, Options options)
    : add_(std::move(add)), reconcile_(std::move(reconcile)), options_(options), worker_([this] { Run(); }) {}

FiledCallFeed::~FiledCallFeed() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void FiledCallFeed::Filed(std::string root, std::string path) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        pending_.push_back({std::move(root), std::move(path)});
        while (pending_.size() > options_.maxPending) {
            toReconcile_.insert(pending_.front().root);
            pending_.pop_front();
            ++totals_.dropped;
        }
    }
    wake_.notify_one();
}

bool FiledCallFeed::Flush(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return pending_.empty() && toReconcile_.empty() && !busy_; });
}

FiledCallFeed::Totals FiledCallFeed::Counts() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return totals_;
}

void FiledCallFeed::Run() {
    std::chrono::milliseconds delay = options_.firstRetry;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !pending_.empty() || !toReconcile_.empty(); });
        if (stopping_) return;
        busy_ = true;
        bool failed = false;
        if (!pending_.empty()) {
            // Taken out while in hand, so an overflow meanwhile cannot drop it from under us.
            Entry entry = std::move(pending_.front());
            pending_.pop_front();
            lock.unlock();
            const StoreStatus status = add_(entry.root, entry.path);
            lock.lock();
            totals_.last = status;
            if (status.Ok() || status.code == StoreStatus::Code::kInvalid) {
                ++(status.Ok() ? totals_.added : totals_.refused);
            } else {
                // Back in front, so calls reach the index in the order they were filed.
                toReconcile_.insert(entry.root);
                pending_.push_front(std::move(entry));
                while (pending_.size() > options_.maxPending) {
                    pending_.pop_front();
                    ++totals_.dropped;
                }
                failed = true;
            }
        }
        if (!failed && !toReconcile_.empty() && (pending_.empty() || totals_.last.Ok())) {
            const std::vector<std::string> roots(toReconcile_.begin(), toReconcile_.end());
            lock.unlock();
            const StoreStatus status = reconcile_(roots);
            lock.lock();
            totals_.last = status;
            if (status.Ok()) {
                for (const std::string& root : roots) toReconcile_.erase(root);
                ++totals_.reconciled;
            } else {
                failed = true;
            }
        }
        busy_ = false;
        if (failed) {
            wake_.wait_for(lock, delay, [this] { return stopping_; });
            if (stopping_) return;
            delay = std::min(delay * 2, options_.maxRetry);
        } else {
            delay = options_.firstRetry;
            if (pending_.empty() && toReconcile_.empty()) idle_.notify_all();
        }
    }
}

}  // namespace pell
