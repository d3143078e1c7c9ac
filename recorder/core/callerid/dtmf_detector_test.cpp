#include "recorder/core/callerid/dtmf_detector.h"

#include <gtest/gtest.h>

#include <functional>

#include "testsupport/signals/signals.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using signals::Append;
using signals::DtmfDigits;
using signals::DtmfOptions;
using signals::Samples;

DtmfOptions At(int32_t sampleRate, const std::function<void(DtmfOptions&)>& tweak = {}) {
    DtmfOptions o;
    o.sampleRate = sampleRate;
    if (tweak) tweak(o);
    return o;
}

// Half a second of silence, the digits, half a second of silence.
Samples Dialled(const std::string& digits, const DtmfOptions& options) {
    Samples s = signals::Silence(options.sampleRate, 0.5);
    Append(s, DtmfDigits(digits, options));
    Append(s, signals::Silence(options.sampleRate, 0.5));
    return s;
}

struct DetectCase {
    const char* behaviour;
    int32_t sampleRate;
    std::function<Samples(int32_t sampleRate)> make;
    std::string expected;
};

std::ostream& operator<<(std::ostream& out, const DetectCase& c) { return out << c.behaviour; }

class DtmfLoopbackTest : public ::testing::TestWithParam<DetectCase> {};

TEST_P(DtmfLoopbackTest, DetectsTheDigitsOnTheLine) {
    const DetectCase& c = GetParam();
    const Samples s = c.make(c.sampleRate);
    EXPECT_EQ(DetectDtmfDigits(s.data(), s.size(), c.sampleRate), c.expected);
}

std::function<Samples(int32_t)> Plain(const std::string& digits) {
    return [digits](int32_t r) { return Dialled(digits, At(r)); };
}

std::function<Samples(int32_t)> Tweaked(const std::string& digits, std::function<void(DtmfOptions&)> tweak) {
    return [digits, tweak](int32_t r) { return Dialled(digits, At(r, tweak)); };
}

const DetectCase kDetectCases[] = {
    {"framed caller ID at 8000 Hz", 8000, Plain("A5551234C"), "A5551234C"},
    {"all sixteen keys", 8000, Plain("0123456789*#ABCD"), "0123456789*#ABCD"},
    {"a repeated digit with a pause between", 8000, Plain("1155"), "1155"},
    {"one long tone is one digit", 8000, Tweaked("7", [](DtmfOptions& o) { o.toneMs = 900; }), "7"},
    {"40 ms tones and pauses, the shortest dialled", 8000,
     Tweaked("2580", [](DtmfOptions& o) { o.toneMs = o.pauseMs = 45; }), "2580"},
    {"a tone of 20 ms is too short", 8000, Tweaked("9", [](DtmfOptions& o) { o.toneMs = 20; }), ""},
    {"16000 Hz", 16000, Plain("A5551234C"), "A5551234C"},
    {"32000 Hz", 32000, Plain("B10C"), "B10C"},
    {"11025 Hz", 11025, Plain("**123"), "**123"},
    {"22050 Hz", 22050, Plain("0123"), "0123"},
    {"44100 Hz", 44100, Plain("D42C"), "D42C"},
    {"48000 Hz is not analysed", 48000, Plain("123"), ""},
    {"twist +4 dB", 8000, Tweaked("369#", [](DtmfOptions& o) { o.twistDb = 4; }), "369#"},
    {"twist -6 dB", 8000, Tweaked("147*", [](DtmfOptions& o) { o.twistDb = -6; }), "147*"},
    {"tones 1.5 % high", 8000, Tweaked("A123C", [](DtmfOptions& o) { o.frequencyOffsetPercent = 1.5; }), "A123C"},
    {"tones 1.5 % low", 8000, Tweaked("A123C", [](DtmfOptions& o) { o.frequencyOffsetPercent = -1.5; }), "A123C"},
    {"quiet digits at -30 dBFS", 8000, Tweaked("0123", [](DtmfOptions& o) { o.levelDbfs = -30; }), "0123"},
    {"digits under noise at 20 dB SNR", 8000,
     [](int32_t r) {
         Samples s = Dialled("A5551234C", At(r));
         signals::AddNoise(s, 20, 5);
         return s;
     },
     "A5551234C"},
    {"a third tone in the window makes no digit", 8000,
     [](int32_t r) {
         Samples s = signals::Silence(r, 0.2);
         Append(s, signals::Mix(DtmfDigits("5", At(r)), signals::Tone(r, 852, -10, 0.07)));
         Append(s, signals::Silence(r, 0.2));
         return s;
     },
     ""},
    {"a single tone makes no digit", 8000, [](int32_t r) { return signals::Tone(r, 941, -10, 0.5); }, ""},
    {"silence", 8000, [](int32_t r) { return signals::Silence(r, 2); }, ""},
    {"shorter than one stride", 8000,
     [](int32_t r) {
         Samples s = DtmfDigits("5", At(r));
         s.resize(105);
         return s;
     },
     ""},
    {"digits dialled, then talk", 8000,
     [](int32_t r) {
         Samples s = Dialled("0123", At(r));
         Append(s, signals::SpeechLike(r, 20, -12, 21));
         return s;
     },
     "0123"},
    {"a digit right at the end of the recording", 8000,
     [](int32_t r) {
         Samples s = signals::Silence(r, 0.3);
         Append(s, DtmfDigits("8", At(r, [](DtmfOptions& o) { o.pauseMs = 0; })));
         return s;
     },
     "8"},
};

INSTANTIATE_TEST_SUITE_P(Sequences, DtmfLoopbackTest, ::testing::ValuesIn(kDetectCases));

// What a key gives must pass at every supported rate; what speech gives must not.
struct ValidationCase {
    const char* behaviour;
    std::function<Samples(int32_t rate, double leadMs)> make;
    std::string expected;
};

Samples Keyed(int32_t rate, double leadMs, const std::string& digits, const std::function<void(DtmfOptions&)>& tweak) {
    Samples s = signals::Silence(rate, leadMs / 1000.0);
    Append(s, DtmfDigits(digits, At(rate, tweak)));
    Append(s, signals::Silence(rate, 0.3));
    return s;
}

const ValidationCase kValidationCases[] = {
    {"40 ms tones with 40 ms gaps",
     [](int32_t r, double lead) { return Keyed(r, lead, "2580", [](DtmfOptions& o) { o.toneMs = o.pauseMs = 40; }); },
     "2580"},
    {"tones 1.5 % + 2 Hz high",
     [](int32_t r, double lead) {
         return Keyed(r, lead, "147", [](DtmfOptions& o) { o.frequencyOffsetPercent = 1.5 + 2.0 / 6.97; });
     },
     "147"},
    {"tones 1.5 % + 2 Hz low",
     [](int32_t r, double lead) {
         return Keyed(r, lead, "147", [](DtmfOptions& o) { o.frequencyOffsetPercent = -1.5 - 2.0 / 6.97; });
     },
     "147"},
    {"twist +7 dB", [](int32_t r, double lead) { return Keyed(r, lead, "369", [](DtmfOptions& o) { o.twistDb = 7; }); },
     "369"},
    {"twist -7 dB",
     [](int32_t r, double lead) { return Keyed(r, lead, "369", [](DtmfOptions& o) { o.twistDb = -7; }); }, "369"},
    {"twist -8 dB on a quiet line",
     [](int32_t r, double lead) { return Keyed(r, lead, "369", [](DtmfOptions& o) { o.twistDb = -8; }); }, "369"},
    {"tones 3.5 % off are refused",
     [](int32_t r, double lead) { return Keyed(r, lead, "5", [](DtmfOptions& o) { o.frequencyOffsetPercent = 3.5; }); },
     ""},
    {"tones 3.5 % low are refused",
     [](int32_t r, double lead) {
         return Keyed(r, lead, "5", [](DtmfOptions& o) { o.frequencyOffsetPercent = -3.5; });
     },
     ""},
    {"twist +10 dB is refused",
     [](int32_t r, double lead) { return Keyed(r, lead, "369", [](DtmfOptions& o) { o.twistDb = 10; }); }, ""},
    {"twist -10 dB is refused",
     [](int32_t r, double lead) { return Keyed(r, lead, "369", [](DtmfOptions& o) { o.twistDb = -10; }); }, ""},
    {"a 20 ms tone pair is too short",
     [](int32_t r, double lead) { return Keyed(r, lead, "9", [](DtmfOptions& o) { o.toneMs = 20; }); }, ""},
    {"a pair with a strong second harmonic of its column tone is speech",
     [](int32_t r, double lead) {
         Samples s = Keyed(r, lead, "0", {});
         const Samples harmonic = signals::Tone(r, 2 * 1336, -14, lead / 1000.0 + 0.07);
         return signals::Mix(s, harmonic);
     },
     ""},
};

std::ostream& operator<<(std::ostream& out, const ValidationCase& c) { return out << c.behaviour; }

class DtmfValidationTest : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(DtmfValidationTest, AtEveryRateAndAlignment) {
    const ValidationCase& c = GetParam();
    for (const int32_t rate : {8000, 11025, 16000, 22050, 32000, 44100}) {
        // Leads one stride apart in eighths move the tone across the window grid.
        for (int eighth = 0; eighth < 8; ++eighth) {
            const double leadMs = 300.0 + eighth * 13.25 / 8 * (rate % 8000 == 0 ? 1.0 : 1.43);
            const Samples s = c.make(rate, leadMs);
            EXPECT_EQ(DetectDtmfDigits(s.data(), s.size(), rate), c.expected)
                << rate << " Hz, lead " << leadMs << " ms";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, DtmfValidationTest, ::testing::ValuesIn(kValidationCases));

// Talk-off: four minutes of talk per rate; without the power rule these give a stray digit
// every minute or so.
class DtmfTalkOffTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(DtmfTalkOffTest, TalkGivesAtMostOneStrayDigitInFourMinutes) {
    const int32_t rate = GetParam();
    std::string stray;
    size_t strayDigits = 0;
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        for (const double level : {-25.0, -12.0}) {
            const Samples s = signals::SpeechLike(rate, 20, level, seed);
            const std::string digits = DetectDtmfDigits(s.data(), s.size(), rate);
            strayDigits += digits.size();
            if (!digits.empty())
                stray += " seed " + std::to_string(seed) + " at " + std::to_string(level) + " dBFS: " + digits;
        }
    }
    EXPECT_LE(strayDigits, 1u) << stray;
}

INSTANTIATE_TEST_SUITE_P(Rates, DtmfTalkOffTest, ::testing::Values(8000, 16000, 11025));

TEST(DtmfDetectorTest, BlockSizeDoesNotChangeTheDigits) {
    Samples s = signals::SpeechLike(8000, 3, -20, 4);
    Append(s, Dialled("A5551234C", At(8000)));
    Append(s, signals::Silence(8000, 9));  // crosses chunk boundaries
    Append(s, Dialled("B00C", At(8000)));
    const std::string whole = DetectDtmfDigits(s.data(), s.size(), 8000);
    EXPECT_EQ(whole, "A5551234CB00C");
    for (const size_t block : {1u, 106u, 1000u, 65536u, 70000u}) {
        DtmfDetector detector(8000);
        for (size_t i = 0; i < s.size(); i += block) detector.Feed(s.data() + i, std::min(block, s.size() - i));
        EXPECT_EQ(detector.Finish(), whole) << "block " << block;
    }
}

// Talk, digits of every key at every rate, noise: the fast paths must decide every window alike.
TEST(DtmfDetectorTest, FastPathsDecideEveryWindowAsThePortableOne) {
    for (const int32_t rate : {8000, 16000, 11025, 44100}) {
        Samples s = signals::SpeechLike(rate, 4, -20, 9);
        Append(s, Dialled("0123456789*#ABCD", At(rate, [](DtmfOptions& o) { o.twistDb = -3; })));
        signals::AddNoise(s, 25, 3);
        DtmfDetector fast(rate);
        DtmfDetector portable(rate, DtmfDetector::Kernel::kPortable);
        DtmfFilterSet set{};
        int32_t step = 0;
        ASSERT_TRUE(SelectDtmfFilterSet(rate, &set, &step));
        const size_t span = static_cast<size_t>(set.maxWindow) * step;
        size_t digitWindows = 0;
        for (size_t pos = 0; pos + 2 * span <= s.size(); pos += span / 2) {
            const char single = portable.AnalyseWindow(&s[pos]);
            char first = 0, second = 0;
            fast.AnalyseWindowPair(&s[pos], &s[pos + span], &first, &second);
            ASSERT_EQ(first, single) << rate << " Hz, window at " << pos;
            ASSERT_EQ(second, portable.AnalyseWindow(&s[pos + span])) << rate << " Hz, window at " << pos + span;
            ASSERT_EQ(fast.AnalyseWindow(&s[pos]), single) << rate << " Hz, window at " << pos;
            if (single != 0) ++digitWindows;
        }
        EXPECT_GT(digitWindows, 16u * 3) << rate;
        EXPECT_EQ(fast.Finish(), portable.Finish());
    }
}

TEST(DtmfDetectorTest, ScansTheWholeTempFile) {
    TempDir dir;
    Samples s = signals::Silence(8000, 30);
    Append(s, Dialled("0123", At(8000)));
    const std::string path = dir.File("wave1.out");
    ASSERT_TRUE(signals::WriteSampleFile(path, s));
    EXPECT_EQ(DetectDtmfDigits(path, 8000), "0123");
    EXPECT_EQ(DetectDtmfDigits(path, 48000), "");
    EXPECT_EQ(DetectDtmfDigits(dir.File("missing.out"), 8000), "");
    EXPECT_EQ(DetectDtmfDigits(dir.path(), 8000), "");  // opens, but cannot be read
}

struct PairCase {
    std::array<bool, 8> flags;
    char expected;
};

TEST(DtmfDetectorTest, MapsExactlyOneRowAndOneColumnToADigit) {
    const PairCase cases[] = {
        {{1, 0, 0, 0, 1, 0, 0, 0}, '1'}, {{0, 1, 0, 0, 0, 1, 0, 0}, '5'}, {{0, 0, 1, 0, 0, 0, 0, 1}, 'C'},
        {{0, 0, 0, 1, 1, 0, 0, 0}, '*'}, {{0, 0, 0, 1, 0, 0, 1, 0}, '#'}, {{0, 0, 0, 1, 0, 0, 0, 1}, 'D'},
        {{0, 0, 0, 0, 0, 0, 0, 0}, 0},   {{1, 1, 0, 0, 1, 0, 0, 0}, 0},   {{1, 0, 0, 0, 1, 1, 0, 0}, 0},
        {{1, 1, 0, 0, 0, 0, 0, 0}, 0},   {{0, 0, 0, 0, 1, 1, 0, 0}, 0},   {{1, 0, 0, 0, 0, 0, 0, 0}, 0},
    };
    for (const PairCase& c : cases) EXPECT_EQ(MapDtmfPair(c.flags), c.expected);
}

struct ParseCase {
    const char* digits;
    const char* number;
    bool framed;
};

TEST(DtmfDetectorTest, ParsesToneCallerIdFrames) {
    const ParseCase cases[] = {
        {"A5551234C", "5551234", true}, {"D5551234C", "5551234", true},
        {"A5551234", "5551234", true},  {"A55C12", "55", true},
        {"B10C", "Private", true},      {"B00C", "No number", true},
        {"B42C", "42", true},           {"B10", "Private", true},
        {"**123", "123", true},         {"***", "*", true},
        {"0123", "0123", false},        {"123", "123", false},
        {"C12", "C12", false},          {"*12", "*12", false},
        {"#A1C", "#A1C", false},
    };
    for (const ParseCase& c : cases) {
        const ToneClip clip = ParseToneClip(c.digits);
        EXPECT_EQ(clip.number, c.number) << c.digits;
        EXPECT_EQ(clip.framed, c.framed) << c.digits;
    }
}

}  // namespace
}  // namespace pell

namespace pell {
namespace {

constexpr int32_t kAllRates[] = {8000, 11025, 16000, 22050, 32000, 44100};
constexpr double kRowHz[4] = {697, 770, 852, 941};
constexpr double kColumnHz[4] = {1209, 1336, 1477, 1633};
const char kKeys[4][5] = {"123A", "456B", "789C", "*0#D"};

// One tone of a key moved on its own: what a receiver must take and what it must refuse.
struct ToneOffsetCase {
    const char* behaviour;
    std::function<double(double hz)> offsetPercent;  // of the tone moved
    bool accepted;
};

std::ostream& operator<<(std::ostream& out, const ToneOffsetCase& c) { return out << c.behaviour; }

class DtmfToneToleranceTest : public ::testing::TestWithParam<ToneOffsetCase> {};

// One key at two alignments with its row or column tone moved by offset percent.
void ExpectKeyWithToneMoved(int32_t rate, int row, int column, bool moveRow, double offset, bool accepted) {
    const std::string key(1, kKeys[row][column]);
    for (const double lead : {300.0, 309.9}) {
        const Samples s = Keyed(
            rate, lead, key, [&](DtmfOptions& o) { (moveRow ? o.rowOffsetPercent : o.columnOffsetPercent) = offset; });
        EXPECT_EQ(DetectDtmfDigits(s.data(), s.size(), rate), accepted ? key : "")
            << rate << " Hz, key " << key << (moveRow ? " row" : " column") << " tone " << offset << " %, lead " << lead
            << " ms";
    }
}

TEST_P(DtmfToneToleranceTest, EachToneOnItsOwnAtEveryRate) {
    const ToneOffsetCase& c = GetParam();
    for (const int32_t rate : kAllRates) {
        // Every key moves its column tone; the diagonal keys move each row tone too.
        for (int row = 0; row < 4; ++row) {
            ExpectKeyWithToneMoved(rate, row, row, true, c.offsetPercent(kRowHz[row]), c.accepted);
            for (int column = 0; column < 4; ++column) {
                ExpectKeyWithToneMoved(rate, row, column, false, c.offsetPercent(kColumnHz[column]), c.accepted);
            }
        }
    }
}

const ToneOffsetCase kToneOffsetCases[] = {
    {"1.5 % + 2 Hz high is taken", [](double hz) { return 1.5 + 200.0 / hz; }, true},
    {"1.5 % + 2 Hz low is taken", [](double hz) { return -1.5 - 200.0 / hz; }, true},
    {"3.5 % high is refused", [](double) { return 3.5; }, false},
    {"3.5 % low is refused", [](double) { return -3.5; }, false},
    {"4 % high is refused", [](double) { return 4.0; }, false},
    {"4 % low is refused", [](double) { return -4.0; }, false},
};

INSTANTIATE_TEST_SUITE_P(Offsets, DtmfToneToleranceTest, ::testing::ValuesIn(kToneOffsetCases));

// A hybrid's echo must not fill the gaps between digits: 50 ms tones, 40 ms gaps.
class DtmfEchoTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(DtmfEchoTest, EchoesOf1To25MsUpToMinus12DbKeepTheGaps) {
    const int32_t rate = GetParam();
    for (const double delayMs : {1.0, 5.0, 10.0, 15.0, 20.0, 25.0}) {
        for (const double levelDb : {-30.0, -24.0, -18.0, -12.0}) {
            Samples s = Keyed(rate, 300, "A5551234C", [](DtmfOptions& o) {
                o.toneMs = 50;
                o.pauseMs = 40;
                o.levelDbfs = -15;
            });
            signals::AddEcho(s, rate, delayMs, levelDb);
            EXPECT_EQ(DetectDtmfDigits(s.data(), s.size(), rate), "A5551234C")
                << rate << " Hz, echo " << delayMs << " ms at " << levelDb << " dB";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, DtmfEchoTest, ::testing::ValuesIn(kAllRates));

}  // namespace
}  // namespace pell

namespace pell {
namespace {

// Two notes that make a key's pair for a moment, with other notes before and after, as music
// gives them: a third tone hides the pair before `aloneFromMs` and after `aloneToMs`.
Samples NotesPassingForAKey(int32_t rate, double leadMs, double aloneFromMs, double aloneToMs, double tailMs) {
    auto part = [rate](double hz, double fromMs, double toMs) {
        Samples s = signals::Silence(rate, fromMs / 1000);
        Append(s, signals::Tone(rate, hz, -12, (toMs - fromMs) / 1000));
        return s;
    };
    Samples s = signals::Mix(part(852, leadMs, aloneToMs + tailMs), part(1336, leadMs, aloneToMs + tailMs));
    s = signals::Mix(s, part(770, leadMs, aloneFromMs));             // another row tone: no key yet
    s = signals::Mix(s, part(1477, aloneToMs, aloneToMs + tailMs));  // another column tone
    Append(s, signals::Silence(rate, 0.3));
    return s;
}

struct NoteCase {
    const char* behaviour;
    double leadMs, aloneFromMs, aloneToMs, tailMs;  // see NotesPassingForAKey
    std::string expected;
};

std::ostream& operator<<(std::ostream& out, const NoteCase& c) { return out << c.behaviour; }

class DtmfNotesTest : public ::testing::TestWithParam<NoteCase> {};

TEST_P(DtmfNotesTest, AKeyIsSwitchedOnOrOffBesideIt) {
    const NoteCase& c = GetParam();
    for (const int32_t rate : kAllRates) {
        for (const double shiftMs : {0.0, 4.9}) {
            const Samples s =
                NotesPassingForAKey(rate, c.leadMs + shiftMs, c.aloneFromMs + shiftMs, c.aloneToMs + shiftMs, c.tailMs);
            EXPECT_EQ(DetectDtmfDigits(s.data(), s.size(), rate), c.expected)
                << rate << " Hz, shifted " << shiftMs << " ms";
        }
    }
}

const NoteCase kNoteCases[] = {
    {"two notes sounding on under other notes before and after are no key", 300, 600, 690, 300, ""},
    {"a key whose tones go on under another note is taken", 300, 300, 390, 300, "8"},
    {"a key whose tones sounded under another note before it is taken", 300, 600, 690, 0, "8"},
};

INSTANTIATE_TEST_SUITE_P(Music, DtmfNotesTest, ::testing::ValuesIn(kNoteCases));

}  // namespace
}  // namespace pell
