#include "tools/pell-replay/replay.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "common/core/paths.h"
#include "common/core/recorder_settings.h"
#include "recorder/core/caller_identification.h"
#include "recorder/core/recorder_core.h"

namespace pell {
namespace {

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}
void Put16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

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
    void SetMeter(int, int) override {}
    void SetStatusText(int, const std::string&) override {}
    void SetRecordingCheck(int, bool) override {}
    void SetTrayIcon(TrayIcon, const std::string&) override {}
};

class StreamNotifier final : public Notifier {
public:
    explicit StreamNotifier(std::ostream& err) : err_(err) {}
    void ShowStop(const std::string& text) override { err_ << "pell-replay: " << text << '\n'; }

private:
    std::ostream& err_;
};

}  // namespace

std::optional<WavAudio> ReadStereoWav(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<WavAudio> {
        *error = path + ": " + why;
        return std::nullopt;
    };
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("cannot be opened");
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < 12 || std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0) {
        return fail("not a RIFF WAVE file");
    }
    WavAudio audio;
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t size = Le32(b + at + 4);
        const size_t body = at + 8;
        const size_t available = std::min<size_t>(size, bytes.size() - body);
        if (std::memcmp(b + at, "fmt ", 4) == 0) {
            if (available < 16) return fail("format chunk too short");
            uint16_t format = Le16(b + body);
            const uint16_t channels = Le16(b + body + 2);
            const uint32_t rate = Le32(b + body + 4);
            const uint16_t bits = Le16(b + body + 14);
            // WAVE_FORMAT_EXTENSIBLE names its real format in the first two bytes of the sub-format.
            if (format == 0xFFFE && available >= 26) format = Le16(b + body + 24);
            if (format != 1) return fail("not PCM (format " + std::to_string(format) + ")");
            if (channels != 2) return fail("has " + std::to_string(channels) + " channel(s), 2 are needed");
            if (bits != 16) return fail("has " + std::to_string(bits) + "-bit samples, 16 are needed");
            if (rate == 0 || rate > 192000) return fail("has an impossible sample rate");
            audio.sampleRateHz = static_cast<int32_t>(rate);
            haveFormat = true;
        } else if (std::memcmp(b + at, "data", 4) == 0) {
            if (!haveFormat) return fail("data before the format chunk");
            audio.samples.resize(available / 4 * 2);
            std::memcpy(audio.samples.data(), b + body, audio.samples.size() * 2);
            return audio;
        }
        at = body + size + (size & 1);
    }
    return fail(haveFormat ? "no data chunk" : "no format chunk");
}

bool WriteStereoWav(const std::string& path, int32_t sampleRateHz, const std::vector<int16_t>& samples) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::string out = "RIFF";
    Put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, 2);
    Put32(out, static_cast<uint32_t>(sampleRateHz));
    Put32(out, static_cast<uint32_t>(sampleRateHz) * 4);
    Put16(out, 4);
    Put16(out, 16);
    out += "data";
    Put32(out, dataBytes);
    out.append(reinterpret_cast<const char*>(samples.data()), dataBytes);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file.flush());
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
            *error = "timeline line " + std::to_string(number) + ": expected \"<seconds> <1|2> <active|idle>\": " + text;
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
    // Without settings every drop folder is empty, and day folders would land at the root.
    if (!std::ifstream(JoinPath(options.folder, "settings.ini"))) {
        err << "pell-replay: " << JoinPath(options.folder, "settings.ini") << ": cannot be opened\n";
        return 2;
    }
    LoadSettings(settings, toneTables);
    CreateDropFolders(settings);

    std::string error;
    const std::optional<WavAudio> wav = ReadStereoWav(options.wavPath, &error);
    if (!wav) {
        err << "pell-replay: " << error << '\n';
        return 2;
    }
    if (wav->sampleRateHz != settings.sampleRate) {
        err << "pell-replay: " << options.wavPath << ": sample rate " << wav->sampleRateHz
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
    RealFileSystem fileSystem;
    DiskFreeSpace freeSpace;
    RecorderServices services{clock, lines, view, notifier, fileSystem, freeSpace, DefaultCallerIdentifier(),
                              [&](const FiledRecording& f) {
                                  out << f.channel + 1 << '\t' << f.path << '\t' << f.number << '\t'
                                      << f.directionMark << '\n';
                              }};
    RecorderCore core(settings, toneTables, services);
    if (!core.LoadEncoder(0) || !core.LoadEncoder(1)) {
        err << "pell-replay: Could not upload mp3 codec!\n";
        return 1;
    }

    // Timer 0 fires first 2 s after start; each cleaning pass sets the period it wants.
    uint64_t timerPeriodMs = 2000;
    uint64_t nextTimerMs = timerPeriodMs;
    const size_t blockValues = static_cast<size_t>(settings.sampleRate);
    std::vector<int16_t> block(blockValues);
    size_t nextEvent = 0;
    uint64_t elapsedMs = 0;
    for (size_t at = 0; at < wav->samples.size(); at += blockValues, elapsedMs += 500) {
        // A change applies from the first block that starts at or after its time.
        while (nextEvent < timeline->size() && (*timeline)[nextEvent].seconds * 1000.0 <= static_cast<double>(elapsedMs)) {
            const LineEvent& e = (*timeline)[nextEvent++];
            const size_t line = static_cast<size_t>(e.line - 1);
            if (e.active && !lines.lineActive[line]) lines.lineSeizedAt[line] = clock.TickMs();
            lines.lineActive[line] = e.active;
        }
        const size_t n = std::min(blockValues, wav->samples.size() - at);
        std::copy_n(wav->samples.begin() + static_cast<std::ptrdiff_t>(at), n, block.begin());
        std::fill(block.begin() + static_cast<std::ptrdiff_t>(n), block.end(), 0);
        core.ProcessBlock(block.data(), block.size());
        clock.Advance(500);
        while (elapsedMs + 500 >= nextTimerMs) {
            if (const std::optional<uint32_t> period = core.CleanDisk()) timerPeriodMs = *period;
            nextTimerMs += timerPeriodMs;
        }
    }
    core.FinishAllRecordings();
    return 0;
}

}  // namespace pell
