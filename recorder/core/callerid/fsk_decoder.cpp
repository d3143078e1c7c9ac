#include "recorder/core/callerid/fsk_decoder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "recorder/core/callerid/calling_number.h"
#include "recorder/core/callerid/sample_file.h"

namespace pell {
namespace {

constexpr int64_t kWindow = 6;
constexpr int32_t kMarkRunToRealign = 5;
constexpr int32_t kMarkRunToFrame = 50;
constexpr int32_t kStopBitCount = 9;
constexpr int64_t kStartEdgeOffset = 4;
constexpr size_t kBlockSamples = 8192;

uint64_t Magnitude(int64_t d) { return d < 0 ? 0 - static_cast<uint64_t>(d) : static_cast<uint64_t>(d); }

uint8_t ReverseBits(uint32_t byte) {
    uint8_t out = 0;
    for (int i = 0; i < 8; ++i) out = static_cast<uint8_t>(out | (((byte >> i) & 1u) << (7 - i)));
    return out;
}

}  // namespace

int64_t CorrelateFsk(const int16_t* window, const ToneTable& tones) {
    int64_t cm = 0, sm = 0, cs = 0, ss = 0;
    for (int i = 0; i < 6; ++i) {
        const int64_t x = window[i];
        cm += x * tones.cosMark[i];
        sm += x * tones.sinMark[i];
        cs += x * tones.cosSpace[i];
        ss += x * tones.sinSpace[i];
    }
    // Arithmetic shifts as in the 32-bit original; 64 bits keep full-scale input from wrapping.
    cm >>= 15;
    sm >>= 15;
    cs >>= 15;
    ss >>= 15;
    return (cs * cs + ss * ss) - (cm * cm + sm * sm);
}

FskDemodulator::FskDemodulator(const ToneTable& tones, int32_t stepMultiplier)
    : tones_(tones), stepMultiplier_(stepMultiplier) {}

int64_t FskDemodulator::CorrelateFsk(int64_t position) const {
    return pell::CorrelateFsk(&samples_[static_cast<size_t>(position - base_)], tones_);
}

int64_t FskDemodulator::RealignOnMark(uint64_t best, int64_t position) const {
    const int64_t lastWindow = End() - kWindow;
    bool firstForwardImproved = false;
    for (int i = 0; i < 3; ++i) {
        if (position + 1 > lastWindow) break;
        const uint64_t value = Magnitude(CorrelateFsk(position + 1));
        if (value <= best) break;
        best = value;
        ++position;
        if (i == 0) firstForwardImproved = true;
    }
    if (firstForwardImproved) return position;
    for (int i = 0; i < 3; ++i) {
        if (position - 1 < base_) break;
        const uint64_t value = Magnitude(CorrelateFsk(position - 1));
        if (value <= best) break;
        best = value;
        --position;
    }
    return position;
}

int64_t FskDemodulator::FindStartEdge(int64_t position, int64_t floor) const {
    floor = std::max(floor, base_);
    while (position > floor) {
        --position;
        if (CorrelateFsk(position) < 0) break;
    }
    return position + kStartEdgeOffset;
}

void FskDemodulator::Feed(const int16_t* samples, size_t count) {
    if (finished_ || stepMultiplier_ <= 0) return;
    samples_.insert(samples_.end(), samples, samples + count);
    Run(false);
    Compact();
}

void FskDemodulator::Finish() {
    if (finished_) return;
    finished_ = true;
    if (stepMultiplier_ > 0) Run(true);
}

void FskDemodulator::Run(bool atEnd) {
    // Before the end, keep back the decisions whose realignment could look past the samples held.
    const int64_t lookahead = atEnd ? kWindow : kWindow + 3;
    while (position_ + lookahead <= End()) {
        phase_ = phase_ + 1 == 3 ? 0 : phase_ + 1;
        const int64_t decision = position_;
        const int64_t d = CorrelateFsk(position_);
        const bool mark = d < 0;
        switch (state_) {
            case Hunt::kMarkRun:
                markCount_ = mark ? markCount_ + 1 : 0;
                if (markCount_ > kMarkRunToRealign) position_ = RealignOnMark(Magnitude(d), position_);
                if (markCount_ > kMarkRunToFrame) state_ = Hunt::kStartBit;
                break;
            case Hunt::kStartBit:
                if (!mark) {
                    // Never behind the previous decision: in digital silence every decision is a space.
                    position_ = FindStartEdge(position_, previousDecision_);
                    state_ = Hunt::kDataBits;
                    bitCount_ = 0;
                    byte_ = 0;
                }
                break;
            case Hunt::kDataBits:
                if (++bitCount_ == kStopBitCount) {
                    state_ = Hunt::kStartBit;
                    bytes_.push_back(ReverseBits(byte_));
                } else {
                    byte_ = ((byte_ << 1) & 0xFFu) + (mark ? 1u : 0u);
                }
                break;
        }
        previousDecision_ = decision;
        position_ += stepMultiplier_ * (phase_ == 2 ? 6 : 7);
    }
}

void FskDemodulator::Compact() {
    // Realignment looks three samples back, the start-edge walk back to the previous decision.
    const int64_t keepFrom = std::min(previousDecision_, position_ - 3);
    if (keepFrom - base_ < 16384) return;
    samples_.erase(samples_.begin(), samples_.begin() + (keepFrom - base_));
    base_ = keepFrom;
}

FskDecimator::FskDecimator(int32_t factor)
    : factor_(std::clamp(factor, 1, kMaxCallerIdSampleRate / kMinCallerIdSampleRate)) {
    if (factor_ == 1) return;
    // Hamming-windowed sinc: flat up to the 2200 Hz space tone, steep enough that little folds back.
    const int32_t length = 16 * factor_ + 1;
    const double cutoff = 3400.0 / (8000.0 * factor_);
    const int32_t mid = length / 2;
    taps_.resize(static_cast<size_t>(length));
    double sum = 0;
    for (int32_t i = 0; i < length; ++i) {
        const int32_t k = i - mid;
        const double sinc = k == 0 ? 2 * cutoff : std::sin(2 * std::numbers::pi * cutoff * k) / (std::numbers::pi * k);
        const double window = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * i / (length - 1));
        taps_[static_cast<size_t>(i)] = sinc * window;
        sum += taps_[static_cast<size_t>(i)];
    }
    for (double& t : taps_) t /= sum;
    history_.assign(taps_.size() - 1, 0.0);
}

void FskDecimator::Process(const int16_t* samples, size_t count, std::vector<int16_t>& out) {
    if (factor_ == 1) {
        out.insert(out.end(), samples, samples + count);
        return;
    }
    // history_ holds the last taps_.size() - 1 inputs, oldest first, then this block.
    const size_t length = taps_.size();
    history_.insert(history_.end(), samples, samples + count);
    size_t newest = length - 1 + phase_;  // index of the input the next output is aligned to
    for (; newest < history_.size(); newest += static_cast<size_t>(factor_)) {
        const double* x = &history_[newest + 1 - length];
        double acc = 0;
        for (size_t t = 0; t < length; ++t) acc += taps_[t] * x[t];
        out.push_back(static_cast<int16_t>(std::clamp(std::lround(acc), -32768L, 32767L)));
    }
    phase_ = newest - history_.size();
    history_.erase(history_.begin(), history_.end() - static_cast<std::ptrdiff_t>(length - 1));
}

CallerIdMessage ParseCallerIdMessage(const std::vector<uint8_t>& bytes) {
    constexpr uint8_t kCallSetup = 0x80;
    constexpr uint8_t kCallingNumber = 0x02;
    const size_t size = bytes.size();
    bool haveUnverified = false;
    std::string unverified;
    for (size_t start = 0; start < size; ++start) {
        if (bytes[start] != kCallSetup || start + 1 >= size) continue;
        const size_t length = bytes[start + 1];
        const size_t bodyEnd = start + 2 + length;
        const size_t end = std::min(bodyEnd, size);
        bool found = false;
        std::string number;
        for (size_t p = start + 2; p + 1 < end;) {
            const uint8_t type = bytes[p];
            const size_t valueEnd = std::min(p + 2 + bytes[p + 1], end);
            if (type == kCallingNumber) {
                number.assign(bytes.begin() + static_cast<std::ptrdiff_t>(p + 2),
                              bytes.begin() + static_cast<std::ptrdiff_t>(valueEnd));
                found = true;
                break;
            }
            p = p + 2 + bytes[p + 1];
        }
        // Damaged characters never become a number, verified or not.
        const bool valid = found && IsCallingNumber(number);
        // A checksum over a body that is not a series of whole parameters (as in 80 00 80, which
        // hum makes of the six-sample decisions) verifies nothing.
        size_t walk = start + 2;
        while (walk + 1 < end) walk += 2 + static_cast<size_t>(bytes[walk + 1]);
        const bool wellFormed = length >= 2 && walk == bodyEnd;
        if (bodyEnd < size && wellFormed) {
            uint32_t sum = 0;
            for (size_t i = start; i <= bodyEnd; ++i) sum += bytes[i];
            if (sum % 256 == 0) return {valid ? std::move(number) : std::string(), true};
        }
        if (valid && !haveUnverified) {
            haveUnverified = true;
            unverified = std::move(number);
        }
    }
    return {std::move(unverified), false};
}

std::string ParseCallerIdBytes(const std::vector<uint8_t>& bytes) { return ParseCallerIdMessage(bytes).number; }

namespace {

bool AnalysedRate(int32_t sampleRate) {
    return sampleRate >= kMinCallerIdSampleRate && sampleRate <= kMaxCallerIdSampleRate;
}

int32_t DecimationFactor(int32_t sampleRate) {
    if (!AnalysedRate(sampleRate)) return 1;
    return sampleRate >= 16000 && sampleRate % 8000 == 0 ? sampleRate / 8000 : 1;
}

// Outside the analysed rates the multiplier is 0: such a recording never decodes.
int32_t StepMultiplier(int32_t sampleRate) {
    if (!AnalysedRate(sampleRate)) return 0;
    return DecimationFactor(sampleRate) > 1 ? 1 : sampleRate / 8000;
}

// After the flat receiver: lines whose loop leaves the space tone about 6 and 12 dB weaker.
constexpr double kSpaceBoostsDb[] = {6.0, 12.0};

// The receivers work on what the demodulator sees: decimated to 8000 Hz, or the raw rate.
double ReceiverRate(int32_t sampleRate) {
    return AnalysedRate(sampleRate) ? static_cast<double>(sampleRate) / DecimationFactor(sampleRate) : 8000.0;
}

}  // namespace

FskClipDecoder::FskClipDecoder(int32_t sampleRate, const ToneTable& tones)
    : enabled_(AnalysedRate(sampleRate)),
      decimating_(DecimationFactor(sampleRate) > 1),
      decimator_(DecimationFactor(sampleRate)),
      demodulator_(tones, StepMultiplier(sampleRate)),
      receiver_(ReceiverRate(sampleRate), TonesOfTable(tones)),
      tones_(TonesOfTable(tones)),
      receiverRate_(ReceiverRate(sampleRate)) {}

void FskClipDecoder::Feed(const int16_t* samples, size_t count) {
    if (!enabled_) return;
    count = std::min(count, kFskReadSamples - std::min(fed_, kFskReadSamples));
    fed_ += count;
    if (count == 0) return;
    if (decimating_) {
        scratch_.clear();
        decimator_.Process(samples, count, scratch_);
        samples = scratch_.data();
        count = scratch_.size();
    }
    demodulator_.Feed(samples, count);
    receiver_.Feed(samples, count);
    seen_.insert(seen_.end(), samples, samples + count);
}

std::string FskClipDecoder::Finish() {
    if (!enabled_) return {};
    demodulator_.Finish();
    // The six-sample decisions keep clean lines exactly as they were; a verified message from the
    // band-passed receiver wins over their unverified one.
    CallerIdMessage direct = ParseCallerIdMessage(demodulator_.bytes());
    if (direct.verified && !direct.number.empty()) return std::move(direct.number);
    CallerIdMessage flat = ParseCallerIdMessage(receiver_.bytes());
    if (flat.verified && !flat.number.empty()) return std::move(flat.number);
    bool anyVerified = direct.verified || flat.verified;
    // Only then the sloped-line receivers, over the same samples: a flat line costs nothing more.
    for (const double boost : kSpaceBoostsDb) {
        if (anyVerified) break;
        FskReceiver lifted(receiverRate_, tones_, boost);
        lifted.Feed(seen_.data(), seen_.size());
        CallerIdMessage filtered = ParseCallerIdMessage(lifted.bytes());
        if (filtered.verified && !filtered.number.empty()) return std::move(filtered.number);
        anyVerified = filtered.verified;
    }
    // A verified message without a number (withheld) names no caller, whichever found it.
    if (anyVerified) return {};
    return std::move(direct.number);
}

std::string DecodeFskClip(const int16_t* samples, size_t count, int32_t sampleRate, const ToneTable& tones) {
    FskClipDecoder decoder(sampleRate, tones);
    for (size_t offset = 0; offset < count && !decoder.full(); offset += kBlockSamples) {
        decoder.Feed(samples + offset, std::min(kBlockSamples, count - offset));
    }
    return decoder.Finish();
}

std::string DecodeFskClip(const std::string& tempFilePath, int32_t sampleRate, const ToneTable& tones) {
    if (!AnalysedRate(sampleRate)) return {};
    SampleFileReader reader(tempFilePath);
    if (!reader.isOpen()) return {};
    std::vector<int16_t> samples(kFskReadSamples);
    const size_t count = reader.Read(samples.data(), samples.size());
    if (reader.failed()) return {};
    return DecodeFskClip(samples.data(), count, sampleRate, tones);
}

}  // namespace pell
