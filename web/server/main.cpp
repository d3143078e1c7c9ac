// pell-web: the office's calls and the recorders' health from any desk's browser.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "web/server/web_command.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return pell::web::RunWebCommand(args, {std::cin, std::cout, std::cerr, ::isatty(STDIN_FILENO) != 0});
}
