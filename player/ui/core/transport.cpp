#include "player/ui/core/transport.h"

#include <algorithm>

#include "player/ui/core/transport_rules.h"

namespace pell::player {

PlayerTransport::PlayerTransport(TransportEngine& engine, TransportWindow& window, RecordFiles& files)
    : engine_(&engine), window_(window), files_(files) {}

void PlayerTransport::Play() {
    if (engine_ == nullptr) return;
    if (State() == PlayState::kPaused) {
        SetState(PlayState::kPlaying);
        engine_->Resume();
        window_.ShowPlaying(true);
        return;
    }
    if (State() == PlayState::kPlaying) Stop();
    PlayCurrentRowFrom(0);
}

void PlayerTransport::PlayFrom(int seconds) {
    if (engine_ == nullptr) return;
    if (State() == PlayState::kStopped) {
        PlayCurrentRowFrom(seconds);
    } else {
        EndTrack(std::clamp<int>(seconds, 0, static_cast<int>(trackLength_)));
    }
}

void PlayerTransport::PlayCurrentRowFrom(int seconds) {
    const int row = window_.CurrentRow();
    if (row < 0 || row >= window_.RowCount()) return;
    const std::string path = window_.RecordPath(row);
    files_.MarkPlayed(path);
    window_.ShowRowPlayed(row);
    flags_.generation.fetch_add(1);
    // A record that cannot be opened, or a device that will not start, leaves the player stopped.
    if (!engine_->OpenMp3File(path, kPlayBufferMs)) return;
    trackLength_ = engine_->GetLength();
    startOfDay_ = pell::StartOfDay(files_.LastWriteTime(path), trackLength_);
    const int from = std::clamp<int>(seconds, 0, static_cast<int>(trackLength_));
    // Sought before the sound starts, so it starts there.
    if (from > 0 && !engine_->Seek(from)) return Fail();
    if (!engine_->Play()) return Fail();
    files_.RecordStarted(path);
    window_.ShowPlayingRow(row);
    window_.ShowPlaying(true);
    window_.ShowPositionRange(trackLength_);
    lastPosition_ = static_cast<std::uint32_t>(from);
    if (from > 0) {
        window_.ShowPosition(lastPosition_);
        window_.ShowTime(ShownSeconds(lastPosition_, startOfDay_, clockMode_));
    }
    SetState(PlayState::kPlaying);
}

void PlayerTransport::Fail() {
    engine_->Close();
    trackLength_ = 0;
}

void PlayerTransport::SetState(PlayState state) {
    flags_.playState.store(state);
    if (state == PlayState::kPlaying) flags_.playing.Set();
}

void PlayerTransport::PlayOrPause() {
    if (State() == PlayState::kPlaying) {
        Pause();
    } else {
        Play();
    }
}

void PlayerTransport::Pause() {
    if (State() == PlayState::kPlaying && engine_ != nullptr) {
        SetState(PlayState::kPaused);
        engine_->Pause();
        window_.ShowPlaying(false);
    }
    window_.ShowLevels(0, 0);
}

void PlayerTransport::Stop() {
    if (State() != PlayState::kStopped && engine_ != nullptr) {
        engine_->Stop();
        engine_->Close();
        SetState(PlayState::kStopped);
        window_.ShowPlaying(false);
        window_.ShowPlayingRow(-1);
    }
    window_.ShowPosition(0);
    lastPosition_ = 0;
    window_.ShowTime(0);
    window_.ShowLevels(0, 0);
}

void PlayerTransport::Next() {
    const int row = NextRow(window_.CurrentRow(), window_.RowCount());
    if (row < 0) return;
    window_.MakeRowCurrent(row);
    Play();
}

void PlayerTransport::Previous() {
    const int row = PreviousRow(window_.CurrentRow(), window_.RowCount());
    if (row < 0) return;
    window_.MakeRowCurrent(row);
    Play();
}

void PlayerTransport::Skip(int seconds) {
    if (State() == PlayState::kStopped || engine_ == nullptr) return;
    // Asked now: the position the monitor last showed may be most of a second old.
    const long long target = static_cast<long long>(engine_->GetPosition()) + seconds;
    EndTrack(static_cast<int>(std::clamp<long long>(target, 0, trackLength_)));
}

void PlayerTransport::PressPosition(int position) {
    if (State() == PlayState::kStopped) return;
    dragging_ = true;
    window_.BeginPositionDrag();
    window_.ShowPositionTip(PositionTip(position));
}

void PlayerTransport::MovePosition(int position) {
    if (dragging_) window_.ShowPositionTip(PositionTip(position));
}

void PlayerTransport::ReleasePosition(int position) {
    if (!dragging_) return;
    if (State() != PlayState::kStopped) {
        EndTrack(position);
    } else {  // the record ended under the user's hand
        dragging_ = false;
        window_.EndPositionDrag();
    }
}

void PlayerTransport::StepPosition(int position) {
    if (State() != PlayState::kStopped) EndTrack(position);
}

void PlayerTransport::EndTrack(int position) {
    const bool wasDragging = dragging_;
    dragging_ = false;
    flags_.generation.fetch_add(1);
    engine_->Seek(position);
    if (State() == PlayState::kPaused) SetState(PlayState::kPlaying);
    engine_->Play();
    if (wasDragging) window_.EndPositionDrag();
    window_.RestorePositionTip();
    window_.ShowPlaying(true);
    lastPosition_ = static_cast<std::uint32_t>(position);
    window_.ShowPosition(lastPosition_);
    window_.ShowTime(ShownSeconds(lastPosition_, startOfDay_, clockMode_));
}

std::string PlayerTransport::PositionTip(int position) const {
    return ClockText(ShownSeconds(static_cast<std::uint32_t>(position), startOfDay_, clockMode_));
}

void PlayerTransport::ToggleClockMode() {
    clockMode_ = clockMode_ == 0 ? 1 : 0;
    window_.ShowClockMode(clockMode_);
    // Digits and indicator agree at once, also while paused, when no refresh comes.
    if (State() != PlayState::kStopped) window_.ShowTime(ShownSeconds(lastPosition_, startOfDay_, clockMode_));
}

void PlayerTransport::OnMonitorReport(const MonitorReport& report) {
    if (engine_ == nullptr) return;
    const bool current = report.generation == Generation() && State() == PlayState::kPlaying;
    if (!report.levelsDue || !current) {
        window_.ShowLevels(0, 0);
        return;
    }
    // The record ends once its last sample has played, not when the whole-second position
    // reaches the whole-second length, which cut the last words of every call.
    if (report.ended && engine_->Ended()) {
        Stop();
        return;
    }
    if (report.positionDue) {
        trackLength_ = report.length;
        window_.ShowPositionRange(report.length);
        if (!dragging_) window_.ShowPosition(report.position);
        lastPosition_ = report.position;
        window_.ShowTime(ShownSeconds(report.position, startOfDay_, clockMode_));
    }
    window_.ShowLevels(MeterLevelFromVu(report.left), MeterLevelFromVu(report.right));
}

void PlayerTransport::Close() {
    Stop();
    engine_ = nullptr;
}

}  // namespace pell::player
