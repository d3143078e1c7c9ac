#include "player/engine/waveform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/core/paths.h"
#include "player/engine/mp3_decoder.h"

namespace pell {

namespace {

constexpr char kMagic[8] = {'P', 'E', 'L', 'L', 'W', 'A', 'V', '1'};
constexpr std::size_t kHeaderBytes = 8 + 8 + 4 + 4 + 4 + 8 + 4;
constexpr std::size_t kReadBlock = std::size_t{64} * 1024;
constexpr std::uint64_t kFnvOffset = 1469598103934665603ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

std::uint64_t Fnv(std::uint64_t hash, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * kFnvPrime;
    return hash;
}

void Put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint64_t Get(std::string_view in, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(in[at + static_cast<std::size_t>(i)])) << (8 * i);
    return value;
}

std::string Hex(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

WaveformBuilder::WaveformBuilder(int sampleRate, int channels, int msPerPeak) {
    waveform_.sampleRate = sampleRate;
    waveform_.channels = std::clamp(channels, 1, 2);
    waveform_.msPerPeak = std::max(msPerPeak, 1);
    framesPerPeak_ = std::max<std::size_t>(
        1, static_cast<std::size_t>(sampleRate) * static_cast<std::size_t>(waveform_.msPerPeak) / 1000);
}

void WaveformBuilder::Add(const std::int16_t* samples, std::size_t frames) {
    const auto channels = static_cast<std::size_t>(waveform_.channels);
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::size_t c = 0; c < channels; ++c) {
            const int v = samples[f * channels + c];
            slicePeak_ = std::max(slicePeak_, std::abs(v));
            sliceSquares_ += static_cast<double>(v) * v;
        }
        if (++inSlice_ == framesPerPeak_) Close();
    }
    waveform_.frames += frames;
}

void WaveformBuilder::Close() {
    if (inSlice_ == 0) return;
    const double rms =
        std::sqrt(sliceSquares_ / static_cast<double>(inSlice_ * static_cast<std::size_t>(waveform_.channels)));
    waveform_.peaks.push_back({static_cast<std::uint16_t>(slicePeak_), static_cast<std::uint16_t>(std::lround(rms))});
    inSlice_ = 0;
    slicePeak_ = 0;
    sliceSquares_ = 0;
}

Waveform WaveformBuilder::Finish() {
    Close();
    return std::move(waveform_);
}

std::optional<Waveform> ComputeWaveform(const std::string& mp3Path, std::string* error,
                                        const std::atomic<bool>* cancel) {
    const auto fail = [&](const std::string& why) {
        if (error != nullptr) *error = why;
        return std::nullopt;
    };
    std::ifstream in(mp3Path, std::ios::binary);
    if (!in) return fail("cannot open " + mp3Path);
    Mp3Decoder decoder(nullptr);
    decoder.Init();
    if (!decoder.Ready()) return fail(decoder.Error());
    std::vector<std::uint8_t> input(kReadBlock);
    std::vector<std::uint8_t> frame(kMaxFramePcmBytes);
    std::optional<WaveformBuilder> builder;
    int channels = 0;
    int rate = 0;
    while (in) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return fail("cancelled");
        in.read(reinterpret_cast<char*>(input.data()), static_cast<std::streamsize>(input.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) break;
        std::size_t done = 0;
        int r = decoder.Decode(input.data(), got, frame.data(), frame.size(), &done);
        while (r == kMp3Ok) {
            if (!builder) {
                if (!decoder.Format(&rate, &channels)) return fail("the decoder gave no format");
                builder.emplace(rate, channels);
            }
            builder->Add(reinterpret_cast<const std::int16_t*>(frame.data()),
                         done / (2 * static_cast<std::size_t>(channels)));
            r = decoder.Decode(nullptr, 0, frame.data(), frame.size(), &done);
        }
        // A damaged frame is skipped as playback skips it.
        if (r == kMp3Error) decoder.Init();
    }
    if (!builder) return fail("no audio in " + mp3Path);
    return builder->Finish();
}

std::vector<std::uint16_t> ColumnPeaks(const Waveform& waveform, int columns) {
    std::vector<std::uint16_t> out(static_cast<std::size_t>(std::max(columns, 0)), 0);
    const std::size_t count = waveform.peaks.size();
    if (out.empty() || count == 0) return out;
    for (std::size_t x = 0; x < out.size(); ++x) {
        const std::size_t first = x * count / out.size();
        const std::size_t last = std::max(first + 1, (x + 1) * count / out.size());
        for (std::size_t i = first; i < last && i < count; ++i) out[x] = std::max(out[x], waveform.peaks[i].peak);
    }
    return out;
}

std::uint32_t MsAtColumn(const Waveform& waveform, int column, int columns) {
    if (columns <= 0) return 0;
    const double fraction = std::clamp(static_cast<double>(column) / columns, 0.0, 1.0);
    return static_cast<std::uint32_t>(std::floor(fraction * waveform.DurationMs()));
}

std::optional<std::uint64_t> WaveformFingerprint(const std::string& mp3Path) {
    std::ifstream in(mp3Path, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    const auto size = static_cast<std::uint64_t>(in.tellg());
    std::uint64_t audioEnd = size;
    if (size >= 128) {
        char tag[3] = {};
        in.seekg(static_cast<std::streamoff>(size - 128));
        in.read(tag, 3);
        if (in && std::memcmp(tag, "TAG", 3) == 0) audioEnd = size - 128;
    }
    in.clear();
    in.seekg(0);
    std::uint64_t hash = Fnv(kFnvOffset, &size, sizeof size);
    std::vector<char> block(kReadBlock);
    for (std::uint64_t at = 0; at < audioEnd;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), audioEnd - at));
        in.read(block.data(), static_cast<std::streamsize>(want));
        if (static_cast<std::size_t>(in.gcount()) != want) return std::nullopt;
        hash = Fnv(hash, block.data(), want);
        at += want;
    }
    return hash;
}

std::string EncodeWaveform(const Waveform& waveform, std::uint64_t fingerprint) {
    std::string out(kMagic, sizeof kMagic);
    Put(out, fingerprint, 8);
    Put(out, static_cast<std::uint32_t>(waveform.sampleRate), 4);
    Put(out, static_cast<std::uint32_t>(waveform.channels), 4);
    Put(out, static_cast<std::uint32_t>(waveform.msPerPeak), 4);
    Put(out, waveform.frames, 8);
    Put(out, waveform.peaks.size(), 4);
    for (const WaveformPeak& p : waveform.peaks) {
        Put(out, p.peak, 2);
        Put(out, p.rms, 2);
    }
    return out;
}

std::optional<Waveform> DecodeWaveform(std::string_view bytes, std::uint64_t fingerprint) {
    if (bytes.size() < kHeaderBytes || bytes.substr(0, 8) != std::string_view(kMagic, 8)) return std::nullopt;
    if (Get(bytes, 8, 8) != fingerprint) return std::nullopt;
    Waveform w;
    w.sampleRate = static_cast<int>(Get(bytes, 16, 4));
    w.channels = static_cast<int>(Get(bytes, 20, 4));
    w.msPerPeak = static_cast<int>(Get(bytes, 24, 4));
    w.frames = Get(bytes, 28, 8);
    const std::uint64_t count = Get(bytes, 36, 4);
    if (w.sampleRate < 1000 || w.sampleRate > 192000 || w.channels < 1 || w.channels > 2 || w.msPerPeak < 1 ||
        bytes.size() != kHeaderBytes + count * 4)
        return std::nullopt;
    w.peaks.resize(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < w.peaks.size(); ++i) {
        w.peaks[i].peak = static_cast<std::uint16_t>(Get(bytes, kHeaderBytes + 4 * i, 2));
        w.peaks[i].rms = static_cast<std::uint16_t>(Get(bytes, kHeaderBytes + 4 * i + 2, 2));
    }
    return w;
}

WaveformCache::WaveformCache(const std::string& programFolder) : folder_(JoinPath(programFolder, kFolderName)) {}

std::string WaveformCache::FileFor(const std::string& mp3Path) const {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(mp3Path, ec);
    const std::string key = ec ? mp3Path : absolute.lexically_normal().string();
    return JoinPath(folder_, Hex(Fnv(kFnvOffset, key.data(), key.size())) + ".peaks");
}

std::optional<Waveform> WaveformCache::Load(const std::string& mp3Path) const {
    const std::optional<std::uint64_t> fingerprint = WaveformFingerprint(mp3Path);
    if (!fingerprint) return std::nullopt;
    std::ifstream in(FileFor(mp3Path), std::ios::binary);
    if (!in) return std::nullopt;
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    return DecodeWaveform(bytes, *fingerprint);
}

bool WaveformCache::Store(const std::string& mp3Path, const Waveform& waveform) const {
    const std::optional<std::uint64_t> fingerprint = WaveformFingerprint(mp3Path);
    if (!fingerprint) return false;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    const std::string target = FileFor(mp3Path);
    const std::string temporary = target + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        const std::string bytes = EncodeWaveform(waveform, *fingerprint);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::filesystem::remove(temporary, ec);
            return false;
        }
    }
    // Readers see the old outline or the new one, never half of one.
    std::filesystem::rename(temporary, target, ec);
    if (ec) std::filesystem::remove(temporary, ec);
    return !ec;
}

std::optional<Waveform> WaveformCache::Get(const std::string& mp3Path, std::string* error,
                                           const std::atomic<bool>* cancel) const {
    if (std::optional<Waveform> cached = Load(mp3Path)) return cached;
    std::optional<Waveform> computed = ComputeWaveform(mp3Path, error, cancel);
    if (computed && Store(mp3Path, *computed)) Prune();
    return computed;
}

void WaveformCache::Prune(std::size_t maxFiles) const {
    std::error_code ec;
    std::vector<std::pair<std::filesystem::file_time_type, std::filesystem::path>> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
        if (entry.path().extension() != ".peaks") continue;
        files.emplace_back(entry.last_write_time(ec), entry.path());
    }
    if (files.size() <= maxFiles) return;
    std::sort(files.begin(), files.end());
    for (std::size_t i = 0; i + maxFiles < files.size(); ++i) std::filesystem::remove(files[i].second, ec);
}

}  // namespace pell
