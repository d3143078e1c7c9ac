// A line box scenario: a stereo WAV file (line 1 left, line 2 right) and a timeline of line
// states, lines "<seconds> <line> <active|idle>" (the line as "1", "2", "line 1" or "line 2";
// '#' starts a comment). Both lines start idle; after the sound ends the box delivers silence.
// A line "repeat <seconds> <times>" plays the first <seconds> of sound and line changes that
// many times over, one after the other (a long run of calls from a short file).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pell {

struct TimelineEvent {
    uint32_t atMs = 0;
    int line = 1;  // 1 or 2
    bool active = false;
};

struct ScenarioRepeat {
    uint32_t periodMs = 0;  // 0: played once
    uint32_t times = 0;
};

struct Scenario {
    uint32_t sampleRate = 8000;
    ScenarioRepeat repeat;
    std::vector<int16_t> frames;          // interleaved left, right
    std::vector<TimelineEvent> timeline;  // in time order

    size_t frameCount() const { return frames.size() / 2; }
    // The report's state byte at `atMs` since the scenario started: bits 0x02 (line 1) and
    // 0x04 (line 2) set while the line is idle.
    uint8_t StateByteAt(uint32_t atMs) const;
    // Fills `count` frames at `rateHz` starting at frame `firstFrame` of that rate, taking the
    // nearest scenario frame when the rates differ; silence past the end.
    void FramesAt(uint64_t firstFrame, size_t count, uint32_t rateHz, int16_t* out) const;
};

// Error texts name the file and the line or field at fault; empty on success.
std::string ParseTimeline(const std::string& text, std::vector<TimelineEvent>& events,
                          ScenarioRepeat* repeat = nullptr);
// 16-bit PCM WAV, mono (copied to both lines) or stereo.
std::string ParseWav(const std::string& bytes, Scenario& scenario);
// Reads "call.wav" and "timeline.txt" from `folder`.
std::string LoadScenario(const std::string& folder, Scenario& scenario);

}  // namespace pell
