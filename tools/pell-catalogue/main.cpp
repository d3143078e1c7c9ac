#include <iostream>
#include <string>
#include <vector>

#include "tools/pell-catalogue/catalogue_tool.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return pell::RunCatalogueTool(args, std::cout, std::cerr);
}
