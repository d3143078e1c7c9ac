#include "recorder/core/callerid/identify_caller.h"

#include <gtest/gtest.h>

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

Samples Dtmf(const std::string& digits) {
    Samples s = signals::Silence(8000, 0.4);
    Append(s, signals::DtmfDigits(digits));
    Append(s, signals::Silence(8000, 0.4));
    return s;
}

Samples Then(Samples first, const Samples& second) {
    Append(first, second);
    return first;
}

struct IdentifyCase {
    const char* behaviour;
    int32_t clip;
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
    {"no identification: nothing is decoded", 0, [] { return Fsk("5551234"); }, "", 'U'},
    {"tone: framed number", 1, [] { return Dtmf("A5551234C"); }, "5551234", 'I'},
    {"tone: withheld code", 1, [] { return Dtmf("B10C"); }, "Private", 'I'},
    {"tone: unavailable code", 1, [] { return Dtmf("B00C"); }, "No number", 'I'},
    {"tone: two stars", 1, [] { return Dtmf("**123"); }, "123", 'I'},
    {"tone: two stars alone are kept as they are", 1, [] { return Dtmf("**"); }, "**", 'I'},
    {"tone: two digits are the caller's", 1, [] { return Dtmf("12"); }, "12", 'I'},
    {"tone: unframed digits were dialled", 1, [] { return Dtmf("0123"); }, "0123", 'O'},
    {"tone: a frame around key letters names no caller", 1, [] { return Dtmf("A5B5C"); }, "", 'I'},
    {"tone: a B code that is not a number names no caller", 1, [] { return Dtmf("BD1C"); }, "", 'I'},
    {"tone: nothing found", 1, [] { return signals::Silence(8000, 2); }, "", 'I'},
    {"tone setting ignores an FSK burst", 1, [] { return Fsk("5551234"); }, "", 'I'},
    {"FSK Europe: number", 2, [] { return Fsk("5551234"); }, "5551234", 'I'},
    {"FSK US: number", 3, [] { return Fsk("5551234", signals::kBell202Tones); }, "5551234", 'I'},
    {"FSK with talk after it", 2, [] { return Then(Fsk("5551234"), signals::SpeechLike(8000, 10, -15, 2)); }, "5551234",
     'I'},
    {"FSK finds nothing: DTMF kept raw as dialled", 2, [] { return Dtmf("A123C"); }, "A123C", 'O'},
    {"FSK finds nothing: two DTMF digits", 2, [] { return Dtmf("42"); }, "42", 'I'},
    {"FSK finds nothing and no digits", 2, [] { return signals::Silence(8000, 3); }, "", 'I'},
    {"FSK number wins over dialled digits", 2, [] { return Then(Fsk("5551234"), Dtmf("0123")); }, "5551234", 'I'},
    {"withheld FSK number falls back to the dialled digits", 2,
     [] {
         Samples s = signals::FskBurst(signals::CallSetupMessage({{0x04, "P"}}));
         Append(s, Dtmf("0123"));
         return s;
     },
     "0123", 'O'},
    {"clip 7 behaves as FSK", 7, [] { return Fsk("5551234", signals::kBell202Tones); }, "5551234", 'I'},
    {"negative clip behaves as FSK", -1, [] { return Dtmf("A123C"); }, "A123C", 'O'},
};

INSTANTIATE_TEST_SUITE_P(Calls, IdentifyCallerTest, ::testing::ValuesIn(kIdentifyCases));

TEST(IdentifyCallerFileTest, MissingTempFileNamesNoOne) {
    TempDir dir;
    const std::string missing = dir.File("wave1.out");
    const struct {
        int32_t clip;
        char mark;
    } cases[] = {{0, 'U'}, {1, 'I'}, {2, 'I'}, {3, 'I'}};
    for (const auto& c : cases) {
        const CallerIdentity id = IdentifyCaller(missing, c.clip, 8000, BuildToneTable(c.clip));
        EXPECT_EQ(id.number, "") << c.clip;
        EXPECT_EQ(id.directionMark, c.mark) << c.clip;
    }
}

}  // namespace
}  // namespace pell
