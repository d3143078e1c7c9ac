// Tone (DTMF) caller identification and dialled-digit detection over a whole recording.
//
// How it works: windows of about 13 ms (106 analysed samples at 8000 Hz) start one stride apart;
// in each, eight Goertzel filters (the four row and four column tones) are run, each over its
// own window length. A tone is present when its magnitude exceeds 30 % (-10.5 dB) of the summed
// absolute sample values of its window (and that sum exceeds 1000, a sine of about -67 dBFS);
// exactly one row and one column tone that together carry at least 60 % (-2.2 dB) of the window's
// power, each 6 dB above the other tones of its group, make a digit, unless the column tone has a
// second harmonic above 30 % (-10.5 dB) of it (voiced speech has one, a key has none). Where no
// pair reaches 30 %, tones of 28 % (-11.1 dB) that carry 90 % (-0.5 dB) of the window's power
// make one too: a strong twist on a quiet line. Each tone must lie within 2.5 % + 1 Hz of its key
// (half-way between the 1.5 % + 2 Hz a receiver must take and the 3.5 % it must refuse), measured
// by the phase it turns between the two halves of its window. Twist needs no own limit: the tone
// share and the pair power together take +-7 dB (-8 dB on a quiet line) at every rate and window
// alignment and refuse +-10 dB. When a new digit appears, the scan steps back half a window to
// catch the tone's start. A digit seen in three windows (two at 5512.5 Hz, whose windows are
// 19 ms) is held and is emitted once as many windows of silence follow; a window whose key lies
// 9 dB or more below the key's strongest window counts as silence, so an echo or a tail does not
// fill the gap. A digit whose first window was counted twice must also lead both tone groups in
// the window half a stride on (a stride at 5512.5 Hz) or half a stride before its first window,
// so it has lasted the 40 ms a key gives and that a speech harmonic rarely holds. A held digit is
// emitted only when its two tones rose from, or fell back to, 12 dB below its strongest window
// within two strides before or after it: a key is switched on and off, while two notes of music
// that pass for a key sound on under the notes that hid them (such a digit counts as a doubt).
// Beside the digits the detector keeps each key's bounds and twist, and where a tone pair came
// and went without becoming a digit (see tone_reading.h).
// Recordings at 16000 and 32000 Hz analyse every 2nd/4th sample with the 8000 Hz filters, those
// at 11025, 22050 and 44100 Hz every 2nd/4th/8th with filters for 5512.5 Hz; other rates are not
// analysed.
//
// Hit patterns, one letter per window a stride apart (D the digit, x any other result, - no
// digit), for the three windows a digit must fill at the 8000 Hz rates (two at 5512.5 Hz: drop
// one D from each):
//   D D D             the digit is held
//   D x D D, D D x D  held too: one window unlike the run, before the run is held, is passed over
//   D x D x D         not held: a second unlike window starts a new run
//   D D D - - -       D is emitted once its windows of silence are filled
//   D D D E E E - - - E only: a digit is emitted when silence follows it, not another digit
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pell {

// Tones in order: rows 697, 770, 852, 941 Hz, then columns 1209, 1336, 1477, 1633 Hz.
struct DtmfFilterSet {
    std::array<int32_t, 8> coefficient;  // Q11: 2048 * 2cos(2 pi f / fs), floored
    std::array<int32_t, 8> window;       // analysed samples per tone
    int32_t maxWindow;                   // Nmax
    double rateHz;                       // the rate the analysed samples stand for
};

// Filter set and step s (every s-th sample analysed) for a recording rate; false when the rate
// is not supported.
bool SelectDtmfFilterSet(int32_t sampleRate, DtmfFilterSet* set, int32_t* step);

// The digit of exactly one row flag and one column flag (flags in tone order), else 0.
char MapDtmfPair(const std::array<bool, 8>& flags);

// A digit as the detector found it, for judging whether a caller-ID frame can be trusted.
struct DtmfKey {
    char key = 0;
    int64_t start = 0;     // sample index of the first window that showed the key
    int64_t end = 0;       // sample index just past the last such window
    double twistDb = 0.0;  // column tone against row tone, over those windows
};

// The digit string with its keys, and where a tone pair came and went without becoming a digit
// (a key may have been lost there: a dropped frame, a twist at the limit).
struct DtmfScan {
    std::string digits;
    std::vector<DtmfKey> keys;    // one per character of digits
    std::vector<int64_t> doubts;  // sample indexes, in order
    int32_t sampleRate = 0;       // 0: the rate was not analysed
};

// Streaming detector: Feed the recording's samples from the start in blocks of any size, then
// Finish once for the digit string (0-9, *, #, A-D). The recording is analysed in chunks of
// floor(65536 / stride) strides, each chunk starting a fresh grid of windows.
class DtmfDetector {
public:
    // kFastest uses four-lane vectors where the processor has them; both give the same digits.
    enum class Kernel { kFastest, kPortable };

    explicit DtmfDetector(int32_t sampleRate, Kernel kernel = Kernel::kFastest);
    bool supported() const { return supported_; }
    // Blocks of this many samples are analysed in place, without copying.
    size_t chunkSamples() const { return chunkSamples_; }
    void Feed(const int16_t* samples, size_t count);
    std::string Finish();
    // Finish, with the keys and doubts.
    DtmfScan Scan();

    // The power of a key's two tones in one window.
    struct KeyLevel {
        double row = 0, column = 0;
    };

    // One window starting at window[0] (its Nmax analysed samples must be readable): the digit
    // present, or 0.
    char AnalyseWindow(const int16_t* window) const;
    // Two windows at once, for speed: the same results as two AnalyseWindow calls.
    void AnalyseWindowPair(const int16_t* first, const int16_t* second, char* firstDigit, char* secondDigit) const;

private:
    // As the public ones, also giving the power of the key's two tones (0 for no digit).
    char AnalyseWindow(const int16_t* window, KeyLevel* level) const;
    void AnalyseWindowPair(const int16_t* first, const int16_t* second, char* firstDigit, char* secondDigit,
                           KeyLevel* firstLevel, KeyLevel* secondLevel) const;
    void AnalyseChunk(const int16_t* samples, int64_t count);
    // The window's digit, or 0 when its key has fallen far below the key's peak (a gap).
    char AgainstPeak(char digit, KeyLevel* level);
    // The run of like windows, holding a digit that filled its windows and emitting it after a gap.
    void Debounce(char digit, const int16_t* samples, int64_t count, int64_t pos);
    // Bookkeeping of keys and doubts beside the digit decisions.
    void NoteKeyWindow(char digit, int64_t start, int64_t end, const KeyLevel& level);
    DtmfKey RunKey() const;
    void EndRun();
    void Hold(char digit);
    void Emit();
    bool LongEnough(const int16_t* samples, int64_t count, int64_t pos) const;
    // The digit's two tones still lead their groups in this window.
    bool PairContinues(const int16_t* window, char digit) const;
    // The power of the digit's two tones in the window starting at recording sample `at`: 0
    // before the recording's start or past its end, -1 when those samples are no longer kept.
    double KeyPowerAt(int64_t at, char digit) const;
    // The weakest KeyPowerAt over two strides after `from` (direction > 0) or before it; -1: none kept.
    double WeakestAround(int64_t from, int64_t direction, char digit) const;
    // The held key's tones rose from or fell back to far below its peak beside it.
    bool SwitchedOnOrOff() const;
    // Keeps the last samples of an analysed chunk for the windows beside a key.
    void KeepHistory(const int16_t* samples, size_t count);

    int32_t sampleRate_;
    bool supported_ = false;              // the rate has a filter set; otherwise nothing is analysed
    bool wideVectors_ = false;            // the Goertzel filters run four to a vector
    DtmfFilterSet set_{};                 // filters of the rate's family
    int32_t step_ = 1;                    // s: every s-th recording sample is analysed
    int64_t half_ = 0;                    // h * s recording samples: half a window, the realignment step
    int64_t stride_ = 0;                  // T = Nmax * s recording samples between window starts
    size_t chunkSamples_ = 0;             // floor(65536 / T) * T
    int64_t windowsToHold_ = 3;           // windows a digit (and the silence after it) must fill
    std::vector<int16_t> chunk_;          // samples of the chunk not yet complete, kept between Feeds
    std::vector<int16_t> history_;        // the last samples before origin_, for the windows beside a key
    const int16_t* chunkData_ = nullptr;  // the chunk being analysed, from origin_
    int64_t chunkCount_ = 0;              // its samples
    bool finished_ = false;               // Finish ran: later Feeds are ignored

    // The window-by-window state, carried across chunks.
    char last_ = 0;              // the result (digit, or 0 for none) of the current run of windows
    int64_t count_ = 0;          // windows of the run after its first
    bool pending_ = false;       // the run is new and not yet held: one unlike window is passed over
    char held_ = 0;              // a digit that filled its windows and waits for silence; 0: none
    bool realign_ = false;       // a new digit was seen and the scan stepped back half a window
    char saved_ = 0;             // that digit, counted for the earlier window if it shows no tone
    bool startCounted_ = false;  // the digit's first window was counted twice (realign found no tone before it)
    char peakDigit_ = 0;         // the key whose strongest window is peakPower_; 0: none since the last gap
    double peakPower_ = 0;       // power of that key's two tones in its strongest window
    std::string digits_;         // the digits emitted so far

    int64_t origin_ = 0;                     // recording sample index of the chunk being analysed
    DtmfKey run_;                            // the key of the windows since another key or a gap
    double runRow_ = 0, runColumn_ = 0;      // its tones' power summed over those windows
    bool runHeld_ = false;                   // that run filled its windows
    double runPeak_ = 0;                     // the power of its two tones in its strongest window
    double runBefore_ = -1;                  // their weakest power just before it (-1: not known)
    DtmfKey heldKey_;                        // the key of held_
    double heldPeak_ = 0, heldBefore_ = -1;  // runPeak_ and runBefore_ of that key
    std::vector<DtmfKey> keys_;              // one per digit emitted
    std::vector<int64_t> doubts_;
};

// The digits of a whole recording with their keys; empty for an unsupported rate.
DtmfScan ScanDtmf(const int16_t* samples, size_t count, int32_t sampleRate);
// The same over a temp file, as DetectDtmfDigits reads it.
DtmfScan ScanDtmf(const std::string& tempFilePath, int32_t sampleRate);

// The digit string of a whole recording; empty for an unsupported rate.
std::string DetectDtmfDigits(const int16_t* samples, size_t count, int32_t sampleRate);
// The same over a temp file, read in chunks; missing, unreadable or unsupported rate give empty
// (the file is not opened for an unsupported rate).
std::string DetectDtmfDigits(const std::string& tempFilePath, int32_t sampleRate);

// The texts a tone caller-ID message gives for a withheld and an unavailable number.
inline constexpr const char* kWithheldText = "Private";
inline constexpr const char* kUnavailableText = "No number";

struct ToneClip {
    std::string number;
    bool framed = false;  // false: digits dialled on the line rather than a caller-ID message
};

// A DTMF caller-ID message: A or D starts a number and C ends it; B starts a code ("10"
// withheld, "00" unavailable) ended by C; "**" starts a number. Anything else is unframed.
ToneClip ParseToneClip(const std::string& digits);

}  // namespace pell
