// Decode cost of the engine's playback path against libmpg123 alone on the same file, and the
// latency of opening a file up to its first queued buffer and of a seek during playback.

#include <benchmark/benchmark.h>

#include <mpg123.h>

#include <ctime>
#include <thread>
#include <vector>

#include "player/engine/queued_wave_out.h"
#include "player/engine/testing/mp3_fixtures.h"
#include "player/engine/wmp3.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

constexpr double kSeconds = 30.0;

double ProcessCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// CPU milliseconds per second of audio, over all threads of the process.
void ReportCpuPerAudioSecond(benchmark::State& state, double cpuMs) {
    state.counters["cpu_ms_per_audio_s"] = cpuMs / (kSeconds * static_cast<double>(state.iterations()));
}

const std::string& TestFile() {
    static TempDir dir;
    static const std::string kPath = [] {
        dir.Write("bench.mp3", testing::EncodeTone({44100, 2, kSeconds, 440, 1500, 9000}, {128, false, true}));
        return dir.File("bench.mp3");
    }();
    return kPath;
}

std::string FileBytes() {
    std::FILE* f = std::fopen(TestFile().c_str(), "rb");
    std::string bytes;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    std::fclose(f);
    return bytes;
}

void BM_DecodePlainLibmpg123(benchmark::State& state) {
    const std::string bytes = FileBytes();
    mpg123_init();
    int error = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &error);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    std::size_t total = 0;
    const double cpuStart = ProcessCpuMs();
    for (auto _ : state) {
        mpg123_open_feed(mh);
        mpg123_feed(mh, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        for (;;) {
            off_t num = 0;
            unsigned char* audio = nullptr;
            std::size_t done = 0;
            const int r = mpg123_decode_frame(mh, &num, &audio, &done);
            if (r == MPG123_NEW_FORMAT) continue;
            if (r != MPG123_OK) break;
            total += done;
            benchmark::DoNotOptimize(audio);
        }
        mpg123_close(mh);
    }
    ReportCpuPerAudioSecond(state, ProcessCpuMs() - cpuStart);
    mpg123_delete(mh);
    state.counters["pcm_bytes"] = static_cast<double>(total / state.iterations());
}
BENCHMARK(BM_DecodePlainLibmpg123)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The usual application loop: libmpg123 reads the file itself and copies PCM out.
void BM_DecodeLibmpg123Read(benchmark::State& state) {
    mpg123_init();
    int error = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &error);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    std::vector<unsigned char> pcm(23108);
    std::size_t total = 0;
    const double cpuStart = ProcessCpuMs();
    for (auto _ : state) {
        mpg123_open(mh, TestFile().c_str());
        for (;;) {
            std::size_t done = 0;
            const int r = mpg123_read(mh, pcm.data(), pcm.size(), &done);
            total += done;
            if (r != MPG123_OK && r != MPG123_NEW_FORMAT) break;
        }
        mpg123_close(mh);
        benchmark::DoNotOptimize(pcm.data());
    }
    ReportCpuPerAudioSecond(state, ProcessCpuMs() - cpuStart);
    mpg123_delete(mh);
    state.counters["pcm_bytes"] = static_cast<double>(total / state.iterations());
}
BENCHMARK(BM_DecodeLibmpg123Read)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_DecodeEngine(benchmark::State& state) {
    auto output = std::make_unique<FileWaveOut>("");
    FileWaveOut* out = output.get();
    WMp3 mp3(std::move(output));
    mp3.EnableEqualizer(state.range(0));
    if (state.range(0)) mp3.SetEqualizer(2, 6, 5);
    std::uint64_t total = 0;
    const double cpuStart = ProcessCpuMs();
    for (auto _ : state) {
        mp3.OpenMp3File(TestFile().c_str(), 1000);
        const std::uint64_t before = out->BytesWritten();
        mp3.Play();
        // Polled rather than waited on the output, so the harness does not wake with every buffer.
        while (mp3.IsPlaying()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        mp3.Close();
        total += out->BytesWritten() - before;
    }
    ReportCpuPerAudioSecond(state, ProcessCpuMs() - cpuStart);
    state.counters["pcm_bytes"] = static_cast<double>(total / state.iterations());
}
// Argument: equalizer off, or on with band 6 raised.
BENCHMARK(BM_DecodeEngine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_OpenToFirstBufferQueued(benchmark::State& state) {
    auto output = std::make_unique<QueuedWaveOut>();
    QueuedWaveOut* out = output.get();
    WMp3 mp3(std::move(output));
    for (auto _ : state) {
        mp3.OpenMp3File(TestFile().c_str(), 1000);
        mp3.Play();
        out->WaitFor([](std::size_t queued, bool) { return queued >= 1; });
        state.PauseTiming();
        mp3.Close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenToFirstBufferQueued)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_SeekWhilePlaying(benchmark::State& state) {
    auto output = std::make_unique<QueuedWaveOut>();
    QueuedWaveOut* out = output.get();
    WMp3 mp3(std::move(output));
    mp3.OpenMp3File(TestFile().c_str(), 1000);
    int second = 0;
    for (auto _ : state) {
        state.PauseTiming();
        mp3.Play();
        out->WaitFor([](std::size_t queued, bool) { return queued >= 8; });
        state.ResumeTiming();
        mp3.Seek(second);
        second = (second + 7) % 30;
    }
    mp3.Close();
}
BENCHMARK(BM_SeekWhilePlaying)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace pell
