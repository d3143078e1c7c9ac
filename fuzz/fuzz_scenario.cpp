// The simulated line box's scenario as a hostile user might write it: the timeline text and the
// WAV file, then the box playing them at any rate.

#include "fuzz/fuzz_support.h"
#include "recorder/devices/scenario.h"

using namespace pell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint32_t atMs = input.U32();
    const uint64_t firstFrame = input.U32();
    const std::size_t count = input.U32() % 4097;
    const uint32_t rate = input.U32();
    // The timeline: a length in two bytes, then its text; the WAV file is the rest.
    std::size_t timelineBytes = input.Byte();
    timelineBytes |= std::size_t{input.Byte()} << 8;
    std::string timeline;
    for (std::size_t i = 0; i < timelineBytes && input.Remaining() > 0; ++i)
        timeline += static_cast<char>(input.Byte());
    const std::string wav = input.Rest();

    Scenario scenario;
    std::vector<TimelineEvent> events;
    if (ParseTimeline(timeline, events).empty()) {
        for (std::size_t i = 0; i < events.size(); ++i) {
            PELL_FUZZ_CHECK(events[i].line == 1 || events[i].line == 2);
            if (i > 0) PELL_FUZZ_CHECK(events[i - 1].atMs <= events[i].atMs);
        }
        scenario.timeline = events;
    }
    if (ParseWav(wav, scenario).empty()) {
        PELL_FUZZ_CHECK(scenario.frames.size() % 2 == 0);
        PELL_FUZZ_CHECK(scenario.sampleRate > 0);
    }
    const uint8_t state = scenario.StateByteAt(atMs);
    PELL_FUZZ_CHECK((state & ~0x06) == 0);
    std::vector<int16_t> out(count * 2);
    scenario.FramesAt(firstFrame, count, rate, out.data());
    return 0;
}
