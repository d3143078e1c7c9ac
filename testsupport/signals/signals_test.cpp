#include "testsupport/signals/signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "testsupport/temp_dir.h"

namespace pell::signals {
namespace {

TEST(SignalsTest, CallSetupMessageCarriesLengthsAndAZeroSumChecksum) {
    const std::vector<uint8_t> m = CallSetupMessage({{0x01, "1207"}, {0x02, "55"}});
    const std::vector<uint8_t> expected = {0x80, 10, 0x01, 4, '1', '2', '0', '7', 0x02, 2, '5', '5', 0};
    ASSERT_EQ(m.size(), expected.size());
    EXPECT_TRUE(std::equal(m.begin(), m.end() - 1, expected.begin()));
    uint32_t sum = 0;
    for (const uint8_t b : m) sum += b;
    EXPECT_EQ(sum % 256, 0u);
}

TEST(SignalsTest, LengthsFollowRateBitsAndTiming) {
    const struct {
        int32_t rate;
        double baudOffsetPercent;
    } cases[] = {{8000, 0}, {16000, 0}, {11025, 0}, {8000, 2}};
    for (const auto& c : cases) {
        FskBurstOptions o;
        o.sampleRate = c.rate;
        o.baudOffsetPercent = c.baudOffsetPercent;
        const size_t bits = 300 + 180 + 2 * 10 + 4;  // seizure, mark run, two characters, trailing marks
        const double samplesPerBit = c.rate / (1200.0 * (1 + c.baudOffsetPercent / 100));
        EXPECT_EQ(FskBurst({0x12, 0x34}, o).size(), static_cast<size_t>(std::ceil(bits * samplesPerBit))) << c.rate;
        DtmfOptions d;
        d.sampleRate = c.rate;
        EXPECT_EQ(DtmfDigits("12x", d).size(), 3 * 2 * static_cast<size_t>(std::round(0.07 * c.rate))) << c.rate;
    }
}

TEST(SignalsTest, LevelsAreRelativeToAFullScaleSine) {
    const Samples tone = Tone(8000, 1000, -6.0206, 0.1);
    int32_t peak = 0;
    for (const int16_t s : tone) peak = std::max(peak, std::abs(static_cast<int32_t>(s)));
    EXPECT_NEAR(peak, 16384, 2);
    double power = 0;
    for (const int16_t s : WhiteNoise(80000, -20, 1)) power += static_cast<double>(s) * s;
    EXPECT_NEAR(10 * std::log10(power / 80000 / (32767.0 * 32767.0 / 2)), -20, 0.2);
}

double PowerDb(const Samples& s) {
    double power = 0;
    for (const int16_t v : s) power += static_cast<double>(v) * v;
    return 10 * std::log10(power / s.size());
}

Samples Difference(const Samples& a, const Samples& b) {
    Samples d(a.size());
    for (size_t i = 0; i < a.size(); ++i) d[i] = static_cast<int16_t>(a[i] - b[i]);
    return d;
}

TEST(SignalsTest, ImpairmentsAddWhatTheyPromiseAtTheirLevel) {
    const struct {
        const char* name;
        void (*impair)(Samples&);
        double relativeDb;  // added power against the clean signal
        double toleranceDb;
    } cases[] = {
        {"hum +6 dB", [](Samples& s) { AddHum(s, 8000, 50, 6); }, 6, 0.3},
        {"hum -12 dB at 60 Hz", [](Samples& s) { AddHum(s, 8000, 60, -12); }, -12, 0.3},
        {"voice-band noise 12 dB", [](Samples& s) { AddBandNoise(s, 8000, 12, 300, 3400, 1); }, -12, 0.3},
        {"mu-law round trip", MuLawRoundTrip, -38, 4},
        {"A-law round trip", ALawRoundTrip, -38, 4},
    };
    for (const auto& c : cases) {
        const Samples clean = Tone(8000, 1300, -13, 1.0);
        Samples impaired = clean;
        c.impair(impaired);
        EXPECT_NEAR(PowerDb(Difference(impaired, clean)) - PowerDb(clean), c.relativeDb, c.toleranceDb) << c.name;
    }
}

TEST(SignalsTest, BandNoiseStaysInTheVoiceBand) {
    Samples s = Tone(8000, 1000, -20, 2.0);
    const Samples clean = s;
    AddBandNoise(s, 8000, 0, 300, 3400, 3);
    const Samples noise = Difference(s, clean);
    // Goertzel power of the noise at 100 Hz against 1800 Hz.
    auto at = [&](double hz) {
        const double c = 2 * std::cos(2 * 3.14159265358979 * hz / 8000);
        double q1 = 0, q2 = 0;
        for (const int16_t v : noise) {
            const double q0 = c * q1 - q2 + v;
            q2 = q1;
            q1 = q0;
        }
        return q1 * q1 + q2 * q2 - c * q1 * q2;
    };
    EXPECT_LT(at(100), at(1800) / 20);
}

// Steady-state level in dB of a tone after an impairment, against the tone before it.
double GainDb(int32_t rate, double hz, const std::function<void(Samples&)>& impair) {
    const Samples clean = Tone(rate, hz, -20, 1.0);
    Samples s = clean;
    impair(s);
    const Samples tail(s.begin() + rate / 2, s.end()), cleanTail(clean.begin() + rate / 2, clean.end());
    return PowerDb(tail) - PowerDb(cleanTail);
}

TEST(SignalsTest, SlopeLeavesTheHigherToneTheAskedDifferenceBelow) {
    for (const int32_t rate : {8000, 11025, 16000}) {
        for (const auto& tones : {std::pair{1300.0, 2100.0}, std::pair{1200.0, 2200.0}}) {
            const double low = tones.first;
            const double high = tones.second;
            for (const double difference : {4.0, 8.0, 12.0}) {
                auto impair = [&](Samples& s) { ApplySlope(s, rate, low, high, difference); };
                EXPECT_NEAR(GainDb(rate, low, impair) - GainDb(rate, high, impair), difference, 0.3)
                    << rate << " Hz, " << low << "/" << high << ", " << difference << " dB";
                EXPECT_NEAR(GainDb(rate, 1000, impair), 0, 0.3) << rate;
            }
        }
    }
}

TEST(SignalsTest, EchoAddsADelayedCopyAtItsLevel) {
    const Samples clean = {0, 10000, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Samples s = clean;
    AddEcho(s, 8000, 1.0, -20);  // 8 samples, a tenth of the amplitude
    EXPECT_EQ(s, (Samples{0, 10000, 0, 0, 0, 0, 0, 0, 0, 1000, 0}));
}

TEST(SignalsTest, DtmfTonesMoveOnTheirOwn) {
    DtmfOptions o;
    o.rowOffsetPercent = 4;
    const Samples moved = DtmfDigits("1", o);
    o.rowOffsetPercent = 0;
    o.columnOffsetPercent = -4;
    const Samples column = DtmfDigits("1", o);
    const Samples rowTone = Tone(8000, 697 * 1.04, -10, 0.07), columnTone = Tone(8000, 1209 * 0.96, -10, 0.07);
    const Samples fixedRow = Tone(8000, 697, -10, 0.07), fixedColumn = Tone(8000, 1209, -10, 0.07);
    for (size_t n = 0; n < rowTone.size(); ++n) {
        EXPECT_NEAR(moved[n], rowTone[n] + fixedColumn[n], 2) << n;
        EXPECT_NEAR(column[n], fixedRow[n] + columnTone[n], 2) << n;
    }
}

TEST(SignalsTest, SampleFileIsLittleEndianWithoutHeader) {
    TempDir dir;
    ASSERT_TRUE(WriteSampleFile(dir.File("t.out"), {1, -2, 0x1234, -32768}));
    EXPECT_EQ(dir.Read("t.out"), std::string("\x01\x00\xFE\xFF\x34\x12\x00\x80", 8));
    EXPECT_FALSE(WriteSampleFile(dir.File("no/such/folder/t.out"), {1}));
}

}  // namespace
}  // namespace pell::signals
