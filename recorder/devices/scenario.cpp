#include "recorder/devices/scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "common/core/wav_file.h"

namespace pell {
namespace {

uint32_t LittleEndian(const std::string& bytes, size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) value |= uint32_t{static_cast<uint8_t>(bytes[at + i])} << (8 * i);
    return value;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    bytes = content.str();
    return true;
}

template <class Number>
bool ReadNumber(const std::string& text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

// "repeat <seconds> <times>"
bool ParseRepeat(const std::vector<std::string>& fields, ScenarioRepeat* repeat) {
    double period = 0;
    long times = 0;
    if (fields.size() != 3 || !ReadNumber(fields[1], period) || !ReadNumber(fields[2], times)) return false;
    if (!(period >= 1) || period > 86400 || times < 1 || times > 100000) return false;
    if (repeat != nullptr) {
        *repeat = {static_cast<uint32_t>(std::llround(period * 1000.0)), static_cast<uint32_t>(times)};
    }
    return true;
}

// "<seconds> <1|2> <active|idle>"; the reason when it is not.
std::string ParseEvent(const std::vector<std::string>& fields, TimelineEvent& event) {
    if (fields.size() != 3) return "expected \"<seconds> <line 1|2> <active|idle>\"";
    // from_chars ignores the locale, which the window may set to one with a decimal comma.
    double seconds = 0;
    if (!ReadNumber(fields[0], seconds) || !(seconds >= 0) || seconds > 4.0e6) return "bad time \"" + fields[0] + "\"";
    if (fields[1] != "1" && fields[1] != "2") return "line must be 1 or 2";
    if (fields[2] != "active" && fields[2] != "idle") return "state must be active or idle";
    event.atMs = static_cast<uint32_t>(std::llround(seconds * 1000.0));
    event.line = fields[1] == "1" ? 1 : 2;
    event.active = fields[2] == "active";
    return {};
}

}  // namespace

uint8_t Scenario::StateByteAt(uint32_t atMs) const {
    if (repeat.periodMs > 0 && uint64_t{atMs} < uint64_t{repeat.periodMs} * repeat.times) atMs %= repeat.periodMs;
    bool active[2] = {false, false};
    for (const TimelineEvent& event : timeline) {
        if (event.atMs > atMs) break;
        active[event.line - 1] = event.active;
    }
    return static_cast<uint8_t>((active[0] ? 0 : 0x02) | (active[1] ? 0 : 0x04));
}

void Scenario::FramesAt(uint64_t firstFrame, size_t count, uint32_t rateHz, int16_t* out) const {
    if (rateHz == 0) {
        // No rate to map frames by: silence rather than a division by zero.
        std::fill(out, out + 2 * count, int16_t{0});
        return;
    }
    const uint64_t total = frameCount();
    const uint64_t period = uint64_t{repeat.periodMs} * sampleRate / 1000;
    for (size_t i = 0; i < count; ++i) {
        uint64_t source = (firstFrame + i) * sampleRate / rateHz;
        if (period > 0) source = source < period * repeat.times ? source % period : total;
        out[2 * i] = source < total ? frames[2 * source] : 0;
        out[2 * i + 1] = source < total ? frames[2 * source + 1] : 0;
    }
}

std::string ParseTimeline(const std::string& text, std::vector<TimelineEvent>& events, ScenarioRepeat* repeat) {
    events.clear();
    if (repeat != nullptr) *repeat = {};
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string word; words >> word;) fields.push_back(word);
        if (fields.empty()) continue;
        if (fields.size() == 4 && fields[1] == "line") fields.erase(fields.begin() + 1);
        const std::string where = "timeline.txt line " + std::to_string(number) + ": ";
        if (fields[0] == "repeat") {
            if (!ParseRepeat(fields, repeat)) return where + "expected \"repeat <seconds 1..86400> <times 1..100000>\"";
            continue;
        }
        TimelineEvent event;
        if (const std::string why = ParseEvent(fields, event); !why.empty()) return where + why;
        events.push_back(event);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const TimelineEvent& a, const TimelineEvent& b) { return a.atMs < b.atMs; });
    return {};
}

std::string ParseWav(const std::string& bytes, Scenario& scenario) {
    const auto check = [](const WavFormat& format) -> std::string {
        if ((format.formatTag != 1 && !format.extensible) || format.bitsPerSample != 16)
            return "only 16-bit PCM is supported";
        if (format.channels != 1 && format.channels != 2) return "only mono or stereo is supported";
        if (format.sampleRateHz == 0 || format.sampleRateHz > kMaxWavRateHz) return "bad sample rate";
        return {};
    };
    std::istringstream in(bytes);
    WavLayout layout;
    if (const std::string why = ReadWavLayout(in, check, true, layout); !why.empty()) return "call.wav: " + why;
    const size_t channels = layout.format.channels;
    const size_t frames = layout.dataBytes / (2 * channels);
    scenario.sampleRate = layout.format.sampleRateHz;
    scenario.frames.assign(frames * 2, 0);
    for (size_t frame = 0; frame < frames; ++frame) {
        for (size_t side = 0; side < 2; ++side) {
            const size_t channel = channels == 2 ? side : 0;
            const size_t offset = layout.dataOffset + (frame * channels + channel) * 2;
            scenario.frames[2 * frame + side] = static_cast<int16_t>(LittleEndian(bytes, offset, 2));
        }
    }
    return {};
}

std::string LoadScenario(const std::string& folder, Scenario& scenario) {
    std::string wav;
    std::string timeline;
    if (!ReadWholeFile(folder + "/call.wav", wav)) return "cannot read " + folder + "/call.wav";
    if (!ReadWholeFile(folder + "/timeline.txt", timeline)) return "cannot read " + folder + "/timeline.txt";
    Scenario loaded;
    if (std::string error = ParseWav(wav, loaded); !error.empty()) return error;
    if (std::string error = ParseTimeline(timeline, loaded.timeline, &loaded.repeat); !error.empty()) return error;
    scenario = std::move(loaded);
    return {};
}

}  // namespace pell
