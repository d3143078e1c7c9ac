// Headless replay: runs the recording core exactly as the recorder would, on a stereo WAV file
// (line 1 left, line 2 right) and a timeline of line states, as fast as the machine allows, with a
// clock that advances half a second per block.
#pragma once

#include <cstdint>
#include <fstream>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "common/core/clock.h"

namespace pell {

struct WavAudio {
    int32_t sampleRateHz = 0;
    std::vector<int16_t> samples;  // interleaved left/right
};

// Reads a 16-bit stereo PCM WAV as a stream: only the block asked for is in memory.
class StereoWavReader {
public:
    // Accepts 16-bit PCM with two channels only; anything else is an error with its reason.
    bool Open(const std::string& path, std::string* error);
    int32_t sampleRateHz() const { return sampleRateHz_; }
    // Fills up to `frames` frames (interleaved values) into out; the number of frames read,
    // 0 at the end of the data.
    size_t Read(int16_t* out, size_t frames);

private:
    std::ifstream in_;
    int32_t sampleRateHz_ = 0;
    uint64_t framesLeft_ = 0;
};

// The whole file at once, for small files and tests.
std::optional<WavAudio> ReadStereoWav(const std::string& path, std::string* error);

struct LineEvent {
    double seconds = 0;
    int line = 1;  // 1 or 2
    bool active = false;
};

// Lines "<seconds> <line 1|2> <active|idle>"; blank lines and lines starting with '#' are skipped.
// Events are returned sorted by time (stable for equal times).
std::optional<std::vector<LineEvent>> ParseTimeline(std::istream& in, std::string* error);

// "YYYY-MM-DD HH:MM:SS"
std::optional<LocalDateTime> ParseStartTime(const std::string& text);

struct ReplayOptions {
    std::string folder;
    std::string wavPath;
    std::string timelinePath;
    LocalDateTime start;
    uint32_t pauseMsPerBlock = 0;  // real time waited after each block, to watch or interrupt a replay
    // The drop folders on a disk of this many bytes: free space is that minus every file under
    // them, so cleaning and keep_days meet a filling disk without a small file system to mount.
    std::optional<uint64_t> diskBytes;
};

// The recorder's options of recorder.ini in the folder (retention per line) apply, and its
// custody records (manifest, hold lists, audit trail as "pell-replay") are kept as the recorder
// keeps them. First finishes any recording a stopped earlier run left unfinished, then replays. Prints one
// line per recording file on disk to out: channel (1 or 2), path, number, direction mark,
// tab-separated; messages, log lines and errors go to err. Every file the recorder closes takes
// the replay clock's time as its modification time. Returns the process exit code.
int RunReplay(const ReplayOptions& options, std::ostream& out, std::ostream& err);

}  // namespace pell
