// pell-callerid: runs caller identification on a temp file and prints what each decoder finds.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pell {

// args excludes the program name. Prints one tab-separated line (direction mark, number, raw FSK
// result, raw DTMF digits) on out and returns 0; on bad arguments or an unreadable file prints a
// message on err and returns 1. "--help" prints the usage on out and returns 0. Fields are
// escaped: a terminal never receives raw bytes from a damaged recording.
int RunCallerIdTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pell
