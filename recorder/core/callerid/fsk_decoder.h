// FSK caller identification: finds the calling number in the 1200 bit/s FSK burst (V.23 or
// Bell 202 tones) that the exchange sends before or between the first rings.
//
// How it works: every bit decision correlates six consecutive 8000 Hz samples with six-sample
// cosine and sine tables of the mark and space tones; the sign of (space energy - mark energy)
// is the bit, with no level threshold. Decisions are taken 7, 6, 7 samples apart (20 samples
// per three bits). While hunting, a run of marks pulls the decision point to the strongest
// correlation; after more than 50 marks, each space starts an asynchronous character (8 data
// bits, least significant first, stop bit not checked). The received bytes are then searched
// for a call set-up message (type 0x80) and its calling-number parameter (0x02).
// Recordings at a multiple of 8000 Hz are low-pass filtered and decimated to 8000 Hz first; other
// rates keep the raw samples and only scale the decision steps by sampleRate / 8000.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/core/recorder_settings.h"
#include "recorder/core/callerid/fsk_receiver.h"

namespace pell {

// The burst must lie in the first 131072 bytes of the recording.
inline constexpr size_t kFskReadSamples = 65536;

// D = space energy - mark energy over window[0..5], in 64-bit arithmetic; negative means mark.
int64_t CorrelateFsk(const int16_t* window, const ToneTable& tones);

// Bit decisions and asynchronous framing over samples at 8000 Hz (stepMultiplier 1) or at a
// rate whose steps are stretched by stepMultiplier (sample positions count input samples).
// Feed blocks in order, then Finish once; bytes() holds the framed characters.
class FskDemodulator {
public:
    FskDemodulator(const ToneTable& tones, int32_t stepMultiplier);

    void Feed(const int16_t* samples, size_t count);
    // Runs the decisions that need the end of the data; further Feed calls are ignored.
    void Finish();
    const std::vector<uint8_t>& bytes() const { return bytes_; }

    // The steps of the decision loop, on the samples fed so far (positions are absolute sample
    // indexes and must still be held; see Feed).
    int64_t CorrelateFsk(int64_t position) const;
    // Hill-climbs |D| from position, at most three samples forward, else three back.
    int64_t RealignOnMark(uint64_t best, int64_t position) const;
    // Walks back from position to the last mark decision, never behind `floor`; the result lies
    // about four samples into the start bit.
    int64_t FindStartEdge(int64_t position, int64_t floor) const;

private:
    enum class Hunt { kMarkRun, kStartBit, kDataBits };  // kMarkRun -> kStartBit <-> kDataBits

    void Run(bool atEnd);
    void Compact();
    int16_t At(int64_t position) const { return samples_[static_cast<size_t>(position - base_)]; }
    int64_t End() const { return base_ + static_cast<int64_t>(samples_.size()); }

    ToneTable tones_;
    int32_t stepMultiplier_;
    std::vector<int16_t> samples_;  // samples from absolute index base_ on
    int64_t base_ = 0;
    bool finished_ = false;

    int64_t position_ = 0;
    int64_t previousDecision_ = 0;
    int32_t phase_ = 0;
    Hunt state_ = Hunt::kMarkRun;
    int32_t markCount_ = 0;
    int32_t bitCount_ = 0;
    uint32_t byte_ = 0;
    std::vector<uint8_t> bytes_;
};

// Low-pass filter (cut-off 3400 Hz) and keep every factor-th sample: brings a recording at
// factor x 8000 Hz to 8000 Hz so the 8000 Hz tone tables apply. The factor is held to 1..24
// (up to 192000 Hz), so no rate can ask for a filter of millions of taps.
class FskDecimator {
public:
    explicit FskDecimator(int32_t factor);
    // Appends the output samples for these input samples to out.
    void Process(const int16_t* samples, size_t count, std::vector<int16_t>& out);

private:
    int32_t factor_;
    std::vector<double> taps_;
    std::vector<double> history_;  // the inputs the next output still needs
    size_t phase_ = 0;             // inputs to skip before the next output
};

// The calling number from the framed bytes: each 0x80 is tried in turn and its parameters are
// walked as type, length, value inside the message length. The number is the first 0x02
// parameter of the first message whose checksum verifies (bytes and checksum sum to 0 modulo
// 256), or, when none verifies, of the first message holding a valid 0x02 parameter. A number
// that is not made of the characters a calling number may hold is no number.
struct CallerIdMessage {
    std::string number;
    bool verified = false;  // the message's checksum held
};
CallerIdMessage ParseCallerIdMessage(const std::vector<uint8_t>& bytes);
std::string ParseCallerIdBytes(const std::vector<uint8_t>& bytes);

// Whole decoder over the start of a recording, fed from its first sample on: the six-sample
// demodulator and the band-passed FskReceiver run side by side; a checksum-verified message of
// the former wins, then one of the latter; failing both, receivers that lift the space tone 6 and
// then 12 dB (a long loop's slope) read the same samples; then the former's unverified number. Samples beyond
// kFskReadSamples are ignored. Rates below 8000 Hz or above 192000 Hz never decode.
class FskClipDecoder {
public:
    FskClipDecoder(int32_t sampleRate, const ToneTable& tones);
    void Feed(const int16_t* samples, size_t count);
    // True once the read limit is reached: further samples would be ignored.
    bool full() const { return fed_ >= kFskReadSamples; }
    std::string Finish();

private:
    bool enabled_;
    size_t fed_ = 0;
    bool decimating_;
    FskDecimator decimator_;
    FskDemodulator demodulator_;
    FskReceiver receiver_;  // flat
    FskTonePair tones_;     // for the receivers that lift the space tone, run in Finish
    double receiverRate_;
    std::vector<int16_t> scratch_;
    std::vector<int16_t> seen_;  // what the demodulator was fed, for those receivers
};

// The calling number in the first kFskReadSamples samples, or empty.
std::string DecodeFskClip(const int16_t* samples, size_t count, int32_t sampleRate, const ToneTable& tones);
// The same over a temp file; a missing or unreadable file gives empty.
std::string DecodeFskClip(const std::string& tempFilePath, int32_t sampleRate, const ToneTable& tones);

}  // namespace pell
