#include "tools/pell-catalogue/catalogue_tool.h"

#include <cctype>

#include "common/core/escape_text.h"
#include "index/core/call_output.h"
#include "player/catalogue/record_list.h"
#include "player/catalogue/tag_writer.h"
#include "tools/pell-catalogue/custody_commands.h"

namespace pell {
namespace {

constexpr const char* kUsage =
    "usage: pell-catalogue list --from YYYY-MM-DD --to YYYY-MM-DD [--csv|--json] ROOT...\n"
    "       pell-catalogue mark-played FILE\n"
    "       pell-catalogue bookmark FILE TEXT\n"
    "       pell-catalogue index [--verify] [PLACE] [ROOT...]\n"
    "       pell-catalogue search [CRITERIA] [--sort COLUMN] [--ascending] [--limit N] [--csv|--json] [PLACE] "
    "[ROOT...]\n"
    "       pell-catalogue export --into FOLDER [CRITERIA] [PLACE] [ROOT...]\n"
    "       pell-catalogue protect|unprotect [--reason TEXT] FILE...\n"
    "       pell-catalogue protect|unprotect [--reason TEXT] CRITERIA [PLACE] [ROOT...]\n"
    "       pell-catalogue erase --number DIGITS [CRITERIA] [--export FOLDER] [--yes] [PLACE] [ROOT...]\n"
    "       pell-catalogue audit [--recording FILE] [--csv] ROOT...\n"
    "       pell-catalogue verify ROOT...|DAYFOLDER...|FILE...\n"
    "CRITERIA: --number DIGITS  --text WORDS  --from DATE[ HH:MM[:SS]]  --to DATE[ HH:MM[:SS]]\n"
    "          --min-duration D  --max-duration D (seconds, M:SS, H:MM:SS)  --line NAME (again for more)\n"
    "          --direction in|out|unknown  --played yes|no  --protected yes|no\n"
    "COLUMN:   start duration number line bookmark placement size direction played\n"
    "PLACE:    --program-folder DIR (the player's: paths.ini, index.ini, its index)  --index FILE (SQLite)\n"
    "Without ROOT the record folders come from paths.ini of the player's program folder.\n";

int Usage(std::ostream& err, const std::string& problem) {
    err << "pell-catalogue: " << problem << "\n" << kUsage;
    return 2;
}

// One row per line and nothing a terminal would act on, whatever bytes a tag or a path holds.
std::string Field(const std::string& text) { return EscapeUnprintable(text); }

int List(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::optional<std::chrono::year_month_day> from;
    std::optional<std::chrono::year_month_day> to;
    std::vector<std::string> roots;
    ListFormat format = ListFormat::kTsv;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--csv" || arg == "--json") {
            format = arg == "--csv" ? ListFormat::kCsv : ListFormat::kJson;
        } else if (arg == "--from" || arg == "--to") {
            if (i + 1 >= args.size()) return Usage(err, arg + " needs a date");
            const auto date = ParseIsoDate(args[++i]);
            if (!date) return Usage(err, "not a date: " + Field(args[i]));
            (arg == "--from" ? from : to) = date;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage(err, "unknown option " + Field(arg));
        } else {
            roots.push_back(arg);
        }
    }
    if (!from || !to) return Usage(err, "list needs --from and --to");
    if (roots.empty()) return Usage(err, "list needs at least one ROOT");
    out << ListHeader(format);
    for (const RecordRow& row : FillRecordList(roots, *from, *to)) out << FormatListLine(row, format);
    return 0;
}

int Report(TagWriteResult result, const std::string& file, std::ostream& err) {
    switch (result) {
        case TagWriteResult::kWritten:
            return 0;
        case TagWriteResult::kNoTag:
            err << "pell-catalogue: " << Field(file) << " has no tag; left unchanged\n";
            break;
        case TagWriteResult::kCannotOpen:
            err << "pell-catalogue: cannot open " << Field(file) << " for writing\n";
            break;
        case TagWriteResult::kIoFailed:
            err << "pell-catalogue: could not write the tag of " << Field(file) << "\n";
            break;
    }
    return 1;
}

}  // namespace

std::optional<std::chrono::year_month_day> ParseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    int parts[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8};
    const std::size_t lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (std::size_t k = 0; k < lengths[p]; ++k) {
            const char c = text[starts[p] + k];
            if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
            parts[p] = parts[p] * 10 + (c - '0');
        }
    }
    const std::chrono::year_month_day date{std::chrono::year{parts[0]},
                                           std::chrono::month{static_cast<unsigned>(parts[1])},
                                           std::chrono::day{static_cast<unsigned>(parts[2])}};
    if (!date.ok()) return std::nullopt;
    return date;
}

int RunCatalogueTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ToolEnvironment environment = ToolEnvironment::FromProcess();
    environment.progressTerminal = false;
    return RunCatalogueTool(args, out, err, environment);
}

int RunCatalogueTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const ToolEnvironment& environment) {
    if (args.empty()) return Usage(err, "no command");
    const std::string& command = args[0];
    if (command == "list") return List(args, out, err);
    if (command == "index") return RunIndexCommand(args, out, err, environment);
    if (command == "search") return RunSearchCommand(args, out, err, environment);
    if (command == "export") return RunExportCommand(args, out, err, environment);
    if (command == "protect" || command == "unprotect") {
        return RunHoldCommand(args, command == "protect", out, err, environment);
    }
    if (command == "erase") return RunEraseCommand(args, out, err, environment);
    if (command == "audit") return RunAuditCommand(args, out, err);
    if (command == "verify") return RunVerifyCommand(args, out, err, environment);
    if (command == "mark-played") {
        if (args.size() != 2) return Usage(err, "mark-played needs one FILE");
        const int code = Report(MarkPlayed(args[1]), args[1], err);
        if (code != 0) return code;
        return AuditRecording(args[1], AuditAction::kMarkPlayed, "", err) ? 0 : 1;
    }
    if (command == "bookmark") {
        if (args.size() != 3) return Usage(err, "bookmark needs FILE and TEXT");
        if (args[2].size() > 30) err << "pell-catalogue: the bookmark keeps the first 30 bytes\n";
        const int code = Report(StoreBookmark(args[1], args[2]), args[1], err);
        if (code != 0) return code;
        // The trail says a bookmark changed, never what it says.
        return AuditRecording(args[1], AuditAction::kBookmark, args[2].empty() ? "cleared" : "set", err) ? 0 : 1;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    return Usage(err, "unknown command " + Field(command));
}

}  // namespace pell
