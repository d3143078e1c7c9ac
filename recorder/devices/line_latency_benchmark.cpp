// Latency from a line-state change at the box to the block processing that first sees it, on
// the simulated line box in real time (poll thread every 50 ms, half-second blocks). The change
// falls at a different point of the block each iteration.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "recorder/devices/line_box.h"
#include "recorder/devices/simulated_box.h"
#include "recorder/devices/testing/device_fakes.h"

namespace pell {
namespace {

using Steady = std::chrono::steady_clock;

void BM_LineStateToCore(benchmark::State& state) {
    double worstMs = 0;
    double worstFlagMs = 0;
    int iteration = 0;
    for (auto _ : state) {
        const uint32_t changeAtMs = 1000 + static_cast<uint32_t>(iteration++ * 113 % 500);
        Scenario scenario;
        scenario.sampleRate = 8000;
        scenario.frames.assign(8000 * 2 * 4, 0);
        scenario.timeline = {{changeAtMs, 1, true}};

        SystemClock clock;
        testing::FakeCaptureBackend noRealCapture;
        testing::FakeHidBackend noRealHid;
        testing::RecordingUi ui;
        testing::NoticeQueue notices;
        LineStates lines;
        const Steady::time_point start = Steady::now();
        SimulatedLineBox box(scenario, clock);
        CaptureWithSimulatedBox capture(noRealCapture, box);
        HidWithSimulatedBox hid(noRealHid, box);
        LineBoxDevices devices(
            capture, hid, clock, lines, ui, [&](uint64_t generation) { notices.Post(generation); }, [] {});
        devices.SearchLineInterface();
        devices.ResetLineStates();
        devices.capture().InitCapture();
        std::string setting = "simulated line box";
        if (!devices.capture().FindCaptureDevice(setting, 8000, WaveCapture::Search::kStartUp)) {
            state.SkipWithError("the simulated box did not open");
            break;
        }
        devices.StartThreads();
        const Steady::time_point change = start + std::chrono::milliseconds(changeAtMs);

        // The line flag itself, watched closely from beside the main thread.
        std::atomic<bool> watching{true};
        Steady::time_point flagged{};
        std::thread watcher([&] {
            while (watching && !lines.lineActive[0]) std::this_thread::sleep_for(std::chrono::microseconds(200));
            flagged = Steady::now();
        });
        Steady::time_point seen{};
        while (seen == Steady::time_point{}) {
            const std::optional<uint64_t> generation = notices.Take(3000);
            if (!generation) break;
            devices.OnWaveBlock(*generation, [&](const int16_t*, size_t) {
                if (lines.lineActive[0]) seen = Steady::now();
            });
        }
        watching = false;
        watcher.join();
        devices.Shutdown();
        if (seen == Steady::time_point{}) {
            state.SkipWithError("the change never reached block processing");
            break;
        }
        const double latency = std::chrono::duration<double>(seen - change).count();
        const double flagLatency = std::chrono::duration<double>(flagged - change).count();
        worstMs = std::max(worstMs, latency * 1000);
        worstFlagMs = std::max(worstFlagMs, flagLatency * 1000);
        state.SetIterationTime(latency);
    }
    state.counters["worst_to_core_ms"] = worstMs;
    state.counters["worst_to_flag_ms"] = worstFlagMs;
    state.counters["block_ms"] = 500;
}

BENCHMARK(BM_LineStateToCore)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pell
