// A hostile MP3 file before any decoding: WStream's bounds, the frame header and Xing
// functions, the sync search and the measurement of WMp3's open, and seeking by seconds.

#include "fuzz/fuzz_support.h"
#include "player/engine/mp3_frame.h"
#include "player/engine/queued_wave_out.h"
#include "player/engine/wmp3.h"
#include "player/engine/wstream.h"

using namespace pell;

namespace {

void ExerciseStream(const std::string& path, fuzz::Input& ops) {
    WStream stream;
    PELL_FUZZ_CHECK(stream.OpenFile(path.c_str()) == 1);
    std::vector<std::uint8_t> buffer(70000);
    for (int i = 0; i < 8; ++i) {
        const std::uint32_t before = stream.GetPosition();
        const std::uint8_t op = ops.Byte();
        if (op & 1) {
            const auto method = static_cast<SeekFrom>((op >> 1) % 4);
            const std::int64_t distance = ops.I32();
            if (!stream.Seek(distance, method)) PELL_FUZZ_CHECK(stream.GetPosition() == before);
        } else {
            const std::uint32_t count = ops.U32() % 70001;
            std::uint32_t got = 0;
            if (stream.Read(buffer.data(), count, &got)) {
                PELL_FUZZ_CHECK(got > 0 && got <= count && stream.GetPosition() == before + got);
            } else {
                PELL_FUZZ_CHECK(got == 0 && stream.GetPosition() == before);
            }
        }
        PELL_FUZZ_CHECK(stream.GetPosition() <= stream.GetSize());
    }
}

void ExerciseFrames(const std::string& bytes) {
    const auto* raw = reinterpret_cast<const std::uint8_t*>(bytes.data());
    for (std::size_t p = 0; p + 4 <= bytes.size() && p < 4096; ++p) {
        FrameHeader header;
        if (!ParseFrameHeader(raw + p, header)) continue;
        PELL_FUZZ_CHECK(header.layer >= 1 && header.layer <= 3);
        PELL_FUZZ_CHECK(header.sampleRateIndex >= 0 && header.sampleRateIndex < 9);
        PELL_FUZZ_CHECK(header.size >= 0 && header.size <= 5761);
        XingInfo xing;
        const std::size_t frameBytes = std::min<std::size_t>(bytes.size() - p, static_cast<std::size_t>(header.size));
        ParseXingFrame({raw + p, frameBytes}, header, xing);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::uint32_t startOffset = input.U32() % 1024;
    const std::uint32_t length = input.U32();
    const int bufferMs = static_cast<int>(input.U32() % 5000);
    const std::string opBytes = input.Text();
    const std::string file = input.Rest();
    const std::string path = fuzz::WriteScratch("f.mp3", file);

    fuzz::Input ops(reinterpret_cast<const std::uint8_t*>(opBytes.data()), opBytes.size());
    ExerciseStream(path, ops);
    ExerciseFrames(file);

    WMp3 mp3(std::make_unique<QueuedWaveOut>());
    if (mp3.OpenMp3File(path.c_str(), bufferMs, startOffset, length)) {
        const StreamInfo info = mp3.GetStreamInfo();
        PELL_FUZZ_CHECK(info.sampleRate > 0 && (info.channels == 1 || info.channels == 2));
        const BufferPlan plan = mp3.GetBufferPlan();
        PELL_FUZZ_CHECK(plan.framesPerBuffer > 0 && plan.bufferCount > 0);
        mp3.GetID3Version();
        for (int s : {-1, 0, 1, static_cast<int>(info.lengthSeconds / 2), static_cast<int>(info.lengthSeconds) + 1}) {
            if (mp3.Seek(s)) PELL_FUZZ_CHECK(mp3.GetPosition() <= info.lengthSeconds);
            PELL_FUZZ_CHECK(ByteOffsetForSeconds(info, std::min<std::uint32_t>(s < 0 ? 0 : s, info.lengthSeconds)) <=
                            std::uint64_t{info.audioStart} + info.audioBytes + 0xFFFFFFFFull);
        }
    }
    mp3.Close();
    return 0;
}
