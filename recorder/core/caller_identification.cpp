#include "recorder/core/caller_identification.h"

#include "recorder/core/callerid/identify_caller.h"

namespace pell {

IdentifyCallerFn DefaultCallerIdentifier() {
    return [](const std::string& tempFilePath, ClipMode clip, int32_t sampleRate, const ToneTable& toneTable) {
        const CallerIdentity found = IdentifyCaller(tempFilePath, clip, sampleRate, toneTable);
        return IdentifiedCaller{found.number, found.directionMark};
    };
}

}  // namespace pell
