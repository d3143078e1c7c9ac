// Names the caller of a finished recording from its closed temp file, by the channel's
// caller-identification choice: FSK first with tone detection as the fallback, tone only, or
// both FSK tone pairs and then tone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/core/recorder_settings.h"

namespace pell {

struct CallerIdentity {
    std::string number;
    char directionMark = 'U';  // 'I' incoming (caller ID), 'O' outgoing (dialled digits), 'U' unknown
};

// Reads the channel's closed temp file (headerless s16le mono at sampleRate Hz) and names the
// caller by the channel's clip setting: 0 none, 1 tone, 4 automatic (FSK with the V.23 tones,
// then the Bell 202 tones, then tone, read as tone alone is; toneTable unused), anything else
// FSK with toneTable and tone fallback.
// A missing or unreadable file gives an empty number; nothing is reported.
CallerIdentity IdentifyCaller(const std::string& tempFilePath, ClipMode clip, int32_t sampleRate,
                              const ToneTable& toneTable);

// The same rules over samples already in memory.
CallerIdentity IdentifyCaller(const int16_t* samples, size_t count, ClipMode clip, int32_t sampleRate,
                              const ToneTable& toneTable);

}  // namespace pell
