// Writes the fuzz targets' seed corpus with the suite's own writers, encoders and generators:
//   pell_fuzz_seeds <corpus folder>
// One sub-folder per target; existing seeds of the same name are replaced, others are kept
// (the inputs that once found a fault live beside these).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/core/settings_file.h"
#include "common/core/wav_file.h"
#include "fuzz/fuzz_support.h"
#include "player/engine/testing/mp3_fixtures.h"
#include "recorder/core/recording_names.h"
#include "testsupport/signals/signals.h"

using namespace pell;
using fuzz::InputWriter;
namespace signals = pell::signals;

namespace {

std::string g_root;
int g_written = 0;

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
    const std::filesystem::path folder = std::filesystem::path(g_root) / target;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary) << bytes;
    ++g_written;
}

std::string Pcm(const signals::Samples& samples) {
    std::string bytes;
    for (const int16_t s : samples) {
        bytes += static_cast<char>(s & 0xFF);
        bytes += static_cast<char>((s >> 8) & 0xFF);
    }
    return bytes;
}

std::string Settings(const char* rate, const char* clip1, const char* control2) {
    SettingsDocument doc;
    doc.device = "USB Audio CODEC";
    doc.number = "2";
    doc.samplerate = rate;
    doc.cleaning = "1";
    doc.freeDiskSpace = "500";
    doc.channels[0] = {"1", "a", "2", "Front desk", "/srv/rec/line1", "24", "0", "5", "10", "30", "10", clip1};
    doc.channels[1] = {"1", "b", "1", "Back office", "/srv/rec/line2", "32", control2, "12", "3", "40", "20", "1"};
    return FormatSettingsFile(doc);
}

std::vector<std::pair<std::string, std::string>> Recordings() {
    using testing::EncodeTone;
    return {
        {"cbr_8k_mono", EncodeTone({8000, 1, 0.5, 300, 0, 9000}, {16, false, true})},
        {"vbr_22k_xing", EncodeTone({22050, 1, 0.4, 1000, 0, 9000}, {48, true, true})},
        {"stereo_44k_tags", testing::Id3v2Tag(200, true) +
                                EncodeTone({44100, 2, 0.2, 440, 660, 9000}, {64, false, false}) + testing::Id3v1Tag()},
        {"layer2_16k", testing::SilentFrames(12, 2, 2, 8, 2, true)},
        {"xing_toc", testing::XingFrame(1, 9, 0, false, 15, 20, std::vector<uint8_t>(100, 7)) +
                         testing::SilentFrames(20, 1, 3, 9, 0, false)},
        {"cut_tag", testing::SilentFrames(9, 25, 3, 1, 2, true) + testing::Id3v1Tag().substr(0, 60)},
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pell_fuzz_seeds <corpus folder>\n");
        return 2;
    }
    g_root = argv[1];

    Seed("fuzz_settings", "as_saved.ini", Settings("8000", "2", "0"));
    Seed("fuzz_settings", "hand_edited.ini",
         "; hand edited\n[COMMON]\nSampleRate = 2147480000\nfree_disk_space=-5\n[channel1]\nexists=1\n"
         "drop_folder=/srv/a\nclip=1\n[channel1]\nclip=3\n[channel2]\nexists=+0011\ngain=99\npreffix=\n");
    Seed("fuzz_configurator", "as_saved", InputWriter().Text("16000").Rest(Settings("16000", "3", "1")).Bytes());
    Seed("fuzz_configurator", "typed_line_break",
         InputWriter().Text("Front\r\ndesk[common]").Rest(Settings("44100", "0", "0")).Bytes());

    const RecordingTag tag{"5551234", "Line 1", 'I'};
    const auto tagBytes = tag.Bytes();
    const std::string tagText(tagBytes.begin(), tagBytes.end());
    for (const auto& [name, mp3] : Recordings()) {
        Seed("fuzz_mp3_frames", name,
             InputWriter()
                 .U32(0)
                 .U32(0)
                 .U32(1000)
                 .Text(InputWriter()
                           .Byte(0)
                           .U32(4000)
                           .Byte(3)
                           .U32(100)
                           .Byte(5)
                           .U32(static_cast<uint32_t>(-60))
                           .Byte(0)
                           .U32(70000)
                           .Bytes())
                 .Rest(mp3)
                 .Bytes());
        Seed("fuzz_engine_play", name,
             InputWriter().Byte(name == "cbr_8k_mono" ? 3 : 0).Byte(15).Byte(3).Rest(mp3).Bytes());
    }
    const std::string call = testing::EncodeTone({8000, 1, 0.5, 300, 0, 9000}, {16, false, true});
    Seed("fuzz_catalogue_tags", "tagged",
         InputWriter().Text("5551234").Text("Line 1").Text("call back").Byte('I').Rest(call + tagText).Bytes());
    Seed("fuzz_catalogue_tags", "untagged", InputWriter().Text("").Text("").Text("note").Byte('U').Rest(call).Bytes());
    Seed("fuzz_catalogue_tags", "shorter_than_a_tag",
         InputWriter().Text("0123456").Text("Line 2").Text("").Byte('O').Rest(call.substr(0, 50)).Bytes());

    const std::vector<uint8_t> message = signals::CallSetupMessage({{0x01, "12071530"}, {0x02, "5551234"}});
    const std::vector<uint8_t> named =
        signals::CallSetupMessage({{0x07, "A. Caller"}, {0x02, "0301234567"}, {0x04, "P"}});
    Seed("fuzz_callerid_bytes", "call_setup", std::string(message.begin(), message.end()));
    Seed("fuzz_callerid_bytes", "name_first", std::string(named.begin(), named.end()));
    Seed("fuzz_callerid_bytes", "tone_clip", "A5551234C");
    Seed("fuzz_callerid_bytes", "withheld", "B10C");

    signals::FskBurstOptions v23;
    Seed("fuzz_callerid_detect", "fsk_v23_8k",
         InputWriter().Byte(0).U32(0).U32(2).U32(4000).Rest(Pcm(signals::FskBurst(message, v23))).Bytes());
    signals::FskBurstOptions bell;
    bell.sampleRate = 16000;
    bell.tones = signals::kBell202Tones;
    Seed("fuzz_callerid_detect", "fsk_bell_16k",
         InputWriter().Byte(2).U32(0).U32(3).U32(777).Rest(Pcm(signals::FskBurst(message, bell))).Bytes());
    Seed("fuzz_callerid_detect", "dtmf_8k",
         InputWriter().Byte(0).U32(0).U32(1).U32(4096).Rest(Pcm(signals::DtmfDigits("A5551234C"))).Bytes());
    signals::DtmfOptions dtmf32;
    dtmf32.sampleRate = 32000;
    Seed("fuzz_callerid_detect", "dtmf_32k_any_rate",
         InputWriter().Byte(200).U32(32000).U32(2).U32(999).Rest(Pcm(signals::DtmfDigits("**123", dtmf32))).Bytes());

    signals::Samples stereo;
    const signals::Samples line1 = signals::DtmfDigits("12", {});
    for (const int16_t s : line1) {
        stereo.push_back(s);
        stereo.push_back(static_cast<int16_t>(-s));
    }
    const std::string timeline = "0.5 line 1 active\n0.25 line 2 active\n1 line 1 idle\n# done\n";
    Seed("fuzz_scenario", "stereo_call",
         InputWriter()
             .U32(600)
             .U32(100)
             .U32(256)
             .U32(16000)
             .Byte(static_cast<uint8_t>(timeline.size()))
             .Byte(0)
             .Rest(timeline)
             .Rest(EncodeWav(8000, 2, stereo))
             .Bytes());
    Seed("fuzz_scenario", "mono_call",
         InputWriter().U32(100).U32(0).U32(4096).U32(8000).Byte(0).Byte(0).Rest(EncodeWav(11025, 1, line1)).Bytes());

    std::printf("%d seeds written under %s\n", g_written, g_root.c_str());
    return 0;
}
