#pragma once

// The engine's MPEG audio decoder: libmpg123 in feed mode behind the three calls the engine
// makes. DecodeMp3 hands out one frame of 16-bit PCM (interleaved for two channels) per call.
// The equalizer's 2 x 32 subband gains live in SubbandGains, written by the window's thread;
// the decoder reads them before the next frame on the worker's thread. A boost is applied with
// headroom: the decoder synthesises at gain / makeUp, so its own 16-bit output never clips,
// and reports makeUp for the engine's limiter to restore the level within full scale.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

struct mpg123_handle_struct;

namespace pell {

inline constexpr int kMp3Error = -1;
inline constexpr int kMp3Ok = 0;
inline constexpr int kMp3NeedMore = 1;

// One frame of 1152 samples in two 16-bit channels.
inline constexpr std::size_t kMaxFramePcmBytes = 1152 * 2 * 2;

// The equalizer's gains as the window sets them; any thread may write, the decoder reads.
class SubbandGains {
public:
    SubbandGains();
    SubbandGains(const SubbandGains&) = delete;
    SubbandGains& operator=(const SubbandGains&) = delete;

    // The same 32 gains for both channels.
    void Set(const std::array<double, 32>& gains);
    void Enable(bool enable);
    bool Enabled() const { return switch_.load(std::memory_order_relaxed) != 0; }
    double Gain(int channel, int subband) const;
    // Advances on every change, so the decoder re-reads the gains only when they moved.
    std::uint32_t Version() const { return version_.load(std::memory_order_acquire); }

private:
    std::array<std::array<std::atomic<double>, 32>, 2> gains_;
    std::atomic<int> switch_{0};
    std::atomic<std::uint32_t> version_{1};
};

// The boost the decoder leaves to the limiter for these gains: their largest factor, at least 1.
double MakeUpGainFor(const SubbandGains& gains);

// Owns one libmpg123 handle; used by the worker's thread only.
class Mp3Decoder {
public:
    // gains may be null (no equalizer) and must outlive the decoder.
    explicit Mp3Decoder(const SubbandGains* gains);
    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;
    Mp3Decoder(Mp3Decoder&& other) noexcept;
    Mp3Decoder& operator=(Mp3Decoder&& other) noexcept;

    // False when libmpg123 could not create the handle or open the feed; Error says why.
    bool Ready() const { return handle_ != nullptr && open_; }
    const std::string& Error() const { return error_; }
    // The level factor the last frame handed out was synthesised below its gains.
    double MakeUpGain() const { return makeUp_; }
    // The stream's rate and channels once a frame has been decoded; false before.
    bool Format(int* sampleRate, int* channels) const;

    // Resets the decoder; the gains stay.
    void Init();
    // See DecodeMp3.
    int Decode(const std::uint8_t* input, std::size_t inputLength, std::uint8_t* out, std::size_t capacity,
               std::size_t* done);
    void Exit();

private:
    void ApplyGains();
    void Release() noexcept;

    mpg123_handle_struct* handle_ = nullptr;
    const SubbandGains* gains_ = nullptr;
    bool open_ = false;
    std::uint32_t appliedVersion_ = 0;
    double makeUp_ = 1.0;
    std::string error_;
    // A decoded frame that did not fit the room it was offered; handed out by the next call.
    std::array<std::uint8_t, kMaxFramePcmBytes> pending_{};
    std::size_t pendingBytes_ = 0;
};

// Resets the decoder; the gains and the switch stay.
void InitMP3(Mp3Decoder& decoder);
// input may be null with length 0 to drain what was fed before. Returns kMp3Ok with one frame's
// PCM in out (*done bytes), kMp3NeedMore when the input is used up or the next frame does not
// fit capacity, kMp3Error when the decoder fails.
int DecodeMp3(Mp3Decoder& decoder, const std::uint8_t* input, std::size_t inputLength, std::uint8_t* out,
              std::size_t capacity, std::size_t* done);
void ExitMP3(Mp3Decoder& decoder);

}  // namespace pell
