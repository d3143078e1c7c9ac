#include "recorder/app/stop_signals.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace pell::recorder {
namespace {

// The write end for the handler, which can reach no object; StopSignals owns both ends.
int signalWriteFd = -1;
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignal(int number) {
    const unsigned char byte = static_cast<unsigned char>(number);
    // Only async-signal-safe calls here; a full pipe just drops a repeated request.
    [[maybe_unused]] const ssize_t written = ::write(signalWriteFd, &byte, 1);
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd_ = UniqueFd(ends[0]);
    writeEnd_ = UniqueFd(ends[1]);
    signalWriteFd = writeEnd_.Get();
    notifier_ = new QSocketNotifier(readEnd_.Get(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(readEnd_.Get(), &byte, 1) == 1) emit stopRequested(byte);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals) ::sigaction(number, &action, nullptr);
}

StopSignals::~StopSignals() {
    for (int number : kSignals) std::signal(number, SIG_DFL);
    delete notifier_;
    signalWriteFd = -1;
}

}  // namespace pell::recorder
