#include "tools/pell-mp3/capture_compare.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>

namespace pell {

namespace {

// A block this quiet (RMS) says nothing about where it is.
constexpr double kSilentRms = 100.0;
// Relative squared error up to which a block counts as the same sound.
constexpr double kMatchError = 0.05;
// Reference time correlated to find where the sound starts in the capture.
constexpr int kAlignMs = 30;
// How far into the capture the start may lie.
constexpr int kAlignSearchMs = 20000;
// Where anchors are looked for, in turn: past what a device may lose at its start.
constexpr int kAnchorMs[] = {100, 500, 1000, 2000, 4000};
// Unmatched loud blocks in a row after which the rest counts as lost.
constexpr std::size_t kGiveUpBlocks = 50;

double Energy(std::span<const std::int16_t> v) {
    double sum = 0;
    for (std::int16_t s : v) sum += static_cast<double>(s) * s;
    return sum;
}

// Squared error of b against a, relative to a's energy; infinity where b is too short. Stops
// adding once past limit, since only a match matters.
double RelativeError(std::span<const std::int16_t> a, std::span<const std::int16_t> b, double energyA,
                     double limit = std::numeric_limits<double>::infinity()) {
    if (b.size() < a.size() || energyA <= 0) return std::numeric_limits<double>::infinity();
    const double stop = limit * energyA;
    double error = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - b[i];
        error += d * d;
        if (error > stop) return std::numeric_limits<double>::infinity();
    }
    return error / energyA;
}

bool Loud(std::span<const std::int16_t> reference, std::size_t at, std::size_t block) {
    return std::sqrt(Energy(reference.subspan(at, block)) / static_cast<double>(block)) >= kSilentRms;
}

// The first index of capture from `from` up to `last`, in steps of `step`, where pattern matches.
std::optional<std::size_t> FindMatch(std::span<const std::int16_t> pattern, std::span<const std::int16_t> capture,
                                     std::size_t from, std::size_t last, std::size_t step) {
    const double energy = Energy(pattern);
    for (std::size_t at = from; at <= last && at + pattern.size() <= capture.size(); at += step)
        if (RelativeError(pattern, capture.subspan(at), energy, kMatchError) <= kMatchError) return at;
    return std::nullopt;
}

struct Alignment {
    std::size_t anchor;  // reference index
    std::size_t at;      // where it lies in the capture
};

// The first loud block from each of kAnchorMs on, in turn, is looked for in the capture; when
// the capture lost it, a later one anchors, so a capture that began late still aligns.
std::optional<Alignment> Align(std::span<const std::int16_t> reference, std::span<const std::int16_t> capture,
                               int sampleRate, std::size_t perFrame, std::size_t block) {
    const auto rate = static_cast<std::size_t>(sampleRate);
    for (const int anchorMs : kAnchorMs) {
        std::size_t anchor = rate * static_cast<std::size_t>(anchorMs) / 1000 * perFrame / block * block;
        if (anchor + block > reference.size()) anchor = 0;
        while (anchor + block <= reference.size() && !Loud(reference, anchor, block)) anchor += block;
        if (anchor + block > reference.size()) return std::nullopt;
        const std::size_t length = std::min(reference.size() - anchor, rate * kAlignMs / 1000 * perFrame);
        if (const auto at = FindMatch(reference.subspan(anchor, length), capture, 0,
                                      rate * kAlignSearchMs / 1000 * perFrame, perFrame))
            return Alignment{anchor, *at};
    }
    return std::nullopt;
}

std::size_t CountFullScale(std::span<const std::int16_t> v) {
    return static_cast<std::size_t>(
        std::count_if(v.begin(), v.end(), [](std::int16_t s) { return s >= 32767 || s <= -32767; }));
}

}  // namespace

CaptureReport CompareCapture(std::span<const std::int16_t> reference, std::span<const std::int16_t> capture,
                             int sampleRate, int channels) {
    CaptureReport report;
    const std::size_t perFrame = static_cast<std::size_t>(std::max(channels, 1));
    const double samplesPerMs = sampleRate / 1000.0 * static_cast<double>(perFrame);
    const auto toMs = [&](std::size_t samples) { return static_cast<double>(samples) / samplesPerMs; };
    report.referenceMs = toMs(reference.size());
    report.clippedSamples = CountFullScale(capture);
    report.referenceClipped = CountFullScale(reference);
    const std::size_t block = static_cast<std::size_t>(sampleRate * kCompareBlockMs / 1000) * perFrame;
    if (block == 0 || reference.size() < block) return report;

    const std::optional<Alignment> alignment = Align(reference, capture, sampleRate, perFrame, block);
    if (!alignment) return report;
    const std::size_t anchor = alignment->anchor;
    const std::optional<std::size_t> found = alignment->at;
    const auto loud = [&](std::size_t at) { return Loud(reference, at, block); };
    report.aligned = true;
    // Capture index minus reference index, growing by every gap.
    auto offset = static_cast<std::int64_t>(*found) - static_cast<std::int64_t>(anchor);
    report.startDelayMs = static_cast<double>(offset) / samplesPerMs;
    const std::size_t first = offset >= 0 ? 0 : (static_cast<std::size_t>(-offset) + block - 1) / block * block;
    report.lostAtStartMs = offset >= 0 ? 0 : toMs(static_cast<std::size_t>(-offset));
    const auto captured = [&](std::size_t at) {
        return capture.subspan(static_cast<std::size_t>(static_cast<std::int64_t>(at) + offset));
    };
    const auto inCapture = [&](std::size_t at, std::size_t length) {
        return static_cast<std::int64_t>(at) + offset + static_cast<std::int64_t>(length) <=
               static_cast<std::int64_t>(capture.size());
    };

    const std::size_t maxGap = static_cast<std::size_t>(sampleRate) * kMaxGapMs / 1000 * perFrame;
    std::size_t matchedEnd = first;
    // Mismatches count as distortion only once sound matches after them; before the end they are loss.
    std::size_t pendingMismatches = 0;
    bool matchedAny = false;
    // Unmatched sound before the first match never reached the capture: lost at the start.
    const auto settle = [&] {
        if (matchedAny) {
            report.mismatchedBlocks += pendingMismatches;
        } else {
            report.lostAtStartMs += static_cast<double>(pendingMismatches) * kCompareBlockMs;
        }
        pendingMismatches = 0;
        matchedAny = true;
    };
    for (std::size_t at = first; at + block <= reference.size(); at += block) {
        if (!loud(at)) continue;
        const auto piece = reference.subspan(at, block);
        if (inCapture(at, block) && RelativeError(piece, captured(at), Energy(piece), kMatchError) <= kMatchError) {
            matchedEnd = at + block;
            settle();
            continue;
        }
        // Past a long stretch that matches nowhere the rest is lost: searching on would only be slow.
        if (pendingMismatches >= kGiveUpBlocks) break;
        // Look further ahead: the device may have played silence in between. The first shift
        // that matches is the gap: sound later on cannot have been heard earlier.
        std::optional<std::size_t> shift;
        const auto from = static_cast<std::size_t>(static_cast<std::int64_t>(at) + offset);
        if (const auto match = FindMatch(piece, capture, from + perFrame, from + maxGap, perFrame))
            shift = *match - from;
        if (shift) {
            report.gaps.push_back({toMs(at), toMs(*shift)});
            report.gapMs += toMs(*shift);
            offset += static_cast<std::int64_t>(*shift);
            matchedEnd = at + block;
            settle();
        } else if (inCapture(at, block)) {
            ++pendingMismatches;
        }
    }
    // Quiet blocks after the last loud one that played are heard if the capture reaches them.
    std::size_t heardEnd = matchedEnd;
    while (heardEnd + block <= reference.size() && inCapture(heardEnd, block) && !loud(heardEnd)) heardEnd += block;
    if (heardEnd + block > reference.size() && inCapture(heardEnd, reference.size() - heardEnd))
        heardEnd = reference.size();
    report.matchedMs = toMs(heardEnd);
    report.lostAtEndMs = toMs(reference.size() - heardEnd);
    return report;
}

}  // namespace pell
