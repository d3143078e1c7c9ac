// Fakes of the recording core's ports and a rig that drives the core with scripted blocks and a
// manual clock.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "recorder/core/recorder_core.h"
#include "testsupport/manual_clock.h"
#include "testsupport/temp_dir.h"

namespace pell {

class FakeView final : public RecorderView {
public:
    void SetMeter(Line line, int position) override { meter[line] = position; }
    void SetStatusText(Line line, const std::string& text) override { status[line] = text; }
    void SetRecordingCheck(Line line, bool checked) override { check[line] = checked; }
    void SetTrayIcon(TrayIcon icon, const std::string& tip) override {
        trayIcon = icon;
        trayTip = tip;
    }

    PerLine<int> meter{-1, -1};
    PerLine<std::string> status;
    PerLine<bool> check{};
    TrayIcon trayIcon = TrayIcon::kIdle;
    std::string trayTip;
};

class FakeNotifier final : public Notifier {
public:
    void Log(const std::string& line) override { logged.push_back(line); }
    std::vector<std::string> logged;
    void ShowStop(const std::string& text) override {
        shown.push_back(text);
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        if (whileShown) whileShown();
        --depth;
    }
    std::vector<std::string> shown;
    std::function<void()> whileShown;  // stands in for the modal loop of a real box
    int depth = 0;
    int maxDepth = 0;
};

class FakeFreeSpace final : public FreeSpaceProvider {
public:
    std::optional<uint64_t> FreeBytes(const std::string& folder) override {
        queried.push_back(folder);
        return freeBytes;
    }
    std::optional<uint64_t> freeBytes = 0;
    std::vector<std::string> queried;
};

// The real file system with injected failures. A failing write first writes half its bytes, as
// a disk that fills up in the middle of a write does.
class FaultyFileSystem final : public RealFileSystem {
public:
    File Open(const std::string& path, const char* mode, std::string* error = nullptr) override;
    bool RemoveTree(const std::string& path) override;
    bool WriteWhole(const std::string& path, const std::string& text, std::string* error = nullptr) override;
    bool Remove(const std::string& path) override;

    // Called before and after every open, e.g. to stand for a crash at that point.
    std::function<void(const std::string& path)> whenOpening;
    std::function<void(const std::string& path)> afterOpening;
    // Removals of paths containing this text fail this many more times.
    std::string failRemoveMatching;
    int failRemoveCount = 0;
    // "sync <path>" and "remove <path>" in the order they happened.
    std::vector<std::string> events;
    // Opens of paths containing this text fail this many more times.
    std::string failOpenMatching;
    int failOpenCount = 0;
    // Writes to files whose path contains this text: the failFirstWrite-th one (from 1) and the
    // failWriteCount - 1 after it fail; writesSeen counts them all.
    std::string failWriteMatching;
    int failFirstWrite = 0;
    int failWriteCount = 1 << 30;
    int writesSeen = 0;
    // Closes of such files fail this many more times.
    std::string failCloseMatching;
    int failCloseCount = 0;
    // Whole-file replacements of paths containing this text fail this many more times.
    std::string failWholeMatching;
    int failWholeCount = 0;
    // Folders whose contents cannot be removed (a locked file inside).
    std::set<std::string> locked;
    // Folders that are emptied but stay behind.
    std::set<std::string> sticky;

    bool WriteFails(const std::string& path);
    bool CloseFails(const std::string& path);
};

struct CoreRig {
    explicit CoreRig(LocalDateTime start = MakeLocal(2026, 12, 6, 10, 0, 0));

    // The program folder, with drop folders "rec1" and "rec2" inside it.
    TempDir dir;
    RecorderSettings settings;
    ToneTables toneTables{};
    ManualClock clock;
    LineStates lines;
    FakeView view;
    FakeNotifier notifier;
    FaultyFileSystem fileSystem;
    FakeFreeSpace freeSpace;
    IdentifiedCaller caller{"0123456789", 'I'};
    std::vector<FiledRecording> filed;
    RecordingCustody* custody = nullptr;  // set before Reload to keep custody records
    std::unique_ptr<RecorderCore> core;

    ChannelConfig& ch(int channel) { return settings.channels[static_cast<size_t>(channel)]; }
    // Rebuilds the core after changing settings (as a reload would).
    void Reload();
    // One block per line of a tone with the given peak, then 500 ms pass.
    void Feed(int16_t left, int16_t right);
    void FeedSeconds(double seconds, int16_t left, int16_t right);
    void Seize(int channel);
    void Release(int channel);
    std::string ReadFile(const std::string& path) const;
};

// Line 2 off, line 1 stops right after its sound; the core is rebuilt.
CoreRig& LineOneOnly(CoreRig& rig);
// One level-controlled recording of line 1: `seconds` of tone, then silence until it stops
// (with end_of_file 0, two silent blocks are recorded before the third stops it).
void RecordOnce(CoreRig& rig, double seconds);

// A stereo block of perChannel frames, each line a 400 Hz tone of the given peak.
std::vector<int16_t> ToneBlock(size_t perChannel, int16_t leftPeak, int16_t rightPeak, size_t offset = 0);

}  // namespace pell
