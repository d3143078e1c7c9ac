#pragma once

// Compares what an output device really played (a capture of a PulseAudio null sink's monitor)
// with the PCM the decoder made for the same file, to find what a listener would miss: gaps
// (silence the device inserted when it ran dry), sound lost at the end, and clipped samples.
//
// How it works: the capture is aligned to the reference by correlating the first loud stretch
// of the reference against the capture's first seconds. Then the reference is walked in 10 ms
// blocks; a block matches when the capture at the current offset equals it to within a small
// relative error. A loud block that does not match makes the search look further ahead in the
// capture (up to kMaxGapMs); the offset found is a gap of that length. Silent blocks carry no
// evidence and are skipped. Whatever follows the last matching block is lost at the end;
// whatever came before the capture began is reported apart, as the capture's fault.
// Both signals are 16-bit interleaved PCM of the same rate and channel count.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pell {

struct CaptureGap {
    double atMs;      // reference time where the capture fell behind
    double lengthMs;  // silence inserted there
};

struct CaptureReport {
    bool aligned = false;      // false: the reference's sound was not found in the capture
    double startDelayMs = 0;   // where the reference begins in the capture (negative: before it)
    double lostAtStartMs = 0;  // reference time played before the capture began
    double referenceMs = 0;    // the reference's length
    double matchedMs = 0;      // reference time up to the end of its last matching block
    double lostAtEndMs = 0;    // reference time after that, never heard
    std::vector<CaptureGap> gaps;
    double gapMs = 0;                  // the gaps' total
    std::size_t mismatchedBlocks = 0;  // loud blocks that matched nowhere (distortion)
    std::size_t clippedSamples = 0;    // capture samples at full scale
    std::size_t referenceClipped = 0;  // reference samples at full scale
};

inline constexpr int kCompareBlockMs = 10;
inline constexpr int kMaxGapMs = 5000;

CaptureReport CompareCapture(std::span<const std::int16_t> reference, std::span<const std::int16_t> capture,
                             int sampleRate, int channels);

}  // namespace pell
