#include "player/ui/tools/demo_recordings.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sys/time.h>

#include "common/core/clock.h"
#include "player/catalogue/record_list.h"
#include "player/engine/testing/mp3_fixtures.h"
#include "recorder/core/recording_names.h"

namespace pell::player {
namespace {

// A tone shaped like a conversation, so the call's outline has something to show: phrases of a
// few seconds made of syllables, then a pause, the pattern fixed so every run looks the same.
std::vector<std::int16_t> TalkLike(std::vector<std::int16_t> pcm, int sampleRate) {
    static constexpr double kPhraseSeconds[] = {2.6, 1.2, 3.8, 0.9, 2.1, 4.4, 1.7};
    static constexpr double kPauseSeconds[] = {0.8, 1.9, 0.5, 1.2, 2.6, 0.7};
    const double rate = sampleRate;
    std::size_t at = 0;
    for (std::size_t n = 0; at < pcm.size(); ++n) {
        const auto phrase = static_cast<std::size_t>(kPhraseSeconds[n % std::size(kPhraseSeconds)] * rate);
        const double loudness = 0.45 + 0.55 * static_cast<double>(n % 3) / 2;
        for (std::size_t i = 0; i < phrase && at < pcm.size(); ++i, ++at) {
            const double syllable = std::abs(std::sin(3.1 * 3.14159265 * static_cast<double>(i) / rate));
            pcm[at] = static_cast<std::int16_t>(pcm[at] * loudness * (0.25 + 0.75 * syllable));
        }
        const auto pause = static_cast<std::size_t>(kPauseSeconds[n % std::size(kPauseSeconds)] * rate);
        for (std::size_t i = 0; i < pause && at < pcm.size(); ++i, ++at) pcm[at] = 0;
    }
    return pcm;
}

}  // namespace

std::string MakeDemoRecordings(const std::string& folder, int count, double seconds) {
    namespace fs = std::filesystem;
    const std::string root = folder + "/records";
    const std::time_t now = std::time(nullptr);
    const std::chrono::year_month_day today = SystemClock().Now().date;
    const std::string day = root + "/" + DayFolderName(today);
    std::error_code error;
    fs::create_directories(day, error);
    if (error) return {};
    std::ofstream(folder + "/paths.ini", std::ios::binary) << root << "\r\n";

    static const struct {
        const char* number;
        const char* line;
        char mark;
    } kCalls[] = {{"5551234", "Line 1", 'I'},       {"0123456", "Line 2", 'O'}, {"", "Line 1", 'U'},
                  {"0049301234567", "Line 2", 'I'}, {"112", "Line 1", 'O'},     {"5559876", "Line 2", 'I'}};
    testing::ToneParams tone;
    tone.sampleRate = 8000;
    tone.channels = 1;
    tone.seconds = seconds;
    testing::EncodeOptions options;
    options.kbps = 16;
    const std::string audio =
        testing::EncodeMp3(TalkLike(testing::MakeTone(tone), tone.sampleRate), tone.sampleRate, tone.channels, options);
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/a%07d.mp3", i);
        const std::string path = day + name;
        const auto& call = kCalls[static_cast<std::size_t>(i) % std::size(kCalls)];
        const RecordingTag tag{call.number, call.line, call.mark};
        const auto bytes = tag.Bytes();
        std::ofstream out(path, std::ios::binary);
        out.write(audio.data(), static_cast<std::streamsize>(audio.size()));
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        // Calls spread over the morning, the latest a few minutes ago.
        const std::time_t when = now - static_cast<std::time_t>((count - i) * 1337);
        const timeval times[2] = {{when, 0}, {when, 0}};
        ::utimes(path.c_str(), times);
    }
    return root;
}

}  // namespace pell::player
