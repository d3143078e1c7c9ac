#include "player/engine/playout_queue.h"

#include <algorithm>
#include <cstring>

namespace pell {

namespace {
// Callbacks whose frames may still be on their way to the speaker; older ones are heard.
constexpr std::size_t kWrittenRecords = 256;
// The least DAC time ahead of now believed whatever the latency.
constexpr double kMaxAheadSeconds = 0.5;
}  // namespace

void PlayoutQueue::Open(std::uint32_t bufferCount, std::uint32_t sampleRate, std::uint32_t blockAlign,
                        double outputLatencySeconds) {
    const std::size_t capacity = std::max<std::uint32_t>(bufferCount, 1);
    queued_.Reset(capacity);
    sent_.Reset(capacity);
    written_.Reset(kWrittenRecords);
    headOffset_ = 0;
    blockAlign_ = std::max<std::uint32_t>(blockAlign, 1);
    rate_ = sampleRate > 0 ? sampleRate : 1;
    latency_ = outputLatencySeconds > 0 ? outputLatencySeconds : 0;
    clock_ = Clock::kUnknown;
    nextDacStart_ = 0;
    lastHeardAt_ = 0;
    callbackFrames_ = 0;
    framesSent_ = 0;
    played_ = 0;
    paused_ = false;
}

bool PlayoutQueue::Push(std::uint32_t index, const std::uint8_t* data, std::uint32_t bytes) {
    if (queued_.Size() + sent_.Size() >= queued_.Capacity()) return false;
    queued_.Push({index, data, bytes});
    return true;
}

std::size_t PlayoutQueue::TakeAll(std::span<std::uint32_t> out) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < sent_.Size() && n < out.size(); ++i) out[n++] = sent_.At(i).index;
    for (std::size_t i = 0; i < queued_.Size() && n < out.size(); ++i) out[n++] = queued_.At(i).index;
    sent_.Clear();
    queued_.Clear();
    written_.Clear();
    headOffset_ = 0;
    return n;
}

void PlayoutQueue::AdvancePlayed(double now) {
    while (written_.Size() > 0 && written_.Front().dacStart <= now) {
        const Written& w = written_.Front();
        const double heard = (now - w.dacStart) * rate_;
        const std::uint32_t frames = heard >= w.frames ? w.frames : static_cast<std::uint32_t>(heard);
        played_ = std::max(played_, w.firstFrame + frames);
        if (frames < w.frames) break;
        written_.Pop();
    }
}

std::size_t PlayoutQueue::Render(std::uint8_t* out, std::uint32_t frames, double currentTime, double dacTime,
                                 std::span<std::uint32_t> finished) {
    const bool hostTimes = currentTime > 0 && dacTime > 0;
    if (clock_ == Clock::kUnknown) clock_ = hostTimes ? Clock::kHostTimes : Clock::kCountedFrames;
    double now = 0;
    double dacStart = 0;
    if (clock_ == Clock::kCountedFrames) {
        now = static_cast<double>(callbackFrames_) / rate_;
        dacStart = now + latency_;
    } else if (hostTimes) {
        now = currentTime;
        // A DAC time further ahead than the stream's latency allows (some hosts give one after an
        // underrun) would hold every buffer back that long and starve the ring: the latency stands
        // in for it.
        const double ahead = dacTime - currentTime;
        const double dac = ahead >= 0 && ahead <= std::max(4 * latency_, kMaxAheadSeconds) ? dacTime : now + latency_;
        // Some hosts report jumping times; buffers still complete in their order.
        dacStart = std::max(dac, lastHeardAt_);
    } else {
        // A host that gave times and then stopped: its clock runs on by the frames handed out.
        dacStart = nextDacStart_;
        now = dacStart - latency_;
    }
    nextDacStart_ = dacStart + frames / rate_;
    callbackFrames_ += frames;

    AdvancePlayed(now);
    std::size_t count = 0;
    while (sent_.Size() > 0 && sent_.Front().heardAt <= now && count < finished.size()) {
        played_ = std::max(played_, sent_.Front().endFrame);
        finished[count++] = sent_.Front().index;
        sent_.Pop();
    }

    std::uint32_t written = 0;
    while (!paused_ && written < frames && queued_.Size() > 0) {
        const Queued& head = queued_.Front();
        const std::uint32_t left = (head.bytes - headOffset_) / blockAlign_;
        const std::uint32_t take = std::min(left, frames - written);
        if (take > 0) {
            std::memcpy(out + std::size_t{written} * blockAlign_, head.data + headOffset_,
                        std::size_t{take} * blockAlign_);
            written += take;
            headOffset_ += take * blockAlign_;
        }
        if ((head.bytes - headOffset_) / blockAlign_ == 0) {
            lastHeardAt_ = dacStart + written / rate_;
            sent_.Push({head.index, lastHeardAt_, framesSent_ + written});
            queued_.Pop();
            headOffset_ = 0;
        }
    }
    if (written > 0) {
        if (written_.Full()) {
            played_ = std::max(played_, written_.Front().firstFrame + written_.Front().frames);
            written_.Pop();
        }
        written_.Push({framesSent_, written, dacStart});
        framesSent_ += written;
    }
    std::memset(out + std::size_t{written} * blockAlign_, 0, std::size_t{frames - written} * blockAlign_);
    return count;
}

}  // namespace pell
