// Finds the MPEG audio layer III frames in a recording as a crash or power cut left it: the
// zeroed Info frame slot at the start, whole frames, holes of zeros or rubbish where writes never
// reached the disk, and a frame cut off at the end. A run of frames resumes after a hole only
// where two frames follow each other (or one ends the file), so rubbish that happens to look
// like one header is not taken for sound.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace pell {

// Length in bytes of the layer III frame whose four header bytes these are; 0 when they are none.
uint32_t Mp3FrameLength(const unsigned char* header);
// Samples per channel one such frame holds: 1152 (MPEG-1) or 576 (MPEG-2 and 2.5).
uint32_t Mp3FrameSamples(const unsigned char* header);
uint32_t Mp3FrameRateHz(const unsigned char* header);

struct Mp3Frames {
    std::vector<std::pair<uint64_t, uint64_t>> runs;  // [begin, end) of each run of whole frames
    uint64_t samples = 0;                             // per channel, over every run
    uint32_t rateHz = 0;                              // of the first frame
    uint64_t end() const { return runs.empty() ? 0 : runs.back().second; }
    uint32_t Seconds() const { return rateHz == 0 ? 0 : static_cast<uint32_t>(samples / rateHz); }
};

Mp3Frames FindMp3Frames(const std::vector<uint8_t>& bytes);

}  // namespace pell
