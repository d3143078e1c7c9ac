// Start-up recovery: a recording whose journal is still there was cut by a crash or a power cut.
// Its parts are on disk and decode; they get the caller from the temp file, which no call has
// replaced yet, and their tag, and the counter moves past them.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "recorder/core/recorder_core.h"
#include "recorder/core/recording_names.h"

namespace pell {
namespace {

// The channel is the journal's own name; its "channel=" line is for people reading it.
struct Journal {
    std::string start;
    std::vector<std::pair<uint32_t, std::string>> parts;  // counter, path
};

bool ReadJournal(const std::string& path, Journal& journal) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("start=", 0) == 0) {
            journal.start = line.substr(6);
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

// Length of one MPEG audio layer III frame starting with these four header bytes; 0 if they are
// no such header.
uint32_t FrameLength(const unsigned char* h) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return 0;
    const int version = (h[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = (h[1] >> 1) & 3;    // 1: layer III
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return 0;
    static constexpr uint32_t kMpeg1Kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static constexpr uint32_t kMpeg2Kbps[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static constexpr uint32_t kRates[] = {44100, 48000, 32000};
    const uint32_t rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const uint32_t kbps = (version == 3 ? kMpeg1Kbps : kMpeg2Kbps)[bitrateIndex];
    const uint32_t padding = (h[2] >> 1) & 1;
    return (version == 3 ? 144000 : 72000) * kbps / rate + padding;
}

// Where the last whole frame ends: a power cut may leave part of a block behind, which a tag
// appended after it would turn into noise.
std::optional<uint64_t> WholeFramesEnd(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    // The Info frame slot of a cut first part is still zeros: the frames start after it.
    uint64_t at = 0;
    char c = 0;
    while (in.get(c) && c == 0) ++at;
    uint64_t end = 0;
    unsigned char header[4];
    for (;;) {
        in.clear();
        in.seekg(static_cast<std::streamoff>(at));
        if (!in.read(reinterpret_cast<char*>(header), 4)) break;
        const uint32_t length = FrameLength(header);
        if (length == 0) break;
        in.seekg(static_cast<std::streamoff>(at + length - 1));
        if (!in.get(c)) break;  // the frame runs past the end of the file
        at += length;
        end = at;
    }
    return end;
}

// A crash between tagging and removing the journal leaves parts that already carry their tag.
bool EndsWithTag(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[3] = {};
    if (!in.seekg(-static_cast<std::streamoff>(kTagSize), std::ios::end)) return false;
    return in.read(head, 3) && std::string(head, 3) == "TAG";
}

}  // namespace

int RecorderCore::RecoverUnfinishedRecordings() {
    int recovered = 0;
    for (int c = 0; c < 2; ++c) {
        const ChannelConfig& cfg = Config(c);
        ChannelRuntime& ch = channels_[c];
        Journal journal;
        if (!ReadJournal(JournalPath(c), journal)) continue;
        std::vector<Part> parts;
        for (const auto& [counter, path] : journal.parts) {
            std::error_code error;
            // A part cut before its first byte is no recording.
            if (std::filesystem::file_size(path, error) == 0 && !error) services_.fileSystem.Remove(path);
            if (services_.fileSystem.Exists(path)) parts.push_back({path, counter});
        }
        IdentifiedCaller caller;
        if (services_.identifyCaller && services_.fileSystem.Exists(TempFilePath(c))) {
            caller = services_.identifyCaller(TempFilePath(c), cfg.clip, settings_.sampleRate, Tones(c));
        }
        std::vector<Part> untagged;
        for (const Part& part : parts) {
            if (EndsWithTag(part.path)) continue;
            untagged.push_back(part);
            const std::optional<uint64_t> end = WholeFramesEnd(part.path);
            std::error_code error;
            if (end && *end > 0 && *end < std::filesystem::file_size(part.path, error) && !error) {
                if (File file = services_.fileSystem.Open(part.path, "r+b")) {
                    file.Truncate(*end);
                    file.Close();
                }
            }
        }
        TagParts(c, untagged, caller);
        // The counter still names the cut part when no finish moved it on.
        if (!parts.empty() && ch.fileCounter == parts.back().counter) {
            ch.fileCounter = NextFileCounter(ch.fileCounter);
            WriteCounterFile(c);
        }
        services_.fileSystem.Remove(JournalPath(c));
        std::string names;
        for (const Part& part : parts) names += (names.empty() ? "" : ", ") + part.path;
        services_.notifier.Log("Line " + std::to_string(c + 1) + ": the recording started " + journal.start +
                               " was cut by a stop of the recorder and has been finished: " +
                               (names.empty() ? std::string("no sound of it had reached the disk") : names) +
                               (caller.number.empty() ? "" : " (caller " + caller.number + ")") + ".");
        if (services_.onFiled) {
            for (const Part& part : parts) services_.onFiled({c, part.path, caller.number, caller.directionMark});
        }
        ++recovered;
    }
    ShowPendingMessages();
    return recovered;
}

}  // namespace pell
