// pell-replay --folder DIR --wav FILE --timeline FILE [--start "YYYY-MM-DD HH:MM:SS"] [--pause-ms N] [--disk-mb N]
#include <cstdlib>
#include <iostream>
#include <string>

#include "common/core/clock.h"
#include "tools/pell-replay/replay.h"

namespace {

int Usage() {
    std::cerr << "usage: pell-replay --folder DIR --wav FILE --timeline FILE [--start \"YYYY-MM-DD HH:MM:SS\"]\n"
                 "                   [--pause-ms N] [--disk-mb N]\n"
                 "  DIR holds settings.ini, the counter and state files; FILE is 16-bit stereo PCM at the\n"
                 "  configured rate (line 1 left, line 2 right); timeline lines: <seconds> <1|2> <active|idle>\n"
                 "  --pause-ms waits N ms of real time after each half-second block\n"
                 "  --disk-mb puts the drop folders on a simulated disk of N MB (free: N MB less their files;\n"
                 "  decimals allowed)\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    pell::ReplayOptions options;
    pell::SystemClock systemClock;
    options.start = systemClock.Now();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage();
        const std::string value = argv[++i];
        if (arg == "--folder") {
            options.folder = value;
        } else if (arg == "--wav") {
            options.wavPath = value;
        } else if (arg == "--timeline") {
            options.timelinePath = value;
        } else if (arg == "--start") {
            const auto start = pell::ParseStartTime(value);
            if (!start) {
                std::cerr << "pell-replay: --start wants \"YYYY-MM-DD HH:MM:SS\", got \"" << value << "\"\n";
                return 2;
            }
            options.start = *start;
        } else if (arg == "--pause-ms") {
            char* end = nullptr;
            const unsigned long ms = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || ms > 60000) {
                std::cerr << "pell-replay: --pause-ms wants a number of milliseconds up to 60000, got \"" << value
                          << "\"\n";
                return 2;
            }
            options.pauseMsPerBlock = static_cast<uint32_t>(ms);
        } else if (arg == "--disk-mb") {
            char* end = nullptr;
            const double mb = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(mb >= 0.01 && mb <= 1e9)) {
                std::cerr << "pell-replay: --disk-mb wants a size in MB from 0.01 to 1000000000 (\"1.5\"), got \""
                          << value << "\"\n";
                return 2;
            }
            options.diskBytes = static_cast<uint64_t>(mb * 1048576.0);
        } else {
            return Usage();
        }
    }
    if (options.folder.empty() || options.wavPath.empty() || options.timelinePath.empty()) return Usage();
    return pell::RunReplay(options, std::cout, std::cerr);
}
