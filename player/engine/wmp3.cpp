#include "player/engine/wmp3.h"
#include "player/engine/wmp3_messages.h"

#include "player/engine/vu_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace pell {

namespace msg = wmp3_messages;

namespace {
constexpr std::size_t kSearchBufferBytes = 8192;
constexpr std::size_t kMaxFrameBytes = 5761;
}  // namespace

WMp3::WMp3(std::unique_ptr<WaveOutput> output) : output_(std::move(output)) {}

WMp3::~WMp3() {
    Stop();
    JoinWorker();
    std::lock_guard lock(bufferLock_);
    output_->Uninitialize();
}

std::string WMp3::GetError() const {
    std::lock_guard lock(errorLock_);
    return error_.Get();
}

void WMp3::SetError(std::string_view message) {
    std::lock_guard lock(errorLock_);
    error_.Set(message);
}

StreamInfo WMp3::GetStreamInfo() const {
    std::lock_guard lock(streamLock_);
    return info_;
}

int WMp3::OpenMp3File(const char* fileName, int bufferMs) { return OpenMp3File(fileName, bufferMs, 0, 0); }

int WMp3::OpenMp3File(const char* fileName, int bufferMs, std::uint32_t startOffset, std::uint32_t length) {
    if (state_.load() != State::kClosed) {
        SetError(msg::kCloseBeforeOpen);
        return 0;
    }
    auto stream = std::make_unique<WStream>();
    if (!stream->OpenFile(fileName)) {
        // The stream's own reason says more than the generic text (too large, missing name).
        const std::string& reason = stream->GetError();
        SetError(reason.find("too large") != std::string::npos ? std::string_view(reason) : msg::kCantOpenFile);
        return 0;
    }
    return OpenStream(std::move(stream), bufferMs, startOffset, length);
}

void WMp3::FailOpen(std::string_view message) {
    SetError(message);
    stream_.reset();
    searchBuffer_.clear();
    searchBuffer_.shrink_to_fit();
    wakeEvent_.reset();
    info_ = StreamInfo{};
    info_.requiredLayer = info_.requiredSampleRateIndex = info_.requiredChannels = -1;
}

int WMp3::OpenStream(std::unique_ptr<WStream> stream, int bufferMs, std::uint32_t startOffset, std::uint32_t length) {
    JoinWorker();
    std::lock_guard lock(streamLock_);
    try {
        searchBuffer_.assign(kSearchBufferBytes, 0);
    } catch (const std::bad_alloc&) {
        FailOpen(msg::kNoSearchBuffer);
        return 0;
    }
    info_ = StreamInfo{};
    stream_ = std::move(stream);
    info_.startOffset = startOffset;
    if (!stream_->Seek(startOffset, SeekFrom::kBegin)) {
        FailOpen(msg::kCantSeekToStart);
        return 0;
    }
    if (!FindFirstValidFrame()) {
        FailOpen(msg::kNoValidFrame);
        return 0;
    }
    if (!MeasureStream(length)) {
        FailOpen(msg::kCantMeasure);
        return 0;
    }
    if (bufferMs < 200) {
        FailOpen(msg::kBufferTooShort);
        return 0;
    }
    wakeEvent_ = std::make_unique<AutoResetEvent>();
    plan_ = MakeBufferPlan(info_.sampleRate, info_.samplesPerFrame, bufferMs);
    framePcmBytes_ = info_.samplesPerFrame * info_.channels * 2;
    limiter_.Configure(info_.sampleRate, info_.channels);
    {
        std::lock_guard buffers(bufferLock_);
        if (!output_->Initialize(
                1, static_cast<std::uint16_t>(info_.channels), static_cast<std::uint32_t>(info_.sampleRate), 16,
                static_cast<std::uint32_t>(plan_.bufferCount), static_cast<std::uint32_t>(plan_.bufferMs))) {
            FailOpen(msg::kCantInitializeOutput);
            return 0;
        }
    }
    try {
        inputBuffer_.assign(static_cast<std::size_t>(plan_.framesPerBuffer) * kMaxFrameBytes, 0);
    } catch (const std::bad_alloc&) {
        {
            std::lock_guard buffers(bufferLock_);
            output_->Uninitialize();
        }
        FailOpen(msg::kNoInputBuffer);
        return 0;
    }
    seekOffset_.store(0);
    state_.store(State::kOpen);
    return 1;
}

int WMp3::Play() {
    levelReady_.store(0);
    const State state = state_.load();
    if (state == State::kClosed) {
        SetError(msg::kNotOpen);
        return 0;
    }
    if (state == State::kPaused) return Resume();
    if (state == State::kPlaying) return 0;
    std::lock_guard threadLock(threadLock_);
    // A worker that ended on its own (end of stream, failed device) is collected first.
    JoinWorker();
    state_.store(State::kPlaying);
    doneBytes_.store(0);
    currentBuffer_.store(0);
    try {
        worker_ = std::thread([this] { PlayingThread(); });
    } catch (const std::system_error&) {
        state_.store(State::kOpen);
        SetError(msg::kCantCreateThread);
        return 0;
    }
    wakeEvent_->Set();
    return 1;
}

bool WMp3::OnWorkerThread() const { return workerId_.load() == std::this_thread::get_id(); }

void WMp3::JoinWorker() {
    if (worker_.joinable() && !OnWorkerThread()) worker_.join();
}

bool WMp3::AllBuffersDone() const {
    for (std::uint32_t i = 0; i < output_->GetNumOfBuffers(); ++i)
        if (!output_->IsBufferDone(i)) return false;
    return true;
}

bool WMp3::StartRun() {
    InitMP3(decoder_);
    limiter_.Reset();
    limiterOn_ = gains_.Enabled();
    for (std::uint32_t i = 0; i < output_->GetNumOfBuffers(); ++i) {
        output_->SetBufferDone(i);
        output_->UnprepareHeader(i);
    }
    const bool decoderReady = decoder_.Ready();
    if (decoderReady && output_->OpenAudioOutput(kDefaultOutputDevice, &WMp3::WaveOutDone, this, kCallbackFunction))
        return true;
    // Without a decoder or a device nothing plays: say so instead of reporting a silent playback.
    SetError(decoderReady ? output_->GetError() : std::string(msg::kNoDecoder) + decoder_.Error());
    State state = state_.load();
    while (IsPlaying(state) && !state_.compare_exchange_weak(state, State::kOpen)) {}
    ExitMP3(decoder_);
    return false;
}

void WMp3::PlayingThread() {
    std::lock_guard threadLock(threadLock_);
    workerId_.store(std::this_thread::get_id());
    if (!StartRun()) {
        workerId_.store(std::thread::id{});
        return;
    }
    const std::uint32_t count = output_->GetNumOfBuffers();
    while (IsPlaying()) {
        wakeEvent_->Wait();
        if (!IsPlaying()) break;
        for (std::uint32_t i = 0; i < count && IsPlaying(); ++i) {
            if (!output_->IsBufferDone(i)) continue;
            output_->UnprepareHeader(i);
            if (!FillBuffer(i)) {
                if (IsPlaying() && AllBuffersDone()) {
                    StopPlayback(State::kEnded);
                    break;
                }
                continue;
            }
            if (!IsPlaying()) break;
            if (!output_->PlayBuffer(i)) {
                // A buffer the device refused never completes: stop rather than wait for it.
                SetError(output_->GetError());
                output_->SetBufferDone(i);
                Stop();
                break;
            }
        }
    }
    // A buffer queued while Stop was resetting would keep the device from closing.
    output_->Reset();
    for (std::uint32_t i = 0; i < count; ++i) output_->UnprepareHeader(i);
    output_->Close();
    ExitMP3(decoder_);
    workerId_.store(std::thread::id{});
}

int WMp3::FillBuffer(std::uint32_t index) {
    if (!IsPlaying()) return 0;
    const std::uint32_t collected = CollectFrames();
    if (collected == 0) return FlushLimiter(index) ? 1 : 0;
    return DecodeFrames(index, collected) ? 1 : 0;
}

bool WMp3::FlushLimiter(std::uint32_t index) {
    if (!limiterOn_ || limiter_.HeldFrames() == 0 || !IsPlaying()) return false;
    std::lock_guard buffers(bufferLock_);
    const std::size_t frames = limiter_.Flush(output_->GetBufferData(index));
    output_->SetBufferDataSize(index,
                               static_cast<std::uint32_t>(frames) * static_cast<std::uint32_t>(info_.channels) * 2);
    return true;
}

std::uint32_t WMp3::ShapeFrame(std::uint8_t* pcm, std::uint32_t bytes) {
    const double makeUp = decoder_.MakeUpGain();
    const std::uint32_t frameBytes = static_cast<std::uint32_t>(info_.channels) * 2;
    if (limiterOn_) return static_cast<std::uint32_t>(limiter_.Process(pcm, bytes / frameBytes, makeUp)) * frameBytes;
    if (makeUp != 1.0) {
        // Switched on during a run: the boost comes back without the limiter's look-ahead.
        for (std::uint32_t at = 0; at + 1 < bytes; at += 2) {
            std::int16_t sample = 0;
            std::memcpy(&sample, pcm + at, 2);
            const long boosted = std::lround(std::clamp(sample * makeUp, -32767.0, 32767.0));
            sample = static_cast<std::int16_t>(boosted);
            std::memcpy(pcm + at, &sample, 2);
        }
    }
    return bytes;
}

std::uint32_t WMp3::CollectFrames() {
    std::uint32_t collected = 0;
    std::lock_guard lock(streamLock_);
    WStream& s = *stream_;
    const std::uint64_t audioEnd = std::uint64_t{info_.audioStart} + info_.audioBytes;
    const std::int64_t limit = static_cast<std::int64_t>(audioEnd) - 25;
    std::uint8_t* write = inputBuffer_.data();
    int k = 0;
    while (k < plan_.framesPerBuffer) {
        if (!IsPlaying()) return 0;
        const std::uint32_t headerPos = s.GetPosition();
        std::uint32_t n = 0;
        bool ended = static_cast<std::int64_t>(headerPos) > limit || !s.Read(write, 4, &n) || n < 4;
        if (!ended) {
            FrameHeader h;
            if (!ParseFrameHeader(write, h) || h.layer != info_.requiredLayer ||
                h.sampleRateIndex != info_.requiredSampleRateIndex || h.channels != info_.requiredChannels ||
                h.size < 24) {
                if (s.Seek(-3, SeekFrom::kCurrent) && FindFirstValidFrame()) continue;
                // Trailing bytes that hold no frame (a cut tag): the frames collected still play.
                if (k == 0) return 0;
                s.Seek(0, SeekFrom::kEnd);
                break;
            }
            if (!IsPlaying()) return 0;
            // A frame cut off by the audio's end (a tag may follow) is not played.
            ended = std::uint64_t{headerPos} + static_cast<std::uint64_t>(h.size) > audioEnd ||
                    !s.Read(write + 4, static_cast<std::uint32_t>(h.size - 4), &n) ||
                    n < static_cast<std::uint32_t>(h.size - 4);
            if (!ended) {
                collected += static_cast<std::uint32_t>(h.size);
                write += h.size;
                ++k;
                if (!IsPlaying()) return 0;
                continue;
            }
        }
        if (k == 0) return 0;
        s.Seek(0, SeekFrom::kEnd);
        break;
    }
    return collected;
}

bool WMp3::DecodeFrames(std::uint32_t index, std::uint32_t bytes) {
    std::lock_guard buffers(bufferLock_);
    const std::uint32_t capacity = output_->GetBufferSize();
    std::uint8_t* out = output_->GetBufferData(index);
    std::uint32_t produced = 0;
    std::size_t done = 0;
    int r = DecodeMp3(decoder_, inputBuffer_.data(), bytes, out, capacity, &done);
    while (r == kMp3Ok) {
        if (!IsPlaying()) return false;
        produced += ShapeFrame(out + produced, static_cast<std::uint32_t>(done));
        // The rest stays queued in the decoder for the next buffer rather than overrun this one.
        if (capacity - produced < static_cast<std::uint32_t>(framePcmBytes_)) {
            r = kMp3NeedMore;
            break;
        }
        r = DecodeMp3(decoder_, nullptr, 0, out + produced, capacity - produced, &done);
    }
    if (r == kMp3NeedMore) {
        output_->SetBufferDataSize(index, produced);
        return true;
    }
    // A frame the decoder rejects plays as an empty buffer, and decoding starts afresh.
    InitMP3(decoder_);
    output_->SetBufferDataSize(index, 0);
    return true;
}

void WMp3::WaveOutDone(WaveOutput*, OutputMessage message, void* instance, WaveHeader* header) {
    if (message != OutputMessage::kDone) return;
    auto* self = static_cast<WMp3*>(instance);
    self->doneBytes_.fetch_add(header->validBytes);
    const std::uint32_t count = self->output_->GetNumOfBuffers();
    self->currentBuffer_.store(header->index + 1 >= count ? 0 : header->index + 1);
    self->wakeEvent_->Set();
    self->levelReady_.store(1);
}

int WMp3::Stop() {
    levelReady_.store(0);
    if (state_.load() == State::kClosed) {
        SetError(msg::kStopNotOpen);
        JoinWorker();
        return 0;
    }
    return StopPlayback(State::kOpen);
}

int WMp3::StopPlayback(State next) {
    levelReady_.store(0);
    State state = state_.load();
    do {
        if (!IsPlaying(state)) {
            // A worker that stopped itself at the stream's end may still be closing the device.
            JoinWorker();
            return 0;
        }
    } while (!state_.compare_exchange_weak(state, next));
    output_->Reset();
    wakeEvent_->Set();
    JoinWorker();
    std::lock_guard lock(streamLock_);
    stream_->Seek(info_.audioStart, SeekFrom::kBegin);
    seekOffset_.store(0);
    doneBytes_.store(0);
    currentBuffer_.store(0);
    return 1;
}

int WMp3::Pause() {
    const State state = state_.load();
    if (state == State::kClosed) {
        SetError(msg::kNotOpen);
        return 0;
    }
    if (!IsPlaying(state)) return 0;
    output_->Pause();
    State playing = State::kPlaying;
    state_.compare_exchange_strong(playing, State::kPaused);
    return 1;
}

int WMp3::Resume() {
    if (state_.load() == State::kClosed) {
        SetError(msg::kNotOpen);
        return 0;
    }
    output_->Restart();
    State paused = State::kPaused;
    state_.compare_exchange_strong(paused, State::kPlaying);
    return 1;
}

int WMp3::Seek(int seconds) {
    if (state_.load() == State::kClosed) {
        SetError(msg::kNotOpen);
        return 0;
    }
    if (IsPlaying()) Stop();
    JoinWorker();
    State ended = State::kEnded;
    state_.compare_exchange_strong(ended, State::kOpen);
    std::lock_guard lock(streamLock_);
    const std::uint32_t s =
        seconds < 0 ? 0u : std::min<std::uint32_t>(static_cast<std::uint32_t>(seconds), info_.lengthSeconds);
    const std::uint64_t offset = ByteOffsetForSeconds(info_, s);
    if (!stream_->Seek(static_cast<std::int64_t>(offset), SeekFrom::kBegin)) {
        // Back at the audio start, where a stop left it, so the position shown is true.
        seekOffset_.store(0);
        stream_->Seek(info_.audioStart, SeekFrom::kBegin);
        SetError(msg::kCantSeek);
        return 0;
    }
    seekOffset_.store(static_cast<int>(s));
    return 1;
}

std::uint32_t WMp3::GetPosition() {
    const State state = state_.load();
    if (state == State::kClosed) {
        SetError(msg::kNotOpen);
        return 0;
    }
    if (state == State::kEnded) return lengthSeconds_.load();
    return static_cast<std::uint32_t>(output_->GetPosition(2)) + static_cast<std::uint32_t>(seekOffset_.load());
}

int WMp3::GetVUData(int* left, int* right) {
    *left = 0;
    *right = 0;
    std::lock_guard lock(bufferLock_);
    if (!IsPlaying() || !levelReady_.load()) return 0;
    const std::uint32_t count = output_->GetNumOfBuffers();
    if (count == 0) return 0;
    const std::uint32_t channels = static_cast<std::uint32_t>(info_.channels);
    const std::uint32_t blockAlign = channels * 2;
    const std::uint64_t played = output_->GetPosition(3);
    std::uint32_t cur = currentBuffer_.load() % count;
    const std::uint32_t len = output_->GetBufferDataSize(cur);
    const std::uint8_t* data = output_->GetBufferData(cur);
    const std::uint32_t n = VuWindowBytes(info_.sampleRate, info_.channels);
    if (n == 0) return 0;
    const VuWindow window = ComputeVuWindow(played, doneBytes_.load(), len, n, blockAlign);
    if (window.nextBuffer) {
        cur = cur + 1 >= count ? 0 : cur + 1;
        currentBuffer_.store(cur);
        data = output_->GetBufferData(cur);
    }
    const std::uint32_t off = window.offset;
    const std::uint32_t frames = n / blockAlign;
    double sumLeft = 0;
    double sumRight = 0;
    const auto* samples = reinterpret_cast<const std::uint8_t*>(data + off);
    for (std::uint32_t f = 0; f < frames; ++f) {
        for (std::uint32_t c = 0; c < channels; ++c) {
            const std::uint8_t* at = samples + (f * channels + c) * 2;
            const int value = static_cast<std::int16_t>(static_cast<std::uint16_t>(at[0] | (at[1] << 8)));
            (c == 0 ? sumLeft : sumRight) += std::abs(value);
        }
    }
    const double a = sumLeft / frames;
    const double b = channels == 2 ? sumRight / frames : a;
    *left = VuLevel(a);
    *right = VuLevel(b);
    return 1;
}

int WMp3::Close() {
    Stop();
    JoinWorker();
    {
        std::lock_guard lock(streamLock_);
        std::lock_guard buffers(bufferLock_);
        state_.store(State::kClosed);
        output_->Uninitialize();
        wakeEvent_.reset();
        inputBuffer_.clear();
        inputBuffer_.shrink_to_fit();
        stream_.reset();
        info_ = StreamInfo{};
        header_ = FrameHeader{};
        searchBuffer_.clear();
        searchBuffer_.shrink_to_fit();
    }
    lengthSeconds_.store(0);
    seekOffset_.store(0);
    return 1;
}

int WMp3::EnableEqualizer(int enable) {
    gains_.Enable(enable != 0);
    return 1;
}

int WMp3::SetEqualizer(int preamp, int band, int gain) {
    if (!bands_.Set(preamp, band, gain)) return 0;
    gains_.Set(bands_.Gains());
    return 1;
}

double WMp3::SubbandGain(int channel, int subband) const { return gains_.Gain(channel, subband); }

}  // namespace pell
