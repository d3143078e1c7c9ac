// Start-up recovery: a recording whose journal is still there was cut by a crash or a power cut.
// Its parts are on disk and decode; they get the caller from the temp file, which no call has
// replaced yet, and their tag, and the counter moves past them.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "common/core/paths.h"
#include "recorder/core/mp3_frames.h"
#include "recorder/core/recorder_core.h"
#include "recorder/core/recording_names.h"

namespace pell {

// The channel is the journal's own name; its "channel=" line is for people reading it.
struct RecordingJournal {
    std::string start;
    std::vector<std::pair<uint32_t, std::string>> parts;  // counter, path
    bool ownTempFile = true;                              // journals without the line named no other
    bool filed = false;                                   // the call was filed, only the journal's removal failed
};

namespace {

using Journal = RecordingJournal;

bool ReadJournal(const std::string& path, Journal& journal) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("start=", 0) == 0) {
            journal.start = line.substr(6);
        } else if (line.rfind("temp=", 0) == 0) {
            journal.ownTempFile = line.substr(5) == "own";
        } else if (line == "filed") {
            journal.filed = true;
        } else if (line.rfind("part=", 0) == 0) {
            const size_t space = line.find(' ', 5);
            if (space == std::string::npos) continue;
            const long counter = std::atol(line.substr(5, space - 5).c_str());
            if (counter < 0 || counter > static_cast<long>(kMaxFileCounter)) continue;
            journal.parts.emplace_back(static_cast<uint32_t>(counter), line.substr(space + 1));
        }
    }
    return true;
}

std::vector<uint8_t> ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::optional<LocalDateTime> ParseJournalTime(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &sec) != 6) return std::nullopt;
    LocalDateTime when;
    when.date = std::chrono::year_month_day{std::chrono::year{y}, std::chrono::month{static_cast<unsigned>(mo)},
                                            std::chrono::day{static_cast<unsigned>(d)}};
    if (!when.date.ok() || h < 0 || h > 23 || mi < 0 || mi > 59 || sec < 0 || sec > 60) return std::nullopt;
    when.hour = h;
    when.minute = mi;
    when.second = sec;
    return when;
}

// The state files the recorder replaces whole; a crash in the middle leaves "<name>.tmp-XXXXXX".
bool IsLeftoverTemporary(const std::string& name) {
    static const char* const kStateFiles[] = {"channel1", "channel2",         "folder1",
                                              "folder2",  "channel1.journal", "channel2.journal"};
    for (const char* file : kStateFiles) {
        const std::string stem = std::string(file) + ".tmp-";
        if (name.size() == stem.size() + 6 && name.compare(0, stem.size(), stem) == 0) return true;
    }
    return false;
}

// A crash between tagging and removing the journal leaves parts that already carry their tag.
bool EndsWithTag(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[3] = {};
    if (!in.seekg(-static_cast<std::streamoff>(kTagSize), std::ios::end)) return false;
    return in.read(head, 3) && std::string(head, 3) == "TAG";
}

// Cuts an untagged part to its whole frames: a power cut may leave part of a block behind, or
// zeros where writes never landed; what follows such a hole is kept, moved up against the sound
// before it. The seconds of sound in the part.
uint32_t MendPart(FileSystem& fileSystem, const std::string& path, bool tagged) {
    std::vector<uint8_t> bytes = ReadWhole(path);
    if (tagged) bytes.resize(bytes.size() >= kTagSize ? bytes.size() - kTagSize : 0);
    const Mp3Frames frames = FindMp3Frames(bytes);
    if (tagged || frames.runs.empty()) return frames.Seconds();
    std::vector<uint8_t> rest;
    for (size_t r = 1; r < frames.runs.size(); ++r) {
        rest.insert(rest.end(), bytes.begin() + static_cast<std::ptrdiff_t>(frames.runs[r].first),
                    bytes.begin() + static_cast<std::ptrdiff_t>(frames.runs[r].second));
    }
    const uint64_t whole = frames.runs[0].second + rest.size();
    if (whole == bytes.size()) return frames.Seconds();
    if (File file = fileSystem.Open(path, "r+b")) {
        if (rest.empty() || (file.Seek(frames.runs[0].second) && file.Write(rest.data(), rest.size())))
            file.Truncate(whole);
        file.Close();
    }
    return frames.Seconds();
}

}  // namespace

int RecorderCore::RecoverUnfinishedRecordings() {
    RemoveLeftoverTemporaries();
    int recovered = 0;
    for (const Line line : kLines) recovered += RecoverChannel(line) ? 1 : 0;
    ShowPendingMessages();
    return recovered;
}

std::vector<RecorderCore::Part> RecorderCore::PartsOnDisk(const RecordingJournal& journal) {
    std::vector<Part> parts;
    for (const auto& [counter, path] : journal.parts) {
        std::error_code error;
        // A part cut before its first byte is no recording.
        if (std::filesystem::file_size(path, error) == 0 && !error) services_.fileSystem.Remove(path);
        if (services_.fileSystem.Exists(path)) parts.push_back({path, counter});
    }
    return parts;
}

bool RecorderCore::RecoverChannel(Line line) {
    const ChannelConfig& cfg = Config(line);
    ChannelRuntime& ch = channels_[line];
    const int c = line.channel();
    Journal journal;
    if (!ReadJournal(JournalPath(line), journal)) return false;
    const std::vector<Part> parts = PartsOnDisk(journal);
    // The counter still names the cut part when no finish moved it on.
    if (!parts.empty() && ch.fileCounter == parts.back().counter) {
        ch.fileCounter = NextFileCounter(ch.fileCounter);
        WriteCounterFile(line);
    }
    if (journal.filed) {
        services_.fileSystem.Remove(JournalPath(line));
        return false;
    }
    IdentifiedCaller caller;
    // A call whose own temp file could not be made left the previous call's caller in it.
    if (services_.identifyCaller && journal.ownTempFile && services_.fileSystem.Exists(TempFilePath(line))) {
        caller = services_.identifyCaller(TempFilePath(line), cfg.clip, settings_.sampleRate, Tones(line));
    }
    std::vector<Part> untagged;
    std::vector<uint32_t> seconds;
    std::vector<bool> tagged;  // filed before the stop: left as it is
    for (const Part& part : parts) {
        tagged.push_back(EndsWithTag(part.path));
        seconds.push_back(MendPart(services_.fileSystem, part.path, tagged.back()));
        if (!tagged.back()) untagged.push_back(part);
    }
    TagParts(line, untagged, caller);
    // Listed at the time the call ended, not at this start: the journal has its start, the sound its length.
    if (const std::optional<LocalDateTime> start = ParseJournalTime(journal.start)) {
        std::time_t end = ToTimeT(*start);
        for (size_t i = 0; i < parts.size(); ++i) {
            end += seconds[i];
            if (!tagged[i]) services_.fileSystem.SetModified(parts[i].path, end);
        }
    }
    services_.fileSystem.Remove(JournalPath(line));
    std::string names;
    for (const Part& part : parts) names += (names.empty() ? "" : ", ") + part.path;
    services_.notifier.Log("Line " + std::to_string(c + 1) + ": the recording started " + journal.start +
                           " was cut by a stop of the recorder and has been finished: " +
                           (names.empty() ? std::string("no sound of it had reached the disk") : names) +
                           (caller.number.empty() ? "" : " (caller " + caller.number + ")") + ".");
    if (services_.onFiled) {
        for (size_t i = 0; i < parts.size(); ++i) {
            services_.onFiled({c, parts[i].path, caller.number, caller.directionMark, seconds[i]});
        }
    }
    return true;
}

void RecorderCore::RemoveLeftoverTemporaries() {
    for (const std::string& name : services_.fileSystem.List(settings_.programFolder)) {
        if (!IsLeftoverTemporary(name)) continue;
        const std::string path = JoinPath(settings_.programFolder, name);
        if (services_.fileSystem.Remove(path)) services_.notifier.Log("removed " + path + ", left by a stop mid-write");
    }
}

}  // namespace pell
