#include "recorder/core/testing/recorder_fakes.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pell {

namespace {

constexpr char kNoSpace[] = "No space left on device";

class FaultyFile final : public FileHandle {
public:
    FaultyFile(File real, FaultyFileSystem& owner, std::string path)
        : real_(std::move(real)), owner_(owner), path_(std::move(path)) {}
    bool Write(const void* data, size_t size) override {
        if (owner_.WriteFails(path_)) {
            real_.Write(data, size / 2);
            error_ = kNoSpace;
            return false;
        }
        return Check(real_.Write(data, size));
    }
    bool Seek(uint64_t offset) override { return Check(real_.Seek(offset)); }
    std::optional<uint64_t> SeekEnd() override { return real_.SeekEnd(); }
    bool Truncate(uint64_t size) override { return Check(real_.Truncate(size)); }
    bool Sync() override {
        owner_.events.push_back("sync " + path_);
        return Check(real_.Sync());
    }
    FilePlace Locate(const std::string& openedAt) const override { return real_.Locate(openedAt); }
    bool Close() override {
        const bool closed = real_.Close();
        if (owner_.CloseFails(path_)) {
            error_ = "Input/output error";
            return false;
        }
        return Check(closed);
    }
    std::string LastError() const override { return error_; }

private:
    bool Check(bool ok) {
        if (!ok) error_ = real_.LastError();
        return ok;
    }
    File real_;
    FaultyFileSystem& owner_;
    std::string path_;
    std::string error_;
};

bool Matches(const std::string& path, const std::string& text) {
    return !text.empty() && path.find(text) != std::string::npos;
}

}  // namespace

File FaultyFileSystem::Open(const std::string& path, const char* mode, std::string* error) {
    if (whenOpening) whenOpening(path);
    if (failOpenCount > 0 && Matches(path, failOpenMatching)) {
        --failOpenCount;
        if (error) *error = "Permission denied";
        return File();
    }
    File real = RealFileSystem::Open(path, mode, error);
    if (afterOpening) afterOpening(path);
    if (!real) return real;
    return File(std::make_unique<FaultyFile>(std::move(real), *this, path));
}

bool FaultyFileSystem::WriteWhole(const std::string& path, const std::string& text, std::string* error) {
    if (failWholeCount > 0 && Matches(path, failWholeMatching)) {
        --failWholeCount;
        if (error) *error = kNoSpace;
        return false;
    }
    return RealFileSystem::WriteWhole(path, text, error);
}

bool FaultyFileSystem::Remove(const std::string& path) {
    events.push_back("remove " + path);
    if (failRemoveCount > 0 && Matches(path, failRemoveMatching)) {
        --failRemoveCount;
        return false;
    }
    return RealFileSystem::Remove(path);
}

bool FaultyFileSystem::WriteFails(const std::string& path) {
    if (!Matches(path, failWriteMatching)) return false;
    ++writesSeen;
    return failFirstWrite > 0 && writesSeen >= failFirstWrite && writesSeen < failFirstWrite + failWriteCount;
}

bool FaultyFileSystem::CloseFails(const std::string& path) {
    if (failCloseCount <= 0 || !Matches(path, failCloseMatching)) return false;
    --failCloseCount;
    return true;
}

bool FaultyFileSystem::RemoveTree(const std::string& path) {
    if (locked.count(path) != 0) return false;
    if (sticky.count(path) != 0) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
            std::filesystem::remove_all(entry.path(), error);
        }
        return true;
    }
    return RealFileSystem::RemoveTree(path);
}

CoreRig::CoreRig(LocalDateTime start) : clock(start, 5000) {
    settings.programFolder = dir.path();
    settings.sampleRate = 8000;
    settings.cleaning = 0;
    for (int c = 0; c < 2; ++c) {
        ChannelConfig& cfg = ch(c);
        cfg.dropFolder = dir.File(c == 0 ? "rec1" : "rec2");
        cfg.prefix = c == 0 ? "a" : "b";
        cfg.stereo = false;
        cfg.gain = 1;
        cfg.bitrate = 24;
        cfg.sensitiveControl = LineControl::kSoundLevel;
        cfg.sensitiveLevel = 5;
        cfg.endOfFile = 3;
        cfg.maxFileLength = 0;
        cfg.description = c == 0 ? "Sales" : "Support";
        std::filesystem::create_directories(cfg.dropFolder);
    }
    Reload();
}

void CoreRig::Reload() {
    if (core) core->FinishAllRecordings();
    RecorderServices services{clock,
                              lines,
                              view,
                              notifier,
                              fileSystem,
                              freeSpace,
                              [this](const std::string&, ClipMode, int32_t, const ToneTable&) { return caller; },
                              [this](const FiledRecording& f) { filed.push_back(f); }};
    core = std::make_unique<RecorderCore>(settings, toneTables, services);
}

void CoreRig::Feed(int16_t left, int16_t right) {
    const std::vector<int16_t> block = ToneBlock(static_cast<size_t>(settings.sampleRate / 2), left, right);
    core->ProcessBlock(block.data(), block.size());
    clock.AdvanceMs(500);
}

void CoreRig::FeedSeconds(double seconds, int16_t left, int16_t right) {
    for (int i = 0; i < static_cast<int>(std::lround(seconds * 2)); ++i) Feed(left, right);
}

void CoreRig::Seize(int channel) {
    lines.lineActive[static_cast<size_t>(channel)] = true;
    lines.lineSeizedAt[static_cast<size_t>(channel)] = clock.TickMs();
}

void CoreRig::Release(int channel) { lines.lineActive[static_cast<size_t>(channel)] = false; }

std::string CoreRig::ReadFile(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

CoreRig& LineOneOnly(CoreRig& rig) {
    rig.ch(1).exists = false;
    rig.ch(0).endOfFile = 0;
    rig.Reload();
    return rig;
}

void RecordOnce(CoreRig& rig, double seconds) {
    rig.FeedSeconds(seconds, 8000, 0);
    while (rig.core->recording(Line(0))) rig.Feed(0, 0);
}

std::vector<int16_t> ToneBlock(size_t perChannel, int16_t leftPeak, int16_t rightPeak, size_t offset) {
    std::vector<int16_t> block(perChannel * 2);
    for (size_t i = 0; i < perChannel; ++i) {
        // 400 Hz at 8000 Hz: 20 samples a period, with the exact peak at every fifth sample.
        const double s = std::sin(2.0 * M_PI * static_cast<double>((i + offset) % 20) / 20.0);
        block[2 * i] = static_cast<int16_t>(std::lround(s * leftPeak));
        block[2 * i + 1] = static_cast<int16_t>(std::lround(s * rightPeak));
    }
    return block;
}

}  // namespace pell
