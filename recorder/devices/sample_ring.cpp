#include "recorder/devices/sample_ring.h"

#include <algorithm>

namespace pell {

void SampleRing::Reset(size_t capacity) {
    buffer_.assign(capacity, 0);
    written_.store(0);
    read_.store(0);
}

size_t SampleRing::Write(const int16_t* samples, size_t count) {
    const size_t written = written_.load(std::memory_order_relaxed);
    const size_t free = buffer_.size() - (written - read_.load(std::memory_order_acquire));
    const size_t n = std::min(count, free);
    for (size_t i = 0; i < n; ++i) buffer_[(written + i) % buffer_.size()] = samples[i];
    written_.store(written + n, std::memory_order_release);
    return n;
}

bool SampleRing::Read(int16_t* out, size_t count) {
    const size_t read = read_.load(std::memory_order_relaxed);
    if (written_.load(std::memory_order_acquire) - read < count) return false;
    for (size_t i = 0; i < count; ++i) out[i] = buffer_[(read + i) % buffer_.size()];
    read_.store(read + count, std::memory_order_release);
    return true;
}

}  // namespace pell
