// pell-catalogue's commands over the call index: `index` builds or refreshes it, `search` finds
// calls across every day (refreshing first, so a call filed a moment ago is there) and prints
// them in the list's format, `export` copies a search's recordings with their times and a CSV
// of their details into a folder, `protect`/`unprotect` put recordings under legal hold or
// release them, `erase` removes a caller's recordings for good on request.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "index/core/call_criteria.h"
#include "index/core/criteria_text.h"

namespace pell {

// What the commands take from the process: environment, terminal, interruption.
struct ToolEnvironment {
    std::string currentFolder;
    std::string xdgCacheHome;
    std::string home;
    std::string xdgConfigDirs;          // where the player's "PathToProg" is looked up
    bool progressTerminal = false;      // standard error is a terminal: show progress there
    std::function<bool()> interrupted;  // Ctrl+C was pressed

    static ToolEnvironment FromProcess();
};

// The player's program folder as PellPlayer finds it: "PathToProg" of "Zorvek Software"/
// "TeluvaPlayer" under the XDG config folders, or nothing.
std::optional<std::string> PlayerProgramFolder(const std::string& xdgConfigDirs);

int RunIndexCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const ToolEnvironment& environment);
int RunSearchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const ToolEnvironment& environment);
int RunExportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const ToolEnvironment& environment);
// protect / unprotect FILE... or [CRITERIA] [PLACE] [ROOT...]; `held` false releases.
int RunHoldCommand(const std::vector<std::string>& args, bool held, std::ostream& out, std::ostream& err,
                   const ToolEnvironment& environment);
// erase --number DIGITS [CRITERIA] [--export FOLDER] [--yes] [PLACE] [ROOT...]: without --yes
// only lists what would go.
int RunEraseCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const ToolEnvironment& environment);

}  // namespace pell
