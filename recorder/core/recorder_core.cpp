// Block processing: split, gain, meters, status, the start/stop decisions and the output of
// the recording channels.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "recorder/core/recorder_core.h"

namespace pell {
namespace {

int16_t Saturate(int64_t value) { return static_cast<int16_t>(std::clamp<int64_t>(value, -32768, 32767)); }

int64_t Magnitude(int64_t value) { return value < 0 ? -value : value; }

int MeterPosition(int64_t peak) { return static_cast<int>(std::min<int64_t>(peak * 100 / 32678, 100)); }

}  // namespace

RecorderCore::RecorderCore(const RecorderSettings& settings, const ToneTables& toneTables, RecorderServices services)
    : settings_(settings), toneTables_(toneTables), services_(std::move(services)) {
    OnSettingsLoaded();
}

RecorderCore::~RecorderCore() = default;

void RecorderCore::OnSettingsLoaded(std::vector<std::string> loadMessages) {
    const size_t perBlock = settings_.sampleRate > 0 ? static_cast<size_t>(settings_.sampleRate) / 2 : 0;
    for (size_t c = 0; c < channels_.size(); ++c) {
        ChannelRuntime& ch = channels_[c];
        // The kept seconds before a seizure hold the caller ID: only a new rate makes them useless.
        if (ch.history[0].size() != perBlock) {
            ch.block.assign(perBlock, 0);
            for (std::vector<int16_t>& h : ch.history) h.assign(perBlock, 0);
        }
        // The state files were read with the settings: numbering and cleaning go on from there.
        // A call in progress owns its counter until its part is closed.
        if (!ch.inCall) ch.fileCounter = settings_.channels[c].fileCounter;
        ch.folderDate = settings_.channels[c].folderDate;
        const ChannelConfig& cfg = settings_.channels[c];
        if (cfg.exists && !cfg.dropFolder.empty() && !services_.fileSystem.MakeDirectories(cfg.dropFolder)) {
            loadMessages.push_back("The drop folder \"" + cfg.dropFolder + "\" of channel " + std::to_string(c + 1) +
                                   " is not a folder and cannot be made one: the calls of line " +
                                   std::to_string(c + 1) + " cannot be recorded until it is.");
        }
    }
    // Settings the load had to refuse: each is told once per load.
    for (std::string& text : loadMessages) {
        services_.notifier.Log(text);
        QueueMessage(std::move(text));
    }
    ShowPendingMessages();
}

bool RecorderCore::StereoPath(Line line) const {
    // Only line 1 has a stereo path, and only under sound-level control: a line-state channel
    // records its own line.
    const ChannelConfig& c = Config(line);
    return line.channel() == 0 && c.stereo && c.sensitiveControl == LineControl::kSoundLevel;
}

void RecorderCore::ProcessBlock(const int16_t* samples, size_t count) {
    const uint32_t now = services_.clock.TickMs();
    lastBufferTick_ = now;
    const size_t perChannel = samples != nullptr ? count / 2 : 0;

    // Split and measure: gain saturates, the peak is the largest scaled magnitude.
    const int64_t gain0 = Config(kLines[0]).gain;
    const int64_t gain1 = Config(kLines[1]).gain;
    int64_t peak0 = 0, peak1 = 0, peakAll = 0;
    for (ChannelRuntime& ch : channels_) ch.block.resize(perChannel);
    int16_t* left = channels_[0].block.data();
    int16_t* right = channels_[1].block.data();
    for (size_t i = 0; i < perChannel; ++i) {
        const int64_t l = samples[2 * i];
        const int64_t r = samples[2 * i + 1];
        const int64_t l0 = l * gain0;
        const int64_t r1 = r * gain1;
        peak0 = std::max(peak0, Magnitude(l0));
        peak1 = std::max(peak1, Magnitude(r1));
        peakAll = std::max({peakAll, Magnitude(l), Magnitude(r)});
        left[i] = Saturate(l0);
        right[i] = Saturate(r1);
    }
    const PerLine<int64_t> peaks{peak0, peak1};

    for (const Line line : kLines) services_.view.SetMeter(line, MeterPosition(peaks[line]));

    for (const Line line : kLines) {
        const ChannelConfig& cfg = Config(line);
        char text[64];
        if (cfg.sensitiveControl == LineControl::kSoundLevel) {
            std::snprintf(text, sizeof text, "%lld-%d", static_cast<long long>(peaks[line] / 1024),
                          std::max(cfg.sensitiveLevel, 1));
        } else {
            std::snprintf(text, sizeof text, "H%d %s", line.channel() + 1,
                          services_.lines.lineActive[line] ? "On" : "Off");
        }
        services_.view.SetStatusText(line, text);
    }
    for (const Line line : kLines) services_.view.SetRecordingCheck(line, channels_[line].recording);

    for (const Line line : kLines) {
        const ChannelConfig& cfg = Config(line);
        if (!cfg.exists || channels_[line].finishing) continue;
        Decide(line, StereoPath(line) ? peakAll : peaks[line], now);
    }

    for (const Line line : kLines) {
        const ChannelConfig& cfg = Config(line);
        ChannelRuntime& ch = channels_[line];
        if (!cfg.exists || !ch.recording || ch.finishing) continue;
        if (ch.stereoPath) {
            // The MP3 gets both lines as they came; the temp file only line 1 with gain.
            EncodeBlock(line, samples, perChannel * 2);
        } else {
            EncodeBlock(line, ch.block.data(), perChannel);
        }
        WriteTemp(line, ch.block.data(), perChannel);
    }

    for (ChannelRuntime& ch : channels_) {
        std::rotate(ch.history.begin(), ch.history.end() - 1, ch.history.end());
        ch.history[0].assign(ch.block.begin(), ch.block.end());
    }

    ShowPendingMessages();
}

void RecorderCore::Decide(Line line, int64_t level, uint32_t now) {
    const ChannelConfig& cfg = Config(line);
    ChannelRuntime& ch = channels_[line];
    const int64_t endOfFileS = std::max<int32_t>(cfg.endOfFile, 0);
    if (cfg.sensitiveControl == LineControl::kSoundLevel) {
        const int64_t threshold = int64_t{std::max(cfg.sensitiveLevel, 1)} * 1024;
        if (level >= threshold) {
            if (!ch.recording) StartRecording(line, false);
            ch.silenceStart = 0;
        } else if (ch.recording) {
            if (ch.silenceStart == 0) {
                // 0 means "not running": a silence starting at tick 0 counts from the tick before.
                ch.silenceStart = now != 0 ? now : now - 1;
            } else if (int64_t{TicksSince(ch.silenceStart, now)} / 1000 > endOfFileS) {
                StopRecording(line);
            }
        }
        return;
    }
    const bool active = services_.lines.lineActive[line];
    if (active) {
        if (!ch.recording) StartRecording(line, true);
        ch.silenceStart = 0;
    } else if (ch.recording) {
        const uint32_t seizedAt = services_.lines.lineSeizedAt[line];
        if (int64_t{TicksSince(seizedAt, now)} >= endOfFileS * 1000) StopRecording(line);
    }
}

void RecorderCore::StartRecording(Line line, bool withHistory) {
    ChannelRuntime& ch = channels_[line];
    // From here to its filing the call keeps these settings, whatever a reload brings.
    ch.call = settings_.channels[line.index()];
    ch.callTones = toneTables_[line.index()];
    ch.inCall = true;
    ch.journalled.clear();
    ch.stereoPath = StereoPath(line);
    ch.reported = false;
    ch.startedAt = services_.clock.Now();
    ch.parts.clear();
    if (ch.stereoPath) {
        StartEncoding(line);
        OpenRecordingFile(line);
    } else {
        OpenRecordingFile(line);
        StartEncoding(line);
    }
    ch.recording = true;
    ch.silenceStart = 0;
    if (withHistory) {
        // Oldest first: the caller-ID burst lies in the seconds before the line was seen seized.
        for (size_t i = ch.history.size(); i-- > 0;) WriteTemp(line, ch.history[i].data(), ch.history[i].size());
    }
}

void RecorderCore::StopRecording(Line line) {
    channels_[line].recording = false;
    services_.view.SetTrayIcon(TrayIcon::kIdle, kIdleTip);
    channels_[line].finishing = true;
    FinishRecording(line);
}

void RecorderCore::FinishAllRecordings() {
    for (const Line line : kLines) {
        if (channels_[line].recording && !channels_[line].finishing) StopRecording(line);
    }
    ShowPendingMessages();
}

void RecorderCore::WriteTemp(Line line, const int16_t* samples, size_t count) {
    ChannelRuntime& ch = channels_[line];
    if (!ch.tempFile || count == 0) return;
    const uint64_t limit = static_cast<uint64_t>(std::max(settings_.sampleRate, 0)) * 2 * kTempFileMaxSeconds;
    if (ch.tempBytes >= limit) return;
    const size_t bytes = static_cast<size_t>(std::min<uint64_t>(count * 2, limit - ch.tempBytes)) & ~size_t{1};
    // Headerless little-endian samples. A failed write ends the file where its last whole block
    // ends: the caller ID lies at its start.
    if (ch.tempFile.Write(samples, bytes)) {
        ch.tempBytes += bytes;
        return;
    }
    const std::string error = ch.tempFile.LastError();
    ch.tempFile.Truncate(ch.tempBytes);
    ch.tempBytes = limit;
    ReportFailure("temp" + std::to_string(line.channel()),
                  "Line " + std::to_string(line.channel() + 1) + ": the caller ID file " + TempFilePath(line) +
                      " could not be written (" + error + "); the caller of this call may stay unknown.");
}

void RecorderCore::QueueMessage(std::string text) { pendingMessages_.push_back(std::move(text)); }

void RecorderCore::ShowPendingMessages() {
    // A message box may run an event loop that delivers the next block; that block must not
    // open a second box or re-enter the one being shown.
    if (showingMessages_) return;
    showingMessages_ = true;
    while (!pendingMessages_.empty()) {
        const std::string text = std::move(pendingMessages_.front());
        pendingMessages_.pop_front();
        services_.notifier.ShowStop(text);
    }
    showingMessages_ = false;
}

}  // namespace pell
