#pragma once

// What a sound card's callback needs to play the engine's ring: the buffers queued for the
// device, the ones sent whole but not heard yet, and a device clock that says when a frame is
// heard. The clock is the host's DAC time where it gives one; a host API that passes 0 gets a
// clock counted in the frames the callback has handed out, plus the stream's output latency,
// so buffers complete on every host. Every ring is sized by Open; Render never allocates, so it
// may run on the real-time audio thread. Not locked: the owner serialises the calls.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pell {

class PlayoutQueue {
public:
    // Sizes the rings for bufferCount buffers and clears every state; the one call that allocates.
    void Open(std::uint32_t bufferCount, std::uint32_t sampleRate, std::uint32_t blockAlign,
              double outputLatencySeconds);

    // Queues a buffer's PCM; false when the ring is full (a buffer queued twice).
    bool Push(std::uint32_t index, const std::uint8_t* data, std::uint32_t bytes);
    // Takes every queued and sent buffer, in order, into out (which holds the buffer count) and
    // returns how many; the device forgets them.
    std::size_t TakeAll(std::span<std::uint32_t> out);
    bool Idle() const { return queued_.Size() == 0 && sent_.Size() == 0; }
    void SetPaused(bool paused) { paused_ = paused; }

    // One device callback: fills out with frames of queued PCM (silence after them or while
    // paused) and puts the buffers the device has finished playing into finished, returning how
    // many; more than finished holds wait for the next call. currentTime and dacTime are the
    // host's times in seconds, 0 when it gives none.
    std::size_t Render(std::uint8_t* out, std::uint32_t frames, double currentTime, double dacTime,
                       std::span<std::uint32_t> finished);

    // Frames heard since Open.
    std::uint64_t PlayedFrames() const { return played_; }

private:
    template <typename T>
    class Ring {
    public:
        void Reset(std::size_t capacity) {
            items_.assign(capacity, T{});
            head_ = size_ = 0;
        }
        std::size_t Size() const { return size_; }
        std::size_t Capacity() const { return items_.size(); }
        bool Full() const { return size_ == items_.size(); }
        T& Front() { return items_[head_]; }
        T& At(std::size_t i) { return items_[(head_ + i) % items_.size()]; }
        void Push(const T& item) { items_[(head_ + size_++) % items_.size()] = item; }
        void Pop() {
            head_ = (head_ + 1) % items_.size();
            --size_;
        }
        void Clear() { head_ = size_ = 0; }

    private:
        std::vector<T> items_;
        std::size_t head_ = 0;
        std::size_t size_ = 0;
    };
    struct Queued {
        std::uint32_t index;
        const std::uint8_t* data;
        std::uint32_t bytes;
    };
    struct Sent {
        std::uint32_t index;
        double heardAt;          // device time at which its last frame has left the device
        std::uint64_t endFrame;  // frames sent up to its end
    };
    // Frames one callback wrote, for the played position.
    struct Written {
        std::uint64_t firstFrame;
        std::uint32_t frames;
        double dacStart;
    };
    enum class Clock { kUnknown, kHostTimes, kCountedFrames };

    void AdvancePlayed(double now);

    Ring<Queued> queued_;
    Ring<Sent> sent_;
    Ring<Written> written_;
    std::uint32_t headOffset_ = 0;  // bytes of the head buffer already sent
    std::uint32_t blockAlign_ = 1;
    double rate_ = 1;
    double latency_ = 0;
    Clock clock_ = Clock::kUnknown;
    double nextDacStart_ = 0;  // device time at which the next callback's first frame plays
    double lastHeardAt_ = 0;
    std::uint64_t callbackFrames_ = 0;
    std::uint64_t framesSent_ = 0;
    std::uint64_t played_ = 0;
    bool paused_ = false;
};

}  // namespace pell
