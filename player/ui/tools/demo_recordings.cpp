#include "player/ui/tools/demo_recordings.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sys/time.h>

#include "player/catalogue/record_list.h"
#include "player/engine/testing/mp3_fixtures.h"
#include "recorder/core/recording_names.h"

namespace pell::player {

std::string MakeDemoRecordings(const std::string& folder, int count, double seconds) {
    namespace fs = std::filesystem;
    const std::string root = folder + "/records";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::chrono::year_month_day today{std::chrono::year(local.tm_year + 1900),
                                            std::chrono::month(static_cast<unsigned>(local.tm_mon + 1)),
                                            std::chrono::day(static_cast<unsigned>(local.tm_mday))};
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
    const std::string audio = testing::EncodeTone(tone, options);
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
