// The pell-web command line: serving (the default) and the accounts.
//
//   pell-web [--config FILE]                       serve, as web.ini says
//   pell-web [--config FILE] user add NAME --role admin|listener [--line LINE]...
//   pell-web [--config FILE] user passwd NAME
//   pell-web [--config FILE] user remove NAME
//   pell-web [--config FILE] user list
//
// A password is read from standard input: typed twice, unseen, on a terminal; one line from a
// pipe.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "web/core/ports.h"

namespace pell::web {

struct CommandIo {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool terminal = false;  // standard input is a terminal: prompt, hide the typing, ask twice
};

// Exit status: 0 done, 1 refused or failed (the reason on err), 2 a wrong command line.
int RunUserCommand(const std::vector<std::string>& args, const std::string& usersFile, PasswordHasher& passwords,
                   CommandIo io);

int RunWebCommand(const std::vector<std::string>& args, CommandIo io);

}  // namespace pell::web
