#include "recorder/core/callerid/dtmf_detector.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "recorder/core/callerid/sample_file.h"

namespace pell {
namespace {

constexpr DtmfFilterSet kSetA{{3497, 3369, 3212, 3027, 2384, 2040, 1635, 1164},
                              {103, 104, 103, 102, 106, 102, 103, 103},
                              106};
constexpr DtmfFilterSet kSetB{{2869, 2617, 2311, 1957, 784, 196, -461, -1174},
                              {103, 100, 104, 100, 100, 103, 101, 101},
                              104};
constexpr int kMaxWindow = 106;
constexpr int64_t kChunkLimit = 65536;
constexpr int64_t kMinLevelSum = 1000;
constexpr double kMinToneShare = 0.30;  // of the window's absolute level sum
constexpr double kMinPairPower = 0.60;  // of the window's power, against talk-off

constexpr char kDigits[4][4] = {{'1', '2', '3', 'A'}, {'4', '5', '6', 'B'}, {'7', '8', '9', 'C'}, {'*', '0', '#', 'D'}};

using Lanes = double __attribute__((vector_size(32)));

}  // namespace

bool SelectDtmfFilterSet(int32_t sampleRate, DtmfFilterSet* set, int32_t* step) {
    switch (sampleRate) {
    case 8000: *set = kSetA; *step = 1; return true;
    case 16000: *set = kSetA; *step = 2; return true;
    case 32000: *set = kSetA; *step = 4; return true;
    case 11025: *set = kSetB; *step = 2; return true;
    case 22050: *set = kSetB; *step = 4; return true;
    case 44100: *set = kSetB; *step = 8; return true;
    default: return false;
    }
}

char MapDtmfPair(const std::array<bool, 8>& flags) {
    int rows = 0, columns = 0, row = 0, column = 0;
    for (int k = 0; k < 4; ++k) {
        if (flags[k]) ++rows, row = k;
        if (flags[4 + k]) ++columns, column = k;
    }
    return rows == 1 && columns == 1 ? kDigits[row][column] : 0;
}

DtmfDetector::DtmfDetector(int32_t sampleRate) {
    supported_ = SelectDtmfFilterSet(sampleRate, &set_, &step_);
    if (!supported_) return;
    half_ = static_cast<int64_t>(set_.maxWindow / 2) * step_;
    stride_ = static_cast<int64_t>(set_.maxWindow) * step_;
    chunkSamples_ = static_cast<size_t>(kChunkLimit / stride_ * stride_);
    chunk_.reserve(chunkSamples_);
}

char DtmfDetector::AnalyseWindow(const int16_t* window) const {
    const int nmax = set_.maxWindow;
    double x[kMaxWindow];
    int32_t absPrefix[kMaxWindow + 1];
    absPrefix[0] = 0;
    int64_t energy = 0;
    for (int i = 0; i < nmax; ++i) {
        const int32_t v = window[static_cast<ptrdiff_t>(i) * step_];
        x[i] = v;
        absPrefix[i + 1] = absPrefix[i] + std::abs(v);
        energy += static_cast<int64_t>(v) * v;
    }
    // Every tone's level sum is at most the whole window's: too quiet for any tone.
    if (absPrefix[nmax] <= kMinLevelSum) return 0;

    Lanes coefficientRow, coefficientColumn;
    for (int k = 0; k < 4; ++k) {
        coefficientRow[k] = set_.coefficient[k] / 2048.0;
        coefficientColumn[k] = set_.coefficient[4 + k] / 2048.0;
    }
    const int commonLength = *std::min_element(set_.window.begin(), set_.window.end());
    Lanes q1Row{}, q2Row{}, q1Column{}, q2Column{};
    for (int i = 0; i < commonLength; ++i) {
        const double v = x[i];
        const Lanes q0Row = q1Row * coefficientRow - q2Row + v;
        const Lanes q0Column = q1Column * coefficientColumn - q2Column + v;
        q2Row = q1Row;
        q1Row = q0Row;
        q2Column = q1Column;
        q1Column = q0Column;
    }
    double magnitude[8];
    for (int k = 0; k < 8; ++k) {
        const double c = set_.coefficient[k] / 2048.0;
        double q1 = k < 4 ? q1Row[k] : q1Column[k - 4];
        double q2 = k < 4 ? q2Row[k] : q2Column[k - 4];
        for (int i = commonLength; i < set_.window[k]; ++i) {
            const double q0 = q1 * c - q2 + x[i];
            q2 = q1;
            q1 = q0;
        }
        magnitude[k] = std::sqrt(q1 * q1 + q2 * q2 - q1 * q2 * c);
    }

    std::array<bool, 8> flags{};
    for (int k = 0; k < 8; ++k) {
        const int32_t levelSum = absPrefix[set_.window[k]];
        flags[k] = levelSum > kMinLevelSum && magnitude[k] * 100.0 / levelSum > kMinToneShare * 100.0;
    }
    const char digit = MapDtmfPair(flags);
    if (digit == 0) return 0;

    int row = 0, column = 4;
    while (!flags[row]) ++row;
    while (!flags[column]) ++column;
    auto tonePower = [&](int k) {
        const double amplitude = magnitude[k] / set_.window[k];
        return 2.0 * amplitude * amplitude;
    };
    const double windowPower = static_cast<double>(energy) / nmax;
    return tonePower(row) + tonePower(column) >= kMinPairPower * windowPower ? digit : 0;
}

void DtmfDetector::AnalyseChunk(const int16_t* samples, int64_t count) {
    const int64_t span = static_cast<int64_t>(set_.maxWindow) * step_;
    for (int64_t pos = 0; pos < count && pos + span <= count; pos += stride_) {
        char d = AnalyseWindow(samples + pos);
        if (!pending_ && d != 0 && !realign_ && pos > half_ && d != last_) {
            // A new digit: look half a window earlier for the start of its tone.
            pos -= 3 * half_;
            realign_ = true;
            saved_ = d;
            continue;
        }
        if (d != 0 && realign_) {
            realign_ = false;
        } else if (d == 0 && realign_) {
            // The earlier window was too early; the first window is analysed again next.
            pos -= half_;
            realign_ = false;
            d = saved_;
        }
        if (d == last_) {
            ++count_;
        } else if (!pending_) {
            count_ = 0;
            last_ = d;
            pending_ = true;
        } else {
            pending_ = false;  // a change right after a change is ignored
        }
        if (count_ > 1) {
            pending_ = false;
            if (last_ != 0) {
                held_ = last_;
            } else if (held_ != 0) {
                digits_ += held_;
                held_ = 0;
            }
        }
    }
}

void DtmfDetector::Feed(const int16_t* samples, size_t count) {
    if (!supported_ || finished_) return;
    while (count > 0) {
        if (chunk_.empty() && count >= chunkSamples_) {
            AnalyseChunk(samples, static_cast<int64_t>(chunkSamples_));
            samples += chunkSamples_;
            count -= chunkSamples_;
            continue;
        }
        const size_t take = std::min(count, chunkSamples_ - chunk_.size());
        chunk_.insert(chunk_.end(), samples, samples + take);
        samples += take;
        count -= take;
        if (chunk_.size() == chunkSamples_) {
            AnalyseChunk(chunk_.data(), static_cast<int64_t>(chunk_.size()));
            chunk_.clear();
        }
    }
}

std::string DtmfDetector::Finish() {
    if (!supported_) return {};
    if (!finished_) {
        finished_ = true;
        if (static_cast<int64_t>(chunk_.size()) >= stride_) {
            AnalyseChunk(chunk_.data(), static_cast<int64_t>(chunk_.size()));
        }
        chunk_.clear();
        if (held_ != 0) {
            digits_ += held_;
            held_ = 0;
        }
    }
    return digits_;
}

std::string DetectDtmfDigits(const int16_t* samples, size_t count, int32_t sampleRate) {
    DtmfDetector detector(sampleRate);
    detector.Feed(samples, count);
    return detector.Finish();
}

std::string DetectDtmfDigits(const std::string& tempFilePath, int32_t sampleRate) {
    DtmfDetector detector(sampleRate);
    if (!detector.supported()) return {};
    SampleFileReader reader(tempFilePath);
    if (!reader.isOpen()) return {};
    std::vector<int16_t> buffer(static_cast<size_t>(kChunkLimit));
    for (;;) {
        const size_t n = reader.Read(buffer.data(), buffer.size());
        detector.Feed(buffer.data(), n);
        if (n < buffer.size()) break;
    }
    return detector.Finish();
}

ToneClip ParseToneClip(const std::string& digits) {
    auto untilC = [&](size_t from) {
        const std::string rest = digits.substr(from);
        return rest.substr(0, rest.find('C'));
    };
    if (!digits.empty() && (digits[0] == 'A' || digits[0] == 'D')) return {untilC(1), true};
    if (!digits.empty() && digits[0] == 'B') {
        std::string code = untilC(1);
        if (code == "10") code = "Private";
        else if (code == "00") code = "No number";
        return {code, true};
    }
    if (digits.rfind("**", 0) == 0) {
        const std::string rest = digits.substr(2);
        return {rest.empty() ? "Private" : rest, true};
    }
    return {digits, false};
}

}  // namespace pell
