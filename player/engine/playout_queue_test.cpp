#include "player/engine/playout_queue.h"

#include <array>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Counts allocations on this thread, so a test can prove the audio callback makes none.
namespace {
thread_local std::size_t threadAllocations = 0;
}  // namespace
// Optimised builds inline these into std::vector and then take malloc/free for a mismatched pair.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t bytes) {
    ++threadAllocations;
    if (void* p = std::malloc(bytes ? bytes : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace pell {
namespace {

constexpr std::uint32_t kRate = 8000;
constexpr double kLatency = 0.05;  // 400 frames
constexpr std::uint32_t kCallbackFrames = 256;

// The times a host hands the callback: real ones, none at all, real ones that stop, or real
// ones with one DAC time seconds ahead (as after an underrun).
enum class HostTimes { kGiven, kZero, kGivenThenZero, kOneJumpAhead };

struct Completion {
    std::uint32_t index;
    std::uint64_t atCallbackFrame;  // frames the callback had handed out when it came back
};

struct Playback {
    std::vector<Completion> completions;
    std::string heard;
    std::uint64_t playedAtEnd = 0;
    std::size_t allocations = 0;
};

// Queues buffers of the given frame counts (mono 16-bit) and runs callbacks until all are back.
Playback Play(HostTimes mode, const std::vector<std::uint32_t>& bufferFrames) {
    PlayoutQueue queue;
    queue.Open(static_cast<std::uint32_t>(bufferFrames.size()), kRate, 2, kLatency);
    std::vector<std::string> pcm;
    for (std::size_t i = 0; i < bufferFrames.size(); ++i) {
        std::string data(bufferFrames[i] * 2, '\0');
        for (std::size_t b = 0; b < data.size(); ++b) data[b] = static_cast<char>(1 + (b * 7 + i) % 251);
        pcm.push_back(data);
    }
    for (std::size_t i = 0; i < pcm.size(); ++i)
        EXPECT_TRUE(queue.Push(static_cast<std::uint32_t>(i), reinterpret_cast<const std::uint8_t*>(pcm[i].data()),
                               static_cast<std::uint32_t>(pcm[i].size())));
    Playback run;
    std::array<std::uint8_t, kCallbackFrames * 2> out{};
    std::array<std::uint32_t, 8> finished{};
    for (std::uint64_t k = 0; k < 200 && run.completions.size() < pcm.size(); ++k) {
        double now = 1000.0 + static_cast<double>(k * kCallbackFrames) / kRate;
        double dac = now + kLatency;
        if (mode == HostTimes::kZero || (mode == HostTimes::kGivenThenZero && k >= 3)) now = dac = 0;
        if (mode == HostTimes::kOneJumpAhead && k == 4) dac = now + 5.0;
        const std::size_t before = threadAllocations;
        const std::size_t n = queue.Render(out.data(), kCallbackFrames, now, dac, finished);
        run.allocations += threadAllocations - before;
        run.heard.append(reinterpret_cast<const char*>(out.data()), out.size());
        for (std::size_t i = 0; i < n; ++i) run.completions.push_back({finished[i], k * kCallbackFrames});
    }
    run.playedAtEnd = queue.PlayedFrames();
    std::string sent;
    for (const std::string& p : pcm) sent += p;
    EXPECT_EQ(run.heard.substr(0, sent.size()), sent);
    EXPECT_EQ(run.heard.find_first_not_of('\0', sent.size()), std::string::npos);
    return run;
}

TEST(PlayoutQueueTest, BuffersCompleteWhenHeardWhateverTimesTheHostGives) {
    // A buffer is back at the first callback after its last frame plus the 400-frame latency.
    struct Case {
        const char* name;
        HostTimes mode;
    } cases[] = {{"host DAC times", HostTimes::kGiven},
                 {"host without times", HostTimes::kZero},
                 {"host that stops giving times", HostTimes::kGivenThenZero},
                 {"host with one DAC time 5 s ahead", HostTimes::kOneJumpAhead}};
    const std::vector<std::uint32_t> frames = {1152, 0, 1152, 700};
    const std::vector<std::uint64_t> backAt = {1792, 1792, 2816, 3584};  // ends 1152, 1152, 2304, 3004
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Playback run = Play(c.mode, frames);
        ASSERT_EQ(run.completions.size(), frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(run.completions[i].index, i);
            EXPECT_EQ(run.completions[i].atCallbackFrame, backAt[i]) << "buffer " << i;
        }
        EXPECT_EQ(run.playedAtEnd, 3004u);
        EXPECT_EQ(run.allocations, 0u);
    }
}

TEST(PlayoutQueueTest, PausedOutputSendsSilenceAndResetReturnsEveryBufferInOrder) {
    PlayoutQueue queue;
    queue.Open(3, kRate, 2, kLatency);
    const std::string pcm(600, 'x');
    const auto* data = reinterpret_cast<const std::uint8_t*>(pcm.data());
    ASSERT_TRUE(queue.Push(0, data, 600));
    ASSERT_TRUE(queue.Push(1, data, 600));
    ASSERT_TRUE(queue.Push(2, data, 600));
    EXPECT_FALSE(queue.Push(0, data, 600));  // every buffer is already with the device
    std::array<std::uint8_t, kCallbackFrames * 2> out{};
    std::array<std::uint32_t, 4> finished{};
    queue.Render(out.data(), kCallbackFrames, 0, 0, finished);  // part of buffer 0 reaches the device
    queue.SetPaused(true);
    out.fill(0xAA);
    EXPECT_EQ(queue.Render(out.data(), kCallbackFrames, 0, 0, finished), 0u);
    EXPECT_EQ(out, (std::array<std::uint8_t, kCallbackFrames * 2>{}));
    EXPECT_FALSE(queue.Idle());
    std::array<std::uint32_t, 3> taken{};
    ASSERT_EQ(queue.TakeAll(taken), 3u);
    EXPECT_EQ(taken, (std::array<std::uint32_t, 3>{0, 1, 2}));
    EXPECT_TRUE(queue.Idle());
}

}  // namespace
}  // namespace pell
