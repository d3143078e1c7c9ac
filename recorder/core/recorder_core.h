// The recorder's work on the main thread, free of windows and devices: every half-second stereo
// block goes through ProcessBlock, which measures, shows, decides per channel when a recording
// starts and stops (sound level or line state), and feeds the MP3 encoder and the raw temp file
// that caller identification reads afterwards. Finishing files the recording (Info frame, caller
// ID, tag, counter); CleanDisk deletes the oldest day folders while a drive is low on space.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/core/clock.h"
#include "common/core/recorder_settings.h"
#include "recorder/core/line_state.h"
#include "recorder/core/mp3_encoder.h"
#include "recorder/core/recorder_ports.h"

namespace pell {

struct RecordingJournal;

inline constexpr char kIdleTip[] = "Pell2Recorder";
inline constexpr char kRecordingTip[] = "Pell2Recorder - recording";
// Caller ID and dialled digits lie at the start; the temp file keeps the first ten minutes.
inline constexpr int64_t kTempFileMaxSeconds = 600;
inline constexpr uint32_t kCleaningPeriodMs = 10000;

struct RecorderServices {
    Clock& clock;
    LineStates& lines;
    RecorderView& view;
    Notifier& notifier;
    FileSystem& fileSystem;
    FreeSpaceProvider& freeSpace;
    IdentifyCallerFn identifyCaller;  // empty: every recording gets number "" and mark 'U'
    FiledRecordingFn onFiled;         // optional: told of every finished file
};

// Result of RemoveOldestDay.
enum class RemoveDayResult { kRemoved, kRemoveFailed, kMissing };

class RecorderCore {
public:
    // settings and toneTables belong to the owner and are reloaded by it; call OnSettingsLoaded
    // after every load. A running call keeps the settings it started with (files, limits, caller
    // ID, gain) and the kept pre-roll stays; only a change of the capture (sample rate or device)
    // needs FinishAllRecordings before the load. The core never writes the settings.
    RecorderCore(const RecorderSettings& settings, const ToneTables& toneTables, RecorderServices services);
    ~RecorderCore();
    RecorderCore(const RecorderCore&) = delete;
    RecorderCore& operator=(const RecorderCore&) = delete;

    // Sizes the history blocks and buffers for the loaded sample rate (zero-filled when it changed),
    // takes the file counters (of channels not in a call) and cleaning cursors as loaded, checks
    // the drop folders, and tells each of loadMessages (what the load refused).
    void OnSettingsLoaded(std::vector<std::string> loadMessages = {});

    // The encoder library is linked in: true when an encoder instance can be made for the channel;
    // otherwise "Could not open lame codec dll" has been shown.
    bool LoadEncoder(Line line);

    // count interleaved 16-bit values (left = line 1, right = line 2), normally sampleRate of them.
    void ProcessBlock(const int16_t* samples, size_t count);

    // Stops and files every running recording (before a reload and at shut-down).
    void FinishAllRecordings();

    // One cleaning pass; nullopt while cleaning is off (the timer keeps its period), else the
    // period (ms) the timer must be restarted with.
    std::optional<uint32_t> CleanDisk();
    RemoveDayResult RemoveOldestDay(const std::string& path, Line line, std::chrono::year_month_day date);

    // The steps block processing calls; public so the owner and tests can drive them.
    void OpenRecordingFile(Line line);
    bool StartEncoding(Line line);
    void EncodeBlock(Line line, const int16_t* samples, size_t count);
    void FinishRecording(Line line);

    // Start-up, after the settings are loaded and before capture starts: finishes every recording
    // that a crash or power cut left unfinished (its journal is still there). Each part is cut
    // to its whole frames (a hole a power cut left inside is taken out), gets its tag with the
    // caller found in the temp file when the call had made it, and the time the call ended; the
    // counter moves on, onFiled hears of each part and a log line tells. A journal marked filed
    // (its removal failed) is only removed. Leftover temporaries of the state files are removed
    // too. Returns the number of recordings finished.
    int RecoverUnfinishedRecordings();

    uint32_t lastBufferTick() const { return lastBufferTick_; }
    bool finishing(Line line) const { return channels_[line].finishing; }
    bool recording(Line line) const { return channels_[line].recording; }
    // From the start of a recording until it is filed.
    bool inCall(Line line) const { return channels_[line].inCall; }
    // The number the channel's next recording file takes.
    uint32_t fileCounter(Line line) const { return channels_[line].fileCounter; }
    // The cleaning cursor: the oldest day folder not yet deleted.
    std::chrono::year_month_day folderDate(Line line) const { return channels_[line].folderDate; }
    std::string TempFilePath(Line line) const;
    // The running recording's journal: "channel1.journal" / "channel2.journal" in the program folder.
    std::string JournalPath(Line line) const;

private:
    struct Part {
        std::string path;
        uint32_t counter = 0;
        uint64_t audioBytes = 0;  // on disk when the part was closed
    };
    struct ChannelRuntime {
        bool recording = false;  // sound or line decided so; a load does not end it, FinishAllRecordings does
        bool inCall = false;     // a recording runs or is being filed: `call` holds its settings
        ChannelConfig call;      // the settings the running call started with
        ToneTable callTones;
        uint32_t silenceStart = 0;                 // tick ms the quiet began; 0: not running
        uint32_t fileCounter = 0;                  // carried on from the counter file
        std::chrono::year_month_day folderDate{};  // carried on from the cleaning cursor file
        std::string mp3Path;                       // the part being written or last tried
        Mp3Encoder encoder;
        File mp3File;
        File tempFile;
        bool finishing = false;
        bool stereoPath = false;            // fixed at the start of a recording
        bool needPart = false;              // no part is open; one is tried before the next write
        bool reported = false;              // this recording's loss has been told
        uint64_t streamBytes = 0;           // MP3 bytes the encoder has produced this recording
        uint64_t fileBytes = 0;             // bytes of the current part known to be on disk
        bool fileHoldsStreamStart = false;  // the current part begins with the encoder's Info frame slot
        std::chrono::year_month_day fileDate{};
        LocalDateTime startedAt{};
        std::vector<Part> parts;  // the last one is open while mp3File is
        std::string journalled;   // the journal text last written, so a retry does not rewrite it
        uint64_t tempBytes = 0;
        std::vector<int16_t> block;
        std::array<std::vector<int16_t>, 5> history;  // [0] previous block ... [4] five back
    };

    // The running call's own settings while it lasts, else the loaded ones.
    const ChannelConfig& Config(Line line) const {
        const ChannelRuntime& ch = channels_[line];
        return ch.inCall ? ch.call : settings_.channels[line.index()];
    }
    const ToneTable& Tones(Line line) const {
        const ChannelRuntime& ch = channels_[line];
        return ch.inCall ? ch.callTones : toneTables_[line.index()];
    }
    bool StereoPath(Line line) const;
    void Decide(Line line, int64_t level, uint32_t now);
    void StartRecording(Line line, bool withHistory);
    void StopRecording(Line line);
    void WriteTemp(Line line, const int16_t* samples, size_t count);
    // A new part is only begun for sound, never for the encoder's last bytes alone.
    void WriteMp3(Line line, const std::vector<uint8_t>& bytes, bool sound);
    void WriteInfoFrame(Line line);
    // Ends the open part: empty parts are removed, kept ones advance the counter.
    void ClosePart(Line line, bool failed, const std::string& why);
    void ReportRecordingLoss(Line line, const std::string& text);
    // Names the parts, and pending (a part about to be created), so a crash leaves none unnamed.
    void WriteJournal(Line line, const std::string& pending = {});
    void RemoveJournal(Line line);
    // Tags each part and puts it on the disk, so the journal may go.
    void TagParts(Line line, const std::vector<Part>& parts, const IdentifiedCaller& caller);
    std::vector<Part> PartsOnDisk(const RecordingJournal& journal);
    // Finishes one channel's cut recording; false when there was none (or it was filed already).
    bool RecoverChannel(Line line);
    void RemoveLeftoverTemporaries();
    uint32_t PartSeconds(Line line, const Part& part) const;
    void WriteCounterFile(Line line);
    void AppendHistoryLog(const std::string& line);
    void WriteFolderDateFile(Line line, std::chrono::year_month_day date);
    // Tells of a failing file once, until the same file works again.
    void ReportFailure(const std::string& key, const std::string& text);
    void ClearFailure(const std::string& key) { failing_.erase(key); }
    void QueueMessage(std::string text);
    void ShowPendingMessages();

    const RecorderSettings& settings_;
    const ToneTables& toneTables_;
    RecorderServices services_;
    PerLine<ChannelRuntime> channels_;
    uint32_t lastBufferTick_ = 0;
    std::vector<uint8_t> encodedBlock_;
    std::deque<std::string> pendingMessages_;
    bool showingMessages_ = false;
    std::set<std::string> failing_;
};

}  // namespace pell
