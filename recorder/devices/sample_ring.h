// Single-producer single-consumer ring of int16 samples: the audio thread writes, the capture
// thread reads, neither blocks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pell {

class SampleRing {
public:
    explicit SampleRing(size_t capacity = 0) { Reset(capacity); }

    // Only while neither side runs.
    void Reset(size_t capacity);
    size_t capacity() const { return buffer_.size(); }
    size_t Available() const {
        return written_.load(std::memory_order_acquire) - read_.load(std::memory_order_relaxed);
    }
    // Producer: copies as many of `count` samples as fit; returns how many.
    size_t Write(const int16_t* samples, size_t count);
    // Consumer: copies `count` samples out if that many are there; false otherwise.
    bool Read(int16_t* out, size_t count);

private:
    std::vector<int16_t> buffer_;
    std::atomic<size_t> written_{0};
    std::atomic<size_t> read_{0};
};

}  // namespace pell
