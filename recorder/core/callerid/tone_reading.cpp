#include "recorder/core/callerid/tone_reading.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "recorder/core/callerid/calling_number.h"

namespace pell {
namespace {

constexpr double kTrustedTwistDb = 6.5;      // inside the +-7 dB every key is detected at
constexpr double kTimingSpread = 1.5;        // a key's length or period against the frame's median
constexpr double kDialGroupGapSeconds = 10;  // keys further apart belong to different numbers
constexpr double kCloseKeysSeconds = 2;      // keys keyed one after another: a lost one is marked
constexpr size_t kShortestDialled = 3;       // fewer keys in a group are strays
constexpr size_t kKeysPerDoubt = 4;          // a doubt for every four keys or fewer: talk or music
constexpr char kLostKey = '?';

// 0-9, * and #: what a telephone's keypad sends.
bool IsKeypadKey(char key) { return (key >= '0' && key <= '9') || key == '*' || key == '#'; }

bool TwistTrusted(const DtmfKey& key) { return std::abs(key.twistDb) <= kTrustedTwistDb; }

bool DoubtBetween(const DtmfScan& scan, int64_t from, int64_t to) {
    const auto it = std::lower_bound(scan.doubts.begin(), scan.doubts.end(), from);
    return it != scan.doubts.end() && *it <= to;
}

int64_t Median(std::vector<int64_t> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

// One stride of the analysis: the resolution of the key bounds.
int64_t Stride(int32_t sampleRate) {
    DtmfFilterSet set{};
    int32_t step = 1;
    if (!SelectDtmfFilterSet(sampleRate, &set, &step)) return 0;
    return static_cast<int64_t>(set.maxWindow) * step;
}

// The frame's keys have the even timing of a sender: none much longer, none much later.
bool EvenlyTimed(const std::vector<DtmfKey>& frame, int64_t stride) {
    std::vector<int64_t> lengths, periods;
    for (size_t i = 0; i < frame.size(); ++i) {
        lengths.push_back(frame[i].end - frame[i].start);
        if (i + 1 < frame.size()) periods.push_back(frame[i + 1].start - frame[i].start);
    }
    auto even = [&](const std::vector<int64_t>& values) {
        if (values.empty()) return true;
        const double limit = kTimingSpread * static_cast<double>(Median(values)) + static_cast<double>(stride);
        return std::all_of(values.begin(), values.end(), [&](int64_t v) { return static_cast<double>(v) <= limit; });
    };
    return even(lengths) && even(periods);
}

bool FrameTrusted(const DtmfScan& scan, size_t frameKeys) {
    const std::vector<DtmfKey> frame(scan.keys.begin(), scan.keys.begin() + static_cast<std::ptrdiff_t>(frameKeys));
    for (const DtmfKey& key : frame) {
        if (key.start < 0 || !TwistTrusted(key)) return false;
    }
    if (DoubtBetween(scan, frame.front().start, frame.back().end)) return false;
    return EvenlyTimed(frame, Stride(scan.sampleRate));
}

// Keys first..last dialled on a keypad, rather than talk-off.
bool Dialling(const DtmfScan& scan, size_t first, size_t last) {
    const size_t keys = last - first + 1;
    if (keys < kShortestDialled) return false;
    // A telephone's keypad has no A-D; keys among many pairs that came and went are talk-off.
    for (size_t i = first; i <= last; ++i) {
        if (!IsKeypadKey(scan.keys[i].key)) return false;
    }
    const auto from = std::lower_bound(scan.doubts.begin(), scan.doubts.end(), scan.keys[first].start);
    const auto to = std::upper_bound(scan.doubts.begin(), scan.doubts.end(), scan.keys[last].end);
    return static_cast<size_t>(to - from) * kKeysPerDoubt <= keys;
}

// The group's keys, a key beyond the twist band and one lost between close keys written "?".
std::string DialledText(const DtmfScan& scan, size_t first, size_t last) {
    const auto closeGap = static_cast<int64_t>(kCloseKeysSeconds * scan.sampleRate);
    std::string text;
    for (size_t i = first; i <= last; ++i) {
        const DtmfKey& key = scan.keys[i];
        text += TwistTrusted(key) ? key.key : kLostKey;
        if (i == last) break;
        const DtmfKey& next = scan.keys[i + 1];
        if (next.start - key.end <= closeGap && DoubtBetween(scan, key.end, next.start)) text += kLostKey;
    }
    return text;
}

ToneReading ReadDialled(const DtmfScan& scan) {
    const auto groupGap = static_cast<int64_t>(kDialGroupGapSeconds * scan.sampleRate);
    std::string kept;
    size_t first = 0;
    while (first < scan.keys.size()) {
        size_t last = first;  // the group is keys first..last
        while (last + 1 < scan.keys.size() && scan.keys[last + 1].start - scan.keys[last].end <= groupGap) ++last;
        if (Dialling(scan, first, last)) kept += DialledText(scan, first, last);
        first = last + 1;
    }
    if (kept.empty()) return {ToneReadingKind::kUncertain, ""};
    return {ToneReadingKind::kDialled, kept};
}

}  // namespace

ToneReading ReadToneScan(const DtmfScan& scan) {
    if (scan.digits.empty() || scan.keys.size() != scan.digits.size()) return {};
    const std::string& digits = scan.digits;
    // Two characters are no message (not even "**"), and as dialled digits, strays.
    const ToneClip clip = ParseToneClip(digits);
    if (!clip.framed || digits.size() < kShortestDialled) return ReadDialled(scan);
    // A and D frames and B codes end with C; a "**" frame runs to the end.
    size_t frameKeys = digits.size();
    if (digits[0] != '*') {
        const size_t end = digits.find('C');
        if (end == std::string::npos) return {ToneReadingKind::kUncertain, ""};
        frameKeys = end + 1;
    }
    const bool indication = clip.number == kWithheldText || clip.number == kUnavailableText;
    if ((!indication && !IsCallingNumber(clip.number)) || !FrameTrusted(scan, frameKeys)) {
        return {ToneReadingKind::kUncertain, ""};
    }
    return {ToneReadingKind::kCallerId, clip.number};
}

}  // namespace pell
