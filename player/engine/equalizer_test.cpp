#include "player/engine/equalizer.h"

#include <gtest/gtest.h>

#include "player/engine/volume.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

TEST(EqualizerBandsTest, EachBandSetsExactlyItsSubbandsByTheTable) {
    // band, g, subbands affected
    for (int band = 1; band <= 10; ++band) {
        for (int g : {-10, -4, -3, 1, 2, 10}) {
            EqualizerBands bands;
            ASSERT_EQ(bands.Set(0, band, g), 1);
            const SubbandRange range = kBandSubbands[static_cast<std::size_t>(band - 1)];
            for (int k = 0; k < 32; ++k) {
                const bool inBand = k >= range.first && k <= range.last;
                EXPECT_DOUBLE_EQ(bands.Gains()[static_cast<std::size_t>(k)],
                                 inBand ? kBandFactors[static_cast<std::size_t>(g + 10)] : 1.0)
                    << "band " << band << " g " << g << " subband " << k;
            }
        }
    }
}

TEST(EqualizerBandsTest, TablesAreUsedAsListedIncludingTheirDips) {
    EXPECT_DOUBLE_EQ(kBandFactors[0], 0.112);
    EXPECT_DOUBLE_EQ(kBandFactors[6], 0.527);
    EXPECT_DOUBLE_EQ(kBandFactors[7], 0.5);
    EXPECT_DOUBLE_EQ(kBandFactors[11], 1.707);
    EXPECT_DOUBLE_EQ(kBandFactors[12], 1.414);
    EXPECT_DOUBLE_EQ(kBandFactors[20], 5.08);
    EXPECT_DOUBLE_EQ(kPreampFactors[0], 0.355);
    EXPECT_DOUBLE_EQ(kPreampFactors[4], 0.853);
    EXPECT_DOUBLE_EQ(kPreampFactors[10], 2.12);
    const int sizes[] = {1, 1, 1, 1, 1, 3, 6, 5, 5, 8};
    int next = 0;
    for (std::size_t b = 0; b < 10; ++b) {
        EXPECT_EQ(kBandSubbands[b].first, next);
        EXPECT_EQ(kBandSubbands[b].last - kBandSubbands[b].first + 1, sizes[b]);
        next = kBandSubbands[b].last + 1;
    }
    EXPECT_EQ(next, 32);
}

TEST(EqualizerBandsTest, OutOfRangeArgumentsChangeNothing) {
    struct Case {
        int preamp, band, gain, result;
        double gain0, gain5;
    } cases[] = {
        {5, 6, 10, 1, 2.12, 2.12 * 5.08},   // preamp and band multiply
        {-6, 6, 0, 0, 2.12, 2.12 * 5.08},   // preamp slider at 11 is refused
        {0, 6, -11, 0, 2.12, 2.12 * 5.08},  // band slider at 21 is refused
        {0, 0, 99, 1, 1.0, 5.08},           // another band number sets only the preamp
        {-5, 11, 0, 1, 0.355, 0.355 * 5.08},
        {0, 6, -10, 1, 1.0, 0.112},
    };
    EqualizerBands bands;
    for (const Case& c : cases) {
        EXPECT_EQ(bands.Set(c.preamp, c.band, c.gain), c.result);
        EXPECT_NEAR(bands.Gains()[0], c.gain0, 1e-12);
        EXPECT_NEAR(bands.Gains()[5], c.gain5, 1e-12);
    }
}

TEST(EqualizerBandsTest, BandRangesFollowTheSampleRate) {
    struct Case {
        int bandIndex;
        int rate;
        double low, high, centre;
    } cases[] = {
        {0, 8000, 0, 125, 62.5},
        {5, 8000, 625, 1000, 812.5},
        {9, 8000, 3000, 4000, 3500},
        {6, 44100, 5512.5, 9646.875, 7579.6875},
        {9, 44100, 16537.5, 22050, 19293.75},
    };
    for (const Case& c : cases) {
        const BandFrequencies f = BandFrequenciesAt(c.bandIndex, c.rate);
        EXPECT_DOUBLE_EQ(f.lowHz, c.low) << c.bandIndex << " at " << c.rate;
        EXPECT_DOUBLE_EQ(f.highHz, c.high) << c.bandIndex << " at " << c.rate;
        EXPECT_DOUBLE_EQ(f.centreHz, c.centre) << c.bandIndex << " at " << c.rate;
    }
    static_assert(BandFrequenciesAt(1, kLabelSampleRate).highHz == 250);
}

TEST(EqualizerSlidersTest, SlidersMapToSetEqualizerArguments) {
    EqualizerSliders sliders = kFlatSliders;
    sliders[5] = 0;
    sliders[10] = 2;
    const EqualizerCall band = EqualizerCallForSlider(sliders, 5);
    EXPECT_EQ(band.preamp, 3);
    EXPECT_EQ(band.band, 6);
    EXPECT_EQ(band.gain, 10);
    const EqualizerCall pre = EqualizerCallForSlider(sliders, 10);
    EXPECT_EQ(pre.preamp, 3);
    EXPECT_EQ(pre.band, 0);
    sliders[3] = 21;
    EqualizerBands bands;
    const EqualizerCall bottom = EqualizerCallForSlider(sliders, 3);
    EXPECT_EQ(bands.Set(bottom.preamp, bottom.band, bottom.gain), 0);
}

TEST(EqualizerFileTest, LoadSetsOnlyTheLinesPresentWithinRange) {
    struct Case {
        const char* text;
        EqualizerSliders expected;
    } cases[] = {
        {"10\n10\n10\n10\n10\n10\n10\n10\n10\n10\n5\n", kFlatSliders},
        {"0\r\n21\r\n3\r\n", {0, 21, 3, 10, 10, 10, 10, 10, 10, 10, 5}},
        {"abc\n\n-4\n99\n7x\n", {0, 10, 0, 21, 7, 10, 10, 10, 10, 10, 5}},
        {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n40\n12\n", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {"", kFlatSliders},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadEqualizer(c.text, kFlatSliders), c.expected) << c.text;
}

TEST(EqualizerFileTest, SaveWritesElevenLinesThatLoadBack) {
    const EqualizerSliders sliders = {0, 1, 2, 3, 4, 5, 6, 7, 8, 21, 11};
    // Each line ends with CR LF on disk, as the player has always written it.
    EXPECT_EQ(SaveEqualizer(kFlatSliders), "10\r\n10\r\n10\r\n10\r\n10\r\n10\r\n10\r\n10\r\n10\r\n10\r\n5\r\n");
    TempDir dir;
    EXPECT_FALSE(ReadEqualizerFile(dir.path()).has_value());
    ASSERT_TRUE(WriteEqualizerFile(dir.path(), sliders));
    const auto text = ReadEqualizerFile(dir.path());
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, "0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n21\r\n11\r\n");
    EXPECT_EQ(LoadEqualizer(*text, kFlatSliders), sliders);
    EXPECT_FALSE(WriteEqualizerFile(dir.File("no/such/folder"), sliders));
}

TEST(VolumeMappingTest, SliderVolumeAndIcon) {
    struct Case {
        int slider;
        std::uint32_t volume;
        int icon;
    } cases[] = {{0, 0, 237},      {1, 2048, 237},   {2, 4096, 236},   {9, 18432, 236}, {10, 20480, 234},
                 {19, 38912, 234}, {20, 40960, 235}, {31, 63488, 235}, {32, 65535, 235}};
    for (const Case& c : cases) {
        EXPECT_EQ(SliderToVolume(c.slider), c.volume);
        EXPECT_EQ(VolumeIconForSlider(c.slider), c.icon);
    }
    EXPECT_EQ(VolumeToSlider(65535), 31);
    EXPECT_EQ(VolumeToSlider(63488), 31);
    EXPECT_EQ(VolumeToSlider(63487), 30);
}

}  // namespace
}  // namespace pell
