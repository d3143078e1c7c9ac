#include "player/ui/call_search.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "index/open/open_call_index.h"
#include "player/ui/core/find_calls.h"

namespace pell::player {
namespace {

// A search that answers within this is not worth a progress window.
constexpr int kProgressDelayMs = 400;
constexpr int kPollMs = 50;

struct Shared {
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    std::mutex lock;
    RefreshProgress progress;
};

// Until `shared.done`: the window's events run, a progress window with Cancel stands once the
// work has taken a moment, and until it does the window takes no clicks or keys.
void WaitShowingProgress(QWidget* window, Shared& shared) {
    QElapsedTimer waited;
    waited.start();
    std::unique_ptr<QProgressDialog> progress;
    while (!shared.done) {
        if (!progress && waited.elapsed() >= kProgressDelayMs) {
            progress = std::make_unique<QProgressDialog>(window);
            progress->setObjectName("findCallsProgress");
            progress->setWindowTitle("Find calls");
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(0);
            progress->setAutoReset(false);
            progress->setAutoClose(false);
            progress->setCancelButtonText("Cancel");
            progress->setRange(0, 0);
            progress->setMinimumWidth(progress->fontMetrics().horizontalAdvance(QString(60, QChar('x'))));
            QObject::connect(progress.get(), &QProgressDialog::canceled, [&shared, &progress] {
                shared.cancel = true;
                progress->setLabelText("Stopping; what is indexed so far is kept for the next search...");
            });
            progress->show();
        }
        if (progress && !shared.cancel) {
            RefreshProgress now;
            {
                const std::lock_guard<std::mutex> guard(shared.lock);
                now = shared.progress;
            }
            progress->setLabelText(QString::fromStdString(RefreshProgressText(now)));
            if (now.foldersToScan > 0) {
                progress->setRange(0, static_cast<int>(now.foldersToScan));
                progress->setValue(static_cast<int>(now.foldersDone));
            }
        }
        QEventLoop wait;
        QTimer::singleShot(kPollMs, &wait, &QEventLoop::quit);
        wait.exec(progress ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    }
}

}  // namespace

CallSearch::CallSearch(std::string programFolder) : programFolder_(std::move(programFolder)) {}

CallSearch::~CallSearch() = default;

CallSearchOutcome CallSearch::Run(QWidget* window, const std::vector<std::string>& roots, const CallCriteria& criteria,
                                  std::size_t limit) {
    CallSearchOutcome outcome;
    if (running_) {
        outcome.result = CallSearchOutcome::Result::kCancelled;
        return outcome;
    }
    running_ = true;
    Shared shared;
    std::thread worker([&] {
        outcome = Work(
            roots, criteria, limit, [&shared] { return shared.cancel.load(); },
            [&shared](const RefreshProgress& p) {
                const std::lock_guard<std::mutex> guard(shared.lock);
                shared.progress = p;
            });
        shared.done = true;
    });
    QApplication::setOverrideCursor(Qt::BusyCursor);
    WaitShowingProgress(window, shared);
    worker.join();
    QApplication::restoreOverrideCursor();
    running_ = false;
    return outcome;
}

CallSearchOutcome CallSearch::Work(const std::vector<std::string>& roots, const CallCriteria& criteria,
                                   std::size_t limit, const std::function<bool()>& cancelled,
                                   const std::function<void(const RefreshProgress&)>& progress) {
    CallSearchOutcome outcome;
    const auto failed = [&outcome](std::string error) {
        outcome.result = CallSearchOutcome::Result::kFailed;
        outcome.error = std::move(error);
        return outcome;
    };
    if (!index_) {
        IndexPlace place;
        place.programFolder = programFolder_;
        place.sqliteFile =
            DefaultIndexFile(programFolder_, CacheIndexFolder(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME")));
        OpenIndexResult opened = OpenCallIndex(place);
        if (!opened.index) return failed(opened.status.message);
        index_ = std::move(opened.index);
    }
    RefreshOptions options;
    options.cancelled = cancelled;
    options.progress = progress;
    const RefreshReport report = index_->Index().Refresh(roots, options);
    outcome.unreachable = report.unreachable;
    if (report.outcome == RefreshReport::Outcome::kInterrupted) {
        outcome.result = CallSearchOutcome::Result::kCancelled;
        return outcome;
    }
    if (report.outcome == RefreshReport::Outcome::kStoreFailed) return failed(report.store.message);
    StoreResult<SearchPage> found = index_->Index().Search(roots, criteria, CallOrder{}, limit);
    if (!found.Ok()) return failed(found.status.message);
    outcome.page = std::move(found.value);
    // The lines met so far: asking the index for all of them reads every row of a large one.
    for (const CallRecord& call : outcome.page.calls) {
        const std::string& line = call.facts.line;
        if (!line.empty() && std::find(knownLines_.begin(), knownLines_.end(), line) == knownLines_.end()) {
            knownLines_.insert(std::lower_bound(knownLines_.begin(), knownLines_.end(), line), line);
        }
    }
    return outcome;
}

}  // namespace pell::player
