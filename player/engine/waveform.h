#pragma once

// The outline of a call, for drawing under the record list: the loudest sample and the RMS of
// every kWaveformMsPerPeak of sound, decoded from the MP3 by the engine's own decoder (so its
// time axis is the one playback follows). Computing it decodes the whole file as fast as the
// decoder goes (a 30-minute 8 kHz call in well under a second); WaveformCache keeps the result
// in the player's own program folder, never beside the recordings, and knows a file again by
// its size and audio bytes, so the played mark and bookmark written into the tag keep it valid.
// Pure apart from reading the MP3 and the cache files; callable from any thread.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pell {

inline constexpr int kWaveformMsPerPeak = 20;

struct WaveformPeak {
    std::uint16_t peak = 0;  // largest magnitude of any channel, 0..32768
    std::uint16_t rms = 0;   // over the slice and its channels
};

struct Waveform {
    int sampleRate = 0;
    int channels = 0;
    int msPerPeak = kWaveformMsPerPeak;
    std::uint64_t frames = 0;  // decoded sample frames in all
    std::vector<WaveformPeak> peaks;

    double DurationMs() const { return sampleRate > 0 ? static_cast<double>(frames) * 1000.0 / sampleRate : 0; }
};

// Streaming: feed decoded PCM in any block sizes, then Finish for the last partial slice.
class WaveformBuilder {
public:
    WaveformBuilder(int sampleRate, int channels, int msPerPeak = kWaveformMsPerPeak);
    void Add(const std::int16_t* samples, std::size_t frames);
    Waveform Finish();

private:
    void Close();
    Waveform waveform_;
    std::size_t framesPerPeak_;
    std::size_t inSlice_ = 0;
    int slicePeak_ = 0;
    double sliceSquares_ = 0;
};

// Decodes the file; nullopt with *error set when it cannot be read or holds no audio. cancel,
// when given and set by another thread, stops the work early (nullopt, error "cancelled").
std::optional<Waveform> ComputeWaveform(const std::string& mp3Path, std::string* error,
                                        const std::atomic<bool>* cancel = nullptr);

// For drawing: the loudest peak of each of columns equal slices of the call (0 where none).
std::vector<std::uint16_t> ColumnPeaks(const Waveform& waveform, int columns);
// For a click: the time in whole milliseconds at the left edge of a column, 0..duration.
std::uint32_t MsAtColumn(const Waveform& waveform, int column, int columns);

// Who a cached outline belongs to: the file's size and a hash of its audio bytes (the final
// 128-byte tag, which the player rewrites, left out).
std::optional<std::uint64_t> WaveformFingerprint(const std::string& mp3Path);

// The cache file's bytes, and back; nullopt for anything damaged or of another fingerprint.
std::string EncodeWaveform(const Waveform& waveform, std::uint64_t fingerprint);
std::optional<Waveform> DecodeWaveform(std::string_view bytes, std::uint64_t fingerprint);

class WaveformCache {
public:
    static constexpr const char* kFolderName = "waveforms";
    static constexpr std::size_t kMaxFiles = 2000;

    // Files go to programFolder/waveforms, created when first needed.
    explicit WaveformCache(const std::string& programFolder);

    // The cached outline when it still belongs to the file, else one computed now and stored
    // (a failed store is not an error: the outline is still returned).
    std::optional<Waveform> Get(const std::string& mp3Path, std::string* error,
                                const std::atomic<bool>* cancel = nullptr) const;
    std::optional<Waveform> Load(const std::string& mp3Path) const;
    bool Store(const std::string& mp3Path, const Waveform& waveform) const;
    // Keeps the newest maxFiles outlines.
    void Prune(std::size_t maxFiles = kMaxFiles) const;
    std::string FileFor(const std::string& mp3Path) const;
    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
};

}  // namespace pell
