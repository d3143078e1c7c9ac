#include "testsupport/signals/signals.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <fstream>
#include <numbers>
#include <random>

namespace pell::signals {
namespace {

constexpr double kFullScale = 32767.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

double Amplitude(double levelDbfs) { return kFullScale * std::pow(10.0, levelDbfs / 20.0); }

int16_t Saturate(double value) { return static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L)); }

size_t SampleCount(int32_t sampleRate, double seconds) {
    return static_cast<size_t>(std::max(0.0, std::round(seconds * sampleRate)));
}

// Two-pole resonator with unity gain at DC, as used for formants.
class Resonator {
public:
    void Set(double frequencyHz, double bandwidthHz, int32_t sampleRate) {
        c_ = -std::exp(-kTwoPi * bandwidthHz / sampleRate);
        b_ = 2.0 * std::exp(-std::numbers::pi * bandwidthHz / sampleRate) * std::cos(kTwoPi * frequencyHz / sampleRate);
        a_ = 1.0 - b_ - c_;
    }
    double Step(double x) {
        const double y = a_ * x + b_ * y1_ + c_ * y2_;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    double a_ = 1, b_ = 0, c_ = 0, y1_ = 0, y2_ = 0;
};

}  // namespace

Samples FskBurst(const std::vector<uint8_t>& bytes, const FskBurstOptions& options) {
    std::vector<bool> bits;
    for (int32_t i = 0; i < options.seizureBits; ++i) bits.push_back(i % 2 == 1);
    bits.insert(bits.end(), static_cast<size_t>(std::max(options.markBits, 0)), true);
    for (size_t c = 0; c < bytes.size(); ++c) {
        bits.push_back(false);
        for (int i = 0; i < 8; ++i) bits.push_back(((bytes[c] >> i) & 1) != 0);
        if (static_cast<int64_t>(c) == options.badStopBitAt) bits.push_back(false);
        bits.insert(bits.end(), static_cast<size_t>(std::max(options.stopBits, 0)), true);
    }
    bits.insert(bits.end(), static_cast<size_t>(std::max(options.trailingMarkBits, 0)), true);

    const double baud = 1200.0 * (1.0 + options.baudOffsetPercent / 100.0);
    const double samplesPerBit = options.sampleRate / baud;
    const auto total = static_cast<size_t>(std::ceil(bits.size() * samplesPerBit));
    const double amplitude = Amplitude(options.levelDbfs);
    Samples out(total);
    double phase = options.startPhase;
    for (size_t n = 0; n < total; ++n) {
        const size_t bit = std::min(static_cast<size_t>(n / samplesPerBit), bits.size() - 1);
        const double hz = (bits[bit] ? options.tones.markHz : options.tones.spaceHz) + options.frequencyOffsetHz;
        out[n] = Saturate(amplitude * std::sin(phase));
        phase = std::fmod(phase + kTwoPi * hz / options.sampleRate, kTwoPi);
    }
    return out;
}

std::vector<uint8_t> CallSetupMessage(const std::vector<Parameter>& parameters) {
    std::vector<uint8_t> body;
    for (const Parameter& p : parameters) {
        body.push_back(p.type);
        body.push_back(static_cast<uint8_t>(p.value.size()));
        body.insert(body.end(), p.value.begin(), p.value.end());
    }
    std::vector<uint8_t> message(body.size() + 2);
    message[0] = 0x80;
    message[1] = static_cast<uint8_t>(body.size());
    std::copy(body.begin(), body.end(), message.begin() + 2);
    uint32_t sum = 0;
    for (const uint8_t b : message) sum += b;
    message.push_back(static_cast<uint8_t>((256 - sum % 256) % 256));
    return message;
}

Samples DtmfDigits(const std::string& digits, const DtmfOptions& options) {
    static const std::string kKeys = "123A456B789C*0#D";
    static constexpr double kRows[4] = {697.0, 770.0, 852.0, 941.0};
    static constexpr double kColumns[4] = {1209.0, 1336.0, 1477.0, 1633.0};
    const double rowScale = 1.0 + (options.frequencyOffsetPercent + options.rowOffsetPercent) / 100.0;
    const double columnScale = 1.0 + (options.frequencyOffsetPercent + options.columnOffsetPercent) / 100.0;
    const double rowAmplitude = Amplitude(options.levelDbfs);
    const double columnAmplitude = Amplitude(options.levelDbfs + options.twistDb);
    const size_t toneSamples = SampleCount(options.sampleRate, options.toneMs / 1000.0);
    const size_t pauseSamples = SampleCount(options.sampleRate, options.pauseMs / 1000.0);
    Samples out;
    for (const char c : digits) {
        const size_t key = kKeys.find(c);
        for (size_t n = 0; n < toneSamples; ++n) {
            double value = 0;
            if (key != std::string::npos) {
                const double t = static_cast<double>(n) / options.sampleRate;
                value = rowAmplitude * std::sin(kTwoPi * kRows[key / 4] * rowScale * t) +
                        columnAmplitude * std::sin(kTwoPi * kColumns[key % 4] * columnScale * t);
            }
            out.push_back(Saturate(value));
        }
        out.insert(out.end(), pauseSamples, 0);
    }
    return out;
}

Samples Tone(int32_t sampleRate, double frequencyHz, double levelDbfs, double seconds) {
    const double amplitude = Amplitude(levelDbfs);
    Samples out(SampleCount(sampleRate, seconds));
    for (size_t n = 0; n < out.size(); ++n) {
        out[n] = Saturate(amplitude * std::sin(kTwoPi * frequencyHz * static_cast<double>(n) / sampleRate));
    }
    return out;
}

Samples Silence(int32_t sampleRate, double seconds) { return Samples(SampleCount(sampleRate, seconds), 0); }

Samples WhiteNoise(size_t count, double levelDbfs, uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, Amplitude(levelDbfs) / std::numbers::sqrt2);
    Samples out(count);
    for (int16_t& s : out) s = Saturate(normal(random));
    return out;
}

namespace {

// Mean power of the non-zero samples: the level of a burst or of talk, not of the silence around it.
double ActivePower(const Samples& signal) {
    double power = 0;
    size_t active = 0;
    for (const int16_t s : signal) {
        if (s == 0) continue;
        power += static_cast<double>(s) * s;
        ++active;
    }
    return active == 0 ? 0.0 : power / active;
}

// Second-order Butterworth sections for shaping test noise.
class Section {
public:
    Section(int32_t sampleRate, double cornerHz, bool highPass) {
        const double w0 = kTwoPi * cornerHz / sampleRate;
        const double alpha = std::sin(w0) / std::numbers::sqrt2;
        const double c = std::cos(w0);
        const double a0 = 1 + alpha;
        const double edge = (highPass ? 1 + c : 1 - c) / 2;
        b0_ = edge / a0;
        b1_ = (highPass ? -2 : 2) * edge / a0;
        b2_ = edge / a0;
        a1_ = -2 * c / a0;
        a2_ = (1 - alpha) / a0;
    }
    double Step(double x) {
        const double y = b0_ * x + z1_;
        z1_ = b1_ * x - a1_ * y + z2_;
        z2_ = b2_ * x - a2_ * y;
        return y;
    }

private:
    double b0_, b1_, b2_, a1_, a2_, z1_ = 0, z2_ = 0;
};

}  // namespace

void AddHum(Samples& signal, int32_t sampleRate, double fundamentalHz, double relativeDb) {
    const double power = ActivePower(signal);
    if (power == 0) return;
    // Harmonic amplitudes relative to the fundamental: 2nd -20 dB, 3rd -6 dB, 5th -12 dB, ...
    const std::pair<int, double> harmonics[] = {{1, 0.0}, {2, -20.0}, {3, -6.0}, {5, -12.0}, {7, -18.0}, {9, -24.0}};
    double unitPower = 0;
    for (const auto& [k, db] : harmonics) unitPower += std::pow(10.0, db / 10.0) / 2;
    const double scale = std::sqrt(power * std::pow(10.0, relativeDb / 10.0) / unitPower);
    for (size_t n = 0; n < signal.size(); ++n) {
        double hum = 0;
        for (const auto& [k, db] : harmonics) {
            hum += std::pow(10.0, db / 20.0) *
                   std::sin(kTwoPi * k * fundamentalHz * static_cast<double>(n) / sampleRate + k);
        }
        signal[n] = Saturate(signal[n] + scale * hum);
    }
}

void AddBandNoise(Samples& signal, int32_t sampleRate, double snrDb, double lowHz, double highHz, uint32_t seed) {
    const double power = ActivePower(signal);
    if (power == 0) return;
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    Section stages[] = {{sampleRate, lowHz, true},
                        {sampleRate, lowHz, true},
                        {sampleRate, std::min(highHz, 0.45 * sampleRate), false},
                        {sampleRate, std::min(highHz, 0.45 * sampleRate), false}};
    std::vector<double> noise(signal.size());
    double noisePower = 0;
    for (double& v : noise) {
        v = normal(random);
        for (Section& s : stages) v = s.Step(v);
        noisePower += v * v;
    }
    if (noisePower == 0) return;
    const double gain = std::sqrt(power / std::pow(10.0, snrDb / 10.0) / (noisePower / noise.size()));
    for (size_t n = 0; n < signal.size(); ++n) signal[n] = Saturate(signal[n] + gain * noise[n]);
}

void MuLawRoundTrip(Samples& signal) {
    for (int16_t& s : signal) {
        // Encode: bias, segment, four mantissa bits; decode the segment's mid-point.
        constexpr int32_t kBias = 0x84;
        int32_t magnitude = std::min(std::abs(static_cast<int32_t>(s)) >> 2, 8158) + (kBias >> 2);
        int32_t segment = 0;
        while (segment < 7 && magnitude > (0x3F << segment)) ++segment;
        const int32_t mantissa = (magnitude >> (segment + 1)) & 0x0F;
        const int32_t decoded = (((mantissa << 1) + 33) << segment) - (kBias >> 2);
        s = Saturate((s < 0 ? -decoded : decoded) * 4.0);
    }
}

void ALawRoundTrip(Samples& signal) {
    for (int16_t& s : signal) {
        const int32_t magnitude = std::min(std::abs(static_cast<int32_t>(s)) >> 3, 4095);
        int32_t segment = 0;
        while (segment < 7 && magnitude >= (32 << segment)) ++segment;
        const int32_t mantissa = segment == 0 ? magnitude >> 1 : (magnitude >> segment) & 0x0F;
        const int32_t decoded = segment == 0 ? (mantissa << 1) + 1 : ((mantissa << 1) + 33) << (segment - 1);
        s = Saturate((s < 0 ? -decoded : decoded) * 8.0);
    }
}

void AddEcho(Samples& signal, int32_t sampleRate, double delayMs, double levelDb) {
    const size_t delay = SampleCount(sampleRate, delayMs / 1000.0);
    const double gain = std::pow(10.0, levelDb / 20.0);
    const Samples dry = signal;
    for (size_t n = delay; n < signal.size(); ++n) signal[n] = Saturate(dry[n] + gain * dry[n - delay]);
}

namespace {

// Bilinear first-order low-pass with its corner at cornerHz: y = a (x + x1) + b y1.
struct LowPass {
    double a, b;
    LowPass(double cornerHz, int32_t sampleRate) {
        const double k = std::tan(std::numbers::pi * cornerHz / sampleRate);
        a = k / (1 + k);
        b = (1 - k) / (1 + k);
    }
    double GainAt(double hz, int32_t sampleRate) const {
        const std::complex<double> z = std::polar(1.0, -kTwoPi * hz / sampleRate);
        return std::abs(a * (1.0 + z) / (1.0 - b * z));
    }
};

}  // namespace

void ApplySlope(Samples& signal, int32_t sampleRate, double lowHz, double highHz, double differenceDb) {
    if (differenceDb <= 0) return;
    // Identical sections of at most 4.5 dB each; the corner found by bisection on the response.
    const int sections = static_cast<int>(std::ceil(differenceDb / 4.5));
    auto difference = [&](double cornerHz) {
        const LowPass f(cornerHz, sampleRate);
        return sections * 20 * std::log10(f.GainAt(lowHz, sampleRate) / f.GainAt(highHz, sampleRate));
    };
    double below = 1, above = 0.45 * sampleRate;  // the difference falls as the corner rises
    for (int i = 0; i < 60; ++i) {
        const double mid = std::sqrt(below * above);
        (difference(mid) > differenceDb ? below : above) = mid;
    }
    const LowPass f(below, sampleRate);
    const double unity = std::pow(f.GainAt(1000, sampleRate), -sections);
    std::vector<double> x(signal.begin(), signal.end());
    for (int s = 0; s < sections; ++s) {
        double x1 = 0, y1 = 0;
        for (double& v : x) {
            const double y = f.a * (v + x1) + f.b * y1;
            x1 = v;
            y1 = y;
            v = y;
        }
    }
    for (size_t n = 0; n < signal.size(); ++n) signal[n] = Saturate(x[n] * unity);
}

void AddNoise(Samples& signal, double snrDb, uint32_t seed) {
    const double power = ActivePower(signal);
    if (power == 0) return;
    const double noiseRms = std::sqrt(power / std::pow(10.0, snrDb / 10.0));
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, noiseRms);
    for (int16_t& s : signal) s = Saturate(s + normal(random));
}

Samples SpeechLike(int32_t sampleRate, double seconds, double levelDbfs, uint32_t seed) {
    std::mt19937 random(seed);
    auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    std::normal_distribution<double> breath(0.0, 1.0);
    const size_t total = SampleCount(sampleRate, seconds);
    std::vector<double> out;
    out.reserve(total);
    Resonator formants[3];
    constexpr double kBandwidthHz[3] = {90.0, 120.0, 180.0};
    double f[3] = {500.0, 1500.0, 2500.0};
    double pitch = uniform(100.0, 200.0);
    double pitchPhase = 0;
    // The glottal source falls off with frequency; a leaky integrator gives that tilt.
    const double tiltPole = std::exp(-kTwoPi * 150.0 / sampleRate);
    double source = 0;
    while (out.size() < total) {
        const size_t syllable = SampleCount(sampleRate, uniform(0.12, 0.35));
        const double target[3] = {uniform(300.0, 850.0), uniform(850.0, 2300.0), uniform(2300.0, 3000.0)};
        const double targetPitch = std::clamp(pitch + uniform(-40.0, 40.0), 90.0, 250.0);
        const double start[3] = {f[0], f[1], f[2]};
        const double startPitch = pitch;
        const size_t ramp = std::max<size_t>(1, SampleCount(sampleRate, 0.02));
        for (size_t n = 0; n < syllable && out.size() < total; ++n) {
            const double progress = static_cast<double>(n) / syllable;
            for (int k = 0; k < 3; ++k) {
                f[k] = start[k] + (target[k] - start[k]) * progress;
                formants[k].Set(f[k], kBandwidthHz[k], sampleRate);
            }
            pitch = startPitch + (targetPitch - startPitch) * progress;
            pitchPhase += pitch * (1.0 + 0.01 * breath(random)) / sampleRate;  // with jitter
            double pulse = 0.02 * breath(random);                              // aspiration
            if (pitchPhase >= 1.0) {
                pitchPhase -= 1.0;
                pulse += 1.0;
            }
            source = pulse + tiltPole * source;
            double envelope = 1.0;
            if (n < ramp) envelope = 0.5 - 0.5 * std::cos(std::numbers::pi * n / ramp);
            if (syllable - n < ramp) envelope = 0.5 - 0.5 * std::cos(std::numbers::pi * (syllable - n) / ramp);
            double y = source * envelope;
            for (Resonator& r : formants) y = r.Step(y);
            out.push_back(y);
        }
        const size_t pause = SampleCount(sampleRate, uniform(0.04, 0.2));
        for (size_t n = 0; n < pause && out.size() < total; ++n) {
            source *= tiltPole;
            double y = source;
            for (Resonator& r : formants) y = r.Step(y);
            out.push_back(y);
        }
    }
    // Remove the source's DC so the level is that of the voice band.
    double mean = 0;
    for (const double v : out) mean += v;
    mean = out.empty() ? 0.0 : mean / out.size();
    double power = 0;
    for (double& v : out) {
        v -= mean;
        power += v * v;
    }
    const double rms = out.empty() ? 0.0 : std::sqrt(power / out.size());
    const double gain = rms > 0 ? Amplitude(levelDbfs) / std::numbers::sqrt2 / rms : 0.0;
    Samples samples(out.size());
    for (size_t i = 0; i < out.size(); ++i) samples[i] = Saturate(out[i] * gain);
    return samples;
}

void Append(Samples& to, const Samples& more) { to.insert(to.end(), more.begin(), more.end()); }

Samples Mix(const Samples& a, const Samples& b) {
    Samples out(std::max(a.size(), b.size()));
    for (size_t i = 0; i < out.size(); ++i) {
        const int32_t x = i < a.size() ? a[i] : 0;
        const int32_t y = i < b.size() ? b[i] : 0;
        out[i] = Saturate(x + y);
    }
    return out;
}

bool WriteSampleFile(const std::string& path, const Samples& samples) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    std::string bytes(samples.size() * 2, '\0');
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto u = static_cast<uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<char>(u & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(u >> 8);
    }
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

}  // namespace pell::signals
