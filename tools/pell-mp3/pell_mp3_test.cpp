#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "player/engine/testing/mp3_fixtures.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

class PellMp3Test : public ::testing::Test {
protected:
    std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    ToolRun Tool(const std::string& args) {
        const std::string command =
            std::string(PELL_MP3_TOOL) + " " + args + " >" + dir_.File("stdout") + " 2>" + dir_.File("stderr");
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(dir_.File("stdout")), Read(dir_.File("stderr"))};
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        dir_.Write(name, bytes);
        return dir_.File(name);
    }
    TempDir dir_;
};

TEST_F(PellMp3Test, InfoPrintsTheMeasurementOrTheEnginesError) {
    struct Case {
        std::string bytes;
        int exitCode;
        const char* out;
        const char* err;
    } cases[] = {
        {testing::SilentFrames(100, 25, 3, 1, 2, true) + testing::Id3v1Tag(), 0,
         "length=7 frames=100 rate=8000 channels=1 layer=3 vbr=0 xing=0 audio_start=0 audio_bytes=7200\n", ""},
        {testing::Id3v2Tag(90, false) + testing::SilentFrames(40, 2, 2, 8, 2, true), 0,
         "length=2 frames=40 rate=16000 channels=1 layer=2 vbr=0 xing=0 audio_start=100 audio_bytes=23040\n", ""},
        {std::string(5000, 'x'), 1, "", "WMp3::_Open   *** Can't find first valid mp3 frame\n"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Tool("info " + Write("i.mp3", c.bytes));
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
    EXPECT_EQ(Tool("info " + dir_.File("none.mp3")).err, "WMp3::OpenMp3File\n\nCan't open file\n");
}

TEST_F(PellMp3Test, DecodeWritesThePcmOfTheEnginesPlayback) {
    const std::string tone = Write("t.mp3", testing::EncodeTone({22050, 2, 2.0, 440, 3000, 9000}, {64, false, true}));
    std::vector<std::uint8_t> reference = testing::ReferenceDecode(tone);
    const std::string ref(reference.begin(), reference.end());
    const std::string raw = dir_.File("out.raw");
    struct Case {
        std::string args;
        bool sameAsReference;
    } cases[] = {
        {"", true},
        {" --eq 0,0,0,0,0,0,0,0,0,0,0", true},
        {" --eq 0,0,0,0,0,0,0,10,0,0,0", false},
        {" --eq -5,0,0,0,0,0,0,0,0,0,0", false},
    };
    for (const Case& c : cases) {
        const ToolRun run = Tool("decode " + tone + " " + raw + c.args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out.rfind("length=2 ", 0), 0u) << run.out;
        const std::string pcm = Read(raw);
        EXPECT_EQ(pcm.size(), ref.size());
        EXPECT_EQ(pcm == ref, c.sameAsReference) << c.args;
    }
    const std::string fifty = Write("f.mp3", testing::SilentFrames(700, 25, 3, 1, 2, true));
    EXPECT_EQ(Tool("decode " + fifty + " " + raw + " --seek 10").exitCode, 0);
    EXPECT_EQ(Read(raw).size(), (700u - 138u) * 576 * 2);
}

TEST_F(PellMp3Test, BadArgumentsAreRefused) {
    const std::string file = Write("a.mp3", testing::SilentFrames(100, 25, 3, 1, 2, true));
    const std::string raw = dir_.File("o.raw");
    const std::string cases[] = {
        "",
        "info",
        "nonsense " + file,
        "decode " + file + " " + raw + " --eq 6,0,0,0,0,0,0,0,0,0,0",
        "decode " + file + " " + raw + " --eq 0,11,0,0,0,0,0,0,0,0,0",
        "decode " + file + " " + raw + " --eq 0,0,0",
        "decode " + file + " " + raw + " --seek -1",
        "decode " + file + " " + raw + " --seek x",
        "decode " + file + " " + raw + " --loud",
        "decode " + file + " " + raw + " --volume 3",
        "play " + file + " --volume 33",
        "play " + file + " --volume -1",
        "play " + file + " --seek 3",
        "play " + file + " --eq 0,0",
    };
    for (const std::string& args : cases) EXPECT_EQ(Tool(args).exitCode, 2) << args;
    EXPECT_EQ(Tool("decode " + file + " " + dir_.File("no/such/dir/o.raw")).exitCode, 1);
    // PCM that cannot be written is a failure, not a decoded file.
    const ToolRun full = Tool("decode " + file + " /dev/full");
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_EQ(full.err, "pell-mp3: cannot write /dev/full\n");
    // A hostile file name reaches the terminal escaped.
    const ToolRun hostile = Tool("decode " + file + " '" + dir_.File("no/\x1b[2J\xc3\xa9.raw") + "'");
    EXPECT_EQ(hostile.exitCode, 1);
    EXPECT_EQ(hostile.err, "pell-mp3: cannot write " + dir_.File("no/\\x1B[2J\\xC3\\xA9.raw") + "\n");
}

}  // namespace
}  // namespace pell
