// What the player's transport drives: the playback engine, the recordings' files and the window
// that shows it. Each is an interface with the real one in the program and a fake in the tests;
// all are called on the GUI thread, except the engine's three queries, which the monitor thread
// also calls.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>

#include "common/core/auto_reset_event.h"

namespace pell::player {

// Where the transport stands. Moves (all on the GUI thread):
//   Stopped -> Playing  Play, Next or Previous with a current row whose record opens and starts;
//                       a record that will not open or start leaves it Stopped.
//   Playing -> Playing  Play, Next, Previous: the record is stopped and the current row starts
//                       from its beginning; a seek.
//   Playing -> Paused   Pause.
//   Paused  -> Playing  Play, Next, Previous (the paused record resumes, whichever row is
//                       current), or a seek.
//   Playing, Paused -> Stopped  Stop, the close, or the monitor seeing the record's end.
// The monitor counts passes only while Playing.
enum class PlayState { kStopped, kPlaying, kPaused };

// What the monitor thread reads of the transport; only the transport writes them.
struct TransportFlags {
    std::atomic<PlayState> playState{PlayState::kStopped};
    // Moves on at every open and every seek, so that a monitor report taken before is recognised.
    std::atomic<std::uint32_t> generation{0};
    // Set each time playState becomes kPlaying: the monitor sleeps on it while nothing plays.
    mutable AutoResetEvent playing;
};

// The playback engine's operations that the transport uses, with the engine's results: 1 done,
// 0 failed or nothing to do. Commands come from the GUI thread only; the four queries also from
// the monitor thread, at any time until the monitor has stopped.
class TransportEngine {
public:
    virtual ~TransportEngine() = default;
    virtual int OpenMp3File(const std::string& fileName, int bufferMs) = 0;
    virtual int Play() = 0;
    virtual int Pause() = 0;
    virtual int Resume() = 0;
    virtual int Stop() = 0;
    virtual int Close() = 0;
    virtual int Seek(int seconds) = 0;
    // Whole seconds.
    virtual std::uint32_t GetLength() = 0;
    virtual std::uint32_t GetPosition() = 0;
    // Levels 0..100; 0 with both levels 0 when there is nothing to show.
    virtual int GetVUData(int* left, int* right) = 0;
    // The record has stopped by itself: the device has played its last sample (or gave up on
    // it). Never while playing or paused; a seek or Play starts it again.
    virtual bool Ended() = 0;
};

// The recordings on disk, as playing one touches them.
class RecordFiles {
public:
    virtual ~RecordFiles() = default;
    // Sets the played mark in the recording's tag; a failure leaves the file as it was, silently.
    virtual void MarkPlayed(const std::string& path) = 0;
    // A record has started playing from its stopped state (a resume is no new start): the
    // audit trail notes it.
    virtual void RecordStarted(const std::string& path) = 0;
    // Seconds since the epoch; 0 when the file cannot be read.
    virtual std::time_t LastWriteTime(const std::string& path) = 0;
};

// The files themselves: the catalogue's tag write and the file's status; no audit trail.
class DiskRecordFiles : public RecordFiles {
public:
    void MarkPlayed(const std::string& path) override;
    void RecordStarted(const std::string&) override {}
    std::time_t LastWriteTime(const std::string& path) override;
};

// The window the transport runs in: its record list and the transport's controls. Each Show
// puts a value on a control without it counting as the user's action.
class TransportWindow {
public:
    virtual ~TransportWindow() = default;

    virtual int RowCount() const = 0;
    // -1 when no row is current.
    virtual int CurrentRow() const = 0;
    // Selects and focuses the row, shows it at once, scrolls it into view and makes it current.
    virtual void MakeRowCurrent(int row) = 0;
    // The path of the row's recording (its Placement column).
    virtual std::string RecordPath(int row) const = 0;
    // The row is drawn as played from now on.
    virtual void ShowRowPlayed(int row) = 0;
    // The record of this row is the one playing or paused, whichever row is current (Next while
    // paused moves the highlight but resumes the paused record); -1 once none is.
    virtual void ShowPlayingRow(int row) = 0;

    // The play button shows pause while playing, play otherwise.
    virtual void ShowPlaying(bool playing) = 0;
    // The position slider's range, 0..lengthSeconds.
    virtual void ShowPositionRange(std::uint32_t lengthSeconds) = 0;
    virtual void ShowPosition(std::uint32_t seconds) = 0;
    // The time display's value, seconds modulo a day, and its mode (0 elapsed, 1 clock).
    virtual void ShowTime(int seconds) = 0;
    virtual void ShowClockMode(int clockMode) = 0;
    // Both level meters, in meter levels (the meter clamps them).
    virtual void ShowLevels(int left, int right) = 0;
    // A drag of the position slider: the tracking cursor while it lasts, the tip beside the
    // pointer with the time it would seek to, and the slider's own tip back once a seek is done.
    virtual void BeginPositionDrag() = 0;
    virtual void ShowPositionTip(const std::string& text) = 0;
    virtual void EndPositionDrag() = 0;
    virtual void RestorePositionTip() = 0;
};

}  // namespace pell::player
