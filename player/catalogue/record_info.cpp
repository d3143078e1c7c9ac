#include "player/catalogue/record_info.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "player/catalogue/record_file.h"

namespace pell {
namespace {

// kbit/s for bit-rate index 1 to 14.
constexpr int kMpeg1Layer1[14] = {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
constexpr int kMpeg1Layer2[14] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr int kMpeg1Layer3[14] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kMpeg2Layer1[14] = {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
constexpr int kMpeg2Layer23[14] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

// The recorder's files sync at their first byte; a small first read keeps the fill close to
// the cost of the tag read alone, later reads are large for files that do not.
constexpr std::size_t kFirstScanRead = 512;
constexpr std::size_t kLaterScanRead = 64 * 1024;

// Sequential reads through a window that refills at the requested position.
class ScanWindow {
public:
    explicit ScanWindow(const RecordBytes& bytes) : bytes_(bytes) {}

    bool Get(int64_t pos, uint8_t& out) {
        if (pos < start_ || pos >= start_ + static_cast<int64_t>(filled_)) {
            buffer_.resize(buffer_.empty() ? kFirstScanRead : kLaterScanRead);
            start_ = pos;
            filled_ = bytes_.ReadAt(pos, buffer_);
            if (filled_ == 0) return false;
        }
        out = buffer_[static_cast<std::size_t>(pos - start_)];
        return true;
    }

private:
    const RecordBytes& bytes_;
    std::vector<uint8_t> buffer_;
    int64_t start_ = 0;
    std::size_t filled_ = 0;
};

}  // namespace

std::size_t MemoryRecordBytes::ReadAt(int64_t offset, std::span<uint8_t> out) const {
    if (offset < 0 || offset >= Length()) return 0;
    const std::size_t count = std::min(out.size(), bytes_.size() - static_cast<std::size_t>(offset));
    std::memcpy(out.data(), bytes_.data() + offset, count);
    return count;
}

std::optional<FrameSync> FindFirstSync(const RecordBytes& bytes) {
    const int64_t length = bytes.Length();
    ScanWindow window(bytes);
    int64_t pos = 0;
    while (pos < length) {
        uint8_t b0 = 0;
        if (!window.Get(pos, b0)) return std::nullopt;
        if (b0 != 0xFF) {
            ++pos;
            continue;
        }
        // A header needs three more bytes; without them there is no frame to measure.
        if (length - pos - 1 < 3) return std::nullopt;
        uint8_t b1 = 0;
        uint8_t b2 = 0;
        uint8_t b3 = 0;
        if (!window.Get(pos + 1, b1) || !window.Get(pos + 2, b2) || !window.Get(pos + 3, b3)) {
            return std::nullopt;
        }
        if ((b1 & 0xE0) != 0xE0) {
            // Resume right after b1 by position, so every step moves forward.
            pos += 2;
            continue;
        }
        FrameSync sync;
        sync.offset = pos;
        sync.versionBits = (b1 >> 3) & 0x3u;
        sync.layerBits = (b1 >> 1) & 0x3u;
        sync.bitrateIndex = (b2 >> 4) & 0xFu;
        return sync;
    }
    return std::nullopt;
}

int BitrateKbps(const FrameSync& sync) {
    if (sync.bitrateIndex == 0 || sync.bitrateIndex >= 15) return 0;
    const bool mpeg1Rows = sync.versionBits == 3 || sync.versionBits == 1;
    const int* row = nullptr;
    switch (sync.layerBits) {
        case 3:
            row = mpeg1Rows ? kMpeg1Layer1 : kMpeg2Layer1;
            break;
        case 2:
            row = mpeg1Rows ? kMpeg1Layer2 : kMpeg2Layer23;
            break;
        case 1:
            row = mpeg1Rows ? kMpeg1Layer3 : kMpeg2Layer23;
            break;
        default:
            return 0;
    }
    return row[sync.bitrateIndex - 1];
}

int64_t DurationSeconds(int64_t fileLength, int bitrateKbps) {
    // The tag's 128 bytes are taken off whether or not the file has one.
    if (bitrateKbps <= 0 || fileLength <= static_cast<int64_t>(kTagSize)) return 0;
    const double kilobits = static_cast<double>(fileLength - static_cast<int64_t>(kTagSize)) * 8 / 1000;
    return static_cast<int64_t>(std::trunc(kilobits / bitrateKbps));
}

std::string FormatDuration(int64_t seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds % 3600 / 60), static_cast<long long>(seconds % 60));
    return text;
}

std::string FormatStartTime(std::time_t when) {
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) return {};
    char text[64];
    // Spelled out rather than %X so the text does not follow the process locale.
    const std::size_t n = std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
    return std::string(text, n);
}

RecordInfo DescribeRecording(const RecordBytes& bytes, std::time_t lastWrite) {
    RecordInfo info;
    const int64_t length = bytes.Length();
    if (length >= static_cast<int64_t>(kTagSize)) {
        TagBytes tag{};
        if (bytes.ReadAt(length - static_cast<int64_t>(kTagSize), tag) == kTagSize) {
            if (auto fields = ParseRecordingTag(tag)) {
                info.number = std::move(fields->number);
                info.channel = std::move(fields->channel);
                info.bookmark = std::move(fields->bookmark);
                info.played = fields->played;
                info.direction = fields->direction;
            }
        }
    }
    if (length < 3) return info;
    const auto sync = FindFirstSync(bytes);
    const int64_t seconds = DurationSeconds(length, sync ? BitrateKbps(*sync) : 0);
    info.date = FormatStartTime(lastWrite - static_cast<std::time_t>(seconds));
    info.duration = FormatDuration(seconds);
    return info;
}

RecordInfo ReadRecordInfo(const std::string& path) {
    RecordFile file(path, RecordFile::Mode::kRead);
    if (!file.IsOpen()) return {};
    return DescribeRecording(FileRecordBytes(file), static_cast<std::time_t>(file.LastWrite().seconds));
}

}  // namespace pell
