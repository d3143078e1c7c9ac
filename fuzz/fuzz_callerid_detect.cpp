// Hostile sound in the caller-ID detectors at any rate and clip value: FSK and DTMF, whole and
// fed block by block, and both DTMF kernels, must name the same caller.

#include <vector>

#include "common/core/recorder_settings.h"
#include "fuzz/fuzz_support.h"
#include "recorder/core/callerid/dtmf_detector.h"
#include "recorder/core/callerid/fsk_decoder.h"
#include "recorder/core/callerid/identify_caller.h"

using namespace pell;

namespace {

// The capture rates in use, so most inputs decode something; any other rate up to 192 kHz (the
// highest a capture device delivers; settings above it fall back at load) is fuzzed as well.
constexpr int32_t kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000, 192000};
constexpr int32_t kHighestRate = 192000;

template <typename Detector>
std::string FeedInBlocks(Detector& detector, const std::vector<int16_t>& samples, std::size_t block) {
    for (std::size_t at = 0; at < samples.size(); at += block)
        detector.Feed(samples.data() + at, std::min(block, samples.size() - at));
    return detector.Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    // Rate byte below 9 picks a rate in use; otherwise the next four bytes are the rate itself.
    const uint8_t rateChoice = input.Byte();
    const int32_t anyRate = input.I32();
    const int32_t rate = rateChoice < std::size(kRates) ? kRates[rateChoice] : std::min(anyRate, kHighestRate);
    const auto clip = static_cast<ClipMode>(input.I32());
    const std::size_t block = 1 + input.U32() % 20000;
    const std::string pcm = input.Rest();
    std::vector<int16_t> samples(pcm.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] =
            static_cast<int16_t>(static_cast<uint8_t>(pcm[2 * i]) | (static_cast<uint8_t>(pcm[2 * i + 1]) << 8));

    const ToneTable tones = BuildToneTable(clip);
    const std::string fsk = DecodeFskClip(samples.data(), samples.size(), rate, tones);
    FskClipDecoder fskBlocks(rate, tones);
    PELL_FUZZ_CHECK(FeedInBlocks(fskBlocks, samples, block) == fsk);

    const std::string dtmf = DetectDtmfDigits(samples.data(), samples.size(), rate);
    DtmfDetector fastest(rate, DtmfDetector::Kernel::kFastest);
    DtmfDetector portable(rate, DtmfDetector::Kernel::kPortable);
    PELL_FUZZ_CHECK(FeedInBlocks(fastest, samples, block) == dtmf);
    PELL_FUZZ_CHECK(FeedInBlocks(portable, samples, block) == dtmf);

    const CallerIdentity who = IdentifyCaller(samples.data(), samples.size(), clip, rate, tones);
    PELL_FUZZ_CHECK(who.directionMark == 'I' || who.directionMark == 'O' || who.directionMark == 'U');
    return 0;
}
