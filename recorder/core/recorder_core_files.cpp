// Encoding and filing: the MP3 stream per channel, the recording files in day folders, splits at
// the size limit, and the end of a recording (Info frame, caller ID, tag, counter). Every write is
// checked: a part that fails is closed where its last whole block ends, so it still plays, and the
// call goes on in a new part as soon as the disk takes it again.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/core/paths.h"
#include "recorder/core/recorder_core.h"
#include "recorder/core/recording_names.h"

namespace pell {
namespace {

std::string Format(const char* format, const std::string& a, const std::string& b = {}) {
    std::vector<char> text(std::strlen(format) + a.size() + b.size() + 1);
    std::snprintf(text.data(), text.size(), format, a.c_str(), b.c_str());
    return text.data();
}

std::string LineText(Line line) { return "Line " + std::to_string(line.channel() + 1) + ": "; }

}  // namespace

std::string RecorderCore::TempFilePath(Line line) const {
    // Crossed on purpose: line 1 goes to "wave2.out", line 2 to "wave1.out".
    return JoinPath(settings_.programFolder, line.channel() == 0 ? "wave2.out" : "wave1.out");
}

std::string RecorderCore::JournalPath(Line line) const {
    return JoinPath(settings_.programFolder, CounterFileName(line.channel()) + ".journal");
}

bool RecorderCore::LoadEncoder(Line line) {
    (void)line;
    Mp3Encoder probe;
    if (probe.Open(EncoderConfig{}) != 0) {
        services_.notifier.ShowStop("Could not open lame codec dll");
        return false;
    }
    return true;
}

bool RecorderCore::StartEncoding(Line line) {
    ChannelRuntime& ch = channels_[line];
    const ChannelConfig& cfg = Config(line);
    std::string error;
    ch.tempFile = services_.fileSystem.Open(TempFilePath(line), "wb", &error);
    const std::string tempKey = "temp" + std::to_string(line.channel());
    if (ch.tempFile) {
        ClearFailure(tempKey);
    } else {
        ReportFailure(tempKey, LineText(line) + Format("the caller ID file %s could not be created (%s); the caller "
                                                       "of this call stays unknown.",
                                                       TempFilePath(line), error));
    }
    ch.tempBytes = 0;
    ch.streamBytes = 0;
    // Recovery may only read the temp file for this call's caller once it is this call's.
    if (ch.tempFile && !ch.parts.empty()) WriteJournal(line);
    const unsigned long status = ch.encoder.Open(EncoderConfig{settings_.sampleRate, cfg.bitrate, ch.stereoPath});
    if (status == Mp3Encoder::kOutOfMemory) {
        QueueMessage("Out of memory!");
        return false;
    }
    if (status != 0) {
        char text[64];
        std::snprintf(text, sizeof text, "Error opening encoding stream (%lu)", status);
        QueueMessage(text);
        return false;
    }
    return true;
}

void RecorderCore::OpenRecordingFile(Line line) {
    const ChannelConfig& cfg = Config(line);
    ChannelRuntime& ch = channels_[line];
    ch.mp3File = File();
    ch.fileDate = services_.clock.Now().date;
    services_.fileSystem.MakeDirectories(DayFolderPath(cfg.dropFolder, ch.fileDate));
    // Never overwrite a recording: a wrapped or lost counter moves on to the first free name.
    bool advanced = false;
    for (uint32_t tries = 0; tries <= kMaxFileCounter; ++tries) {
        ch.mp3Path = RecordingFilePath(cfg.dropFolder, ch.fileDate, cfg.prefix, ch.fileCounter);
        if (!services_.fileSystem.Exists(ch.mp3Path)) break;
        ch.fileCounter = NextFileCounter(ch.fileCounter);
        advanced = true;
    }
    if (advanced) WriteCounterFile(line);
    // The journal names the part before it is made, so a crash never leaves a file nobody knows.
    WriteJournal(line, ch.mp3Path);
    std::string error;
    ch.mp3File = services_.fileSystem.Open(ch.mp3Path, "wb", &error);
    ch.fileBytes = 0;
    ch.needPart = !ch.mp3File;
    ch.fileHoldsStreamStart = ch.mp3File && ch.streamBytes == 0;
    if (!ch.mp3File) {
        ReportRecordingLoss(line, LineText(line) + Format("the recording file %s could not be created (%s). "
                                                          "Recording goes on as soon as the disk accepts it.",
                                                          ch.mp3Path, error));
        return;
    }
    ch.parts.push_back({ch.mp3Path, ch.fileCounter});
    WriteJournal(line);
}

void RecorderCore::WriteMp3(Line line, const std::vector<uint8_t>& bytes, bool sound) {
    ChannelRuntime& ch = channels_[line];
    if (!ch.mp3File && ch.needPart && sound && !bytes.empty()) OpenRecordingFile(line);
    if (ch.mp3File && !bytes.empty()) {
        if (ch.mp3File.Write(bytes.data(), bytes.size())) {
            ch.fileBytes += bytes.size();
        } else {
            // Never go on in the same file: the bytes lost would leave a hole in the middle of it.
            const std::string why = ch.mp3File.LastError();
            ClosePart(line, true, why);
        }
    }
    ch.streamBytes += bytes.size();
}

void RecorderCore::ClosePart(Line line, bool failed, const std::string& why) {
    ChannelRuntime& ch = channels_[line];
    if (!ch.mp3File) return;
    Part& part = ch.parts.back();
    const std::string path = part.path;
    std::string reason = why;
    // A failed write may have left part of a block behind; the part ends with its last whole block.
    if (failed) ch.mp3File.Truncate(ch.fileBytes);
    // The open file knows where its sound went, even when its folder was moved or deleted meanwhile.
    const FilePlace place = ch.mp3File.Locate(path);
    if (!ch.mp3File.Close() && !failed) {
        failed = true;
        reason = ch.mp3File.LastError();
    }
    ch.needPart = true;
    part.audioBytes = ch.fileBytes;
    const bool gone = place.kind == FilePlace::Kind::kDeleted ||
                      (place.kind == FilePlace::Kind::kUnknown && !services_.fileSystem.Exists(path));
    if (ch.fileBytes == 0) {
        // Nothing of the call is in it: not a recording, and its number stays free.
        if (place.kind == FilePlace::Kind::kAtPath) services_.fileSystem.Remove(path);
        ch.parts.pop_back();
        WriteJournal(line);
    } else {
        ch.fileCounter = NextFileCounter(ch.fileCounter);
        WriteCounterFile(line);
        const uint32_t seconds = PartSeconds(line, part);
        if (place.kind == FilePlace::Kind::kMoved) {
            part.path = place.path;
            WriteJournal(line);
            ReportRecordingLoss(line, LineText(line) +
                                          Format("the recording %s was moved away while it was written "
                                                 "(its folder was moved or replaced); ",
                                                 path) +
                                          std::to_string(seconds) + " seconds of the call are in " + place.path + ".");
        } else if (gone) {
            ch.parts.pop_back();
            WriteJournal(line);
            ReportRecordingLoss(line, LineText(line) +
                                          Format("the recording %s was deleted while it was written; ", path) +
                                          std::to_string(seconds) + " seconds of the call are lost.");
        }
    }
    if (failed) {
        ReportRecordingLoss(line, LineText(line) + Format("the recording %s could not be written (%s). What "
                                                          "reached the disk is kept; recording goes on in a new "
                                                          "file as soon as the disk accepts it.",
                                                          path, reason));
    }
}

uint32_t RecorderCore::PartSeconds(Line line, const Part& part) const {
    // Constant bit rate: the bytes on disk give the length.
    const int64_t kbps = std::max<int32_t>(Config(line).bitrate, 1);
    return static_cast<uint32_t>(part.audioBytes * 8 / static_cast<uint64_t>(kbps * 1000));
}

void RecorderCore::ReportRecordingLoss(Line line, const std::string& text) {
    ChannelRuntime& ch = channels_[line];
    if (ch.reported) return;
    ch.reported = true;
    QueueMessage(text);
    services_.notifier.Log(text);
}

void RecorderCore::EncodeBlock(Line line, const int16_t* samples, size_t count) {
    const ChannelConfig& cfg = Config(line);
    ChannelRuntime& ch = channels_[line];
    services_.view.SetTrayIcon(TrayIcon::kRecording, kRecordingTip);
    encodedBlock_.clear();
    if (ch.encoder.IsOpen()) {
        const size_t chunk = ch.encoder.SamplesPerChunk();
        for (size_t taken = 0; taken < count;) {
            const size_t n = std::min(chunk, count - taken);
            // An encoder error drops the rest of this block; the next block is tried again.
            if (ch.encoder.Encode(samples + taken, n, encodedBlock_) != 0) break;
            taken += n;
        }
    }
    WriteMp3(line, encodedBlock_, true);

    const int64_t limitBytes = int64_t{cfg.maxFileLength} * 1048576;
    if (cfg.maxFileLength > 0 && ch.mp3File && static_cast<int64_t>(ch.fileBytes) > limitBytes) {
        // The first part's Info frame slot gets a frame that describes that part alone.
        WriteInfoFrame(line);
        ClosePart(line, false, {});
        OpenRecordingFile(line);
    }
}

void RecorderCore::WriteInfoFrame(Line line) {
    ChannelRuntime& ch = channels_[line];
    // The frame describes every frame made so far: true of this part only when it holds them all.
    if (!ch.mp3File || !ch.fileHoldsStreamStart || ch.fileBytes != ch.streamBytes) return;
    const std::vector<uint8_t> frame = ch.encoder.InfoFrame();
    if (frame.empty() || frame.size() > ch.fileBytes) return;
    bool written = ch.mp3File.Seek(0) && ch.mp3File.Write(frame.data(), frame.size());
    written = ch.mp3File.SeekEnd().has_value() && written;
    // A frame half written would not decode; the zeroed slot it replaced is skipped by every decoder.
    if (!written) {
        const std::vector<uint8_t> zeros(frame.size(), 0);
        if (ch.mp3File.Seek(0)) ch.mp3File.Write(zeros.data(), zeros.size());
        ch.mp3File.SeekEnd();
    }
}

void RecorderCore::FinishRecording(Line line) {
    const ChannelConfig& cfg = Config(line);
    ChannelRuntime& ch = channels_[line];
    if (ch.encoder.IsOpen()) {
        encodedBlock_.clear();
        ch.encoder.Flush(encodedBlock_);
        WriteMp3(line, encodedBlock_, false);
        WriteInfoFrame(line);  // taken before the encoder is closed
    }
    ClosePart(line, false, {});
    ch.encoder.Close();
    // A temp file that could not be created anew still holds the call before: its caller is not this one's.
    const bool ownTempFile = static_cast<bool>(ch.tempFile);
    if (ownTempFile && !ch.tempFile.Close()) {
        ReportFailure("temp" + std::to_string(line.channel()),
                      LineText(line) + Format("the caller ID file %s could not be written (%s); the caller of this "
                                              "call may stay unknown.",
                                              TempFilePath(line), ch.tempFile.LastError()));
    }
    ch.tempFile = File();

    IdentifiedCaller caller;
    if (services_.identifyCaller && ownTempFile) {
        caller = services_.identifyCaller(TempFilePath(line), cfg.clip, settings_.sampleRate, Tones(line));
    }
    const std::vector<Part> parts = std::move(ch.parts);
    TagParts(line, parts, caller);
    if (parts.empty()) {
        ReportRecordingLoss(line, LineText(line) + "the call was not recorded: no sound of it could be written.");
    }
    RemoveJournal(line);

    int64_t partStart = static_cast<int64_t>(ToTimeT(ch.startedAt));
    for (const Part& part : parts) {
        const uint32_t seconds = PartSeconds(line, part);
        if (services_.fileSystem.Exists(part.path)) {
            NoteFiled(line, part.path, caller, partStart, seconds);
            if (services_.onFiled)
                services_.onFiled({line.channel(), part.path, caller.number, caller.directionMark, seconds});
        }
        partStart += seconds;
    }
    ch.parts.clear();
    ch.needPart = false;
    ch.fileBytes = 0;
    ch.streamBytes = 0;
    ch.inCall = false;
    ch.finishing = false;
}

void RecorderCore::RemoveJournal(Line line) {
    if (services_.fileSystem.Remove(JournalPath(line))) return;
    // A journal that stays would make the next start file the call again: mark it done.
    File journal = services_.fileSystem.Open(JournalPath(line), "ab");
    const bool marked = journal && journal.Write("filed\n", 6) && journal.Sync() && journal.Close();
    ReportFailure("journal" + std::to_string(line.channel()),
                  Format("The recording journal %s could not be removed; ", JournalPath(line)) +
                      (marked ? "it is marked as filed and goes at the next start."
                              : "the next start may report the call as cut."));
}

void RecorderCore::TagParts(Line line, const std::vector<Part>& parts, const IdentifiedCaller& caller) {
    const ChannelConfig& cfg = Config(line);
    const RecordingTag tag{caller.number, cfg.description, caller.directionMark};
    const auto bytes = tag.Bytes();
    const std::string key = "tag" + std::to_string(line.channel());
    // Every part is one call's recording: the player lists each with the caller.
    for (const Part& part : parts) {
        std::string error;
        File file = services_.fileSystem.Open(part.path, "r+b", &error);
        const std::optional<uint64_t> size = file ? file.SeekEnd() : std::nullopt;
        bool tagged = size && file.Write(bytes.data(), bytes.size());
        if (!tagged && size) {
            error = file.LastError();
            file.Truncate(*size);  // a half tag would be read as sound
        }
        // Sound and tag reach the disk before the journal that would recover them goes.
        if (tagged && !file.Sync()) {
            tagged = false;
            error = file.LastError();
        }
        if (file && !file.Close() && tagged) {
            tagged = false;
            error = file.LastError();
        }
        if (tagged) {
            ClearFailure(key);
        } else {
            ReportFailure(key, LineText(line) + Format("the caller could not be added to %s (%s); the recording "
                                                       "plays but is listed without its caller.",
                                                       part.path, error));
        }
    }
}

void RecorderCore::WriteJournal(Line line, const std::string& pending) {
    ChannelRuntime& ch = channels_[line];
    std::string text = "channel=" + std::to_string(line.channel() + 1) +
                       "\nstart=" + FormatLocal(ch.startedAt, "%Y-%m-%d %H:%M:%S") + "\n" +
                       "temp=" + (ch.tempFile ? "own" : "none") + "\n";
    for (const Part& part : ch.parts) text += "part=" + std::to_string(part.counter) + " " + part.path + "\n";
    if (!pending.empty()) text += "part=" + std::to_string(ch.fileCounter) + " " + pending + "\n";
    if (text == ch.journalled) return;
    std::string error;
    const std::string key = "journal" + std::to_string(line.channel());
    if (services_.fileSystem.WriteWhole(JournalPath(line), text, &error)) {
        ch.journalled = text;
        ClearFailure(key);
    } else {
        ch.journalled.clear();
        ReportFailure(key, Format("The recording journal %s could not be written (%s); if the recorder stops during "
                                  "this call, the recording stays without its caller.",
                                  JournalPath(line), error));
    }
}

void RecorderCore::WriteCounterFile(Line line) {
    const std::string path = JoinPath(settings_.programFolder, CounterFileName(line.channel()));
    std::string error;
    if (services_.fileSystem.WriteWhole(path, std::to_string(channels_[line].fileCounter), &error)) {
        ClearFailure(path);
    } else {
        ReportFailure(path, Format("The counter file %s could not be written (%s); numbers go on from memory and no "
                                   "recording is overwritten.",
                                   path, error));
    }
}

void RecorderCore::ReportFailure(const std::string& key, const std::string& text) {
    if (!failing_.insert(key).second) return;
    QueueMessage(text);
    services_.notifier.Log(text);
}

void RecorderCore::NoteFiled(Line line, const std::string& path, const IdentifiedCaller& caller, int64_t startTime,
                             uint32_t seconds) {
    if (services_.custody == nullptr) return;
    const FiledFacts facts{
        {}, startTime, startTime + seconds, Config(line).description, caller.number, caller.directionMark, 0};
    const std::string key = "manifest" + std::to_string(line.channel());
    if (const int error = services_.custody->NoteFiled(path, facts); error != 0) {
        ReportFailure(key, LineText(line) + Format("the manifest entry of %s could not be written (%s); its content "
                                                   "cannot be proven unaltered.",
                                                   path, std::strerror(error)));
        return;
    }
    ClearFailure(key);
}

}  // namespace pell
