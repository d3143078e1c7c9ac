#include "tools/pell-replay/demo_scenario.h"

#include <filesystem>
#include <fstream>
#include <utility>

#include "common/core/paths.h"
#include "common/core/settings_file.h"
#include "common/core/wav_file.h"
#include "testsupport/signals/signals.h"

namespace pell {

std::string WriteDemoSettings(const std::string& folder, const std::string& device, int32_t rateHz,
                              DemoLineControl line1, DemoLineControl line2) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string absolute = std::filesystem::absolute(folder, ec).string();

    SettingsDocument doc;
    doc.device = device;
    doc.number = "1";
    doc.samplerate = std::to_string(rateHz);
    doc.cleaning = "1";
    doc.freeDiskSpace = "1";
    doc.channels[0] = {"1",
                       "in-",
                       "1",
                       "Line 1 reception",
                       JoinPath(absolute, "line1"),
                       "24",
                       line1.sensitiveControl,
                       "5",
                       line1.endOfFile,
                       "30",
                       "10",
                       "4"};
    doc.channels[1] = {"1",
                       "out-",
                       "1",
                       "Line 2 sales",
                       JoinPath(absolute, "line2"),
                       "24",
                       line2.sensitiveControl,
                       "5",
                       line2.endOfFile,
                       "30",
                       "10",
                       "4"};
    if (WriteFileAtomically(JoinPath(folder, "settings.ini"), FormatSettingsFile(doc)) != WriteResult::kOk) {
        return "cannot write " + JoinPath(folder, "settings.ini");
    }
    return {};
}

std::string WriteDemoCall(const std::string& folder, int32_t rateHz, std::vector<int16_t> line1,
                          std::vector<int16_t> line2, size_t frames) {
    line1.resize(frames, 0);
    line2.resize(frames, 0);
    std::vector<int16_t> stereo(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        stereo[2 * i] = line1[i];
        stereo[2 * i + 1] = line2[i];
    }
    const std::string path = JoinPath(folder, "call.wav");
    return WriteWavFile(path, static_cast<uint32_t>(rateHz), 2, stereo) ? "" : "cannot write " + path;
}

bool WriteDemoScenario(const std::string& folder, std::string* error) {
    using namespace signals;
    constexpr int32_t kRate = 8000;
    // Line 1 follows the line state and gets FSK caller ID; line 2 starts on sound and is dialled from.
    *error = WriteDemoSettings(folder, "USB Audio", kRate, {"0", "2"}, {"1", "3"});
    if (!error->empty()) return false;

    // Line 1: the exchange sends the caller's number between rings, the line is seized at 3 s.
    Samples line1 = Silence(kRate, 0.5);
    Append(line1, FskBurst(CallSetupMessage({{0x01, "12071530"}, {0x02, "5551234"}})));
    line1.resize(kRate * 3, 0);
    Append(line1, SpeechLike(kRate, 5.0, -12.0, 11));
    // Line 2: someone lifts the handset and dials at 1.5 s, then talks.
    Samples line2 = Silence(kRate, 1.5);
    Append(line2, DtmfDigits("0123456", {kRate, 70, 70, -6.0}));
    Append(line2, Silence(kRate, 0.5));
    Append(line2, SpeechLike(kRate, 3.0, -6.0, 3));
    *error = WriteDemoCall(folder, kRate, std::move(line1), std::move(line2), kRate * 14);
    if (!error->empty()) return false;
    std::ofstream timeline(JoinPath(folder, "timeline.txt"), std::ios::trunc);
    timeline << "# <seconds> <line 1|2> <active|idle>\n3 1 active\n9 1 idle\n";
    if (!timeline.flush()) {
        *error = "cannot write " + JoinPath(folder, "timeline.txt");
        return false;
    }
    return true;
}

}  // namespace pell
