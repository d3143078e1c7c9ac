#include "recorder/core/callerid/fsk_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "testsupport/signals/signals.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using signals::Append;
using signals::CallSetupMessage;
using signals::FskBurst;
using signals::FskBurstOptions;
using signals::Parameter;
using signals::Samples;

const std::vector<Parameter> kDateAndNumber = {{0x01, "12071530"}, {0x02, "12345678"}};

FskBurstOptions Options(int32_t sampleRate, const std::function<void(FskBurstOptions&)>& tweak = {}) {
    FskBurstOptions o;
    o.sampleRate = sampleRate;
    if (tweak) tweak(o);
    return o;
}

// Silence, the burst, silence: the usual shape of the start of a recording.
Samples Recording(const std::vector<uint8_t>& bytes, const FskBurstOptions& options, double leadSeconds = 0.3,
                  double tailSeconds = 0.5) {
    Samples s = signals::Silence(options.sampleRate, leadSeconds);
    Append(s, FskBurst(bytes, options));
    Append(s, signals::Silence(options.sampleRate, tailSeconds));
    return s;
}

struct LoopbackCase {
    const char* behaviour;
    int32_t sampleRate;
    ClipMode clip;  // chooses the receiving tone tables
    std::function<Samples(int32_t sampleRate)> make;
    std::string expected;
};

std::ostream& operator<<(std::ostream& out, const LoopbackCase& c) { return out << c.behaviour; }

class FskLoopbackTest : public ::testing::TestWithParam<LoopbackCase> {};

TEST_P(FskLoopbackTest, DecodesTheCallingNumberOrNothing) {
    const LoopbackCase& c = GetParam();
    const Samples samples = c.make(c.sampleRate);
    EXPECT_EQ(DecodeFskClip(samples.data(), samples.size(), c.sampleRate, BuildToneTable(c.clip)), c.expected);
}

Samples Plain(int32_t rate) { return Recording(CallSetupMessage(kDateAndNumber), Options(rate)); }

Samples WithTweak(int32_t rate, const std::function<void(FskBurstOptions&)>& tweak) {
    return Recording(CallSetupMessage(kDateAndNumber), Options(rate, tweak));
}

const LoopbackCase kLoopbackCases[] = {
    {"clean V.23 burst at 8000 Hz", 8000, ClipMode::kFskEurope, Plain, "12345678"},
    {"clean Bell 202 burst with the US tables", 8000, ClipMode::kFskUs,
     [](int32_t r) { return WithTweak(r, [](FskBurstOptions& o) { o.tones = signals::kBell202Tones; }); }, "12345678"},
    {"withheld number (parameter 0x04) gives nothing", 8000, ClipMode::kFskEurope,
     [](int32_t r) {
         return Recording(CallSetupMessage({{0x01, "12071530"}, {0x04, "P"}}), Options(r));
     },
     ""},
    {"digital silence right after the burst still ends", 8000, ClipMode::kFskEurope,
     [](int32_t r) { return Recording(CallSetupMessage(kDateAndNumber), Options(r), 0.0, 5.0); }, "12345678"},
    {"burst at -3 dBFS does not overflow the correlators", 8000, ClipMode::kFskEurope,
     [](int32_t r) { return WithTweak(r, [](FskBurstOptions& o) { o.levelDbfs = -3; }); }, "12345678"},
    {"burst at full scale", 8000, ClipMode::kFskEurope,
     [](int32_t r) { return WithTweak(r, [](FskBurstOptions& o) { o.levelDbfs = 0; }); }, "12345678"},
    {"quiet burst at -40 dBFS", 8000, ClipMode::kFskEurope,
     [](int32_t r) { return WithTweak(r, [](FskBurstOptions& o) { o.levelDbfs = -40; }); }, "12345678"},
    {"16000 Hz recording", 16000, ClipMode::kFskEurope, Plain, "12345678"},
    {"32000 Hz recording", 32000, ClipMode::kFskEurope, Plain, "12345678"},
    {"48000 Hz recording, a multiple of 8000 Hz", 48000, ClipMode::kFskEurope, Plain, "12345678"},
    {"32000 Hz Bell 202 at -3 dBFS", 32000, ClipMode::kFskUs,
     [](int32_t r) {
         return WithTweak(r, [](FskBurstOptions& o) {
             o.tones = signals::kBell202Tones;
             o.levelDbfs = -3;
         });
     },
     "12345678"},
    {"below 8000 Hz nothing decodes", 6000, ClipMode::kFskEurope, Plain, ""},
    {"above 192000 Hz nothing decodes", 200000, ClipMode::kFskEurope, Plain, ""},
    {"a two-character name before the number", 8000, ClipMode::kFskEurope,
     [](int32_t r) {
         return Recording(CallSetupMessage({{0x01, "12071530"}, {0x07, "Al"}, {0x02, "5551234"}}), Options(r));
     },
     "5551234"},
    {"a name whose bytes hold 0x80 and 0x02", 8000, ClipMode::kFskEurope,
     [](int32_t r) {
         return Recording(CallSetupMessage({{0x07, std::string("\x80\x02\x02", 3)}, {0x02, "5551234"}}), Options(r));
     },
     "5551234"},
    {"talk before the burst", 8000, ClipMode::kFskEurope,
     [](int32_t r) {
         Samples s = signals::SpeechLike(r, 2.0, -15.0, 7);
         Append(s, Plain(r));
         return s;
     },
     "12345678"},
    {"talk before the burst at 16000 Hz", 16000, ClipMode::kFskEurope,
     [](int32_t r) {
         Samples s = signals::SpeechLike(r, 1.5, -15.0, 3);
         Append(s, Plain(r));
         return s;
     },
     "12345678"},
    {"a burst that starts after 8.192 s is not seen", 8000, ClipMode::kFskEurope,
     [](int32_t r) { return Recording(CallSetupMessage(kDateAndNumber), Options(r), 8.2); }, ""},
    {"a burst that ends just inside 8.192 s is seen", 8000, ClipMode::kFskEurope,
     [](int32_t r) {
         const Samples burst = FskBurst(CallSetupMessage(kDateAndNumber), Options(r));
         Samples s = signals::Silence(r, 0);
         s.resize(kFskReadSamples - burst.size() - 40, 0);
         Append(s, burst);
         Append(s, signals::Silence(r, 1.0));
         return s;
     },
     "12345678"},
    {"no seizure, mark run only", 8000, ClipMode::kFskEurope,
     [](int32_t r) { return WithTweak(r, [](FskBurstOptions& o) { o.seizureBits = 0; }); }, "12345678"},
    {"a mark run of 40 bits is too short to frame", 8000, ClipMode::kFskEurope,
     [](int32_t r) {
         return WithTweak(r, [](FskBurstOptions& o) {
             o.seizureBits = 0;
             o.markBits = 40;
         });
     },
     ""},
    {"two messages: the first verified one counts", 8000, ClipMode::kFskEurope,
     [](int32_t r) {
         std::vector<uint8_t> bytes = CallSetupMessage({{0x02, "111"}});
         const std::vector<uint8_t> second = CallSetupMessage({{0x02, "222"}});
         bytes.insert(bytes.end(), second.begin(), second.end());
         return Recording(bytes, Options(r));
     },
     "111"},
    {"a recording shorter than six samples", 8000, ClipMode::kFskEurope,
     [](int32_t) {
         return Samples{1000, -1000, 1000};
     },
     ""},
    {"an empty recording", 8000, ClipMode::kFskEurope, [](int32_t) { return Samples{}; }, ""},
};

INSTANTIATE_TEST_SUITE_P(Bursts, FskLoopbackTest, ::testing::ValuesIn(kLoopbackCases));

// Sweeps the tolerances a line and an exchange bring: tone and bit-rate offsets, noise, phase.
struct ToleranceCase {
    const char* behaviour;
    int32_t sampleRate;
    std::function<void(FskBurstOptions&)> tweak;
    double snrDb;  // 0: no noise
};

std::ostream& operator<<(std::ostream& out, const ToleranceCase& c) { return out << c.behaviour; }

class FskToleranceTest : public ::testing::TestWithParam<ToleranceCase> {};

TEST_P(FskToleranceTest, DecodesWithinTheLineTolerances) {
    const ToleranceCase& c = GetParam();
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        FskBurstOptions o = Options(c.sampleRate, c.tweak);
        o.startPhase = seed * 0.9;
        Samples s = Recording(CallSetupMessage(kDateAndNumber), o, 0.1 * seed);
        if (c.snrDb != 0) signals::AddNoise(s, c.snrDb, seed);
        EXPECT_EQ(DecodeFskClip(s.data(), s.size(), c.sampleRate, BuildToneTable(ClipMode::kFskEurope)), "12345678")
            << "seed " << seed;
    }
}

const ToleranceCase kToleranceCases[] = {
    {"tones 12 Hz high", 8000, [](FskBurstOptions& o) { o.frequencyOffsetHz = 12; }, 0},
    {"tones 12 Hz low", 8000, [](FskBurstOptions& o) { o.frequencyOffsetHz = -12; }, 0},
    {"bit rate 1 % fast", 8000, [](FskBurstOptions& o) { o.baudOffsetPercent = 1; }, 0},
    {"bit rate 1 % slow", 8000, [](FskBurstOptions& o) { o.baudOffsetPercent = -1; }, 0},
    {"noise at 20 dB SNR", 8000, {}, 20},
    {"noise at 20 dB SNR, 16000 Hz", 16000, {}, 20},
    {"noise at 20 dB SNR, 32000 Hz", 32000, {}, 20},
    {"two stop bits between characters", 8000, [](FskBurstOptions& o) { o.stopBits = 2; }, 0},
};

INSTANTIATE_TEST_SUITE_P(Sweeps, FskToleranceTest, ::testing::ValuesIn(kToleranceCases));

// The band-passed receiver frames asynchronous characters: a stop bit that is a space is a
// framing error, and that character is no character.
struct FramingCase {
    const char* behaviour;
    int32_t sampleRate;
    std::function<void(FskBurstOptions&)> tweak;
    std::vector<size_t> dropped;  // indexes of the characters the receiver must not give
};

std::ostream& operator<<(std::ostream& out, const FramingCase& c) { return out << c.behaviour; }

class FskReceiverFramingTest : public ::testing::TestWithParam<FramingCase> {};

TEST_P(FskReceiverFramingTest, GivesTheCharactersWithAGoodStopBit) {
    const FramingCase& c = GetParam();
    const std::vector<uint8_t> sent = CallSetupMessage({{0x02, "5551234"}});
    std::vector<uint8_t> expected;
    for (size_t i = 0; i < sent.size(); ++i) {
        if (std::find(c.dropped.begin(), c.dropped.end(), i) == c.dropped.end()) expected.push_back(sent[i]);
    }
    FskReceiver receiver(c.sampleRate, TonesOfTable(BuildToneTable(ClipMode::kFskEurope)));
    const Samples s = Recording(sent, Options(c.sampleRate, c.tweak));
    receiver.Feed(s.data(), s.size());
    // What the digital silence after the burst makes of the filters' decay is not a character sent.
    const std::vector<uint8_t>& got = receiver.bytes();
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + std::min(got.size(), expected.size())), expected);
}

const FramingCase kFramingCases[] = {
    {"one stop bit", 8000, {}, {}},
    {"two stop bits", 8000, [](FskBurstOptions& o) { o.stopBits = 2; }, {}},
    {"a space for a stop bit drops the character, the next is framed again",
     8000,
     [](FskBurstOptions& o) { o.badStopBitAt = 4; },
     {4}},
    {"a bad stop bit on the first character", 8000, [](FskBurstOptions& o) { o.badStopBitAt = 0; }, {0}},
    {"a bad stop bit at 11025 Hz", 11025, [](FskBurstOptions& o) { o.badStopBitAt = 6; }, {6}},
};

INSTANTIATE_TEST_SUITE_P(Characters, FskReceiverFramingTest, ::testing::ValuesIn(kFramingCases));

TEST(FskDecoderTest, BlockSizeDoesNotChangeTheBytes) {
    Samples s = signals::SpeechLike(8000, 1.0, -15.0, 11);
    Append(s, Recording(CallSetupMessage(kDateAndNumber), Options(8000)));
    const ToneTable tones = BuildToneTable(ClipMode::kFskEurope);
    FskDemodulator whole(tones, 1);
    whole.Feed(s.data(), s.size());
    whole.Finish();
    ASSERT_FALSE(whole.bytes().empty());
    for (const size_t block : {1u, 5u, 7u, 160u, 4000u}) {
        FskDemodulator streamed(tones, 1);
        for (size_t i = 0; i < s.size(); i += block) streamed.Feed(s.data() + i, std::min(block, s.size() - i));
        streamed.Finish();
        EXPECT_EQ(streamed.bytes(), whole.bytes()) << "block " << block;
    }
}

TEST(FskDecoderTest, StartEdgeWalkStopsAtThePreviousDecisionInSilence) {
    const Samples silence(200, 0);
    FskDemodulator demodulator(BuildToneTable(ClipMode::kFskEurope), 1);
    demodulator.Feed(silence.data(), silence.size());
    for (const int64_t floor : {0, 30, 90}) EXPECT_EQ(demodulator.FindStartEdge(120, floor), floor + 4);
}

TEST(FskDecoderTest, StartEdgeLandsFourSamplesAfterTheLastMark) {
    // Mark tone, then space tone from sample 80 on.
    FskBurstOptions o;
    o.seizureBits = 0;
    o.markBits = 12;
    Samples s = FskBurst({0x00}, o);
    FskDemodulator demodulator(BuildToneTable(ClipMode::kFskEurope), 1);
    demodulator.Feed(s.data(), s.size());
    const int64_t edge = demodulator.FindStartEdge(90, 0);
    EXPECT_LT(demodulator.CorrelateFsk(edge - 4), 0);
    for (int64_t p = edge - 3; p <= 90; ++p) EXPECT_GE(demodulator.CorrelateFsk(p), 0) << p;
}

TEST(FskDecoderTest, RealignClimbsToTheStrongestMarkCorrelation) {
    Samples s = signals::Tone(8000, 1300, -10, 0.05);
    FskDemodulator demodulator(BuildToneTable(ClipMode::kFskEurope), 1);
    demodulator.Feed(s.data(), s.size());
    for (int64_t start = 100; start < 120; ++start) {
        const int64_t d = demodulator.CorrelateFsk(start);
        const uint64_t best = static_cast<uint64_t>(d < 0 ? -d : d);
        const int64_t p = demodulator.RealignOnMark(best, start);
        EXPECT_LE(std::abs(p - start), 3);
        const int64_t dp = demodulator.CorrelateFsk(p);
        EXPECT_GE(static_cast<uint64_t>(dp < 0 ? -dp : dp), best) << start;
    }
}

struct CorrelationCase {
    double hz;
    double levelDbfs;
    bool mark;
};

TEST(FskDecoderTest, CorrelationSignGivesTheToneAtEveryLevelAndPhase) {
    const CorrelationCase cases[] = {{1300, -3, true}, {1300, 0, true},   {2100, -3, false},
                                     {2100, 0, false}, {1300, -30, true}, {2100, -30, false}};
    const ToneTable tones = BuildToneTable(ClipMode::kFskEurope);
    for (const CorrelationCase& c : cases) {
        const Samples s = signals::Tone(8000, c.hz, c.levelDbfs, 0.01);
        for (size_t p = 0; p + 6 <= 40; ++p) {
            EXPECT_EQ(CorrelateFsk(&s[p], tones) < 0, c.mark)
                << c.hz << " Hz at " << c.levelDbfs << " dBFS, offset " << p;
        }
    }
}

struct ParserCase {
    const char* behaviour;
    std::vector<uint8_t> bytes;
    std::string expected;
};

std::ostream& operator<<(std::ostream& out, const ParserCase& c) { return out << c.behaviour; }

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<uint8_t> BadChecksum(std::vector<uint8_t> message) {
    message.back() = static_cast<uint8_t>(message.back() + 1);
    return message;
}

class CallerIdParserTest : public ::testing::TestWithParam<ParserCase> {};

TEST_P(CallerIdParserTest, FindsTheNumberParameter) {
    EXPECT_EQ(ParseCallerIdBytes(GetParam().bytes), GetParam().expected);
}

const ParserCase kParserCases[] = {
    {"plain message", CallSetupMessage({{0x02, "5551234"}}), "5551234"},
    {"no message", {0x01, 0x02, 0x03, '5', '5'}, ""},
    {"empty list", {}, ""},
    {"withheld", CallSetupMessage({{0x04, "P"}}), ""},
    {"length byte 0x02 of a name is not the parameter", CallSetupMessage({{0x07, "Al"}, {0x02, "42"}}), "42"},
    {"noise bytes with a false 0x80 before the message",
     Join({{0x80, 0x05, 0x02, 0x01, '9', 0x33}, CallSetupMessage({{0x02, "42"}})}), "42"},
    {"first verified message wins over an earlier damaged one",
     Join({BadChecksum(CallSetupMessage({{0x02, "111"}})), CallSetupMessage({{0x02, "222"}})}), "222"},
    {"with no verified message, the first one holding the number",
     Join({BadChecksum(CallSetupMessage({{0x04, "O"}})), BadChecksum(CallSetupMessage({{0x02, "333"}}))}), "333"},
    {"a number cut short by the end of the data", std::vector<uint8_t>{0x80, 0x09, 0x02, 0x07, '5', '5', '5'}, "555"},
    {"a parameter running past the message length is cut there",
     std::vector<uint8_t>{0x80, 0x04, 0x02, 0x07, '5', '5', 0x11, '9'}, "55"},
    {"a verified number with a non-number character is no number", CallSetupMessage({{0x02, "12-a"}}), ""},
    {"binary bytes in a verified number are no number", CallSetupMessage({{0x02, std::string("5\x01\xFF", 3)}}), ""},
    {"an unverified damaged number gives way to a later valid one",
     Join({BadChecksum(CallSetupMessage({{0x02, "5?5"}})), BadChecksum(CallSetupMessage({{0x02, "444"}}))}), "444"},
    {"an international number with star and hash", CallSetupMessage({{0x02, "+4930*12#"}}), "+4930*12#"},
    {"a plus inside the number is damage", CallSetupMessage({{0x02, "49+30"}}), ""},
    {"a checksum over no parameters (hum decoded as 80 00 80) verifies nothing",
     Join({{0x80, 0x00, 0x80}, BadChecksum(CallSetupMessage({{0x02, "42"}}))}), "42"},
    {"a checksum over a body of broken parameters verifies nothing",
     Join({{0x80, 0x03, 0x02, 0x05, '1', 0x45}, CallSetupMessage({{0x02, "43"}})}), "43"},
    {"empty number", CallSetupMessage({{0x02, ""}}), ""},
};

INSTANTIATE_TEST_SUITE_P(Bytes, CallerIdParserTest, ::testing::ValuesIn(kParserCases));

TEST(CallerIdParserTest, TellsWhetherTheChecksumHeld) {
    EXPECT_TRUE(ParseCallerIdMessage(CallSetupMessage({{0x02, "42"}})).verified);
    EXPECT_FALSE(ParseCallerIdMessage(BadChecksum(CallSetupMessage({{0x02, "42"}}))).verified);
    EXPECT_EQ(ParseCallerIdMessage(BadChecksum(CallSetupMessage({{0x02, "42"}}))).number, "42");
}

TEST(FskDecimatorTest, PassesTheToneBandAndStopsWhatWouldFoldIntoIt) {
    struct Case {
        int32_t factor;
        double hz;
        double minGain, maxGain;
    };
    const Case cases[] = {{2, 1200, 0.95, 1.05}, {2, 2200, 0.9, 1.1}, {2, 5300, 0, 0.03}, {2, 6000, 0, 0.03},
                          {4, 1300, 0.95, 1.05}, {4, 2100, 0.9, 1.1}, {4, 6000, 0, 0.03}, {4, 13000, 0, 0.03}};
    for (const Case& c : cases) {
        const Samples in = signals::Tone(8000 * c.factor, c.hz, -6, 0.2);
        FskDecimator decimator(c.factor);
        std::vector<int16_t> out;
        decimator.Process(in.data(), in.size(), out);
        ASSERT_EQ(out.size(), in.size() / c.factor);
        int32_t peakIn = 0, peakOut = 0;
        for (const int16_t v : in) peakIn = std::max(peakIn, std::abs(static_cast<int32_t>(v)));
        for (size_t i = 100; i < out.size(); ++i) peakOut = std::max(peakOut, std::abs(static_cast<int32_t>(out[i])));
        const double gain = static_cast<double>(peakOut) / peakIn;
        EXPECT_GE(gain, c.minGain) << c.factor << " x " << c.hz;
        EXPECT_LE(gain, c.maxGain) << c.factor << " x " << c.hz;
    }
}

TEST(FskDecimatorTest, BlockSizeDoesNotChangeTheOutput) {
    for (const int32_t factor : {2, 4, 6}) {
        const Samples in = signals::SpeechLike(8000 * factor, 0.3, -10, 5);
        FskDecimator whole(factor);
        std::vector<int16_t> expected;
        whole.Process(in.data(), in.size(), expected);
        for (const size_t block : {1u, 3u, 7u, 1000u}) {
            FskDecimator streamed(factor);
            std::vector<int16_t> out;
            for (size_t i = 0; i < in.size(); i += block)
                streamed.Process(in.data() + i, std::min(block, in.size() - i), out);
            EXPECT_EQ(out, expected) << "factor " << factor << ", block " << block;
        }
    }
}

TEST(FskDecoderTest, ReadsOnlyTheStartOfTheTempFile) {
    TempDir dir;
    const std::string path = dir.File("wave2.out");
    ASSERT_TRUE(signals::WriteSampleFile(path, Recording(CallSetupMessage(kDateAndNumber), Options(16000))));
    EXPECT_EQ(DecodeFskClip(path, 16000, BuildToneTable(ClipMode::kFskEurope)), "12345678");
    EXPECT_EQ(DecodeFskClip(dir.File("missing.out"), 16000, BuildToneTable(ClipMode::kFskEurope)), "");
    EXPECT_EQ(DecodeFskClip(dir.path(), 8000, BuildToneTable(ClipMode::kFskEurope)), "");
}

}  // namespace
}  // namespace pell

namespace pell {
namespace {

// Real lines: each impairment at its worst target level, on both tone pairs and three rates.
struct LineCase {
    const char* behaviour;
    std::function<void(FskBurstOptions&)> tweak;
    std::function<void(Samples&, int32_t rate, uint32_t seed)> impair;
};

std::ostream& operator<<(std::ostream& out, const LineCase& c) { return out << c.behaviour; }

class FskLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(FskLineTest, DecodesOnImpairedLines) {
    const LineCase& c = GetParam();
    for (const int32_t rate : {8000, 11025, 16000}) {
        for (const ClipMode clip : {ClipMode::kFskEurope, ClipMode::kFskUs}) {
            for (uint32_t seed = 1; seed <= 2; ++seed) {
                FskBurstOptions o = Options(rate, c.tweak);
                o.tones = clip == ClipMode::kFskEurope ? signals::kV23Tones : signals::kBell202Tones;
                o.markBits = 80;
                o.startPhase = seed;
                Samples s = Recording(CallSetupMessage(kDateAndNumber), o, 0.1 * seed);
                if (c.impair) c.impair(s, rate, seed);
                EXPECT_EQ(DecodeFskClip(s.data(), s.size(), rate, BuildToneTable(clip)), "12345678")
                    << rate << " Hz, clip " << static_cast<int>(clip) << ", seed " << seed;
            }
        }
    }
}

const LineCase kLineCases[] = {
    {"clean", {}, {}},
    {"50 Hz hum at 0 dB", {}, [](Samples& s, int32_t r, uint32_t) { signals::AddHum(s, r, 50, 0); }},
    {"60 Hz hum at +6 dB", {}, [](Samples& s, int32_t r, uint32_t) { signals::AddHum(s, r, 60, 6); }},
    {"voice-band noise at 12 dB SNR",
     {},
     [](Samples& s, int32_t r, uint32_t seed) { signals::AddBandNoise(s, r, 12, 300, 3400, seed); }},
    {"voice-band noise at 13 dB SNR with 50 Hz hum at +6 dB",
     {},
     [](Samples& s, int32_t r, uint32_t seed) {
         signals::AddBandNoise(s, r, 13, 300, 3400, seed);
         signals::AddHum(s, r, 50, 6);
     }},
    {"mu-law round trip", {}, [](Samples& s, int32_t, uint32_t) { signals::MuLawRoundTrip(s); }},
    {"A-law round trip", {}, [](Samples& s, int32_t, uint32_t) { signals::ALawRoundTrip(s); }},
    {"tones 2.5 % high", [](FskBurstOptions& o) { o.frequencyOffsetHz = 0.025 * 1700; }, {}},
    {"tones 2.5 % low", [](FskBurstOptions& o) { o.frequencyOffsetHz = -0.025 * 1700; }, {}},
    {"bit rate 1 % slow with noise at 15 dB", [](FskBurstOptions& o) { o.baudOffsetPercent = -1; },
     [](Samples& s, int32_t r, uint32_t seed) { signals::AddBandNoise(s, r, 15, 300, 3400, seed); }},
    {"companding, tones +1.5 %, bit rate -0.5 %, noise 15 dB, hum -6 dB",
     [](FskBurstOptions& o) {
         o.frequencyOffsetHz = 0.015 * 1700;
         o.baudOffsetPercent = -0.5;
     },
     [](Samples& s, int32_t r, uint32_t seed) {
         signals::AddBandNoise(s, r, 15, 300, 3400, seed);
         signals::AddHum(s, r, 50, -6);
         signals::MuLawRoundTrip(s);
     }},
};

INSTANTIATE_TEST_SUITE_P(Lines, FskLineTest, ::testing::ValuesIn(kLineCases));

TEST(FskLineTest, BlocksOfAnySizeGiveTheSameNumberUnderHum) {
    for (const int32_t rate : {8000, 11025, 16000}) {
        FskBurstOptions o = Options(rate);
        Samples s = Recording(CallSetupMessage(kDateAndNumber), o);
        signals::AddHum(s, rate, 50, 6);  // only the band-passed receiver reads this
        for (const size_t block : {1u, 7u, 160u, 4096u}) {
            FskClipDecoder decoder(rate, BuildToneTable(ClipMode::kFskEurope));
            for (size_t i = 0; i < s.size(); i += block) decoder.Feed(s.data() + i, std::min(block, s.size() - i));
            EXPECT_EQ(decoder.Finish(), "12345678") << rate << " Hz, block " << block;
        }
    }
}

}  // namespace
}  // namespace pell

namespace pell {
namespace {

TEST(ToneBandFilterTest, PassesBothTonePairsAndStopsHumRumbleAndHighBand) {
    struct Case {
        double hz;
        double minGain, maxGain;
    };
    const Case cases[] = {{50, 0, 0.001},     {150, 0, 0.01},    {300, 0, 0.1},   {1200, 0.8, 1.05}, {1300, 0.85, 1.05},
                          {2100, 0.85, 1.05}, {2200, 0.8, 1.05}, {3600, 0, 0.45}, {6000, 0, 0.08}};
    for (const int32_t rate : {8000, 11025, 16000, 22050, 44100, 192000}) {
        for (const FskTonePair pair : {FskTonePair{1300, 2100}, FskTonePair{1200, 2200}}) {
            for (const Case& c : cases) {
                if (c.hz >= 0.45 * rate) continue;
                ToneBandFilter filter(rate, 0.6 * pair.markHz, 1.3 * pair.spaceHz);
                double peak = 0;
                const auto n = static_cast<size_t>(rate);  // one second; the last fifth is measured
                for (size_t i = 0; i < n; ++i) {
                    const double y = filter.Step(std::sin(2 * 3.141592653589793 * c.hz * i / rate));
                    if (i > n * 4 / 5) peak = std::max(peak, std::abs(y));
                }
                EXPECT_GE(peak, c.minGain) << rate << " Hz rate, " << c.hz << " Hz";
                EXPECT_LE(peak, c.maxGain) << rate << " Hz rate, " << c.hz << " Hz";
            }
        }
    }
}

TEST(ToneBandFilterTest, TonesOfATableAreTheTonesItWasBuiltFor) {
    EXPECT_NEAR(TonesOfTable(BuildToneTable(ClipMode::kFskEurope)).markHz, 1300, 2);
    EXPECT_NEAR(TonesOfTable(BuildToneTable(ClipMode::kFskEurope)).spaceHz, 2100, 2);
    EXPECT_NEAR(TonesOfTable(BuildToneTable(ClipMode::kFskUs)).markHz, 1200, 2);
    EXPECT_NEAR(TonesOfTable(BuildToneTable(ClipMode::kFskUs)).spaceHz, 2200, 2);
}

}  // namespace
}  // namespace pell

namespace pell {
namespace {

// A long loop: the space tone arrives up to 12 dB below the mark, with or without an echo.
struct SlopeCase {
    double spaceBelowMarkDb;
    double echoDb;  // -100: none
};

std::ostream& operator<<(std::ostream& out, const SlopeCase& c) {
    out << "space " << c.spaceBelowMarkDb << " dB below mark";
    if (c.echoDb > -100) out << ", echo at " << c.echoDb << " dB";
    return out;
}

class FskSlopeTest : public ::testing::TestWithParam<SlopeCase> {};

TEST_P(FskSlopeTest, ASlopedLineDecodesAsAFlatOne) {
    const SlopeCase& c = GetParam();
    for (const int32_t rate : {8000, 11025, 16000}) {
        for (const ClipMode clip : {ClipMode::kFskEurope, ClipMode::kFskUs}) {
            const signals::FskTones tones = clip == ClipMode::kFskEurope ? signals::kV23Tones : signals::kBell202Tones;
            for (uint32_t seed = 1; seed <= 2; ++seed) {
                FskBurstOptions o = Options(rate, [&](FskBurstOptions& b) {
                    b.tones = tones;
                    b.markBits = 80;
                    b.startPhase = seed;
                    b.levelDbfs = -12;
                });
                Samples s = Recording(CallSetupMessage(kDateAndNumber), o, 0.1 * seed);
                signals::ApplySlope(s, rate, tones.markHz, tones.spaceHz, c.spaceBelowMarkDb);
                if (c.echoDb > -100) signals::AddEcho(s, rate, 3.0 + seed, c.echoDb);
                signals::AddBandNoise(s, rate, 30, 300, 3400, seed);
                EXPECT_EQ(DecodeFskClip(s.data(), s.size(), rate, BuildToneTable(clip)), "12345678")
                    << rate << " Hz, clip " << static_cast<int>(clip) << ", seed " << seed;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Slopes, FskSlopeTest,
                         ::testing::Values(SlopeCase{4, -100}, SlopeCase{8, -100}, SlopeCase{10, -100},
                                           SlopeCase{12, -100}, SlopeCase{8, -20}, SlopeCase{12, -20}));

}  // namespace
}  // namespace pell

namespace pell {
namespace {

TEST(ToneBandFilterTest, TiltLiftsTheHigherToneByTheAskedAmount) {
    for (const int32_t rate : {8000, 11025, 16000, 44100}) {
        for (const FskTonePair pair : {FskTonePair{1300, 2100}, FskTonePair{1200, 2200}}) {
            for (const double boost : {0.0, 6.0, 12.0}) {
                ToneBandFilter filter(rate, 0.6 * pair.markHz, 1.3 * pair.spaceHz);
                const double flat = filter.GainAt(pair.spaceHz) / filter.GainAt(pair.markHz);
                filter.Tilt(pair.markHz, pair.spaceHz, boost);
                const double lifted = filter.GainAt(pair.spaceHz) / filter.GainAt(pair.markHz);
                EXPECT_NEAR(20 * std::log10(lifted / flat), boost, 0.05) << rate << " Hz, " << boost << " dB";
            }
        }
    }
}

}  // namespace
}  // namespace pell
