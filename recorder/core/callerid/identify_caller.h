// Names the caller of a finished recording from its closed temp file, by the channel's
// caller-identification choice: FSK first with tone detection as the fallback, or tone only.
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
// caller by the channel's clip setting: none, tone, anything else FSK with tone fallback.
// A missing or unreadable file gives an empty number; nothing is reported.
CallerIdentity IdentifyCaller(const std::string& tempFilePath, ClipMode clip, int32_t sampleRate,
                              const ToneTable& toneTable);

// The same rules over samples already in memory.
CallerIdentity IdentifyCaller(const int16_t* samples, size_t count, ClipMode clip, int32_t sampleRate,
                              const ToneTable& toneTable);

}  // namespace pell
