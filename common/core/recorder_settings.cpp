#include "common/core/recorder_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
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
    c.exists = ini.ReadInt(section, "exists", 1) != 0;
    c.stereo = ini.ReadInt(section, "stereo", 1) != 0;
    c.sensitiveControl =
        ini.ReadInt(section, "sensitive_control", 1) != 0 ? LineControl::kSoundLevel : LineControl::kLineState;
    c.bitrate = ini.ReadInt(section, "bitrate", 24);
    c.endOfFile = ini.ReadInt(section, "end_of_file", kDefaultEndOfFileSeconds);
    c.maxFileLength = ini.ReadInt(section, "max_file_length", 10);
    c.minFileLength = ini.ReadInt(section, "min_file_length", 30);
    c.sensitiveLevel = ini.ReadInt(section, "sensitive_level", 5);
    c.dropFolder = ini.ReadString(section, "drop_folder");
    c.prefix = ini.ReadString(section, "preffix");
    c.description = ini.ReadString(section, "description");
    // Absent means never configured: unity, not silence (a written 0 still silences).
    c.gain = ini.ReadInt(section, "gain", 1);
    c.clip = static_cast<ClipMode>(ini.ReadInt(section, "clip", 0));
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The file-name part: a prefix must never lead out of the day folder.
std::string FileNamePart(const std::string& prefix) {
    const size_t slash = prefix.find_last_of("/\\");
    std::string name = slash == std::string::npos ? prefix : prefix.substr(slash + 1);
    if (name == "." || name == "..") name.clear();
    return name;
}

void RefuseUnusableChannel(RecorderSettings& settings, size_t i) {
    std::vector<std::string>& messages = settings.loadMessages;
    ChannelConfig& c = settings.channels[i];
    const std::string channel = "channel " + std::to_string(i + 1);
    const bool told = c.exists;  // a channel that is off records nothing to refuse
    if (c.dropFolder.empty()) {
        c.dropFolder = settings.programFolder;
        if (told)
            messages.push_back("No drop folder is set for " + channel + "; its recordings go to " +
                               Quoted(c.dropFolder) + ".");
    }
    const std::string prefix = FileNamePart(c.prefix);
    if (prefix != c.prefix) {
        if (told)
            messages.push_back("The file name prefix " + Quoted(c.prefix) + " of " + channel +
                               " leads out of its folder; " + Quoted(prefix) + " is used.");
        c.prefix = prefix;
    }
    if (c.endOfFile < 0 || c.endOfFile > kMaxEndOfFileSeconds) {
        if (told)
            messages.push_back("The end of file time " + std::to_string(c.endOfFile) + " s of " + channel +
                               " is not between 0 and " + std::to_string(kMaxEndOfFileSeconds) + " s; " +
                               std::to_string(kDefaultEndOfFileSeconds) + " s is used.");
        c.endOfFile = kDefaultEndOfFileSeconds;
    }
    const int32_t bitrate = NearestMp3Bitrate(settings.sampleRate, c.bitrate);
    if (bitrate != c.bitrate) {
        if (told)
            messages.push_back("The bit rate " + std::to_string(c.bitrate) + " kbit/s of " + channel +
                               " cannot be encoded at " + std::to_string(settings.sampleRate) + " Hz; " +
                               std::to_string(bitrate) + " kbit/s is used.");
        c.bitrate = bitrate;
    }
}

void RefuseUnusable(RecorderSettings& settings) {
    std::vector<std::string>& messages = settings.loadMessages;
    if (settings.sampleRate < kMinSampleRate || settings.sampleRate > kMaxCaptureSampleRate) {
        messages.push_back("The sample rate " + std::to_string(settings.sampleRate) +
                           " Hz cannot be captured; 8000 Hz is used.");
        settings.sampleRate = kMinSampleRate;
    }
    if (settings.cleaning != 0 && settings.freeDiskSpace <= 0) {
        messages.push_back("Cleaning is on, but its free disk space limit is " +
                           std::to_string(settings.freeDiskSpace) +
                           " MB: no day folder is ever removed and the disk may fill up. Set a limit above 0 MB, or "
                           "turn cleaning off.");
    }
    for (size_t i = 0; i < settings.channels.size(); ++i) {
        RefuseUnusableChannel(settings, i);
    }
}

}  // namespace

int32_t NearestMp3Bitrate(int32_t sampleRateHz, int32_t kbps) {
    static constexpr std::array<int32_t, 14> kMpeg1{32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static constexpr std::array<int32_t, 14> kMpeg2{8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static constexpr std::array<int32_t, 8> kMpeg25{8, 16, 24, 32, 40, 48, 56, 64};
    auto nearest = [kbps](const auto& table) {
        int32_t best = table.front();
        for (const int32_t rate : table) {
            if (std::llabs(int64_t{rate} - kbps) < std::llabs(int64_t{best} - kbps)) best = rate;
        }
        return best;
    };
    if (sampleRateHz >= 32000) return nearest(kMpeg1);
    if (sampleRateHz >= 16000) return nearest(kMpeg2);
    return nearest(kMpeg25);
}

ToneTable BuildToneTable(ClipMode clip) {
    const double mark = clip == ClipMode::kFskEurope ? 1300.0 : 1200.0;
    const double space = clip == ClipMode::kFskEurope ? 2100.0 : 2200.0;
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
    if (line.size() != 8 || !std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return kDefaultFolderDate;
    }
    const int year = LeadingDecimal(line.substr(0, 4));
    const int month = LeadingDecimal(line.substr(4, 2));
    const int day = LeadingDecimal(line.substr(6, 2));
    const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    // An impossible date would make the cleaning walk endless or point a day folder at the root.
    if (year < 1 || month < 1 || day < 1 || !date.ok()) return kDefaultFolderDate;
    return date;
}

void LoadSettings(RecorderSettings& settings, ToneTables& toneTables, const AfterLoadHook& afterLoad) {
    for (ChannelConfig& c : settings.channels) {
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

    settings.loadMessages.clear();
    RefuseUnusable(settings);

    for (size_t i = 0; i < 2; ++i) toneTables[i] = BuildToneTable(settings.channels[i].clip);

    for (int n = 1; n <= 2; ++n) {
        ChannelConfig& c = settings.channels[n - 1];
        c.fileCounter = ReadCounterFile(JoinPath(settings.programFolder, "channel" + std::to_string(n)));
        c.folderDate = ReadFolderDateFile(JoinPath(settings.programFolder, "folder" + std::to_string(n)));
    }
    if (afterLoad) afterLoad();
}

void CreateDropFolders(const RecorderSettings& settings, const MakeDirectoryFn& makeDirectory) {
    const MakeDirectoryFn make =
        makeDirectory ? makeDirectory : [](const std::string& path) { ::mkdir(path.c_str(), 0777); };
    for (const ChannelConfig& c : settings.channels) {
        if (!c.exists) continue;
        for (size_t i = c.dropFolder.find('/'); i != std::string::npos; i = c.dropFolder.find('/', i + 1)) {
            make(c.dropFolder.substr(0, i));
        }
        make(c.dropFolder);
    }
}

}  // namespace pell
