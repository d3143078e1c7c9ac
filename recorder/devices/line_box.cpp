#include "recorder/devices/line_box.h"

namespace pell {

LineBoxDevices::LineBoxDevices(CaptureBackend& captureBackend, HidBackend& hidBackend, Clock& clock, LineStates& lines,
                               CaptureUi& ui, BlockReadyFn onBlockReady, std::function<void()> requestReconnect,
                               LineBoxPacers pacers)
    : clock_(clock),
      lines_(lines),
      pacers_(std::move(pacers)),
      line_(hidBackend),
      capture_(captureBackend, ui, std::move(onBlockReady)),
      watchdog_(clock, *pacers_.watchdog, std::move(requestReconnect)),
      poller_(line_, lines, clock, *pacers_.linePoll) {}

bool LineBoxDevices::SearchLineInterface() { return line_.FindLineInterface(); }

void LineBoxDevices::ResetLineStates() {
    const uint32_t now = clock_.TickMs();
    for (size_t line = 0; line < 2; ++line) {
        lines_.lineActive[line].store(false);
        lines_.lineSeizedAt[line].store(now);
    }
}

void LineBoxDevices::StartThreads() {
    watchdog_.Start();
    poller_.Start();
}

bool LineBoxDevices::OnWaveBlock(uint64_t generation, const ProcessBlockFn& process) {
    if (!capture_.OnWaveBlock(generation, process)) return false;
    watchdog_.NoteBlock();
    return true;
}

void LineBoxDevices::OnReconnect(std::string& device, int32_t sampleRate) {
    for (auto& active : lines_.lineActive) active.store(false);
    ReopenDevices(device, sampleRate);
}

void LineBoxDevices::Reload(std::string& device, int32_t sampleRate) { ReopenDevices(device, sampleRate); }

void LineBoxDevices::SearchLineInterfaceIfAbsent() {
    if (line_.present()) return;
    line_.Close();
    line_.FindLineInterface();
}

void LineBoxDevices::ReopenDevices(std::string& device, int32_t sampleRate) {
    capture_.CloseCapture();
    capture_.FindCaptureDevice(device, sampleRate, WaveCapture::Search::kRetry);
    line_.Close();  // waits for a read in progress, so the poll thread never sees a replaced handle
    line_.FindLineInterface();
}

void LineBoxDevices::Shutdown() {
    poller_.Stop();
    watchdog_.Stop();
    line_.Close();
    capture_.CloseCapture();
}

}  // namespace pell
