// pell-catalogue: lists the recordings of a date range as the player's record list shows them,
// and applies the player's played mark and bookmark to a file.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace pell {

// "YYYY-MM-DD" to a valid date, nothing otherwise.
std::optional<std::chrono::year_month_day> ParseIsoDate(std::string_view text);

// Runs the tool on its arguments (without the program name); returns the exit code:
// 0 done, 1 the file could not be changed, 2 bad usage.
int RunCatalogueTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pell
