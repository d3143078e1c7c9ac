#include "recorder/core/callerid/identify_caller.h"

#include <utility>

#include "recorder/core/callerid/calling_number.h"
#include "recorder/core/callerid/dtmf_detector.h"
#include "recorder/core/callerid/fsk_decoder.h"

namespace pell {
namespace {

// Up to two digits are too short to be a message: taken as they are, as the caller's.
constexpr size_t kShortestToneMessage = 3;

template <typename Fsk, typename Dtmf>
CallerIdentity Identify(int32_t clip, Fsk decodeFsk, Dtmf detectDtmf) {
    if (clip == kClipNone) return {"", 'U'};
    if (clip == kClipTone) {
        std::string raw = detectDtmf();
        if (raw.size() < kShortestToneMessage) return {std::move(raw), 'I'};
        ToneClip parsed = ParseToneClip(raw);
        if (!parsed.framed) return {std::move(parsed.number), 'O'};
        // A frame around key letters (talk-off or damage) names no caller.
        const bool indication = parsed.number == kWithheldText || parsed.number == kUnavailableText;
        if (!indication && !IsCallingNumber(parsed.number)) return {"", 'I'};
        return {std::move(parsed.number), 'I'};
    }
    std::string number = decodeFsk();
    if (!number.empty()) return {std::move(number), 'I'};
    // No FSK message: any DTMF digits are kept raw; more than two are taken as dialled.
    std::string raw = detectDtmf();
    const char mark = raw.size() >= kShortestToneMessage ? 'O' : 'I';
    return {std::move(raw), mark};
}

}  // namespace

CallerIdentity IdentifyCaller(const std::string& tempFilePath, int32_t clip, int32_t sampleRate,
                              const ToneTable& toneTable) {
    return Identify(
        clip, [&] { return DecodeFskClip(tempFilePath, sampleRate, toneTable); },
        [&] { return DetectDtmfDigits(tempFilePath, sampleRate); });
}

CallerIdentity IdentifyCaller(const int16_t* samples, size_t count, int32_t clip, int32_t sampleRate,
                              const ToneTable& toneTable) {
    return Identify(
        clip, [&] { return DecodeFskClip(samples, count, sampleRate, toneTable); },
        [&] { return DetectDtmfDigits(samples, count, sampleRate); });
}

}  // namespace pell
