// The demo call: a short stereo recording with a caller-ID burst on line 1 (line-state control,
// seized after the burst) and dialled digits on line 2 (sound-level control), with the settings
// and timeline that replay it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pell {

// How a demo line starts and stops its recordings: the keys "sensitive_control" and "end_of_file".
struct DemoLineControl {
    const char* sensitiveControl;
    const char* endOfFile;
};

// Writes settings.ini for the demo's two lines into folder (created when missing): line 1 "in-"
// reception and line 2 "out-" sales, both with automatic caller identification (FSK of either
// tone pair, then tone), recording into "line1" and "line2" inside folder. Empty when written,
// else what failed.
std::string WriteDemoSettings(const std::string& folder, const std::string& device, int32_t rateHz,
                              DemoLineControl line1, DemoLineControl line2);

// Writes folder/call.wav: line 1 left, line 2 right, both cut or padded with silence to `frames`.
// Empty when written, else what failed.
std::string WriteDemoCall(const std::string& folder, int32_t rateHz, std::vector<int16_t> line1,
                          std::vector<int16_t> line2, size_t frames);

// Writes settings.ini (drop folders "line1" and "line2" inside folder), call.wav and
// timeline.txt into folder; false when a file cannot be written.
bool WriteDemoScenario(const std::string& folder, std::string* error);

}  // namespace pell
