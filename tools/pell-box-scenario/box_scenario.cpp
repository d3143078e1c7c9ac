#include "tools/pell-box-scenario/box_scenario.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "common/core/paths.h"
#include "testsupport/signals/signals.h"
#include "tools/pell-replay/demo_scenario.h"

namespace pell {
namespace {

constexpr uint32_t kDemoSeconds = 20;
constexpr uint32_t kCallEverySeconds = 60;

void Place(signals::Samples& line, const signals::Samples& piece, double atSeconds, int32_t rate) {
    const size_t at = static_cast<size_t>(atSeconds * rate);
    if (line.size() < at + piece.size()) line.resize(at + piece.size(), 0);
    std::copy(piece.begin(), piece.end(), line.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

std::string WriteBoxScenario(const std::string& folder, const BoxScenarioOptions& options) {
    using namespace signals;
    const int32_t rate = options.sampleRateHz;
    // Both lines follow the box's line states; line 1 reads FSK caller ID, line 2 dialled digits.
    if (std::string failed = WriteDemoSettings(folder, "simulated line box", rate, {"0", "5"}, {"0", "5"});
        !failed.empty()) {
        return failed;
    }

    Samples line1, line2;
    std::ostringstream timeline;
    timeline << "# <seconds> <line 1|2> <active|idle>\n";
    if (options.calls == 0) {
        // Line 1: the exchange sends the caller's number between rings; answered at 3.5 s.
        Place(line1, FskBurst(CallSetupMessage({{0x01, "12071530"}, {0x02, kDemoLine1Number}}), {rate}), 1.5, rate);
        Place(line1, SpeechLike(rate, 6.5, -12.0, 11), 3.5, rate);
        // Line 2: the handset is lifted at 8 s and a number dialled, then the call is talked.
        DtmfOptions dtmf;
        dtmf.sampleRate = rate;
        dtmf.levelDbfs = -6.0;
        Place(line2, DtmfDigits(kDemoLine2Number, dtmf), 8.7, rate);
        Place(line2, SpeechLike(rate, 5.0, -8.0, 3), 10.0, rate);
        timeline << "3.5 1 active\n8 2 active\n10 1 idle\n15 2 idle\n";
        line1.resize(size_t{kDemoSeconds} * static_cast<size_t>(rate), 0);
    } else {
        // One minute holds a call and the pause after it; the box plays it once per call.
        line1 = SpeechLike(rate, kCallEverySeconds, -12.0, 5);
        line2 = SpeechLike(rate, kCallEverySeconds, -12.0, 7);
        timeline << "repeat " << kCallEverySeconds << ' ' << options.calls << '\n';
        timeline << "0.5 1 active\n0.5 2 active\n59.5 1 idle\n59.5 2 idle\n";
    }
    const size_t length = std::max(line1.size(), line2.size());
    if (std::string why = WriteDemoCall(folder, rate, std::move(line1), std::move(line2), length); !why.empty())
        return why;
    std::ofstream file(JoinPath(folder, "timeline.txt"), std::ios::trunc);
    file << timeline.str();
    if (!file.flush()) return "cannot write " + JoinPath(folder, "timeline.txt");
    return {};
}

}  // namespace pell
