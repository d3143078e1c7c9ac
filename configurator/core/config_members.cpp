#include "configurator/core/config_members.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "configurator/core/config_controls.h"

namespace pell::configurator {

namespace items {
namespace {

std::vector<std::string> Numbers(int first, int last) {
    std::vector<std::string> out;
    for (int n = first; n <= last; ++n) out.push_back(std::to_string(n));
    return out;
}

}  // namespace

const std::vector<std::string>& DeviceNumber() {
    static const std::vector<std::string> kList = Numbers(1, 4);
    return kList;
}
const std::vector<std::string>& SampleRate() {
    static const std::vector<std::string> kList{"8000", "16000", "32000"};
    return kList;
}
const std::vector<std::string>& Autocleaning() {
    static const std::vector<std::string> kList{"Off", "On"};
    return kList;
}
const std::vector<std::string>& Prefix() {
    static const std::vector<std::string> kList = [] {
        std::vector<std::string> letters;
        for (char c = 'a'; c <= 'z'; ++c) letters.emplace_back(1, c);
        return letters;
    }();
    return kList;
}
const std::vector<std::string>& Clip() {
    static const std::vector<std::string> kList{"None", "Tone", "FSK (Europe)", "FSK (US)", "Automatic"};
    return kList;
}
const std::vector<std::string>& Gain() {
    static const std::vector<std::string> kList = [] {
        std::vector<std::string> gains = Numbers(1, 15);
        gains.insert(gains.begin(), "Off");
        return gains;
    }();
    return kList;
}
const std::vector<std::string>& SignalControl() {
    static const std::vector<std::string> kList{"HID", "VOX"};
    return kList;
}
const std::vector<std::string>& StartLevel() {
    static const std::vector<std::string> kList = Numbers(1, 32);
    return kList;
}
const std::vector<std::string>& StopAfter() {
    static const std::vector<std::string> kList = Numbers(1, 10);
    return kList;
}
const std::vector<std::string>& Bitrate() {
    static const std::vector<std::string> kList{"8",  "16",  "24",  "32",  "40",  "48",  "56",  "64", "80",
                                                "96", "112", "128", "160", "192", "224", "256", "320"};
    return kList;
}

}  // namespace items

namespace {

// Reader defaults of the keys the dialog shows as text. Where the recorder would read an
// empty text as 0 (a stopped capture, no bit rate, ...), an absent key shows what the
// recorder uses when the key is absent.
constexpr const char* kDefaultSampleRate = "8000";
constexpr const char* kDefaultBitrate = "24";
constexpr const char* kDefaultStartLevel = "5";
constexpr const char* kDefaultStopAfter = "10";
constexpr const char* kDefaultMinFileSize = "30";
constexpr const char* kDefaultMaxFileSize = "10";
constexpr std::array<const char*, 2> kDefaultPrefix{"a", "b"};

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

int ShownIndex(int64_t index, const std::vector<std::string>& list) {
    return index >= 0 && index < static_cast<int64_t>(list.size()) ? static_cast<int>(index) : -1;
}

bool PickedItem(const DropListState& state, const std::vector<std::string>& list) {
    return state.picked && state.index >= 0 && state.index < static_cast<int>(list.size());
}

void TakeIndex(const DropListState& state, const std::vector<std::string>& list, int32_t& member) {
    if (PickedItem(state, list)) member = state.index;
}

void TakeIndex(const DropListState& state, const std::vector<std::string>& list, int64_t& member) {
    if (PickedItem(state, list)) member = state.index;
}

void TakeText(const DropListState& state, const std::vector<std::string>& list, std::string& member) {
    if (PickedItem(state, list)) member = list[static_cast<size_t>(state.index)];
}

std::string OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; }, ' ');
    return text;
}

std::string Number(int64_t value) { return std::to_string(value); }

}  // namespace

DialogMembers ConstructorMembers() {
    DialogMembers m;
    m.device = "USB Audio";
    m.deviceNumberIndex = 0;
    m.sampleRate = "8000";
    m.autocleaningIndex = 1;
    m.minDiskSize = 500;
    for (size_t n = 0; n < 2; ++n) {
        ChannelMembers& c = m.channels[n];
        c.active = 0;
        c.description = n == 0 ? "Line1" : "Line2";
        c.folder = "d:\\record";
        c.prefix = kDefaultPrefix[n];
        c.clipIndex = -1;
        c.gainIndex = 0;
        c.signalControlIndex = 0;
        c.startLevel = "4";
        c.stopAfter = "6";
        c.bitrate = "32";
        c.minFileSize = "40";
        c.maxFileSize = "20";
    }
    return m;
}

DialogMembers LoadMembers(const ProfileReader& settings) {
    DialogMembers m;
    m.device = settings.ReadString("common", "device", "");
    m.deviceNumberIndex = int64_t{settings.ReadInt("common", "number", 1)} - 1;
    m.sampleRate = settings.ReadString("common", "samplerate", kDefaultSampleRate);
    m.autocleaningIndex = settings.ReadInt("common", "cleaning", 1);
    m.minDiskSize = settings.ReadInt("common", "free_disk_space", 100);
    for (size_t n = 0; n < 2; ++n) {
        const std::string section = "channel" + std::to_string(n + 1);
        ChannelMembers& c = m.channels[n];
        c.active = settings.ReadInt(section, "exists", n == 0 ? 1 : 0);
        c.prefix = settings.ReadString(section, "preffix", kDefaultPrefix[n]);
        c.gainIndex = int64_t{settings.ReadInt(section, "gain", 2)} - 1;
        c.description = settings.ReadString(section, "description", "");
        c.folder = settings.ReadString(section, "drop_folder", "");
        c.bitrate = settings.ReadString(section, "bitrate", kDefaultBitrate);
        c.signalControlIndex = settings.ReadInt(section, "sensitive_control", 0);
        c.startLevel = settings.ReadString(section, "sensitive_level", kDefaultStartLevel);
        c.stopAfter = settings.ReadString(section, "end_of_file", kDefaultStopAfter);
        c.minFileSize = settings.ReadString(section, "min_file_length", kDefaultMinFileSize);
        c.maxFileSize = settings.ReadString(section, "max_file_length", kDefaultMaxFileSize);
        c.clipIndex = settings.ReadInt(section, "clip", 0);
    }
    return m;
}

int SelectString(const std::vector<std::string>& items, std::string_view text) {
    if (text.empty()) return -1;
    const std::string wanted = Lower(text);
    for (size_t i = 0; i < items.size(); ++i) {
        if (Lower(items[i]).starts_with(wanted)) return static_cast<int>(i);
    }
    return -1;
}

std::optional<int32_t> ParseDialogInteger(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = std::min<int64_t>(value * 10 + (c - '0'), int64_t{1} << 32);
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

bool StartLevelEnabled(const ChannelMembers& channel) { return channel.signalControlIndex != 0; }

DialogControls MembersToControls(const DialogMembers& m) {
    DialogControls out;
    out.device = m.device;
    out.deviceNumber.index = ShownIndex(m.deviceNumberIndex, items::DeviceNumber());
    out.sampleRate = m.sampleRate;
    out.autocleaning.index = ShownIndex(m.autocleaningIndex, items::Autocleaning());
    out.minDiskSize = Number(m.minDiskSize);
    for (size_t n = 0; n < 2; ++n) {
        const ChannelMembers& c = m.channels[n];
        ChannelControls& ctl = out.channels[n];
        ctl.active = c.active != 0;
        ctl.description = c.description;
        ctl.folder = c.folder;
        ctl.prefix.index = SelectString(items::Prefix(), c.prefix);
        ctl.clip.index = ShownIndex(c.clipIndex, items::Clip());
        ctl.gain.index = ShownIndex(c.gainIndex, items::Gain());
        ctl.signalControl.index = ShownIndex(c.signalControlIndex, items::SignalControl());
        ctl.startLevel.index = SelectString(items::StartLevel(), c.startLevel);
        ctl.startLevelEnabled = StartLevelEnabled(c);
        ctl.stopAfter = c.stopAfter;
        ctl.bitrate.index = SelectString(items::Bitrate(), c.bitrate);
        ctl.minFileSize = c.minFileSize;
        ctl.maxFileSize = c.maxFileSize;
    }
    return out;
}

bool ControlsToMembers(const DialogControls& ctl, DialogMembers& m) {
    m.device = ctl.device;
    TakeIndex(ctl.deviceNumber, items::DeviceNumber(), m.deviceNumberIndex);
    m.sampleRate = ctl.sampleRate;
    TakeIndex(ctl.autocleaning, items::Autocleaning(), m.autocleaningIndex);
    for (size_t n = 0; n < 2; ++n) {
        const ChannelControls& c = ctl.channels[n];
        ChannelMembers& member = m.channels[n];
        member.active = c.active ? 1 : 0;
        member.description = c.description;
        member.folder = c.folder;
        TakeText(c.prefix, items::Prefix(), member.prefix);
        TakeIndex(c.clip, items::Clip(), member.clipIndex);
        TakeIndex(c.gain, items::Gain(), member.gainIndex);
        TakeIndex(c.signalControl, items::SignalControl(), member.signalControlIndex);
        TakeText(c.startLevel, items::StartLevel(), member.startLevel);
        member.stopAfter = c.stopAfter;
        TakeText(c.bitrate, items::Bitrate(), member.bitrate);
        member.minFileSize = c.minFileSize;
        member.maxFileSize = c.maxFileSize;
    }
    std::optional<int32_t> minDiskSize = ParseDialogInteger(ctl.minDiskSize);
    if (!minDiskSize) return false;
    m.minDiskSize = *minDiskSize;
    return true;
}

SettingsDocument MembersToDocument(const DialogMembers& m) {
    SettingsDocument doc;
    doc.device = OneLine(m.device);
    doc.number = Number(m.deviceNumberIndex + 1);
    doc.samplerate = OneLine(m.sampleRate);
    doc.cleaning = Number(m.autocleaningIndex);
    doc.freeDiskSpace = Number(m.minDiskSize);
    for (size_t n = 0; n < 2; ++n) {
        const ChannelMembers& c = m.channels[n];
        SettingsChannelEntries& e = doc.channels[n];
        e.exists = Number(c.active);
        e.prefix = OneLine(c.prefix);
        e.gain = Number(c.gainIndex + 1);
        e.description = OneLine(c.description);
        e.dropFolder = OneLine(c.folder);
        e.bitrate = OneLine(c.bitrate);
        e.sensitiveControl = Number(c.signalControlIndex);
        e.sensitiveLevel = OneLine(c.startLevel);
        e.endOfFile = OneLine(c.stopAfter);
        e.minFileLength = OneLine(c.minFileSize);
        e.maxFileLength = OneLine(c.maxFileSize);
        e.clip = Number(c.clipIndex);
    }
    return doc;
}

SaveOutcome SaveSettings(const DialogControls& controls, DialogMembers& members, const std::string& settingsPath,
                         bool& settingsSaved) {
    if (!ControlsToMembers(controls, members)) return SaveOutcome::kInvalidMinDiskSize;
    switch (WriteFileAtomically(settingsPath, FormatSettingsFile(MembersToDocument(members)))) {
        case WriteResult::kOk:
            settingsSaved = true;
            return SaveOutcome::kSaved;
        case WriteResult::kCannotCreate:
            return SaveOutcome::kCannotCreate;
        case WriteResult::kWriteFailed:
            break;
    }
    return SaveOutcome::kWriteFailed;
}

}  // namespace pell::configurator
