#include "player/engine/mp3_frame.h"

#include <algorithm>
#include <cstring>

namespace pell {

const int kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};

bool IsValidHeader(std::uint32_t h) {
    if (h < 0xFFE00000u) return false;
    if (((h >> 19) & 3) == 1) return false;
    if (((h >> 17) & 3) == 0) return false;
    if (((h >> 12) & 15) == 15) return false;
    if (((h >> 10) & 3) == 3) return false;
    if ((h & 3) == 2) return false;
    return true;
}

bool ParseFrameHeader(const std::uint8_t* bytes, FrameHeader& header) {
    const std::uint32_t h =
        (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
    if (!IsValidHeader(h)) return false;
    FrameHeader out;
    if (h & (1u << 20)) {
        out.lsf = (h & (1u << 19)) ? 0 : 1;
        out.mpeg25 = 0;
    } else {
        if (h & (1u << 19)) return false;
        out.lsf = 1;
        out.mpeg25 = 1;
    }
    out.layer = 4 - static_cast<int>((h >> 17) & 3);
    out.bitrateIndex = static_cast<int>((h >> 12) & 15);
    out.sampleRateIndex = static_cast<int>((h >> 10) & 3) + (out.mpeg25 ? 6 : out.lsf * 3);
    out.padding = static_cast<int>((h >> 9) & 1);
    out.channels = ((h >> 6) & 3) == 3 ? 1 : 2;
    const int bitrate = kBitrates[out.lsf][out.layer - 1][out.bitrateIndex];
    const int rate = kSampleRates[static_cast<std::size_t>(out.sampleRateIndex)];
    switch (out.layer) {
        case 1:
            out.size = (bitrate * 12000 / rate + out.padding) * 4;
            break;
        case 2:
            out.size = bitrate * 144000 / rate + out.padding;
            break;
        default:
            out.size = bitrate * 144000 / (rate << out.lsf) + out.padding;
            break;
    }
    header = out;
    return true;
}

int SamplesPerFrame(int layer, int lsf) {
    if (layer == 1) return 384;
    if (layer == 2) return 1152;
    return lsf ? 576 : 1152;
}

int SideInfoSize(int lsf, int channels) {
    if (lsf == 0) return channels == 1 ? 17 : 32;
    return channels == 1 ? 9 : 17;
}

namespace {

bool ReadBigEndian(std::span<const std::uint8_t> frame, std::size_t& at, std::uint32_t& value) {
    if (at + 4 > frame.size()) return false;
    value = (std::uint32_t{frame[at]} << 24) | (std::uint32_t{frame[at + 1]} << 16) |
            (std::uint32_t{frame[at + 2]} << 8) | frame[at + 3];
    at += 4;
    return true;
}

}  // namespace

bool ParseXingFrame(std::span<const std::uint8_t> frame, const FrameHeader& header, XingInfo& xing) {
    std::size_t at = 4 + static_cast<std::size_t>(SideInfoSize(header.lsf, header.channels));
    if (at + 4 > frame.size() || std::memcmp(frame.data() + at, "Xing", 4) != 0) return false;
    at += 4;
    XingInfo out;
    std::uint32_t flags = 0;
    if (!ReadBigEndian(frame, at, flags)) {
        out.flags = 0;
        xing = out;
        return true;
    }
    // A field cut off by the frame's end is dropped from the flags, so nobody relies on it.
    out.flags = flags;
    if (flags & kXingFrames) {
        if (!ReadBigEndian(frame, at, out.frames)) out.flags &= ~(kXingFrames | kXingBytes | kXingToc | kXingQuality);
    }
    if ((out.flags & kXingBytes)) {
        if (!ReadBigEndian(frame, at, out.bytes)) out.flags &= ~(kXingBytes | kXingToc | kXingQuality);
    }
    if (out.flags & kXingToc) {
        if (at + 100 > frame.size()) {
            out.flags &= ~(kXingToc | kXingQuality);
        } else {
            std::copy_n(frame.data() + at, 100, out.toc.begin());
            at += 100;
        }
    }
    if (out.flags & kXingQuality) {
        std::uint32_t quality = 0;
        if (ReadBigEndian(frame, at, quality)) {
            out.quality = static_cast<std::int32_t>(quality);
        } else {
            out.flags &= ~kXingQuality;
        }
    }
    xing = out;
    return true;
}

void FinishMeasurement(StreamInfo& info, std::uint32_t currentHeaderSize, std::uint64_t sampledTotal,
                       std::uint32_t sampledCount) {
    info.frames = 0;
    info.lengthSeconds = 0;
    if (info.vbr && info.xing) {
        info.frames = (info.xingInfo.flags & kXingFrames) ? info.xingInfo.frames : 0;
        // Without a frame count the average still serves seeking; the length stays 0.
        info.averageFrameBytes = info.frames ? info.audioBytes / info.frames : currentHeaderSize;
    } else if (info.vbr) {
        info.averageFrameBytes = sampledCount ? static_cast<std::uint32_t>(sampledTotal / sampledCount) : 0;
        info.frames = info.averageFrameBytes ? info.audioBytes / info.averageFrameBytes : 0;
    } else {
        info.averageFrameBytes = currentHeaderSize;
        info.frames = info.averageFrameBytes ? info.audioBytes / info.averageFrameBytes : 0;
    }
    if (info.sampleRate > 0) {
        info.lengthSeconds =
            static_cast<std::uint32_t>(std::uint64_t{info.frames} * static_cast<std::uint64_t>(info.samplesPerFrame) /
                                       static_cast<std::uint64_t>(info.sampleRate));
    }
}

std::uint64_t TocSeekOffset(const StreamInfo& info, std::uint32_t seconds) {
    if (info.lengthSeconds == 0) return 0;
    float percent = static_cast<float>(seconds) * 100.0f / static_cast<float>(info.lengthSeconds);
    percent = std::clamp(percent, 0.0f, 100.0f);
    int i = std::min(static_cast<int>(percent), 99);
    const float fa = info.xingInfo.toc[static_cast<std::size_t>(i)];
    const float fb = i == 99 ? 256.0f : info.xingInfo.toc[static_cast<std::size_t>(i) + 1];
    const float fx = fa + (fb - fa) * (percent - static_cast<float>(i));
    return static_cast<std::uint64_t>(fx / 256.0f * static_cast<float>(info.audioBytes));
}

std::uint64_t ByteOffsetForSeconds(const StreamInfo& info, std::uint32_t seconds) {
    const bool toc = info.vbr && info.xing && (info.xingInfo.flags & kXingToc) && info.lengthSeconds > 0;
    if (toc) return info.audioStart + TocSeekOffset(info, seconds);
    if (info.samplesPerFrame <= 0) return info.audioStart;
    const std::uint64_t frame = std::uint64_t{seconds} * static_cast<std::uint64_t>(info.sampleRate) /
                                static_cast<std::uint64_t>(info.samplesPerFrame);
    return info.audioStart + frame * info.averageFrameBytes;
}

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    std::int64_t num = std::int64_t{a} * b;
    std::int64_t den = c;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    const std::int64_t q = num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
    return static_cast<int>(q);
}

BufferPlan MakeBufferPlan(int sampleRate, int samplesPerFrame, int totalMs) {
    BufferPlan plan;
    plan.framesPerBuffer = MulDiv(100, sampleRate, samplesPerFrame * 1000);
    if (plan.framesPerBuffer < 1) plan.framesPerBuffer = 1;
    plan.bufferMs = MulDiv((plan.framesPerBuffer + 1) * 1000, samplesPerFrame, sampleRate);
    plan.bufferCount = plan.bufferMs > 0 ? std::max(1, MulDiv(totalMs, 1, plan.bufferMs)) : 0;
    return plan;
}

std::uint32_t OutputBufferBytes(int sampleRate, int channels, int bufferMs) {
    const std::uint64_t avgBytesPerSec = static_cast<std::uint64_t>(sampleRate) * channels * 2;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(bufferMs) * avgBytesPerSec / 1000);
}

}  // namespace pell
