#include "recorder/devices/adapters/portaudio_capture.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace pell {
namespace {

// ALSA reports every device it probes and cannot open; the recorder's own line says what matters.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Standard error goes to /dev/null while it lives: the sound servers' client libraries (JACK's
// among them) print their probing failures there directly.
class MutedStandardError {
public:
    MutedStandardError() {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
        if (null >= 0) ::close(null);
    }
    ~MutedStandardError() {
        std::fflush(stderr);
        if (saved_ < 0) return;
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
    MutedStandardError(const MutedStandardError&) = delete;
    MutedStandardError& operator=(const MutedStandardError&) = delete;

private:
    int saved_ = -1;
};

void QuietenSoundLibraries() {
    static const bool kQuiet = [] {
        snd_lib_error_set_handler(&IgnoreAlsaError);
        // Probing must not start a JACK server nobody asked for.
        setenv("JACK_NO_START_SERVER", "1", 0);
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 0);
        return true;
    }();
    (void)kQuiet;
}

class PortAudioStream final : public CaptureStream {
public:
    explicit PortAudioStream(FramesCallback onFrames) : onFrames_(std::move(onFrames)) {}
    ~PortAudioStream() override {
        if (!stream_) return;
        if (started_) Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
    }

    bool Open(int device, uint32_t sampleRate) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        if (!info) return false;
        PaStreamParameters input{};
        input.device = device;
        input.channelCount = 2;
        input.sampleFormat = paInt16;
        input.suggestedLatency = info->defaultHighInputLatency;
        return Pa_OpenStream(&stream_, &input, nullptr, sampleRate, paFramesPerBufferUnspecified, paClipOff,
                             &PortAudioStream::Callback, this) == paNoError;
    }

    bool Start() override {
        started_ = Pa_StartStream(stream_) == paNoError;
        return started_;
    }

private:
    static int Callback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* self) {
        if (input) static_cast<PortAudioStream*>(self)->onFrames_(static_cast<const int16_t*>(input), frames);
        return paContinue;
    }

    FramesCallback onFrames_;
    PaStream* stream_ = nullptr;
    bool started_ = false;
};

}  // namespace

bool PortAudioCapture::Initialize() {
    if (initialised_) return true;
    // The box's codec offers 8 kHz only as 8-bit; ALSA's plug layer converts to 16-bit.
    if (const char* plug = std::getenv("PA_ALSA_PLUGHW"); !plug || std::string(plug) != "1")
        setenv("PA_ALSA_PLUGHW", "1", 1);
    QuietenSoundLibraries();
    const MutedStandardError muted;
    initialised_ = Pa_Initialize() == paNoError;
    return initialised_;
}

void PortAudioCapture::Terminate() {
    if (!initialised_) return;
    Pa_Terminate();
    initialised_ = false;
    deviceIndices_.clear();
}

std::vector<std::optional<std::string>> PortAudioCapture::InputDevices() {
    std::vector<std::optional<std::string>> names;
    deviceIndices_.clear();
    if (!initialised_) return names;
    const int count = Pa_GetDeviceCount();
    for (int i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info && info->maxInputChannels <= 0) continue;
        deviceIndices_.push_back(i);
        names.push_back(info && info->name ? std::optional<std::string>(info->name) : std::nullopt);
    }
    return names;
}

std::unique_ptr<CaptureStream> PortAudioCapture::Open(size_t index, uint32_t sampleRate, FramesCallback onFrames) {
    if (!initialised_ || index >= deviceIndices_.size()) return nullptr;
    auto stream = std::make_unique<PortAudioStream>(std::move(onFrames));
    if (!stream->Open(deviceIndices_[index], sampleRate)) return nullptr;
    return stream;
}

}  // namespace pell
