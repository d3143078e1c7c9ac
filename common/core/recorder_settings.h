// The recorder's configuration as loaded from "settings.ini" and the small state files beside
// it ("channel1/2" counters, "folder1/2" cleaning cursors), and the FSK tone tables derived
// from each channel's caller-identification choice.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pell {

// Caller identification choice ("clip" key). Kept as read: a value outside the four means FSK.
enum class ClipMode : int32_t { kNone = 0, kTone = 1, kFskEurope = 2, kFskUs = 3 };

// What starts and stops a channel's recording ("sensitive_control": 0 line state, any other sound level).
enum class LineControl : int32_t { kLineState = 0, kSoundLevel = 1 };

inline constexpr std::chrono::year_month_day kDefaultFolderDate{std::chrono::year{2008}, std::chrono::month{1},
                                                                std::chrono::day{1}};

struct ChannelConfig {
    std::string prefix;
    std::string dropFolder;
    uint32_t fileCounter = 0;  // 0..9999999, as read from the counter file; the core carries it on
    bool stereo = true;        // line 1 under sound-level control records both lines
    int32_t bitrate = 24;      // kbit/s
    LineControl sensitiveControl = LineControl::kSoundLevel;
    int32_t sensitiveLevel = 5;       // VOX threshold = level x 1024 on the peak scale
    int32_t gain = 1;                 // sample multiplier; 0 silences the channel
    int32_t maxFileLength = 10;       // MiB; 0: no limit
    int32_t minFileLength = 30;       // KB, kept but not acted on
    int32_t endOfFile = 10;           // s, 0..kMaxEndOfFileSeconds
    ClipMode clip = ClipMode::kNone;  // as read: a value outside the four still means FSK
    bool exists = true;
    std::string description;
    // As read from the cleaning cursor file; the recorder core carries it on from there.
    std::chrono::year_month_day folderDate = kDefaultFolderDate;
};

struct RecorderSettings {
    bool twoChannels = true;
    int32_t cleaning = 1;
    int32_t freeDiskSpace = 100;  // MB
    int32_t sampleRate = 8000;    // Hz
    std::string device;
    std::array<ChannelConfig, 2> channels;  // index 0 = line 1 (left input)
    std::string programFolder;
    // Settings the load refused, one message each, with the safe value now in place; the recorder
    // core tells them and empties the list.
    std::vector<std::string> loadMessages;
};

// "end_of_file": the reader default, and the longest wait that is not a typing slip (an hour).
inline constexpr int32_t kDefaultEndOfFileSeconds = 10;
inline constexpr int32_t kMaxEndOfFileSeconds = 3600;

// Rates a capture device can deliver; any other falls back to 8000 Hz at load.
inline constexpr int32_t kMinSampleRate = 8000;
inline constexpr int32_t kMaxCaptureSampleRate = 192000;

// The layer III bit rate (kbit/s) nearest to kbps that the MPEG version of sampleRateHz allows
// (the lower one of two as near).
int32_t NearestMp3Bitrate(int32_t sampleRateHz, int32_t kbps);

// Six-sample correlation tables of one channel, scaled to 32767.
struct ToneTable {
    std::array<int32_t, 6> cosMark{};
    std::array<int32_t, 6> sinMark{};
    std::array<int32_t, 6> cosSpace{};
    std::array<int32_t, 6> sinSpace{};
};
using ToneTables = std::array<ToneTable, 2>;

// 1300/2100 Hz for the European choice, 1200/2200 Hz for every other value.
ToneTable BuildToneTable(ClipMode clip);

// Counter file: leading decimal of the first line; absent, non-numeric or outside
// 0..9999999 gives 0.
uint32_t ReadCounterFile(const std::string& path);
// Cleaning cursor: the first line when it is exactly eight digits (nothing else) of a real date (year >= 1),
// else 2008-01-01.
std::chrono::year_month_day ReadFolderDateFile(const std::string& path);

// Hook for the application's menu-state steps that close every load (player present,
// start-up registration).
using AfterLoadHook = std::function<void()>;

// Fills settings (keeping settings.programFolder, which names the folder read) and the tone
// tables. Every missing item takes its default; a value that cannot work (no drop folder, a
// prefix that names another folder, a bit rate the encoder lacks, a rate no device delivers, an
// end of file time below 0 or beyond an hour) takes a safe one, with a message in
// settings.loadMessages; cleaning on with a limit of 0 MB or less is kept (it never cleans) and
// told. An absent "gain" reads 1.
void LoadSettings(RecorderSettings& settings, ToneTables& toneTables, const AfterLoadHook& afterLoad = {});

using MakeDirectoryFn = std::function<void(const std::string& path)>;
// For each existing channel, makes every folder along the drop folder path from the left, then
// the whole path; failures are ignored.
void CreateDropFolders(const RecorderSettings& settings, const MakeDirectoryFn& makeDirectory = {});

}  // namespace pell
