// Fakes of the transport's ports. They write what they are asked into one shared log, so a test
// can check the order of a move across engine, files and window; the engine fails the Nth call
// of an operation on request and is safe to query from the monitor thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "player/ui/core/transport_ports.h"

namespace pell::player::test {

// Entries such as "open a", "play", "seek 5", "mark a", "played 0"; queries are not logged.
class CallLog {
public:
    void Add(std::string entry) {
        std::lock_guard guard(lock_);
        entries_.push_back(std::move(entry));
    }
    // The entries since the last Take, joined by ", ".
    std::string Take() {
        std::lock_guard guard(lock_);
        std::string joined;
        for (const std::string& e : entries_) joined += (joined.empty() ? "" : ", ") + e;
        entries_.clear();
        return joined;
    }

private:
    std::mutex lock_;
    std::vector<std::string> entries_;
};

// An engine that follows WMp3's states without playing anything: the test moves the time played,
// in milliseconds, and the engine reports it in whole seconds as WMp3 does, with the length
// rounded down; once the last millisecond has played the record has Ended.
class FakeEngine final : public TransportEngine {
public:
    enum class Op { kOpen, kPlay, kPause, kResume, kStop, kClose, kSeek };
    enum class State { kClosed, kOpen, kPlaying, kPaused, kEnded };

    explicit FakeEngine(CallLog& log) : log_(log) {}

    // The Nth call (from 1) of `op` fails and changes nothing.
    void FailCall(Op op, int nth) {
        std::lock_guard guard(lock_);
        failOn_[op] = nth;
    }
    // Length of every record opened from now on.
    void SetRecordLength(std::uint32_t seconds) { SetRecordMs(seconds * 1000); }
    void SetRecordMs(std::uint32_t ms) {
        std::lock_guard guard(lock_);
        recordMs_ = ms;
    }
    void SetPosition(std::uint32_t seconds) {
        std::lock_guard guard(lock_);
        playedMs_ = seconds * 1000;
    }
    // The device plays on while playing; the record ends with its last millisecond.
    void PlayFor(std::uint32_t ms) {
        std::lock_guard guard(lock_);
        if (state_ != State::kPlaying) return;
        playedMs_ = std::min(playedMs_ + ms, openMs_);
        if (playedMs_ == openMs_) state_ = State::kEnded;
    }
    // The device gives up under a playing record, as WMp3's worker does: back to Open.
    void LoseDevice() {
        std::lock_guard guard(lock_);
        if (state_ == State::kPlaying || state_ == State::kPaused) state_ = State::kOpen;
    }
    std::uint32_t PlayedMs() const {
        std::lock_guard guard(lock_);
        return playedMs_;
    }
    // How much of the open record had played when the last Stop came, 0 before any.
    std::uint32_t PlayedMsAtStop() const {
        std::lock_guard guard(lock_);
        return playedMsAtStop_;
    }
    void SetLevels(int left, int right) {
        std::lock_guard guard(lock_);
        left_ = left;
        right_ = right;
    }
    State GetState() const {
        std::lock_guard guard(lock_);
        return state_;
    }
    int QueryCount() const {
        std::lock_guard guard(lock_);
        return queries_;
    }

    int OpenMp3File(const std::string& fileName, int bufferMs) override {
        std::lock_guard guard(lock_);
        log_.Add("open " + fileName + (bufferMs == 1000 ? "" : " " + std::to_string(bufferMs) + " ms"));
        if (Fails(Op::kOpen) || state_ != State::kClosed) return 0;
        state_ = State::kOpen;
        openMs_ = recordMs_;
        playedMs_ = 0;
        return 1;
    }
    int Play() override {
        std::lock_guard guard(lock_);
        log_.Add("play");
        if (Fails(Op::kPlay) || state_ == State::kClosed || state_ == State::kPlaying) return 0;
        state_ = State::kPlaying;
        return 1;
    }
    int Pause() override {
        std::lock_guard guard(lock_);
        log_.Add("pause");
        if (Fails(Op::kPause) || state_ != State::kPlaying) return 0;
        state_ = State::kPaused;
        return 1;
    }
    int Resume() override {
        std::lock_guard guard(lock_);
        log_.Add("resume");
        if (Fails(Op::kResume) || state_ == State::kClosed) return 0;
        if (state_ == State::kPaused) state_ = State::kPlaying;
        return 1;
    }
    int Stop() override {
        std::lock_guard guard(lock_);
        log_.Add("stop");
        playedMsAtStop_ = playedMs_;
        if (Fails(Op::kStop) || (state_ != State::kPlaying && state_ != State::kPaused)) return 0;
        state_ = State::kOpen;
        playedMs_ = 0;
        return 1;
    }
    int Close() override {
        std::lock_guard guard(lock_);
        log_.Add("close");
        state_ = State::kClosed;
        openMs_ = 0;
        playedMs_ = 0;
        return 1;
    }
    int Seek(int seconds) override {
        std::lock_guard guard(lock_);
        log_.Add("seek " + std::to_string(seconds));
        if (Fails(Op::kSeek) || state_ == State::kClosed) return 0;
        state_ = State::kOpen;
        playedMs_ = static_cast<std::uint32_t>(std::clamp<long long>(seconds, 0, openMs_ / 1000)) * 1000;
        return 1;
    }
    std::uint32_t GetLength() override {
        std::lock_guard guard(lock_);
        ++queries_;
        return openMs_ / 1000;
    }
    std::uint32_t GetPosition() override {
        std::lock_guard guard(lock_);
        ++queries_;
        return state_ == State::kEnded ? openMs_ / 1000 : playedMs_ / 1000;
    }
    int GetVUData(int* left, int* right) override {
        std::lock_guard guard(lock_);
        ++queries_;
        const bool playing = state_ == State::kPlaying;
        *left = playing ? left_ : 0;
        *right = playing ? right_ : 0;
        return playing ? 1 : 0;
    }
    bool Ended() override {
        std::lock_guard guard(lock_);
        ++queries_;
        return state_ != State::kPlaying && state_ != State::kPaused;
    }

private:
    bool Fails(Op op) {
        const int call = ++calls_[op];
        const auto rule = failOn_.find(op);
        return rule != failOn_.end() && rule->second == call;
    }

    CallLog& log_;
    mutable std::mutex lock_;
    std::map<Op, int> calls_;
    std::map<Op, int> failOn_;
    State state_ = State::kClosed;
    std::uint32_t recordMs_ = 12000;
    std::uint32_t openMs_ = 0;  // the open record's length
    std::uint32_t playedMs_ = 0;
    std::uint32_t playedMsAtStop_ = 0;
    int left_ = 0;
    int right_ = 0;
    int queries_ = 0;
};

class FakeRecordFiles final : public RecordFiles {
public:
    explicit FakeRecordFiles(CallLog& log) : log_(log) {}
    void MarkPlayed(const std::string& path) override { log_.Add("mark " + path); }
    void RecordStarted(const std::string& path) override { log_.Add("started " + path); }
    std::time_t LastWriteTime(const std::string& path) override {
        const auto found = lastWrite.find(path);
        return found == lastWrite.end() ? 0 : found->second;
    }

    std::map<std::string, std::time_t> lastWrite;

private:
    CallLog& log_;
};

// The window: rows by path, and what each control shows now.
class FakeTransportWindow final : public TransportWindow {
public:
    explicit FakeTransportWindow(CallLog& log) : log_(log) {}

    int RowCount() const override { return static_cast<int>(paths.size()); }
    int CurrentRow() const override { return currentRow; }
    void MakeRowCurrent(int row) override {
        log_.Add("current " + std::to_string(row));
        currentRow = row;
    }
    std::string RecordPath(int row) const override { return paths.at(static_cast<std::size_t>(row)); }
    void ShowRowPlayed(int row) override { log_.Add("played " + std::to_string(row)); }
    void ShowPlayingRow(int row) override { playingRow = row; }

    void ShowPlaying(bool on) override { playing = on; }
    void ShowPositionRange(std::uint32_t lengthSeconds) override { positionMaximum = lengthSeconds; }
    void ShowPosition(std::uint32_t seconds) override { position = seconds; }
    void ShowTime(int seconds) override { time = seconds; }
    void ShowClockMode(int mode) override { clockMode = mode; }
    void ShowLevels(int l, int r) override { levels = {l, r}; }
    void BeginPositionDrag() override { trackingCursor = true; }
    void ShowPositionTip(const std::string& text) override { tip = text; }
    void EndPositionDrag() override {
        trackingCursor = false;
        tip.reset();
    }
    void RestorePositionTip() override { ++tipRestored; }

    std::vector<std::string> paths{"a", "b", "c"};
    int currentRow = -1;
    int playingRow = -1;
    std::optional<bool> playing;
    std::optional<std::uint32_t> positionMaximum;
    std::optional<std::uint32_t> position;
    std::optional<int> time;
    std::optional<int> clockMode;
    std::optional<std::pair<int, int>> levels;
    bool trackingCursor = false;
    std::optional<std::string> tip;
    int tipRestored = 0;

private:
    CallLog& log_;
};

}  // namespace pell::player::test
