// SIGTERM, SIGINT and SIGHUP as a Qt signal on the main thread (through a self-pipe), so a
// logout, a service stop or Ctrl-C runs the recorder's shut-down instead of killing it.
#pragma once

#include <QObject>

#include "common/core/unique_fd.h"

class QSocketNotifier;

namespace pell::recorder {

class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

signals:
    void stopRequested(int signalNumber);

private:
    UniqueFd readEnd_;
    UniqueFd writeEnd_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace pell::recorder
