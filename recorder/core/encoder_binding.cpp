// Encoding and filing: the MP3 stream per channel, the recording files in day folders, splits at
// the size limit, and the end of a recording (Info frame, caller ID, tag, counter).
#include <cstdio>
#include <string>

#include "common/core/paths.h"
#include "recorder/core/recorder_core.h"
#include "recorder/core/recording_names.h"

namespace pell {

std::string RecorderCore::TempFilePath(int channel) const {
    // Crossed on purpose: line 1 goes to "wave2.out", line 2 to "wave1.out".
    return JoinPath(settings_.programFolder, channel == 0 ? "wave2.out" : "wave1.out");
}

bool RecorderCore::LoadEncoder(int channel) {
    (void)channel;
    Mp3Encoder probe;
    if (probe.Open(EncoderConfig{}) != 0) {
        services_.notifier.ShowStop("Could not open lame codec dll");
        return false;
    }
    return true;
}

bool RecorderCore::StartEncoding(int channel) {
    ChannelRuntime& ch = channels_[Index(channel)];
    const ChannelConfig& cfg = settings_.channels[Index(channel)];
    ch.tempFile = services_.fileSystem.Open(TempFilePath(channel), "wb");
    ch.tempBytes = 0;
    ch.streamBytes = 0;
    const unsigned long status =
        ch.encoder.Open(EncoderConfig{settings_.sampleRate, cfg.bitrate, ch.stereoPath});
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

void RecorderCore::OpenRecordingFile(int channel) {
    ChannelConfig& cfg = settings_.channels[Index(channel)];
    ChannelRuntime& ch = channels_[Index(channel)];
    ch.mp3File.reset();
    ch.fileDate = services_.clock.Now().date;
    services_.fileSystem.MakeDirectories(DayFolderPath(cfg.dropFolder, ch.fileDate));
    // Never overwrite a recording: a wrapped or lost counter moves on to the first free name.
    bool advanced = false;
    for (uint32_t tries = 0; tries <= kMaxFileCounter; ++tries) {
        cfg.mp3Path = RecordingFilePath(cfg.dropFolder, ch.fileDate, cfg.prefix, cfg.fileCounter);
        if (!services_.fileSystem.Exists(cfg.mp3Path)) break;
        cfg.fileCounter = NextFileCounter(cfg.fileCounter);
        advanced = true;
    }
    if (advanced) WriteCounterFile(channel);
    ch.mp3File = services_.fileSystem.Open(cfg.mp3Path, "wb");
    ch.fileFailed = !ch.mp3File;
    ch.fileBytes = 0;
    ch.fileHoldsStreamStart = ch.mp3File && ch.streamBytes == 0;
    if (ch.mp3File) ch.parts.push_back(cfg.mp3Path);
}

void RecorderCore::WriteMp3(int channel, const std::vector<uint8_t>& bytes) {
    ChannelRuntime& ch = channels_[Index(channel)];
    if (!ch.mp3File && ch.fileFailed) OpenRecordingFile(channel);
    if (ch.mp3File && !bytes.empty()) ch.fileBytes += std::fwrite(bytes.data(), 1, bytes.size(), ch.mp3File.get());
    ch.streamBytes += bytes.size();
}

void RecorderCore::EncodeBlock(int channel, const int16_t* samples, size_t count) {
    ChannelConfig& cfg = settings_.channels[Index(channel)];
    ChannelRuntime& ch = channels_[Index(channel)];
    services_.view.SetTrayIcon(TrayIcon::Recording, kRecordingTip);
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
    WriteMp3(channel, encodedBlock_);

    const int64_t limitBytes = int64_t{cfg.maxFileLength} * 1048576;
    if (cfg.maxFileLength > 0 && ch.mp3File && static_cast<int64_t>(ch.fileBytes) > limitBytes) {
        // The first part's Info frame slot gets a frame that describes that part alone.
        WriteInfoFrame(channel);
        cfg.fileCounter = NextFileCounter(cfg.fileCounter);
        ch.mp3File.reset();
        ch.split = true;
        OpenRecordingFile(channel);
        WriteCounterFile(channel);
    }
}

void RecorderCore::WriteInfoFrame(int channel) {
    ChannelRuntime& ch = channels_[Index(channel)];
    if (!ch.mp3File || !ch.fileHoldsStreamStart) return;
    const std::vector<uint8_t> frame = ch.encoder.InfoFrame();
    if (frame.empty() || frame.size() > ch.fileBytes) return;
    std::FILE* file = ch.mp3File.get();
    std::fflush(file);
    if (std::fseek(file, 0, SEEK_SET) == 0) std::fwrite(frame.data(), 1, frame.size(), file);
    std::fseek(file, 0, SEEK_END);
}

void RecorderCore::FinishRecording(int channel) {
    ChannelConfig& cfg = settings_.channels[Index(channel)];
    ChannelRuntime& ch = channels_[Index(channel)];
    if (ch.encoder.IsOpen()) {
        encodedBlock_.clear();
        ch.encoder.Flush(encodedBlock_);
        WriteMp3(channel, encodedBlock_);
        // The frame describes the whole stream, so only an unsplit file gets it; taken before close.
        if (!ch.split) WriteInfoFrame(channel);
    }
    ch.mp3File.reset();
    ch.encoder.Close();
    // A temp file that could not be created anew still holds the call before: its caller is not this one's.
    const bool ownTempFile = static_cast<bool>(ch.tempFile);
    ch.tempFile.reset();

    IdentifiedCaller caller;
    if (services_.identifyCaller && ownTempFile) {
        caller = services_.identifyCaller(TempFilePath(channel), cfg.clip, settings_.sampleRate,
                                          toneTables_[Index(channel)]);
    }
    if (!ch.parts.empty()) {
        // The last part carries the tag; a file that cannot be opened gets none.
        if (FilePtr file = services_.fileSystem.Open(ch.parts.back(), "r+b")) {
            const RecordingTag tag{caller.number, cfg.description, caller.directionMark};
            const auto bytes = tag.Bytes();
            if (std::fseek(file.get(), 0, SEEK_END) == 0) std::fwrite(bytes.data(), 1, bytes.size(), file.get());
        }
    }
    cfg.fileCounter = NextFileCounter(cfg.fileCounter);
    WriteCounterFile(channel);

    if (services_.onFiled) {
        for (const std::string& part : ch.parts) services_.onFiled({channel, part, caller.number, caller.directionMark});
    }
    ch.parts.clear();
    ch.split = false;
    ch.fileFailed = false;
    ch.fileBytes = 0;
    ch.streamBytes = 0;
    ch.finishing = false;
}

void RecorderCore::WriteCounterFile(int channel) {
    const ChannelConfig& cfg = settings_.channels[Index(channel)];
    if (FilePtr file = services_.fileSystem.Open(JoinPath(settings_.programFolder, CounterFileName(channel)), "wb")) {
        std::fprintf(file.get(), "%u", static_cast<unsigned>(cfg.fileCounter));
    }
}

}  // namespace pell
