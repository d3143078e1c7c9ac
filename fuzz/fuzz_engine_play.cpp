// A hostile MP3 file played to its end by the whole engine (worker thread, decoder, equalizer)
// into an output that discards the PCM: it must end, never hang or overrun a buffer.

#include <chrono>
#include <thread>

#include "fuzz/fuzz_support.h"
#include "player/engine/queued_wave_out.h"
#include "player/engine/wmp3.h"

using namespace pell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t options = input.Byte();
    const bool equalizer = options & 1;
    const int gain = static_cast<int>(input.Byte() % 21) - 10;
    // Bit 1 asks for a seek before playing, to a second from -2 to 30.
    const int seek = options & 2 ? static_cast<int>(input.Byte() % 33) - 2 : -100;
    const std::string file = input.Rest();
    const std::string path = fuzz::WriteScratch("p.mp3", file);

    auto output = std::make_unique<FileWaveOut>("");
    FileWaveOut* sink = output.get();
    WMp3 mp3(std::move(output));
    if (equalizer) {
        mp3.EnableEqualizer(1);
        for (int band = 1; band <= 10; ++band) mp3.SetEqualizer(gain / 2, band, band % 2 ? gain : -gain);
    }
    if (!mp3.OpenMp3File(path.c_str(), 1000)) return 0;
    const StreamInfo info = mp3.GetStreamInfo();
    if (seek != -100) mp3.Seek(seek);
    if (mp3.Play()) {
        // The file output completes buffers as fast as they come; the worker stops itself.
        while (mp3.IsPlaying()) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    // Never more PCM than the frames in the file could give (1152 samples, 2 channels, 2 bytes).
    PELL_FUZZ_CHECK(sink->BytesWritten() <= (file.size() / 24 + 1) * 1152 * 2 * 2);
    PELL_FUZZ_CHECK(mp3.GetPosition() <= info.lengthSeconds || info.lengthSeconds == 0);
    mp3.Close();
    return 0;
}
