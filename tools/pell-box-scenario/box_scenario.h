// Scenarios for the simulated line box, with a program folder to record them into: the
// recorder's settings.ini (drop folders "line1" and "line2" inside the folder), call.wav and
// timeline.txt.
#pragma once

#include <cstdint>
#include <string>

namespace pell {

struct BoxScenarioOptions {
    int32_t sampleRateHz = 8000;
    // 0: the 20 s demo (an FSK caller ID call on line 1, a dialled call on line 2). Otherwise
    // this many calls on both lines, one a minute, each 59 s of speech-like sound (one minute of
    // sound and line changes that the box repeats).
    uint32_t calls = 0;
};

// Empty on success, else what could not be written.
std::string WriteBoxScenario(const std::string& folder, const BoxScenarioOptions& options);

// What the demo's calls leave behind: the caller's number and direction mark per line.
inline constexpr char kDemoLine1Number[] = "5551234";
inline constexpr char kDemoLine2Number[] = "0123456";

}  // namespace pell
