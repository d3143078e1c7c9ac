#include "tools/pell-callerid/callerid_tool.h"

#include "common/core/escape_text.h"

#include <gtest/gtest.h>

#include <sstream>

#include "testsupport/signals/signals.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using signals::Append;
using signals::Samples;

class CallerIdToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        Samples fsk = signals::Silence(8000, 0.3);
        Append(fsk, signals::FskBurst(signals::CallSetupMessage({{0x02, "5551234"}})));
        Append(fsk, signals::Silence(8000, 0.3));
        Append(fsk, signals::DtmfDigits("0123"));
        ASSERT_TRUE(signals::WriteSampleFile(dir_.File("fsk.out"), fsk));

        Samples dtmf = signals::Silence(16000, 0.3);
        signals::DtmfOptions o;
        o.sampleRate = 16000;
        Append(dtmf, signals::DtmfDigits("A5551234C", o));
        ASSERT_TRUE(signals::WriteSampleFile(dir_.File("dtmf16k.out"), dtmf));

        Samples odd = signals::FskBurst(signals::CallSetupMessage({{0x02, std::string("5\t5\n\\", 5)}}));
        ASSERT_TRUE(signals::WriteSampleFile(dir_.File("odd.out"), odd));
    }

    int Run(std::vector<std::string> args) {
        for (std::string& a : args) {
            if (a.rfind("@", 0) == 0) a = dir_.File(a.substr(1));
        }
        out_.str("");
        err_.str("");
        return RunCallerIdTool(args, out_, err_);
    }

    TempDir dir_;
    std::ostringstream out_, err_;
};

TEST_F(CallerIdToolTest, PrintsMarkNumberAndBothRawResults) {
    const struct {
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {{"--rate", "8000", "--clip", "2", "@fsk.out"}, "I\t5551234\t5551234\t0123\n"},
        {{"@fsk.out"}, "I\t5551234\t5551234\t0123\n"},
        {{"--clip", "1", "@fsk.out"}, "O\t0123\t5551234\t0123\n"},
        {{"--clip", "0", "@fsk.out"}, "U\t\t5551234\t0123\n"},
        {{"--clip", "3", "@fsk.out"}, "I\t5551234\t5551234\t0123\n"},
        {{"--rate", "16000", "--clip", "1", "@dtmf16k.out"}, "I\t5551234\t\tA5551234C\n"},
        {{"--rate", "16000", "--clip", "2", "@dtmf16k.out"}, "O\tA5551234C\t\tA5551234C\n"},
        {{"--rate", "16000", "--clip", "4", "@dtmf16k.out"}, "I\t5551234\t\tA5551234C\n"},
        {{"--clip", "4", "@fsk.out"}, "I\t5551234\t5551234\t0123\n"},
        {{"--rate", "48000", "--clip", "1", "@dtmf16k.out"}, "I\t\t\t\n"},
        {{"@odd.out"}, "I\t\t\t\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.args), 0) << err_.str();
        EXPECT_EQ(out_.str(), c.line) << ::testing::PrintToString(c.args);
        EXPECT_EQ(err_.str(), "");
    }
}

TEST_F(CallerIdToolTest, RejectsBadArgumentsAndUnreadableFiles) {
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{}, "no FILE"},
        {{"--rate"}, "--rate needs a value"},
        {{"--rate", "abc", "@fsk.out"}, "--rate takes a positive integer"},
        {{"--rate", "0", "@fsk.out"}, "--rate takes a positive integer"},
        {{"--rate", "-8000", "@fsk.out"}, "--rate takes a positive integer"},
        {{"--rate", "8000x", "@fsk.out"}, "--rate takes a positive integer"},
        {{"--rate", "7999", "@fsk.out"}, "--rate must lie between 8000 and 192000 Hz, not 7999"},
        {{"--rate", "192001", "@fsk.out"}, "--rate must lie between 8000 and 192000 Hz"},
        {{"--rate", "2147480000", "@fsk.out"}, "--rate must lie between 8000 and 192000 Hz"},
        {{"--clip", "two", "@fsk.out"}, "--clip takes an integer"},
        {{"--clip", "99999999999", "@fsk.out"}, "--clip takes an integer"},
        {{"--verbose", "@fsk.out"}, "unknown option"},
        {{"@fsk.out", "@dtmf16k.out"}, "one FILE only"},
        {{"@missing.out"}, "cannot read"},
        {{"@"}, "is a directory"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.args), 1) << ::testing::PrintToString(c.args);
        EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
        EXPECT_EQ(out_.str(), "");
    }
}

TEST(CallerIdFieldTest, EscapesEveryByteOutsidePrintableAscii) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"5551234", "5551234"},
        {" ~*#+", " ~*#+"},
        {std::string("5\t5\n\\", 5), "5\\x095\\x0A\\x5C"},
        {std::string("\0\x1F\x7F", 3), "\\x00\\x1F\\x7F"},
        {"\x80\xC3\xA9\xFF", "\\x80\\xC3\\xA9\\xFF"},
    };
    for (const auto& c : cases) EXPECT_EQ(EscapeUnprintable(c.in), c.out) << c.out;
}

TEST_F(CallerIdToolTest, HelpExplainsTheOptions) {
    EXPECT_EQ(Run({"--help"}), 0);
    for (const char* word : {"--rate HZ", "--clip N", "FILE", "tab-separated"}) {
        EXPECT_NE(out_.str().find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace pell
