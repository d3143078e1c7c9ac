#include "player/ui/core/equalizer_labels.h"

#include <gtest/gtest.h>

#include "player/engine/equalizer.h"

namespace pell {
namespace {

TEST(EqualizerLabelsTest, EachBandIsNamedByItsCentreFrequencyAtTheRecordsRate) {
    struct Case {
        int sampleRate;
        std::array<const char*, 10> labels;
    };
    const Case cases[] = {
        {8000, {"63", "190", "310", "440", "560", "810", "1.4k", "2.1k", "2.7k", "3.5k"}},
        {16000, {"130", "380", "630", "880", "1.1k", "1.6k", "2.8k", "4.1k", "5.4k", "7k"}},
        {44100, {"340", "1k", "1.7k", "2.4k", "3.1k", "4.5k", "7.6k", "11k", "15k", "19k"}},
    };
    for (const Case& c : cases) {
        for (int band = 0; band < 10; ++band) {
            EXPECT_EQ(FrequencyLabel(BandFrequenciesAt(band, c.sampleRate).centreHz),
                      c.labels[static_cast<std::size_t>(band)])
                << c.sampleRate << " band " << band + 1;
        }
    }
    const BandFrequencies band7 = BandFrequenciesAt(6, 8000);
    EXPECT_EQ(BandTip(7, band7.lowHz, band7.highHz), "Band 7: 1000 to 1750 Hz");
    EXPECT_EQ(FrequencyLabel(0), "0");
}

}  // namespace
}  // namespace pell
