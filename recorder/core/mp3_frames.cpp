#include "recorder/core/mp3_frames.h"

namespace pell {
namespace {

int Version(const unsigned char* h) { return (h[1] >> 3) & 3; }  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5

bool FrameAt(const std::vector<uint8_t>& bytes, uint64_t at, uint32_t& length) {
    if (at + 4 > bytes.size()) return false;
    length = Mp3FrameLength(bytes.data() + at);
    return length != 0 && at + length <= bytes.size();
}

}  // namespace

uint32_t Mp3FrameLength(const unsigned char* h) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return 0;
    const int version = Version(h);
    const int layer = (h[1] >> 1) & 3;  // 1: layer III
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return 0;
    static constexpr uint32_t kMpeg1Kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static constexpr uint32_t kMpeg2Kbps[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    const uint32_t kbps = (version == 3 ? kMpeg1Kbps : kMpeg2Kbps)[bitrateIndex];
    const uint32_t padding = (h[2] >> 1) & 1;
    return (version == 3 ? 144000 : 72000) * kbps / Mp3FrameRateHz(h) + padding;
}

uint32_t Mp3FrameSamples(const unsigned char* h) { return Version(h) == 3 ? 1152 : 576; }

uint32_t Mp3FrameRateHz(const unsigned char* h) {
    static constexpr uint32_t kRates[] = {44100, 48000, 32000, 0};
    const int version = Version(h);
    return kRates[(h[2] >> 2) & 3] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
}

Mp3Frames FindMp3Frames(const std::vector<uint8_t>& bytes) {
    Mp3Frames found;
    // The Info frame slot of a cut first part is still zeros: the frames start after it.
    uint64_t at = 0;
    while (at < bytes.size() && bytes[at] == 0) ++at;
    bool inRun = false;
    while (at < bytes.size()) {
        uint32_t length = 0;
        if (inRun && FrameAt(bytes, at, length)) {
            found.samples += Mp3FrameSamples(bytes.data() + at);
            at += length;
            found.runs.back().second = at;
            continue;
        }
        // Out of step: the next place where a frame is followed by another, or ends the file.
        uint64_t next = inRun ? at + 1 : at;
        for (; next + 4 <= bytes.size(); ++next) {
            uint32_t second = 0;
            if (FrameAt(bytes, next, length) &&
                (next + length == bytes.size() || FrameAt(bytes, next + length, second)))
                break;
        }
        if (next + 4 > bytes.size()) break;
        if (found.runs.empty()) found.rateHz = Mp3FrameRateHz(bytes.data() + next);
        found.runs.emplace_back(next, next);
        inRun = true;
        at = next;
    }
    return found;
}

}  // namespace pell
