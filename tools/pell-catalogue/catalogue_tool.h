// pell-catalogue: lists the recordings of a date range as the player's record list shows them,
// applies the player's played mark and bookmark to a file, and builds, searches and exports
// from the call index (index_commands.h).
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/pell-catalogue/index_commands.h"

namespace pell {

// "YYYY-MM-DD" to a valid date, nothing otherwise.
std::optional<std::chrono::year_month_day> ParseIsoDate(std::string_view text);

// Runs the tool on its arguments (without the program name); returns the exit code:
// 0 done, 1 the file or the index could not be used, 2 bad usage, 130 interrupted.
int RunCatalogueTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const ToolEnvironment& environment);
// The same in this process's environment, without progress.
int RunCatalogueTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pell
