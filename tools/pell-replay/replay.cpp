#include "tools/pell-replay/replay.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <utility>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "common/core/paths.h"
#include "common/core/recorder_options.h"
#include "common/core/recorder_settings.h"
#include "common/core/wav_file.h"
#include "custody/posix/custody.h"
#include "recorder/core/caller_identification.h"
#include "recorder/core/recorder_core.h"

namespace pell {
namespace {

// Tick and local time advance together, 500 ms per block.
class ReplayClock final : public Clock {
public:
    explicit ReplayClock(LocalDateTime start) : start_(start) {}
    uint32_t TickMs() override { return static_cast<uint32_t>(kFirstTickMs + elapsedMs_); }
    LocalDateTime Now() override {
        using namespace std::chrono;
        const int64_t startSeconds = int64_t{start_.hour} * 3600 + start_.minute * 60 + start_.second;
        const int64_t total = startSeconds + static_cast<int64_t>(elapsedMs_ / 1000);
        LocalDateTime now;
        now.date = year_month_day{sys_days{start_.date} + days{total / 86400}};
        now.hour = static_cast<int>(total % 86400 / 3600);
        now.minute = static_cast<int>(total % 3600 / 60);
        now.second = static_cast<int>(total % 60);
        return now;
    }
    void Advance(uint64_t ms) { elapsedMs_ += ms; }

private:
    static constexpr uint64_t kFirstTickMs = 1000;
    LocalDateTime start_;
    uint64_t elapsedMs_ = 0;
};

class QuietView final : public RecorderView {
public:
    void SetMeter(Line, int) override {}
    void SetStatusText(Line, const std::string&) override {}
    void SetRecordingCheck(Line, bool) override {}
    void SetTrayIcon(TrayIcon, const std::string&) override {}
};

class StreamNotifier final : public Notifier {
public:
    explicit StreamNotifier(std::ostream& err) : err_(err) {}
    void ShowStop(const std::string& text) override { err_ << "pell-replay: " << text << '\n'; }
    void Log(const std::string& line) override { err_ << "pell-replay: log: " << line << '\n'; }

private:
    std::ostream& err_;
};

// The drop folders' free space: the real disk's, or with a disk size that size less the files
// under the drop folders, as if they were alone on a disk that small.
class ReplayFreeSpace final : public FreeSpaceProvider {
public:
    ReplayFreeSpace(std::optional<uint64_t> diskBytes, const RecorderSettings& settings) : diskBytes_(diskBytes) {
        for (const ChannelConfig& channel : settings.channels) {
            if (!channel.dropFolder.empty() &&
                std::find(dropFolders_.begin(), dropFolders_.end(), channel.dropFolder) == dropFolders_.end()) {
                dropFolders_.push_back(channel.dropFolder);
            }
        }
    }
    std::optional<uint64_t> FreeBytes(const std::string& folder) override {
        if (!diskBytes_) return disk_.FreeBytes(folder);
        namespace fs = std::filesystem;
        uint64_t used = 0;
        for (const std::string& drop : dropFolders_) {
            std::error_code error;
            for (fs::recursive_directory_iterator it(drop, error), end; !error && it != end; it.increment(error)) {
                std::error_code sizeError;
                if (it->is_regular_file(sizeError)) used += it->file_size(sizeError);
            }
        }
        return used >= *diskBytes_ ? 0 : *diskBytes_ - used;
    }

private:
    std::optional<uint64_t> diskBytes_;
    std::vector<std::string> dropFolders_;
    DiskFreeSpace disk_;
};

// recorder.ini's retention per line, and what its load refused.
void ApplyRecorderOptions(RecorderCore& core, const std::string& programFolder, std::ostream& err) {
    const RecorderOptions options = LoadRecorderOptions(programFolder);
    for (const std::string& message : options.messages) err << "pell-replay: recorder.ini: " << message << '\n';
    core.SetRetention(options.lines);
}

// A file whose modification time becomes the replay clock's time when it is closed.
class ClockedFile final : public FileHandle {
public:
    ClockedFile(File real, Clock& clock, std::string path)
        : real_(std::move(real)), clock_(clock), path_(std::move(path)) {}
    ~ClockedFile() override {
        if (real_) Close();
    }
    ClockedFile(const ClockedFile&) = delete;
    ClockedFile& operator=(const ClockedFile&) = delete;
    bool Write(const void* data, size_t size) override { return real_.Write(data, size); }
    bool Seek(uint64_t offset) override { return real_.Seek(offset); }
    std::optional<uint64_t> SeekEnd() override { return real_.SeekEnd(); }
    bool Truncate(uint64_t size) override { return real_.Truncate(size); }
    bool Sync() override { return real_.Sync(); }
    FilePlace Locate(const std::string& openedAt) const override { return real_.Locate(openedAt); }
    bool Close() override {
        const bool closed = real_.Close();
        SetModificationTime(path_, clock_.Now());
        return closed;
    }
    std::string LastError() const override { return real_.LastError(); }

    static void SetModificationTime(const std::string& path, const LocalDateTime& when) {
        const std::time_t at = ToTimeT(when);
        const timespec times[2] = {{at, 0}, {at, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }

private:
    File real_;
    Clock& clock_;
    std::string path_;
};

// The real file system, dating every file it writes by the replay clock, so the player lists
// replayed calls at their replayed times.
class ClockedFileSystem final : public RealFileSystem {
public:
    explicit ClockedFileSystem(Clock& clock) : clock_(clock) {}
    File Open(const std::string& path, const char* mode, std::string* error = nullptr) override {
        File real = RealFileSystem::Open(path, mode, error);
        if (!real) return real;
        return File(std::make_unique<ClockedFile>(std::move(real), clock_, path));
    }
    bool WriteWhole(const std::string& path, const std::string& text, std::string* error = nullptr) override {
        if (!RealFileSystem::WriteWhole(path, text, error)) return false;
        ClockedFile::SetModificationTime(path, clock_.Now());
        return true;
    }

private:
    Clock& clock_;
};

}  // namespace

bool StereoWavReader::Open(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& why) {
        *error = path + ": " + why;
        return false;
    };
    in_ = std::ifstream(path, std::ios::binary);
    if (!in_) return fail("cannot be opened");
    const auto check = [](const WavFormat& format) -> std::string {
        if (format.formatTag != 1) return "not PCM (format " + std::to_string(format.formatTag) + ")";
        if (format.channels != 2) return "has " + std::to_string(format.channels) + " channel(s), 2 are needed";
        if (format.bitsPerSample != 16)
            return "has " + std::to_string(format.bitsPerSample) + "-bit samples, 16 are needed";
        if (format.sampleRateHz == 0 || format.sampleRateHz > kMaxWavRateHz) return "has an impossible sample rate";
        return {};
    };
    // A recording cut short still replays up to where it stops.
    WavLayout layout;
    if (const std::string why = ReadWavLayout(in_, check, false, layout); !why.empty()) return fail(why);
    sampleRateHz_ = static_cast<int32_t>(layout.format.sampleRateHz);
    framesLeft_ = layout.dataBytes / 4;
    return true;
}

size_t StereoWavReader::Read(int16_t* out, size_t frames) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(frames, framesLeft_));
    if (want == 0) return 0;
    // Little-endian samples, as the machines this runs on store them.
    const std::streamsize got = in_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(want * 4)).gcount();
    const size_t read = static_cast<size_t>(got) / 4;
    framesLeft_ = read < want ? 0 : framesLeft_ - read;
    return read;
}

std::optional<WavAudio> ReadStereoWav(const std::string& path, std::string* error) {
    StereoWavReader reader;
    if (!reader.Open(path, error)) return std::nullopt;
    WavAudio audio;
    audio.sampleRateHz = reader.sampleRateHz();
    std::vector<int16_t> chunk(2 * 65536);
    while (const size_t frames = reader.Read(chunk.data(), chunk.size() / 2)) {
        audio.samples.insert(audio.samples.end(), chunk.begin(),
                             chunk.begin() + static_cast<std::ptrdiff_t>(frames * 2));
    }
    return audio;
}

std::optional<std::vector<LineEvent>> ParseTimeline(std::istream& in, std::string* error) {
    std::vector<LineEvent> events;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == '#') continue;
        std::istringstream line(text);
        LineEvent event;
        std::string state, rest;
        if (!(line >> event.seconds >> event.line >> state) || (line >> rest) || event.seconds < 0 ||
            (event.line != 1 && event.line != 2) || (state != "active" && state != "idle")) {
            *error =
                "timeline line " + std::to_string(number) + ": expected \"<seconds> <1|2> <active|idle>\": " + text;
            return std::nullopt;
        }
        event.active = state == "active";
        events.push_back(event);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const LineEvent& a, const LineEvent& b) { return a.seconds < b.seconds; });
    return events;
}

std::optional<LocalDateTime> ParseStartTime(const std::string& text) {
    int y, mo, d, h, mi, s;
    char tail;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) return std::nullopt;
    LocalDateTime when;
    when.date = std::chrono::year_month_day{std::chrono::year{y}, std::chrono::month{static_cast<unsigned>(mo)},
                                            std::chrono::day{static_cast<unsigned>(d)}};
    if (!when.date.ok() || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) return std::nullopt;
    when.hour = h;
    when.minute = mi;
    when.second = s;
    return when;
}

int RunReplay(const ReplayOptions& options, std::ostream& out, std::ostream& err) {
    RecorderSettings settings;
    ToneTables toneTables{};
    settings.programFolder = options.folder;
    // A folder without settings is almost always a mistyped path: recording into it would hide that.
    if (!std::ifstream(JoinPath(options.folder, "settings.ini"))) {
        err << "pell-replay: " << JoinPath(options.folder, "settings.ini") << ": cannot be opened\n";
        return 2;
    }
    LoadSettings(settings, toneTables);
    CreateDropFolders(settings);

    std::string error;
    StereoWavReader wav;
    if (!wav.Open(options.wavPath, &error)) {
        err << "pell-replay: " << error << '\n';
        return 2;
    }
    if (wav.sampleRateHz() != settings.sampleRate) {
        err << "pell-replay: " << options.wavPath << ": sample rate " << wav.sampleRateHz()
            << " Hz, but settings.ini asks for " << settings.sampleRate << " Hz\n";
        return 2;
    }
    std::ifstream timelineFile(options.timelinePath);
    if (!timelineFile) {
        err << "pell-replay: " << options.timelinePath << ": cannot be opened\n";
        return 2;
    }
    const std::optional<std::vector<LineEvent>> timeline = ParseTimeline(timelineFile, &error);
    if (!timeline) {
        err << "pell-replay: " << options.timelinePath << ": " << error << '\n';
        return 2;
    }

    ReplayClock clock(options.start);
    LineStates lines;
    QuietView view;
    StreamNotifier notifier(err);
    ClockedFileSystem fileSystem(clock);
    ReplayFreeSpace freeSpace(options.diskBytes, settings);
    PosixRecordingCustody custody("pell-replay");
    RecorderServices services{
        clock, lines, view, notifier, fileSystem, freeSpace, DefaultCallerIdentifier(), [&](const FiledRecording& f) {
            out << f.channel + 1 << '\t' << f.path << '\t' << f.number << '\t' << f.directionMark << '\n';
        }};
    services.custody = &custody;
    RecorderCore core(settings, toneTables, services);
    core.OnSettingsLoaded(std::exchange(settings.loadMessages, {}));
    ApplyRecorderOptions(core, settings.programFolder, err);
    if (!core.LoadEncoder(kLines[0]) || !core.LoadEncoder(kLines[1])) {
        err << "pell-replay: Could not upload mp3 codec!\n";
        return 1;
    }
    // A run stopped in the middle of a call left its recording unfinished: finish it first.
    core.RecoverUnfinishedRecordings();

    // Timer 0 fires first 2 s after start; each cleaning pass sets the period it wants.
    uint64_t timerPeriodMs = 2000;
    uint64_t nextTimerMs = timerPeriodMs;
    // Half a second of frames per block, as the capture delivers them: an odd rate never splits a frame.
    const size_t framesPerBlock = static_cast<size_t>(settings.sampleRate / 2);
    std::vector<int16_t> block(framesPerBlock * 2);
    size_t nextEvent = 0;
    for (uint64_t elapsedMs = 0;; elapsedMs += 500) {
        const size_t frames = wav.Read(block.data(), framesPerBlock);
        if (frames == 0) break;
        // A change applies from the first block that starts at or after its time.
        while (nextEvent < timeline->size() &&
               (*timeline)[nextEvent].seconds * 1000.0 <= static_cast<double>(elapsedMs)) {
            const LineEvent& e = (*timeline)[nextEvent++];
            const size_t line = static_cast<size_t>(e.line - 1);
            if (e.active && !lines.lineActive[line]) lines.lineSeizedAt[line] = clock.TickMs();
            lines.lineActive[line] = e.active;
        }
        std::fill(block.begin() + static_cast<std::ptrdiff_t>(frames * 2), block.end(), 0);
        core.ProcessBlock(block.data(), block.size());
        clock.Advance(500);
        while (elapsedMs + 500 >= nextTimerMs) {
            if (const std::optional<uint32_t> period = core.CleanDisk()) timerPeriodMs = *period;
            nextTimerMs += timerPeriodMs;
        }
        if (options.pauseMsPerBlock > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(options.pauseMsPerBlock));
    }
    core.FinishAllRecordings();
    return 0;
}

}  // namespace pell
