// Test and demo signal generators for caller identification: FSK caller-ID bursts, DTMF digit
// sequences, single tones, white noise, a speech-like babble, and a writer for temp files.
//
// Every generator returns 16-bit mono samples at the rate asked for; levels are in dB relative to
// a full-scale sine (0 dBFS = peak 32767), results saturate at full scale. Build a call by
// appending pieces:
//
//     using namespace pell::signals;
//     Samples call = Silence(8000, 0.5);
//     Append(call, FskBurst(CallSetupMessage({{0x01, "12071530"}, {0x02, "5551234"}})));
//     Append(call, SpeechLike(8000, 3.0, -20.0, /*seed=*/1));
//     WriteSampleFile("/tmp/wave2.out", call);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pell::signals {

using Samples = std::vector<int16_t>;

struct FskTones {
    double markHz;   // logical 1
    double spaceHz;  // logical 0
};
inline constexpr FskTones kV23Tones{1300.0, 2100.0};
inline constexpr FskTones kBell202Tones{1200.0, 2200.0};

struct FskBurstOptions {
    int32_t sampleRate = 8000;  // Hz
    FskTones tones = kV23Tones;
    double levelDbfs = -13.0;        // sine level
    double frequencyOffsetHz = 0.0;  // added to both tones
    double baudOffsetPercent = 0.0;  // bit rate = 1200 x (1 + offset / 100)
    int32_t seizureBits = 300;       // alternating 0, 1, ... before the mark run; 0 for none
    int32_t markBits = 180;          // mark run before the first character
    int32_t stopBits = 1;            // mark bits after each character
    int32_t trailingMarkBits = 4;    // mark bits after the last character
    int32_t badStopBitAt = -1;       // this character's first stop bit is sent as a space (a framing error)
    double startPhase = 0.0;         // radians
};

// One phase-continuous 1200 bit/s burst: channel seizure, mark run, then each byte as an
// asynchronous character (start bit 0, eight data bits least significant first, stop bits 1).
Samples FskBurst(const std::vector<uint8_t>& bytes, const FskBurstOptions& options = {});

struct Parameter {
    uint8_t type;       // 0x01 date and time, 0x02 calling number, 0x04 reason for no number, 0x07 name
    std::string value;  // bytes as sent
};
// A call set-up message: 0x80, message length, the parameters as type, length, value, then the
// checksum that makes all bytes sum to 0 modulo 256.
std::vector<uint8_t> CallSetupMessage(const std::vector<Parameter>& parameters);

struct DtmfOptions {
    int32_t sampleRate = 8000;            // Hz
    double toneMs = 70.0;                 // length of each digit's tone pair
    double pauseMs = 70.0;                // silence after each digit
    double levelDbfs = -10.0;             // level of the row (low) tone
    double twistDb = 0.0;                 // column (high) tone level relative to the row tone
    double frequencyOffsetPercent = 0.0;  // applied to both tones
    double rowOffsetPercent = 0.0;        // applied to the row (low) tone only, on top
    double columnOffsetPercent = 0.0;     // applied to the column (high) tone only, on top
};
// Tone pairs for the characters 0-9, *, #, A-D; any other character is a pause of one digit's
// tone length.
Samples DtmfDigits(const std::string& digits, const DtmfOptions& options = {});

// A sine at frequencyHz, levelDbfs, lasting seconds.
Samples Tone(int32_t sampleRate, double frequencyHz, double levelDbfs, double seconds);
Samples Silence(int32_t sampleRate, double seconds);
// Gaussian white noise of the given RMS level (dB relative to a full-scale sine's RMS).
Samples WhiteNoise(size_t count, double levelDbfs, uint32_t seed);
// Adds white noise whose power is snrDb below the mean power of signal's non-zero stretch.
void AddNoise(Samples& signal, double snrDb, uint32_t seed);
// Adds mains hum (fundamental and its odd harmonics 3..9, each 6 dB below the one before, plus
// a weak second harmonic) whose power is relativeDb against the signal's non-zero stretch.
void AddHum(Samples& signal, int32_t sampleRate, double fundamentalHz, double relativeDb);
// Adds Gaussian noise confined to lowHz..highHz (the voice band) at snrDb below the signal's
// non-zero stretch.
void AddBandNoise(Samples& signal, int32_t sampleRate, double snrDb, double lowHz, double highHz, uint32_t seed);
// G.711 round trips: each sample coded to 8 bits and back, as a digital exchange does.
void MuLawRoundTrip(Samples& signal);
void ALawRoundTrip(Samples& signal);
// Adds a copy of the signal delayed by delayMs at levelDb relative to it (a hybrid's echo).
void AddEcho(Samples& signal, int32_t sampleRate, double delayMs, double levelDb);
// A long loop's slope: first-order low-passes (minimum phase, as a cable's loss) that leave a
// tone at highHz differenceDb below one at lowHz, with unity gain at 1000 Hz.
void ApplySlope(Samples& signal, int32_t sampleRate, double lowHz, double highHz, double differenceDb);
// Voiced syllables with drifting pitch and three drifting formants, separated by short pauses:
// stands in for talk on the line.
Samples SpeechLike(int32_t sampleRate, double seconds, double levelDbfs, uint32_t seed);

void Append(Samples& to, const Samples& more);
// Sample-wise sum, saturating; the result is as long as the longer input.
Samples Mix(const Samples& a, const Samples& b);

// Writes the samples as headerless signed 16-bit little-endian mono; false on failure.
bool WriteSampleFile(const std::string& path, const Samples& samples);

}  // namespace pell::signals
