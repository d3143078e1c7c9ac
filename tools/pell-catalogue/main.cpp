#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "tools/pell-catalogue/catalogue_tool.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

// The first Ctrl+C lets a long index build stop cleanly; a second one ends the program at once.
void OnInterrupt(int) {
    interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::signal(SIGINT, OnInterrupt);
    pell::ToolEnvironment environment = pell::ToolEnvironment::FromProcess();
    environment.interrupted = [] { return interrupted != 0; };
    return pell::RunCatalogueTool(args, std::cout, std::cerr, environment);
}
