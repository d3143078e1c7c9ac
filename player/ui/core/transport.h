// PlayerTransport: the player window's transport. It keeps the play state, the record's length
// and start of day, the clock mode and the drag of the position slider; it carries out Play,
// Pause, Stop, Next, Previous, the seeks of the position slider, the time display's click and the
// monitor's reports on the engine, and shows the outcome through the window. The window only
// passes its controls' signals in. GUI thread only; the monitor thread reads Flags().
#pragma once

#include <cstdint>
#include <string>

#include "player/ui/core/monitor_thread.h"
#include "player/ui/core/transport_ports.h"

namespace pell::player {

class PlayerTransport {
public:
    PlayerTransport(TransportEngine& engine, TransportWindow& window, RecordFiles& files);
    PlayerTransport(const PlayerTransport&) = delete;
    PlayerTransport& operator=(const PlayerTransport&) = delete;

    // Paused: resumes, whichever row is current. Playing: stops, then plays the current row
    // from its start. Stopped: marks the current row played and plays it; nothing without one.
    void Play();
    // Space: pause while playing, otherwise Play.
    void PlayOrPause();
    // A click on the call's outline: the open record goes on from there (as a seek does, so a
    // paused one plays); stopped, the current row plays from there.
    void PlayFrom(int seconds);
    void Pause();
    // Also rewinds the controls when nothing plays.
    void Stop();
    // The next or previous row, wrapping at the ends, becomes current, then Play.
    void Next();
    void Previous();
    // Back (negative) or on by a few seconds from where the record is, within it, and playing
    // from there, as a seek does; nothing while stopped.
    void Skip(int seconds);

    // The position slider (seconds), only while a record is open: the handle pressed, moved and
    // released; a step that holds no handle (groove click, key, wheel) seeks at once.
    void PressPosition(int position);
    void MovePosition(int position);
    void ReleasePosition(int position);
    void StepPosition(int position);

    // A click on the time display: elapsed time or the time of day of the recorded moment.
    void ToggleClockMode();

    // One report of the monitor thread, delivered on the GUI thread: position, slider and time
    // display, the meters, and the end of the record.
    void OnMonitorReport(const MonitorReport& report);

    // The close: stops playback; from then on nothing reaches the engine, which is going.
    void Close();

    PlayState State() const { return flags_.playState.load(); }
    const TransportFlags& Flags() const { return flags_; }
    std::uint32_t Generation() const { return flags_.generation.load(); }
    std::uint32_t TrackLength() const { return trackLength_; }
    int StartOfDay() const { return startOfDay_; }
    int ClockMode() const { return clockMode_; }
    bool Dragging() const { return dragging_; }

private:
    // Marks the current row played, opens its record and plays it from `seconds`.
    void PlayCurrentRowFrom(int seconds);
    // A record that opened but will not seek or start: closed again, the player stays stopped.
    void Fail();
    // The end of a seek by the slider: seek, play, and the controls to match.
    void EndTrack(int position);
    std::string PositionTip(int position) const;
    void SetState(PlayState state);

    TransportEngine* engine_;
    TransportWindow& window_;
    RecordFiles& files_;
    TransportFlags flags_;
    std::uint32_t trackLength_ = 0;   // seconds
    std::uint32_t lastPosition_ = 0;  // seconds, as last shown
    int startOfDay_ = 0;              // seconds since local midnight
    int clockMode_ = 0;
    bool dragging_ = false;
};

}  // namespace pell::player
