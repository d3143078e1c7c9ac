// Caller-ID bytes as a hostile line would frame them, and dialled-digit texts: the message
// parser, the tone-clip rules and the rules that trust DTMF keys.

#include <vector>

#include "fuzz/fuzz_support.h"
#include "recorder/core/callerid/dtmf_detector.h"
#include "recorder/core/callerid/calling_number.h"
#include "recorder/core/callerid/fsk_decoder.h"
#include "recorder/core/callerid/tone_reading.h"

using namespace pell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const std::string number = ParseCallerIdBytes(bytes);
    // The number is a parameter's value, so it is never longer than the bytes it came from.
    PELL_FUZZ_CHECK(number.size() <= size);
    const std::string digits(reinterpret_cast<const char*>(data), size);
    const ToneClip clip = ParseToneClip(digits);
    (void)clip;

    // The same bytes as keys: each byte's character, its bounds and twist from the byte itself.
    DtmfScan scan;
    scan.sampleRate = 8000;
    int64_t at = 0;
    for (std::size_t i = 0; i < size; ++i) {
        at += 100 + 37 * (data[i] & 0x1F);
        scan.digits += static_cast<char>(data[i]);
        scan.keys.push_back({static_cast<char>(data[i]), at, at + 8 * (data[i] >> 2), (data[i] & 0x0F) - 7.5});
        if (data[i] % 7 == 0) scan.doubts.push_back(at + 50);
    }
    const ToneReading reading = ReadToneScan(scan);
    PELL_FUZZ_CHECK((reading.kind == ToneReadingKind::kNothing) == (size == 0));
    if (reading.kind == ToneReadingKind::kCallerId) {
        PELL_FUZZ_CHECK(IsCallingNumber(reading.number) || reading.number == kWithheldText ||
                        reading.number == kUnavailableText);
    }
    if (reading.kind == ToneReadingKind::kDialled) {
        PELL_FUZZ_CHECK(!reading.number.empty());
        for (const char c : reading.number) PELL_FUZZ_CHECK((c >= '0' && c <= '9') || c == '*' || c == '#' || c == '?');
    }
    if (reading.kind == ToneReadingKind::kUncertain) PELL_FUZZ_CHECK(reading.number.empty());
    if (size > 0) {
        std::array<bool, 8> flags{};
        for (std::size_t i = 0; i < 8; ++i) flags[i] = (data[0] >> i) & 1;
        MapDtmfPair(flags);
    }
    return 0;
}
