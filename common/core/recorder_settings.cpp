#include "common/core/recorder_settings.h"

#include <cmath>
#include <fstream>
#include <sys/stat.h>

#include "common/core/paths.h"
#include "common/core/profile.h"

namespace pell {
namespace {

std::array<int32_t, 6> Table(double frequencyHz, double (*wave)(double)) {
    // 6.666 samples per bit at 8000 Hz and 1200 bit/s; the angle constant is single precision.
    const double twoPi = static_cast<double>(6.2831855f);
    std::array<int32_t, 6> out{};
    for (int i = 0; i < 6; ++i) {
        out[i] = static_cast<int32_t>(wave(i * twoPi / 6.666 * frequencyHz / 1200.0) * 32767.0);
    }
    return out;
}

std::string FirstLine(const std::string& path, bool* found) {
    std::ifstream in(path, std::ios::binary);
    *found = static_cast<bool>(in);
    std::string line;
    if (!in) return line;
    // A state file is one short line; never read a runaway file whole.
    constexpr size_t kMaxLine = 4096;
    char c;
    while (line.size() < kMaxLine && in.get(c) && c != '\n') line += c;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

void LoadChannel(const ProfileReader& ini, int number, ChannelConfig& c) {
    const std::string section = "channel" + std::to_string(number);
    c.exists = ini.ReadInt(section, "exists", 1);
    c.stereo = ini.ReadInt(section, "stereo", 1);
    c.sensitiveControl = ini.ReadInt(section, "sensitive_control", 1);
    c.bitrate = ini.ReadInt(section, "bitrate", 24);
    c.endOfFile = ini.ReadInt(section, "end_of_file", 10);
    c.maxFileLength = ini.ReadInt(section, "max_file_length", 10);
    c.minFileLength = ini.ReadInt(section, "min_file_length", 30);
    c.sensitiveLevel = ini.ReadInt(section, "sensitive_level", 5);
    c.dropFolder = ini.ReadString(section, "drop_folder");
    c.prefix = ini.ReadString(section, "preffix");
    c.description = ini.ReadString(section, "description");
    c.gain = ini.ReadInt(section, "gain", 0);
    c.clip = ini.ReadInt(section, "clip", kClipNone);
}

}  // namespace

ToneTable BuildToneTable(int32_t clip) {
    const double mark = clip == kClipFskEurope ? 1300.0 : 1200.0;
    const double space = clip == kClipFskEurope ? 2100.0 : 2200.0;
    ToneTable t;
    t.cosMark = Table(mark, std::cos);
    t.sinMark = Table(mark, std::sin);
    t.cosSpace = Table(space, std::cos);
    t.sinSpace = Table(space, std::sin);
    return t;
}

uint32_t ReadCounterFile(const std::string& path) {
    bool found = false;
    const int32_t value = LeadingDecimal(FirstLine(path, &found));
    return value >= 0 && value <= 9999999 ? static_cast<uint32_t>(value) : 0;
}

std::chrono::year_month_day ReadFolderDateFile(const std::string& path) {
    bool found = false;
    const std::string line = FirstLine(path, &found);
    if (line.size() != 8) return kDefaultFolderDate;
    const int year = LeadingDecimal(line.substr(0, 4));
    const int month = LeadingDecimal(line.substr(4, 2));
    const int day = LeadingDecimal(line.substr(6, 2));
    const std::chrono::year_month_day date{std::chrono::year{year},
                                           std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    // An impossible date would make the cleaning walk endless or point a day folder at the root.
    if (year < 1 || month < 1 || day < 1 || !date.ok()) return kDefaultFolderDate;
    return date;
}

void LoadSettings(RecorderSettings& settings, ToneTables& toneTables, const AfterLoadHook& afterLoad) {
    for (ChannelConfig& c : settings.channels) {
        c.recording = false;
        c.fileCounter = 0;
        c.folderDate = kDefaultFolderDate;
    }
    const ProfileReader ini = ProfileReader::FromFile(JoinPath(settings.programFolder, "settings.ini"));
    LoadChannel(ini, 1, settings.channels[0]);
    LoadChannel(ini, 2, settings.channels[1]);

    settings.twoChannels = ini.ReadInt("common", "2_channels", 1) != 0;
    settings.cleaning = ini.ReadInt("common", "cleaning", 1);
    settings.freeDiskSpace = ini.ReadInt("common", "free_disk_space", 100);
    settings.sampleRate = ini.ReadInt("common", "samplerate", 8000);
    settings.device = ini.ReadString("common", "device");

    for (size_t i = 0; i < 2; ++i) toneTables[i] = BuildToneTable(settings.channels[i].clip);

    for (int n = 1; n <= 2; ++n) {
        ChannelConfig& c = settings.channels[n - 1];
        c.fileCounter = ReadCounterFile(JoinPath(settings.programFolder, "channel" + std::to_string(n)));
        c.folderDate = ReadFolderDateFile(JoinPath(settings.programFolder, "folder" + std::to_string(n)));
    }
    if (afterLoad) afterLoad();
}

void CreateDropFolders(const RecorderSettings& settings, const MakeDirectoryFn& makeDirectory) {
    const MakeDirectoryFn make = makeDirectory ? makeDirectory : [](const std::string& path) {
        ::mkdir(path.c_str(), 0777);
    };
    for (const ChannelConfig& c : settings.channels) {
        if (c.exists == 0) continue;
        for (size_t i = c.dropFolder.find('/'); i != std::string::npos; i = c.dropFolder.find('/', i + 1)) {
            make(c.dropFolder.substr(0, i));
        }
        make(c.dropFolder);
    }
}

}  // namespace pell
