// Caller-ID bytes as a hostile line would frame them, and dialled-digit texts: the message
// parser and the tone-clip rules.

#include <vector>

#include "fuzz/fuzz_support.h"
#include "recorder/core/callerid/dtmf_detector.h"
#include "recorder/core/callerid/fsk_decoder.h"

using namespace pell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const std::string number = ParseCallerIdBytes(bytes);
    // The number is a parameter's value, so it is never longer than the bytes it came from.
    PELL_FUZZ_CHECK(number.size() <= size);
    const std::string digits(reinterpret_cast<const char*>(data), size);
    const ToneClip clip = ParseToneClip(digits);
    (void)clip;
    if (size > 0) {
        std::array<bool, 8> flags{};
        for (std::size_t i = 0; i < 8; ++i) flags[i] = (data[0] >> i) & 1;
        MapDtmfPair(flags);
    }
    return 0;
}
