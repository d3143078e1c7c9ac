// Throughput of the caller-ID decoders and the cost of identifying the caller of a one-hour
// recording in the worst case (no FSK message, the DTMF scan runs over the whole file).
#include <benchmark/benchmark.h>

#include "recorder/core/callerid/dtmf_detector.h"
#include "recorder/core/callerid/fsk_decoder.h"
#include "recorder/core/callerid/identify_caller.h"
#include "testsupport/signals/signals.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

// Talk with line noise: every DTMF window passes the level gate, so all eight filters run.
signals::Samples Talk(int32_t sampleRate, double seconds) {
    const signals::Samples minute = signals::Mix(signals::SpeechLike(sampleRate, 60, -18, 1),
                                                 signals::WhiteNoise(static_cast<size_t>(60 * sampleRate), -45, 2));
    signals::Samples out;
    while (out.size() < static_cast<size_t>(seconds * sampleRate)) signals::Append(out, minute);
    out.resize(static_cast<size_t>(seconds * sampleRate));
    return out;
}

// Second argument 1: the portable two-lane kernel, as on processors without AVX2.
void BM_DtmfScan(benchmark::State& state) {
    const auto rate = static_cast<int32_t>(state.range(0));
    const auto kernel = state.range(1) == 0 ? DtmfDetector::Kernel::kFastest : DtmfDetector::Kernel::kPortable;
    const signals::Samples samples = Talk(rate, 60);
    for (auto _ : state) {
        DtmfDetector detector(rate, kernel);
        detector.Feed(samples.data(), samples.size());
        benchmark::DoNotOptimize(detector.Finish());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(samples.size()));
    state.SetLabel("samples/s");
}
BENCHMARK(BM_DtmfScan)
    ->Args({8000, 0})
    ->Args({32000, 0})
    ->Args({8000, 1})
    ->Args({32000, 1})
    ->Unit(benchmark::kMillisecond);

void BM_FskDecode(benchmark::State& state) {
    const auto rate = static_cast<int32_t>(state.range(0));
    // Talk, then a burst near the end of the stretch that is read.
    signals::FskBurstOptions o;
    o.sampleRate = rate;
    const signals::Samples burst =
        signals::FskBurst(signals::CallSetupMessage({{0x01, "12071530"}, {0x02, "5551234"}}), o);
    signals::Samples samples = Talk(rate, static_cast<double>(kFskReadSamples - burst.size() - rate / 10) / rate);
    signals::Append(samples, burst);
    samples.resize(kFskReadSamples, 0);
    const ToneTable tones = BuildToneTable(ClipMode::kFskEurope);
    if (DecodeFskClip(samples.data(), samples.size(), rate, tones) != "5551234") {
        state.SkipWithError("burst not decoded");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(DecodeFskClip(samples.data(), samples.size(), rate, tones));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(samples.size()));
    state.SetLabel("samples/s");
}
BENCHMARK(BM_FskDecode)->Arg(8000)->Arg(32000)->Unit(benchmark::kMicrosecond);

void BM_IdentifyCallerOneHour(benchmark::State& state) {
    TempDir dir;
    const std::string path = dir.File("wave2.out");
    if (!signals::WriteSampleFile(path, Talk(8000, 3600))) {
        state.SkipWithError("cannot write the temp file");
        return;
    }
    const ToneTable tones = BuildToneTable(ClipMode::kFskEurope);
    for (auto _ : state) benchmark::DoNotOptimize(IdentifyCaller(path, ClipMode::kFskEurope, 8000, tones));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 3600 * 8000);
}
BENCHMARK(BM_IdentifyCallerOneHour)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace pell
