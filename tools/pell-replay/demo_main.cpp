// pell-demo-scenario DIR: writes the demo call for pell-replay into DIR.
#include <iostream>
#include <string>

#include "tools/pell-replay/demo_scenario.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: pell-demo-scenario DIR\n";
        return 2;
    }
    std::string error;
    if (!pell::WriteDemoScenario(argv[1], &error)) {
        std::cerr << "pell-demo-scenario: " << error << '\n';
        return 1;
    }
    return 0;
}
