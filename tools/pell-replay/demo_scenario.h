// The demo call: a short stereo recording with a caller-ID burst on line 1 (line-state control,
// seized after the burst) and dialled digits on line 2 (sound-level control), with the settings
// and timeline that replay it.
#pragma once

#include <string>

namespace pell {

// Writes settings.ini (drop folders "line1" and "line2" inside folder), call.wav and
// timeline.txt into folder; false when a file cannot be written.
bool WriteDemoScenario(const std::string& folder, std::string* error);

}  // namespace pell
