#include "recorder/core/callerid/identify_caller.h"

#include <utility>

#include "recorder/core/callerid/dtmf_detector.h"
#include "recorder/core/callerid/fsk_decoder.h"
#include "recorder/core/callerid/tone_reading.h"

namespace pell {
namespace {

// A tone scan read on its own: a trusted caller's frame is incoming, digits of a plausible
// length were dialled, anything else names no one.
CallerIdentity FromToneScan(const DtmfScan& scan) {
    ToneReading reading = ReadToneScan(scan);
    if (reading.kind == ToneReadingKind::kNothing) return {"", 'I'};
    if (reading.kind == ToneReadingKind::kCallerId) return {std::move(reading.number), 'I'};
    if (reading.kind == ToneReadingKind::kDialled) return {std::move(reading.number), 'O'};
    return {"", 'U'};  // a frame that cannot be trusted, or one or two strays: no caller rather than a wrong one
}

// decodeFsk(toneTable) decodes the clip with one tone pair; scanDtmf() scans the whole file.
template <typename Fsk, typename Dtmf>
CallerIdentity Identify(ClipMode clip, const ToneTable& toneTable, Fsk decodeFsk, Dtmf scanDtmf) {
    if (clip == ClipMode::kNone) return {"", 'U'};
    if (clip == ClipMode::kTone) return FromToneScan(scanDtmf());
    if (clip == ClipMode::kAutomatic) {
        // The line's standard is unknown: V.23 tones, then Bell 202, then the caller's tone frame.
        for (const ToneTable& tones : {BuildToneTable(ClipMode::kFskEurope), BuildToneTable(ClipMode::kFskUs)}) {
            std::string number = decodeFsk(tones);
            if (!number.empty()) return {std::move(number), 'I'};
        }
        return FromToneScan(scanDtmf());
    }
    std::string number = decodeFsk(toneTable);
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
        clip, toneTable, [&](const ToneTable& tones) { return DecodeFskClip(tempFilePath, sampleRate, tones); },
        [&] { return ScanDtmf(tempFilePath, sampleRate); });
}

CallerIdentity IdentifyCaller(const int16_t* samples, size_t count, ClipMode clip, int32_t sampleRate,
                              const ToneTable& toneTable) {
    return Identify(
        clip, toneTable, [&](const ToneTable& tones) { return DecodeFskClip(samples, count, sampleRate, tones); },
        [&] { return ScanDtmf(samples, count, sampleRate); });
}

}  // namespace pell
