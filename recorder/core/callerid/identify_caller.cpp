#include "recorder/core/callerid/identify_caller.h"

#include <utility>

#include "recorder/core/callerid/dtmf_detector.h"
#include "recorder/core/callerid/fsk_decoder.h"
#include "recorder/core/callerid/tone_reading.h"

namespace pell {
namespace {

template <typename Fsk, typename Dtmf>
CallerIdentity Identify(ClipMode clip, Fsk decodeFsk, Dtmf scanDtmf) {
    if (clip == ClipMode::kNone) return {"", 'U'};
    if (clip == ClipMode::kTone) {
        const DtmfScan scan = scanDtmf();
        ToneReading reading = ReadToneScan(scan);
        if (reading.kind == ToneReadingKind::kNothing) return {"", 'I'};
        if (reading.kind == ToneReadingKind::kCallerId) return {std::move(reading.number), 'I'};
        if (reading.kind == ToneReadingKind::kDialled) return {std::move(reading.number), 'O'};
        return {"", 'U'};  // a frame that cannot be trusted, or one or two strays: no caller rather than a wrong one
    }
    std::string number = decodeFsk();
    if (!number.empty()) return {std::move(number), 'I'};
    // No FSK message: a trusted tone frame is kept raw, dialled digits as read; strays name no one.
    const DtmfScan scan = scanDtmf();
    ToneReading reading = ReadToneScan(scan);
    switch (reading.kind) {
        case ToneReadingKind::kNothing:
            return {"", 'I'};
        case ToneReadingKind::kCallerId:
            return {scan.digits, 'O'};
        case ToneReadingKind::kDialled:
            return {std::move(reading.number), 'O'};
        case ToneReadingKind::kUncertain:
            break;
    }
    return {"", 'U'};
}

}  // namespace

CallerIdentity IdentifyCaller(const std::string& tempFilePath, ClipMode clip, int32_t sampleRate,
                              const ToneTable& toneTable) {
    return Identify(
        clip, [&] { return DecodeFskClip(tempFilePath, sampleRate, toneTable); },
        [&] { return ScanDtmf(tempFilePath, sampleRate); });
}

CallerIdentity IdentifyCaller(const int16_t* samples, size_t count, ClipMode clip, int32_t sampleRate,
                              const ToneTable& toneTable) {
    return Identify(
        clip, [&] { return DecodeFskClip(samples, count, sampleRate, toneTable); },
        [&] { return ScanDtmf(samples, count, sampleRate); });
}

}  // namespace pell
