// The frame-level work of WMp3 on its stream: the sync search, tag detection, the Xing header
// and the measurement of a newly opened stream. Callers hold the stream lock (or no worker runs).

#include <cstring>

#include "player/engine/wmp3.h"
#include "player/engine/wmp3_messages.h"

namespace pell {

namespace msg = wmp3_messages;

namespace {

bool MatchesRequired(const FrameHeader& h, int layer, int sampleRateIndex, int channels) {
    return (layer < 0 || h.layer == layer) && (sampleRateIndex < 0 || h.sampleRateIndex == sampleRateIndex) &&
           (channels < 0 || h.channels == channels);
}

}  // namespace

bool WMp3::FindFirstValidFrame() {
    if (!stream_ || searchBuffer_.empty()) return false;
    WStream& s = *stream_;
    if (std::uint64_t{s.GetSize()} < std::uint64_t{s.GetPosition()} + 24) return false;
    const int reqLayer = info_.requiredLayer;
    const int reqRate = info_.requiredSampleRateIndex;
    const int reqChannels = info_.requiredChannels;
    std::uint8_t* buf = searchBuffer_.data();
    for (;;) {
        const std::uint32_t base = s.GetPosition();
        std::uint32_t got = 0;
        if (!s.Read(buf, static_cast<std::uint32_t>(searchBuffer_.size()), &got) || got < 24) return false;
        for (std::uint32_t p = 0; p < got - 3; ++p) {
            if (buf[p] != 0xFF || (buf[p + 1] & 0xE0) == 0) continue;
            FrameHeader first;
            if (!ParseFrameHeader(buf + p, first) || first.size < 24 ||
                !MatchesRequired(first, reqLayer, reqRate, reqChannels))
                continue;
            header_ = first;
            const std::uint64_t q = std::uint64_t{p} + static_cast<std::uint64_t>(first.size);
            std::uint8_t next[4];
            if (q < got - 3) {
                std::memcpy(next, buf + q, 4);
            } else {
                std::uint32_t n = 0;
                // A candidate whose follower would lie past the end is not the frame; others may be.
                if (!s.Seek(static_cast<std::int64_t>(base + q), SeekFrom::kBegin) || !s.Read(next, 4, &n) || n < 4)
                    continue;
            }
            FrameHeader second;
            if (ParseFrameHeader(next, second) && second.layer == first.layer &&
                second.sampleRateIndex == first.sampleRateIndex && second.channels == first.channels) {
                header_ = second;
                return s.Seek(std::int64_t{base} + p, SeekFrom::kBegin) != 0;
            }
        }
        // The next block starts three bytes back, so a header cut by this block's end is examined.
        if (!s.Seek(std::int64_t{base} + got - 3, SeekFrom::kBegin)) return false;
    }
}

int WMp3::GetID3Version() {
    std::lock_guard lock(streamLock_);
    return GetID3VersionLocked();
}

int WMp3::GetID3VersionLocked() {
    if (!stream_) return 0;
    WStream& s = *stream_;
    const std::uint32_t saved = s.GetPosition();
    int version = 0;
    std::uint8_t tag[3];
    std::uint32_t n = 0;
    if (!s.Seek(info_.startOffset, SeekFrom::kBegin)) {
        SetError(msg::kId3CantSeekToBegin);
        return 0;
    }
    if (!s.Read(tag, 3, &n) || n < 3) {
        SetError(msg::kId3CantReadId3);
        return 0;
    }
    if (std::memcmp(tag, "ID3", 3) == 0) version += 2;
    if (!s.Seek(std::int64_t{info_.startOffset} + info_.regionLength - 128, SeekFrom::kBegin)) {
        SetError(msg::kId3CantSeekToEnd);
        return 0;
    }
    if (!s.Read(tag, 3, &n) || n < 3) {
        SetError(msg::kId3CantReadTag);
        return 0;
    }
    if (std::memcmp(tag, "TAG", 3) == 0) version += 1;
    s.Seek(saved, SeekFrom::kBegin);
    return version;
}

bool WMp3::ReadXingHeader() {
    if (!stream_) return false;
    WStream& s = *stream_;
    const std::uint32_t saved = s.GetPosition();
    std::uint8_t head[4];
    std::uint32_t n = 0;
    FrameHeader h;
    if (!s.Read(head, 4, &n) || n < 4 || !ParseFrameHeader(head, h) || h.layer != 3) {
        s.Seek(saved, SeekFrom::kBegin);
        return false;
    }
    s.Seek(saved, SeekFrom::kBegin);
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(h.size));
    if (!s.Read(frame.data(), static_cast<std::uint32_t>(frame.size()), &n) || n < frame.size()) {
        s.Seek(saved, SeekFrom::kBegin);
        return false;
    }
    s.Seek(saved, SeekFrom::kBegin);
    return ParseXingFrame(frame, h, info_.xingInfo);
}

bool WMp3::MeasureStream(std::uint32_t length) {
    WStream& s = *stream_;
    info_.regionLength = length ? length : s.GetSize() - info_.startOffset;
    info_.audioStart = s.GetPosition();
    const std::uint64_t regionEnd = length ? std::uint64_t{info_.startOffset} + length : s.GetSize();
    info_.audioBytes = regionEnd > info_.audioStart ? static_cast<std::uint32_t>(regionEnd - info_.audioStart) : 0;

    info_.requiredSampleRateIndex = header_.sampleRateIndex;
    info_.requiredChannels = header_.channels;
    info_.requiredLayer = header_.layer;
    info_.sampleRate = kSampleRates[static_cast<std::size_t>(header_.sampleRateIndex)];
    info_.channels = header_.channels;
    info_.lsf = header_.lsf;
    info_.mpeg25 = header_.mpeg25;
    info_.layer = header_.layer;
    info_.samplesPerFrame = SamplesPerFrame(header_.layer, header_.lsf);

    // Only an ID3v1 tag that follows the audio start shortens the audio.
    if ((GetID3VersionLocked() & 1) && info_.audioBytes >= 128 &&
        std::uint64_t{info_.startOffset} + info_.regionLength - 128 >= info_.audioStart)
        info_.audioBytes -= 128;

    info_.xing = ReadXingHeader() ? 1 : 0;
    if (info_.xing) info_.vbr = 1;
    if (!s.Seek(info_.audioStart, SeekFrom::kBegin)) {
        SetError(msg::kCantMeasure);
        return false;
    }
    std::uint64_t total = 0;
    std::uint32_t count = 0;
    if (!info_.xing) {
        total = static_cast<std::uint64_t>(header_.size);
        count = 1;
        const int firstBitrate = header_.bitrateIndex;
        for (int round = 0; round < 20; ++round) {
            if (!FindFirstValidFrame()) break;
            if (header_.bitrateIndex != firstBitrate) info_.vbr = 1;
            total += static_cast<std::uint64_t>(header_.size);
            count += 1;
            // Sampled frames lie further and further apart; past the end there is nothing to sample.
            if (!s.Seek(static_cast<std::int64_t>(total), SeekFrom::kCurrent)) break;
        }
    }
    FinishMeasurement(info_, static_cast<std::uint32_t>(header_.size), total, count);
    lengthSeconds_.store(info_.lengthSeconds);
    if (!s.Seek(info_.audioStart, SeekFrom::kBegin)) {
        SetError(msg::kCantMeasure);
        return false;
    }
    return true;
}

}  // namespace pell
