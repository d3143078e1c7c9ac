// Everything between the line box and the recorder core, owned by the main window: capture,
// the line interface and its poll thread, and the watchdog with the reconnect and reload steps.
//
// Threads: the capture thread signals blocks through `BlockReadyFn`, the watchdog asks for a
// reconnect through `requestReconnect`; the window posts both to its main thread and calls
// OnWaveBlock / OnReconnect there. Every other method runs on the main thread too. Neither
// callback may wait for the main thread (e.g. a blocking queued connection): the main thread
// joins these threads when it shuts down. Declare the object after everything its callbacks
// reach, so it is destroyed (and its threads joined) first.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "common/core/clock.h"
#include "recorder/core/line_state.h"
#include "recorder/devices/line_interface.h"
#include "recorder/devices/pacer.h"
#include "recorder/devices/watchdog.h"
#include "recorder/devices/wave_capture.h"

namespace pell {

struct LineBoxPacers {
    std::unique_ptr<Pacer> watchdog = std::make_unique<SteadyPacer>();
    std::unique_ptr<Pacer> linePoll = std::make_unique<SteadyPacer>();
};

class LineBoxDevices {
public:
    LineBoxDevices(CaptureBackend& captureBackend, HidBackend& hidBackend, Clock& clock, LineStates& lines,
                   CaptureUi& ui, BlockReadyFn onBlockReady, std::function<void()> requestReconnect,
                   LineBoxPacers pacers = {});
    // Stops every thread before anything it uses goes away.
    ~LineBoxDevices() { Shutdown(); }
    LineBoxDevices(const LineBoxDevices&) = delete;
    LineBoxDevices& operator=(const LineBoxDevices&) = delete;

    // Start-up, in the window's order: the line search, the line states cleared with their
    // seizure ticks at now, then (after the encoders) capture, then the threads.
    bool SearchLineInterface();
    void ResetLineStates();
    WaveCapture& capture() { return capture_; }
    void StartThreads();

    // A block notice on the main thread: processes it and feeds the watchdog.
    bool OnWaveBlock(uint64_t generation, const ProcessBlockFn& process);
    // 15 s without sound: both lines idle, capture closed and searched again (silently), the
    // line interface searched again.
    void OnReconnect(std::string& device, int32_t sampleRate);
    // New settings for the capture: as the reconnect, but the line states stay.
    void Reload(std::string& device, int32_t sampleRate);
    // New settings, same capture: only a line interface not found before is searched again.
    void SearchLineInterfaceIfAbsent();
    // Ends the poll and watchdog threads, closes the line interface and capture.
    void Shutdown();

    bool lineInterfacePresent() const { return line_.present(); }
    LineInterface& lineInterface() { return line_; }

private:
    void ReopenDevices(std::string& device, int32_t sampleRate);

    Clock& clock_;
    LineStates& lines_;
    LineBoxPacers pacers_;
    LineInterface line_;
    WaveCapture capture_;
    Watchdog watchdog_;
    LinePoller poller_;
};

}  // namespace pell
