#include <iostream>

#include "tools/pell-callerid/callerid_tool.h"

int main(int argc, char** argv) {
    return pell::RunCallerIdTool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
