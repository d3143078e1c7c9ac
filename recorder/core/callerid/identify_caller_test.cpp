#include "recorder/core/callerid/identify_caller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "testsupport/signals/signals.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using signals::Append;
using signals::Samples;

Samples Fsk(const std::string& number, signals::FskTones tones = signals::kV23Tones) {
    signals::FskBurstOptions o;
    o.tones = tones;
    Samples s = signals::Silence(8000, 0.4);
    Append(s, signals::FskBurst(signals::CallSetupMessage({{0x01, "12071530"}, {0x02, number}}), o));
    Append(s, signals::Silence(8000, 1.0));
    return s;
}

Samples Dtmf(const std::string& digits, const signals::DtmfOptions& options = {}) {
    Samples s = signals::Silence(8000, 0.4);
    Append(s, signals::DtmfDigits(digits, options));
    Append(s, signals::Silence(8000, 0.4));
    return s;
}

signals::DtmfOptions Twisted(double twistDb) {
    signals::DtmfOptions o;
    o.twistDb = twistDb;
    return o;
}

// A VoIP frame lost inside the tone of the key at index: 30 ms of silence in its middle.
Samples FrameLostIn(const std::string& digits, size_t index, const signals::DtmfOptions& options = {}) {
    Samples s = Dtmf(digits, options);
    const auto start = static_cast<size_t>(8000 * (0.4 + 0.14 * static_cast<double>(index) + 0.02));
    std::fill(s.begin() + static_cast<std::ptrdiff_t>(start), s.begin() + static_cast<std::ptrdiff_t>(start + 240), 0);
    return s;
}

Samples Talk(double seconds, uint32_t seed) { return signals::SpeechLike(8000, seconds, -15, seed); }

Samples Then(Samples first, const Samples& second) {
    Append(first, second);
    return first;
}

struct IdentifyCase {
    const char* behaviour;
    ClipMode clip;
    std::function<Samples()> make;
    std::string number;
    char mark;
};

std::ostream& operator<<(std::ostream& out, const IdentifyCase& c) { return out << c.behaviour; }

class IdentifyCallerTest : public ::testing::TestWithParam<IdentifyCase> {
protected:
    TempDir dir_;
};

TEST_P(IdentifyCallerTest, NamesTheCallerByTheClipSetting) {
    const IdentifyCase& c = GetParam();
    const Samples samples = c.make();
    const ToneTable tones = BuildToneTable(c.clip);
    const CallerIdentity fromMemory = IdentifyCaller(samples.data(), samples.size(), c.clip, 8000, tones);
    EXPECT_EQ(fromMemory.number, c.number);
    EXPECT_EQ(fromMemory.directionMark, c.mark);

    const std::string path = dir_.File("wave2.out");
    ASSERT_TRUE(signals::WriteSampleFile(path, samples));
    const CallerIdentity fromFile = IdentifyCaller(path, c.clip, 8000, tones);
    EXPECT_EQ(fromFile.number, c.number);
    EXPECT_EQ(fromFile.directionMark, c.mark);
}

const IdentifyCase kIdentifyCases[] = {
    {"no identification: nothing is decoded", ClipMode::kNone, [] { return Fsk("5551234"); }, "", 'U'},
    {"tone: framed number", ClipMode::kTone, [] { return Dtmf("A5551234C"); }, "5551234", 'I'},
    {"tone: withheld code", ClipMode::kTone, [] { return Dtmf("B10C"); }, "Private", 'I'},
    {"tone: unavailable code", ClipMode::kTone, [] { return Dtmf("B00C"); }, "No number", 'I'},
    {"tone: two stars", ClipMode::kTone, [] { return Dtmf("**123"); }, "123", 'I'},
    {"tone: two stars alone are no caller", ClipMode::kTone, [] { return Dtmf("**"); }, "", 'U'},
    {"tone: one or two digits alone are strays, no caller", ClipMode::kTone, [] { return Dtmf("12"); }, "", 'U'},
    {"tone: unframed digits were dialled", ClipMode::kTone, [] { return Dtmf("0123"); }, "0123", 'O'},
    {"tone: a frame around key letters names no caller", ClipMode::kTone, [] { return Dtmf("A5B5C"); }, "", 'U'},
    {"tone: a B code that is not a number names no caller", ClipMode::kTone, [] { return Dtmf("BD1C"); }, "", 'U'},
    {"tone: a frame without its end names no caller", ClipMode::kTone, [] { return Dtmf("A5551234"); }, "", 'U'},
    {"tone: a frame with a key lost to a dropped VoIP frame names no caller", ClipMode::kTone,
     [] { return FrameLostIn("A5551234C", 4); }, "", 'U'},
    {"tone: the same loss at -8 dB twist names no caller", ClipMode::kTone,
     [] { return FrameLostIn("A5551234C", 6, Twisted(-8)); }, "", 'U'},
    {"tone: the same loss at +8 dB twist names no caller", ClipMode::kTone,
     [] { return FrameLostIn("A5551234C", 2, Twisted(8)); }, "", 'U'},
    {"tone: a frame at -6 dB twist is the caller", ClipMode::kTone, [] { return Dtmf("A5551234C", Twisted(-6)); },
     "5551234", 'I'},
    {"tone: a frame at -8 dB twist, its keys at the limit, names no caller", ClipMode::kTone,
     [] { return Dtmf("A5551234C", Twisted(-8)); }, "", 'U'},
    {"tone: dialled digits show where a key was lost", ClipMode::kTone, [] { return FrameLostIn("01234", 2); }, "01?34",
     'O'},
    {"tone: the caller's frame, then talk", ClipMode::kTone, [] { return Then(Dtmf("D5551234C"), Talk(20, 4)); },
     "5551234", 'I'},
    {"tone: nothing found", ClipMode::kTone, [] { return signals::Silence(8000, 2); }, "", 'I'},
    {"tone setting ignores an FSK burst", ClipMode::kTone, [] { return Fsk("5551234"); }, "", 'I'},
    {"FSK Europe: number", ClipMode::kFskEurope, [] { return Fsk("5551234"); }, "5551234", 'I'},
    {"FSK US: number", ClipMode::kFskUs, [] { return Fsk("5551234", signals::kBell202Tones); }, "5551234", 'I'},
    {"FSK with talk after it", ClipMode::kFskEurope,
     [] { return Then(Fsk("5551234"), signals::SpeechLike(8000, 10, -15, 2)); }, "5551234", 'I'},
    {"FSK finds nothing: DTMF kept raw as dialled", ClipMode::kFskEurope, [] { return Dtmf("A123C"); }, "A123C", 'O'},
    {"FSK finds nothing: two stray digits are no caller", ClipMode::kFskEurope, [] { return Dtmf("42"); }, "", 'U'},
    {"FSK finds nothing: a stray digit in the talk is no caller", ClipMode::kFskEurope,
     [] { return Then(Then(Talk(6, 3), Dtmf("4")), Talk(6, 5)); }, "", 'U'},
    {"FSK finds nothing: dialled digits of a plausible length", ClipMode::kFskEurope,
     [] { return Then(Dtmf("0123"), Talk(5, 6)); }, "0123", 'O'},
    {"FSK finds nothing: a damaged tone frame is no caller", ClipMode::kFskEurope,
     [] { return FrameLostIn("A5551234C", 3); }, "", 'U'},
    {"FSK finds nothing and no digits", ClipMode::kFskEurope, [] { return signals::Silence(8000, 3); }, "", 'I'},
    {"FSK number wins over dialled digits", ClipMode::kFskEurope, [] { return Then(Fsk("5551234"), Dtmf("0123")); },
     "5551234", 'I'},
    {"withheld FSK number falls back to the dialled digits", ClipMode::kFskEurope,
     [] {
         Samples s = signals::FskBurst(signals::CallSetupMessage({{0x04, "P"}}));
         Append(s, Dtmf("0123"));
         return s;
     },
     "0123", 'O'},
    {"automatic: a V.23 burst is the caller", ClipMode::kAutomatic, [] { return Fsk("5551234"); }, "5551234", 'I'},
    {"automatic: a Bell 202 burst is the caller", ClipMode::kAutomatic,
     [] { return Fsk("5551234", signals::kBell202Tones); }, "5551234", 'I'},
    {"automatic: a Bell 202 burst, then talk", ClipMode::kAutomatic,
     [] { return Then(Fsk("5551234", signals::kBell202Tones), Talk(10, 7)); }, "5551234", 'I'},
    {"automatic: an FSK number wins over dialled digits", ClipMode::kAutomatic,
     [] { return Then(Fsk("5551234", signals::kBell202Tones), Dtmf("0123")); }, "5551234", 'I'},
    {"automatic: no FSK, a tone frame is the caller", ClipMode::kAutomatic, [] { return Dtmf("A5551234C"); }, "5551234",
     'I'},
    {"automatic: no FSK, a withheld tone code", ClipMode::kAutomatic, [] { return Dtmf("B10C"); }, "Private", 'I'},
    {"automatic: no FSK, unframed digits were dialled", ClipMode::kAutomatic,
     [] { return Then(Dtmf("0123"), Talk(5, 8)); }, "0123", 'O'},
    {"automatic: a damaged tone frame names no caller", ClipMode::kAutomatic,
     [] { return FrameLostIn("A5551234C", 3); }, "", 'U'},
    {"automatic: stray digits name no caller", ClipMode::kAutomatic, [] { return Dtmf("42"); }, "", 'U'},
    {"automatic: talk alone names no caller", ClipMode::kAutomatic, [] { return Talk(8, 9); }, "", 'I'},
    {"clip 7 behaves as FSK", static_cast<ClipMode>(7), [] { return Fsk("5551234", signals::kBell202Tones); },
     "5551234", 'I'},
    {"negative clip behaves as FSK", static_cast<ClipMode>(-1), [] { return Dtmf("A123C"); }, "A123C", 'O'},
};

INSTANTIATE_TEST_SUITE_P(Calls, IdentifyCallerTest, ::testing::ValuesIn(kIdentifyCases));

TEST(IdentifyCallerFileTest, MissingTempFileNamesNoOne) {
    TempDir dir;
    const std::string missing = dir.File("wave1.out");
    const struct {
        ClipMode clip;
        char mark;
    } cases[] = {{ClipMode::kNone, 'U'},
                 {ClipMode::kTone, 'I'},
                 {ClipMode::kFskEurope, 'I'},
                 {ClipMode::kFskUs, 'I'},
                 {ClipMode::kAutomatic, 'I'}};
    for (const auto& c : cases) {
        const CallerIdentity id = IdentifyCaller(missing, c.clip, 8000, BuildToneTable(c.clip));
        EXPECT_EQ(id.number, "") << static_cast<int>(c.clip);
        EXPECT_EQ(id.directionMark, c.mark) << static_cast<int>(c.clip);
    }
}

}  // namespace
}  // namespace pell
