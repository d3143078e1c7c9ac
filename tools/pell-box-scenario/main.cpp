// pell-box-scenario DIR [--rate HZ] [--calls N]: writes a scenario for the simulated
// line box and a program folder for the recorder into DIR (see box_scenario.h).
#include <cstdlib>
#include <iostream>
#include <string>

#include "tools/pell-box-scenario/box_scenario.h"

int main(int argc, char** argv) {
    pell::BoxScenarioOptions options;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--rate" || arg == "--calls") && i + 1 < argc) {
            const long value = std::strtol(argv[++i], nullptr, 10);
            if (value <= 0 || value > (arg == "--rate" ? 192000 : 100000)) {
                std::cerr << "pell-box-scenario: " << arg << " needs a number from 1 to "
                          << (arg == "--rate" ? "192000" : "100000") << "\n";
                return 2;
            }
            if (arg == "--rate") {
                options.sampleRateHz = static_cast<int32_t>(value);
            } else {
                options.calls = static_cast<uint32_t>(value);
            }
        } else if (folder.empty() && !arg.empty() && arg[0] != '-') {
            folder = arg;
        } else {
            folder.clear();
            break;
        }
    }
    if (folder.empty()) {
        std::cerr << "usage: pell-box-scenario DIR [--rate HZ] [--calls N]\n";
        return 2;
    }
    const std::string error = pell::WriteBoxScenario(folder, options);
    if (!error.empty()) {
        std::cerr << "pell-box-scenario: " << error << '\n';
        return 1;
    }
    return 0;
}
