#include "recorder/core/testing/recorder_fakes.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pell {

FilePtr FaultyFileSystem::Open(const std::string& path, const char* mode) {
    if (failOpenCount > 0 && !failOpenMatching.empty() && path.find(failOpenMatching) != std::string::npos) {
        --failOpenCount;
        return nullptr;
    }
    return RealFileSystem::Open(path, mode);
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
        cfg.stereo = 0;
        cfg.gain = 1;
        cfg.bitrate = 24;
        cfg.sensitiveControl = 1;
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
    RecorderServices services{clock, lines, view, notifier, fileSystem, freeSpace,
                              [this](const std::string&, int32_t, int32_t, const ToneTable&) { return caller; },
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
