// CPU cost of the recorder's main-thread work: block processing with both lines recording, and
// finishing a one-hour call (flush, Info frame, caller identification over the temp file, tag).
#include <benchmark/benchmark.h>

#include "recorder/core/caller_identification.h"
#include "recorder/core/testing/recorder_fakes.h"
#include "testsupport/signals/signals.h"

namespace pell {
namespace {

// Talk on both lines: speech-like sound, looped.
std::vector<int16_t> TalkBlocks(int32_t rateHz, double seconds) {
    const signals::Samples left = signals::SpeechLike(rateHz, seconds, -12.0, 1);
    const signals::Samples right = signals::SpeechLike(rateHz, seconds, -12.0, 2);
    std::vector<int16_t> stereo(left.size() * 2);
    for (size_t i = 0; i < left.size(); ++i) {
        stereo[2 * i] = left[i];
        stereo[2 * i + 1] = right[i];
    }
    return stereo;
}

void UseRealCallerId(CoreRig& rig) {
    RecorderServices services{
        rig.clock, rig.lines, rig.view, rig.notifier, rig.fileSystem, rig.freeSpace, DefaultCallerIdentifier(), {}};
    rig.core = std::make_unique<RecorderCore>(rig.settings, rig.toneTables, services);
}

// One iteration = one second of audio (two blocks) with both lines recording.
void BM_ProcessBlockBothRecording(benchmark::State& state) {
    const int32_t rate = static_cast<int32_t>(state.range(0));
    CoreRig rig;
    rig.settings.sampleRate = rate;
    for (int c = 0; c < 2; ++c) {
        rig.ch(c).sensitiveControl = LineControl::kLineState;  // line state: recording whatever the level
        rig.ch(c).bitrate = 24;
        rig.ch(c).maxFileLength = 10;
    }
    rig.Reload();
    rig.Seize(0);
    rig.Seize(1);
    const std::vector<int16_t> talk = TalkBlocks(rate, 10.0);
    const size_t blockValues = static_cast<size_t>(rate);
    size_t at = 0;
    for (auto _ : state) {
        for (int b = 0; b < 2; ++b) {
            rig.core->ProcessBlock(talk.data() + at, blockValues);
            rig.clock.AdvanceMs(500);
            at = (at + blockValues) % talk.size();
        }
    }
    rig.core->FinishAllRecordings();
    state.counters["audio_s_per_cpu_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessBlockBothRecording)->Arg(8000)->Arg(32000)->Unit(benchmark::kMillisecond);

// Finishing line 1 after a one-hour call at 8000 Hz with FSK caller ID chosen but none sent, so
// the tone fallback scans the whole temp file (its ten-minute maximum).
void BM_FinishRecordingOneHourCall(benchmark::State& state) {
    const int32_t rate = 8000;
    const std::vector<int16_t> talk = TalkBlocks(rate, 10.0);
    for (auto _ : state) {
        state.PauseTiming();
        auto rig = std::make_unique<CoreRig>();
        rig->ch(0).sensitiveControl = LineControl::kLineState;
        rig->ch(0).endOfFile = 0;
        rig->ch(0).clip = ClipMode::kFskEurope;
        rig->ch(0).maxFileLength = 0;
        rig->ch(1).exists = false;
        rig->toneTables[0] = BuildToneTable(ClipMode::kFskEurope);
        UseRealCallerId(*rig);
        rig->Seize(0);
        for (size_t b = 0, at = 0; b < 2 * 3600; ++b, at = (at + rate) % talk.size()) {
            rig->core->ProcessBlock(talk.data() + at, static_cast<size_t>(rate));
            rig->clock.AdvanceMs(500);
        }
        rig->Release(0);
        state.ResumeTiming();
        rig->core->FinishAllRecordings();
        state.PauseTiming();
        rig.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FinishRecordingOneHourCall)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pell
