// pell-mp3: probes the player's engine on one file.
//   pell-mp3 info FILE
//   pell-mp3 decode FILE OUT.raw [--eq "P,G1,...,G10"] [--seek S]
//   pell-mp3 play FILE [--eq "P,G1,...,G10"] [--volume SLIDER]
//   pell-mp3 compare REFERENCE.raw CAPTURE.raw RATE CHANNELS
//   pell-mp3 waveform FILE [--cache PROGRAM_FOLDER]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/core/escape_text.h"
#include "player/engine/queued_wave_out.h"
#include "player/engine/stream_volume.h"
#include "player/engine/volume.h"
#include "player/engine/waveform.h"
#include "player/engine/wmp3.h"
#include "tools/pell-mp3/capture_compare.h"
#ifdef PELL_HAVE_DEVICES
#include "player/engine/devices/wwaveout.h"
#endif

namespace {

using pell::WMp3;

int Usage() {
    std::fprintf(stderr,
                 "usage: pell-mp3 info FILE\n"
                 "       pell-mp3 decode FILE OUT.raw [--eq \"P,G1,...,G10\"] [--seek S]\n"
                 "       pell-mp3 play FILE [--eq \"P,G1,...,G10\"] [--volume 0..32]\n"
                 "       pell-mp3 compare REFERENCE.raw CAPTURE.raw RATE CHANNELS\n"
                 "       pell-mp3 waveform FILE [--cache PROGRAM_FOLDER]\n");
    return 2;
}

void PrintInfo(const WMp3& mp3) {
    const pell::StreamInfo info = mp3.GetStreamInfo();
    std::printf("length=%u frames=%u rate=%d channels=%d layer=%d vbr=%d xing=%d audio_start=%u audio_bytes=%u\n",
                mp3.GetLength(), info.frames, info.sampleRate, info.channels, info.layer, info.vbr, info.xing,
                info.audioStart, info.audioBytes);
}

int OpenOrFail(WMp3& mp3, const char* file) {
    if (mp3.OpenMp3File(file, 1000)) return 1;
    std::fprintf(stderr, "%s\n", mp3.GetError().c_str());
    return 0;
}

bool ParseInt(const std::string& text, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == nullptr || *end != '\0') return false;
    value = static_cast<int>(v);
    return true;
}

// "P,G1,...,G10": preamp -5..5 and ten band gains -10..10.
bool ParseEq(const std::string& text, std::vector<int>& values) {
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        int v = 0;
        if (!ParseInt(item, v)) return false;
        values.push_back(v);
    }
    if (values.size() != 11 || values[0] < -5 || values[0] > 5) return false;
    for (std::size_t i = 1; i < values.size(); ++i)
        if (values[i] < -10 || values[i] > 10) return false;
    return true;
}

int Info(const char* file) {
    WMp3 mp3(std::make_unique<pell::FileWaveOut>(""));
    if (!OpenOrFail(mp3, file)) return 1;
    PrintInfo(mp3);
    return 0;
}

struct Options {
    std::vector<int> eq;
    int seek = -1;
    int volume = -1;
};

// Parses argv[first..]; 0 when fine, else the exit code (2) after saying why.
int ParseOptions(int argc, char** argv, int first, bool allowSeek, bool allowVolume, Options& options) {
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--eq" && i + 1 < argc) {
            if (!ParseEq(argv[++i], options.eq)) {
                std::fprintf(stderr, "pell-mp3: --eq needs \"P,G1,...,G10\" with P in -5..5 and G in -10..10\n");
                return 2;
            }
        } else if (allowSeek && arg == "--seek" && i + 1 < argc) {
            if (!ParseInt(argv[++i], options.seek) || options.seek < 0) {
                std::fprintf(stderr, "pell-mp3: --seek needs whole seconds\n");
                return 2;
            }
        } else if (allowVolume && arg == "--volume" && i + 1 < argc) {
            if (!ParseInt(argv[++i], options.volume) || options.volume < 0 || options.volume > 32) {
                std::fprintf(stderr, "pell-mp3: --volume needs a slider position 0..32\n");
                return 2;
            }
        } else {
            return Usage();
        }
    }
    return 0;
}

void ApplyEq(WMp3& mp3, const std::vector<int>& eq) {
    if (eq.empty()) return;
    mp3.EnableEqualizer(1);
    for (int band = 1; band <= 10; ++band) mp3.SetEqualizer(eq[0], band, eq[static_cast<std::size_t>(band)]);
}

int Decode(int argc, char** argv) {
    const char* file = argv[2];
    const char* outPath = argv[3];
    Options options;
    if (const int code = ParseOptions(argc, argv, 4, true, false, options)) return code;
    auto output = std::make_unique<pell::FileWaveOut>(outPath);
    pell::FileWaveOut* fileOut = output.get();
    if (!fileOut->FileOk()) {
        std::fprintf(stderr, "pell-mp3: cannot write %s\n", pell::EscapeUnprintable(outPath).c_str());
        return 1;
    }
    WMp3 mp3(std::move(output));
    ApplyEq(mp3, options.eq);
    if (!OpenOrFail(mp3, file)) return 1;
    if (options.seek >= 0) mp3.Seek(options.seek);
    if (!mp3.Play()) {
        std::fprintf(stderr, "%s\n", mp3.GetError().c_str());
        return 1;
    }
    // The file output completes buffers as fast as they come; the worker stops itself at the end.
    while (mp3.IsPlaying()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    mp3.Stop();
    const std::string error = mp3.GetError();
    PrintInfo(mp3);
    mp3.Close();
    if (!error.empty() && error.find("WWaveOut") != std::string::npos) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!fileOut->CloseFile()) {
        std::fprintf(stderr, "pell-mp3: cannot write %s\n", pell::EscapeUnprintable(outPath).c_str());
        return 1;
    }
    return 0;
}

int Play(int argc, char** argv) {
    Options options;
    if (const int code = ParseOptions(argc, argv, 3, false, true, options)) return code;
#ifdef PELL_HAVE_DEVICES
    const char* file = argv[2];
    if (options.volume >= 0) pell::SetWaveOutVolume(pell::SliderToVolume(options.volume));
    WMp3 mp3(std::make_unique<pell::WWaveOut>());
    ApplyEq(mp3, options.eq);
    if (!OpenOrFail(mp3, file)) return 1;
    PrintInfo(mp3);
    if (!mp3.Play()) {
        std::fprintf(stderr, "%s\n", mp3.GetError().c_str());
        return 1;
    }
    const std::uint32_t length = mp3.GetLength();
    // The engine ends once its last sample has played; the whole-second position reaches the
    // rounded-down length up to a second before that.
    for (int tick = 1; mp3.IsPlaying(); ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (tick % 10 != 0) continue;
        int left = 0;
        int right = 0;
        mp3.GetVUData(&left, &right);
        std::printf("position=%u length=%u left=%d right=%d\n", mp3.GetPosition(), length, left, right);
        std::fflush(stdout);
    }
    mp3.Stop();
    const std::string error = mp3.GetError();
    mp3.Close();
    if (error.find("WWaveOut") != std::string::npos) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
#else
    std::fprintf(stderr, "pell-mp3: built without sound devices\n");
    return 1;
#endif
}

bool ReadPcm(const char* path, std::vector<std::int16_t>& pcm) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    std::int16_t block[8192];
    for (std::size_t n; (n = std::fread(block, sizeof block[0], 8192, file)) > 0;)
        pcm.insert(pcm.end(), block, block + n);
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

int Compare(char** argv) {
    int rate = 0;
    int channels = 0;
    if (!ParseInt(argv[4], rate) || rate < 1000 || !ParseInt(argv[5], channels) || channels < 1 || channels > 2)
        return Usage();
    std::vector<std::int16_t> reference;
    std::vector<std::int16_t> capture;
    for (const auto& [path, pcm] : {std::pair{argv[2], &reference}, std::pair{argv[3], &capture}}) {
        if (!ReadPcm(path, *pcm)) {
            std::fprintf(stderr, "pell-mp3: cannot read %s\n", pell::EscapeUnprintable(path).c_str());
            return 1;
        }
    }
    const pell::CaptureReport r = pell::CompareCapture(reference, capture, rate, channels);
    for (const pell::CaptureGap& gap : r.gaps) std::printf("gap at_ms=%.1f length_ms=%.1f\n", gap.atMs, gap.lengthMs);
    std::printf(
        "aligned=%d start_delay_ms=%.1f reference_ms=%.1f lost_start_ms=%.1f lost_end_ms=%.1f gaps=%zu gap_ms=%.1f "
        "mismatched_blocks=%zu clipped=%zu reference_clipped=%zu\n",
        r.aligned ? 1 : 0, r.startDelayMs, r.referenceMs, r.lostAtStartMs, r.lostAtEndMs, r.gaps.size(), r.gapMs,
        r.mismatchedBlocks, r.clippedSamples, r.referenceClipped);
    return 0;
}

// Prints the call's outline: a summary, then one line per peak (milliseconds, peak, RMS).
int PrintWaveform(int argc, char** argv) {
    std::string cacheFolder;
    if (argc == 5 && std::string(argv[3]) == "--cache") {
        cacheFolder = argv[4];
    } else if (argc != 3) {
        return Usage();
    }
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    const std::optional<pell::Waveform> waveform = cacheFolder.empty()
                                                       ? pell::ComputeWaveform(argv[2], &error)
                                                       : pell::WaveformCache(cacheFolder).Get(argv[2], &error);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!waveform) {
        std::fprintf(stderr, "pell-mp3: %s\n", pell::EscapeUnprintable(error).c_str());
        return 1;
    }
    std::printf("duration_ms=%.0f rate=%d channels=%d ms_per_peak=%d peaks=%zu took_ms=%.1f\n", waveform->DurationMs(),
                waveform->sampleRate, waveform->channels, waveform->msPerPeak, waveform->peaks.size(), ms);
    for (std::size_t i = 0; i < waveform->peaks.size(); ++i)
        std::printf("%zu %u %u\n", i * static_cast<std::size_t>(waveform->msPerPeak), waveform->peaks[i].peak,
                    waveform->peaks[i].rms);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string command = argv[1];
    if (command == "info" && argc == 3) return Info(argv[2]);
    if (command == "decode" && argc >= 4) return Decode(argc, argv);
    if (command == "play") return Play(argc, argv);
    if (command == "compare" && argc == 6) return Compare(argv);
    if (command == "waveform") return PrintWaveform(argc, argv);
    return Usage();
}
