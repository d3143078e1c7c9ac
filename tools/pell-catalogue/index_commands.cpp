#include "tools/pell-catalogue/index_commands.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "common/core/escape_text.h"
#include "common/core/paths.h"
#include "common/core/profile.h"
#include "common/core/settings_file.h"
#include "index/core/call_output.h"
#include "index/open/open_call_index.h"
#include "player/catalogue/record_copy.h"
#include "player/catalogue/record_roots.h"
#include "custody/posix/custody.h"
#include "tools/pell-catalogue/custody_commands.h"

namespace pell {
namespace {

constexpr const char* kExportListFile = "calls.csv";
constexpr int kInterruptedExit = 130;

enum class Command { kIndex, kSearch, kExport, kHold, kErase };

struct Options {
    std::string indexFile;
    std::optional<std::string> programFolder;
    std::vector<std::string> roots;
    bool verify = false;
    CallCriteria criteria;
    CallOrder order;
    std::size_t limit = 0;
    ListFormat format = ListFormat::kTsv;
    std::string into;
    std::string reason;      // protect, unprotect: goes into the audit entries
    std::string exportInto;  // erase: copies for the caller first
    bool confirmed = false;  // erase: --yes
    bool anyCriterion = false;
};

std::string Field(const std::string& text) { return EscapeUnprintable(text); }

std::optional<bool> YesNo(const std::string& text) {
    if (text == "yes" || text == "1" || text == "true") return true;
    if (text == "no" || text == "0" || text == "false") return false;
    return std::nullopt;
}

std::optional<CallDirection> Direction(const std::string& text) {
    if (text == "in" || text == "incoming" || text == "I") return CallDirection::kIncoming;
    if (text == "out" || text == "outgoing" || text == "O") return CallDirection::kOutgoing;
    if (text == "unknown" || text == "U") return CallDirection::kUnknown;
    return std::nullopt;
}

std::optional<CallSortColumn> SortColumn(const std::string& text) {
    static const std::map<std::string, CallSortColumn> kColumns = {
        {"start", CallSortColumn::kStart},       {"date", CallSortColumn::kStart},
        {"duration", CallSortColumn::kDuration}, {"number", CallSortColumn::kNumber},
        {"line", CallSortColumn::kLine},         {"channel", CallSortColumn::kLine},
        {"bookmark", CallSortColumn::kBookmark}, {"placement", CallSortColumn::kPlacement},
        {"size", CallSortColumn::kSize},         {"direction", CallSortColumn::kDirection},
        {"played", CallSortColumn::kPlayed}};
    const auto found = kColumns.find(text);
    if (found == kColumns.end()) return std::nullopt;
    return found->second;
}

// Reads the options of one command; the error in words, empty when they are fine.
std::string ParseOptions(Command command, const std::vector<std::string>& args, Options& options) {
    const bool searching = command != Command::kIndex;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        const bool takesValue =
            arg == "--index" || arg == "--program-folder" ||
            (searching && (arg == "--number" || arg == "--text" || arg == "--from" || arg == "--to" ||
                           arg == "--min-duration" || arg == "--max-duration" || arg == "--line" ||
                           arg == "--direction" || arg == "--played" || arg == "--protected")) ||
            (command == Command::kSearch && (arg == "--sort" || arg == "--limit")) ||
            (command == Command::kExport && arg == "--into") || (command == Command::kHold && arg == "--reason") ||
            (command == Command::kErase && arg == "--export");
        if (takesValue) {
            const std::optional<std::string> v = value();
            if (!v) return arg + " needs a value";
            if (arg != "--index" && arg != "--program-folder" && arg != "--sort" && arg != "--limit" &&
                arg != "--into" && arg != "--reason" && arg != "--export") {
                options.anyCriterion = true;
            }
            if (arg == "--index") {
                options.indexFile = *v;
            } else if (arg == "--program-folder") {
                options.programFolder = *v;
            } else if (arg == "--number") {
                options.criteria.number = *v;
            } else if (arg == "--text") {
                options.criteria.text = *v;
            } else if (arg == "--from" || arg == "--to") {
                const auto when = ParseLocalTime(*v, arg == "--to");
                if (!when) return "not a date (YYYY-MM-DD, optionally HH:MM[:SS]): " + Field(*v);
                (arg == "--from" ? options.criteria.startFrom : options.criteria.startBefore) = when;
            } else if (arg == "--min-duration" || arg == "--max-duration") {
                const auto seconds = ParseDuration(*v);
                if (!seconds) return "not a duration (seconds, M:SS or H:MM:SS): " + Field(*v);
                (arg == "--min-duration" ? options.criteria.minDurationSeconds : options.criteria.maxDurationSeconds) =
                    seconds;
            } else if (arg == "--line") {
                if (!options.criteria.lines) options.criteria.lines.emplace();
                options.criteria.lines->push_back(*v);
            } else if (arg == "--direction") {
                options.criteria.direction = Direction(*v);
                if (!options.criteria.direction) return "--direction is in, out or unknown, not " + Field(*v);
            } else if (arg == "--played" || arg == "--protected") {
                const auto flag = YesNo(*v);
                if (!flag) return arg + " is yes or no, not " + Field(*v);
                (arg == "--played" ? options.criteria.played : options.criteria.isProtected) = flag;
            } else if (arg == "--sort") {
                const auto column = SortColumn(*v);
                if (!column) return "cannot sort by " + Field(*v);
                options.order.column = *column;
            } else if (arg == "--limit") {
                char* end = nullptr;
                const unsigned long long limit = std::strtoull(v->c_str(), &end, 10);
                if (v->empty() || *end != '\0' || limit == 0) return "--limit needs a positive number";
                options.limit = static_cast<std::size_t>(limit);
            } else if (arg == "--into") {
                options.into = *v;
            } else if (arg == "--reason") {
                options.reason = *v;
            } else if (arg == "--export") {
                options.exportInto = *v;
            }
        } else if (command == Command::kErase && arg == "--yes") {
            options.confirmed = true;
        } else if (command == Command::kIndex && arg == "--verify") {
            options.verify = true;
        } else if (command == Command::kSearch && (arg == "--csv" || arg == "--json")) {
            options.format = arg == "--csv" ? ListFormat::kCsv : ListFormat::kJson;
        } else if (command == Command::kSearch && (arg == "--ascending" || arg == "--descending")) {
            options.order.descending = arg == "--descending";
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + Field(arg);
        } else {
            options.roots.push_back(arg);
        }
    }
    if (command == Command::kExport && options.into.empty()) return "export needs --into FOLDER";
    return {};
}

int Usage(std::ostream& err, const std::string& problem) {
    err << "pell-catalogue: " << problem << "\n(pell-catalogue --help lists the commands and options)\n";
    return 2;
}

struct Opened {
    std::unique_ptr<OpenedCallIndex> index;
    std::vector<std::string> roots;
};

// The index and roots the options name; prints why not.
std::optional<Opened> OpenIndex(const Options& options, const ToolEnvironment& environment, std::ostream& err) {
    const std::string cache =
        CacheIndexFolder(environment.xdgCacheHome.empty() ? nullptr : environment.xdgCacheHome.c_str(),
                         environment.home.empty() ? nullptr : environment.home.c_str());
    std::optional<std::string> named = options.programFolder;
    if (!named) named = PlayerProgramFolder(environment.xdgConfigDirs);
    // Without a program folder of its own the tool reads the current folder as the player does,
    // but keeps its index in the cache rather than wherever the user happens to stand.
    IndexPlace place;
    place.programFolder = named ? *named : environment.currentFolder;
    place.sqliteOverride = options.indexFile;
    place.sqliteFile = named ? DefaultIndexFile(*named, cache) : (cache.empty() ? "" : JoinPath(cache, kIndexFileName));
    Opened opened;
    opened.roots = options.roots.empty() ? LoadRecordRoots(place.programFolder) : options.roots;
    if (opened.roots.empty()) {
        err << "pell-catalogue: no record folder: give ROOT... or list them in "
            << Field(JoinPath(place.programFolder, kRecordRootsFile)) << " (or use --program-folder DIR)\n";
        return std::nullopt;
    }
    OpenIndexResult result = OpenCallIndex(place);
    if (!result.index) {
        err << "pell-catalogue: " << Field(result.status.message) << "\n";
        return std::nullopt;
    }
    opened.index = std::move(result.index);
    return opened;
}

// Refreshes with progress on a terminal; the exit code to stop with, or 0 to go on.
int Refresh(Opened& opened, bool verify, const ToolEnvironment& environment, std::ostream& err) {
    RefreshOptions options;
    options.verifyAll = verify;
    options.cancelled = environment.interrupted;
    auto lastShown = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    bool shown = false;
    if (environment.progressTerminal) {
        options.progress = [&](const RefreshProgress& p) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastShown < std::chrono::milliseconds(200) && p.foldersDone != p.foldersToScan) return;
            lastShown = now;
            if (p.foldersToScan == 0) return;
            shown = true;
            err << "\rpell-catalogue: indexing day folder " << p.foldersDone << " of " << p.foldersToScan << ", "
                << p.filesRead << " recordings read\033[K" << std::flush;
        };
    }
    const RefreshReport report = opened.index->Index().Refresh(opened.roots, options);
    if (shown) err << "\r\033[K" << std::flush;
    for (const RefreshProblem& problem : report.unreachable) {
        err << "pell-catalogue: cannot read " << Field(problem.place) << " (" << problem.reason
            << "); its calls stay as last indexed\n";
    }
    switch (report.outcome) {
        case RefreshReport::Outcome::kDone:
            return 0;
        case RefreshReport::Outcome::kInterrupted:
            err << "pell-catalogue: interrupted; the index keeps what was read, the next run goes on from there\n";
            return kInterruptedExit;
        case RefreshReport::Outcome::kStoreFailed:
            err << "pell-catalogue: " << Field(report.store.message) << "\n";
            return 1;
    }
    return 1;
}

std::optional<SearchPage> Find(Opened& opened, const Options& options, std::ostream& err) {
    StoreResult<SearchPage> found =
        opened.index->Index().Search(opened.roots, options.criteria, options.order, options.limit);
    if (!found.Ok()) {
        err << "pell-catalogue: " << Field(found.status.message) << "\n";
        return std::nullopt;
    }
    return std::move(found.value);
}

std::string DirectionWord(CallDirection direction) {
    switch (direction) {
        case CallDirection::kIncoming:
            return "incoming";
        case CallDirection::kOutgoing:
            return "outgoing";
        case CallDirection::kUnknown:
            break;
    }
    return "unknown";
}

// A name in the export not taken yet: the day folder and file name, "-2", "-3" ... before the
// extension when two roots hold the same one.
std::string ExportName(const CallRecord& call, std::set<std::string>& taken) {
    const std::string base = call.folder + "/" + call.facts.name;
    if (taken.insert(base).second) return base;
    const std::size_t dot = base.find_last_of('.');
    for (int n = 2;; ++n) {
        std::string candidate = base.substr(0, dot) + "-" + std::to_string(n) + base.substr(dot);
        if (taken.insert(candidate).second) return candidate;
    }
}

// An export goes into a new or empty folder, so nothing already there is replaced.
bool ExportFolderUsable(const std::string& into, std::ostream& err) {
    std::error_code error;
    namespace fs = std::filesystem;
    if (fs::exists(into, error) && !(fs::is_directory(into, error) && fs::is_empty(into, error))) {
        err << "pell-catalogue: " << Field(into)
            << " is not an empty folder; export into a new or empty one, so nothing there is replaced\n";
        return false;
    }
    return true;
}

// Copies the calls with their times into `into` and lists them in its calls.csv; each copy is
// audited. The exit code: 0 when every call was copied.
int ExportCalls(const std::vector<CallRecord>& calls, const std::string& into, const ToolEnvironment& environment,
                std::ostream& out, std::ostream& err) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(into, error);
    if (error) {
        err << "pell-catalogue: cannot make " << Field(into) << ": " << error.message() << "\n";
        return 1;
    }
    std::string list = CsvLine({"file", "channel", "date", "duration", "number", "bookmark", "direction", "played",
                                "source", "size", "content_key", kAudioHashColumn});
    std::set<std::string> taken;
    std::vector<std::string> exported;
    std::size_t failed = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (environment.interrupted && environment.interrupted()) break;
        const CallRecord& call = calls[i];
        if (environment.progressTerminal) {
            err << "\rpell-catalogue: copying " << i + 1 << " of " << calls.size() << "\033[K" << std::flush;
        }
        const std::string name = ExportName(call, taken);
        const std::string target = JoinPath(into, name);
        fs::create_directories(fs::path(target).parent_path(), error);
        const CopyResult result = CopyRecordFile(call.Path(), target);
        if (!result.copied) {
            err << (environment.progressTerminal ? "\r\033[K" : "") << "pell-catalogue: cannot copy "
                << Field(call.Path()) << ": " << result.reason << "\n";
            ++failed;
            continue;
        }
        exported.push_back(call.Path());
        const RecordRow row = ToRecordRow(call, i);
        list += CsvLine({name, row.channel, row.date, row.duration, row.number, row.bookmark,
                         DirectionWord(call.facts.direction), row.Played() ? "1" : "0", call.Path(),
                         std::to_string(call.facts.stamp.size), call.facts.contentKey, call.facts.audioSha256});
    }
    if (environment.progressTerminal) err << "\r\033[K" << std::flush;
    const bool audited = AuditRecordings(exported, AuditAction::kExport, "into " + into, err);
    if (WriteFileAtomically(JoinPath(into, kExportListFile), list, 0644) != WriteResult::kOk) {
        err << "pell-catalogue: cannot write " << Field(JoinPath(into, kExportListFile)) << "\n";
        return 1;
    }
    const std::size_t copied = exported.size();
    out << copied << " recordings copied into " << Field(into) << ", listed in " << kExportListFile << "\n";
    if (copied + failed < calls.size()) {
        err << "pell-catalogue: interrupted after " << copied << " of " << calls.size() << " recordings\n";
        return kInterruptedExit;
    }
    return failed == 0 && audited ? 0 : 1;
}

}  // namespace

ToolEnvironment ToolEnvironment::FromProcess() {
    ToolEnvironment environment;
    std::error_code error;
    environment.currentFolder = std::filesystem::current_path(error).string();
    if (error) environment.currentFolder = ".";
    const auto get = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr ? std::string(value) : std::string();
    };
    environment.xdgCacheHome = get("XDG_CACHE_HOME");
    environment.home = get("HOME");
    environment.xdgConfigDirs = get("XDG_CONFIG_DIRS");
    environment.progressTerminal = ::isatty(2) == 1;
    return environment;
}

std::optional<std::string> PlayerProgramFolder(const std::string& xdgConfigDirs) {
    std::string dirs = xdgConfigDirs.empty() ? std::string("/etc/xdg") : xdgConfigDirs;
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t colon = dirs.find(':', start);
        const std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        start = colon == std::string::npos ? dirs.size() + 1 : colon + 1;
        if (dir.empty()) continue;
        const std::string file = dir + "/Zorvek Software/TeluvaPlayer.conf";
        if (::access(file.c_str(), R_OK) != 0) continue;
        std::string folder = ProfileReader::FromFile(file).ReadString("General", "PathToProg");
        if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
            folder = folder.substr(1, folder.size() - 2);
        if (folder.size() > 260) folder.resize(260);
        if (!folder.empty()) return folder;
    }
    return std::nullopt;
}

int RunIndexCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const ToolEnvironment& environment) {
    Options options;
    if (const std::string problem = ParseOptions(Command::kIndex, args, options); !problem.empty()) {
        return Usage(err, problem);
    }
    std::optional<Opened> opened = OpenIndex(options, environment, err);
    if (!opened) return 1;
    const auto started = std::chrono::steady_clock::now();
    if (const int code = Refresh(*opened, options.verify, environment, err); code != 0) return code;
    const StoreResult<int64_t> count = opened->index->Index().Store().CountCalls(opened->roots);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char took[32];
    std::snprintf(took, sizeof took, "%.2f", seconds);
    out << count.value << " recordings in " << Field(opened->index->Describe()) << " (refreshed in " << took << " s)\n";
    return 0;
}

int RunSearchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const ToolEnvironment& environment) {
    Options options;
    if (const std::string problem = ParseOptions(Command::kSearch, args, options); !problem.empty()) {
        return Usage(err, problem);
    }
    std::optional<Opened> opened = OpenIndex(options, environment, err);
    if (!opened) return 1;
    if (const int code = Refresh(*opened, false, environment, err); code != 0) return code;
    const std::optional<SearchPage> page = Find(*opened, options, err);
    if (!page) return 1;
    out << ListHeader(options.format, true);
    for (std::size_t i = 0; i < page->calls.size(); ++i) {
        out << FormatListLine(ToRecordRow(page->calls[i], i), options.format, page->calls[i].id,
                              page->calls[i].facts.audioSha256);
    }
    if (page->truncated) {
        err << "pell-catalogue: the first " << options.limit << " calls are shown; more match (raise --limit)\n";
    }
    return 0;
}

int RunExportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const ToolEnvironment& environment) {
    Options options;
    if (const std::string problem = ParseOptions(Command::kExport, args, options); !problem.empty()) {
        return Usage(err, problem);
    }
    if (!ExportFolderUsable(options.into, err)) return 1;
    std::optional<Opened> opened = OpenIndex(options, environment, err);
    if (!opened) return 1;
    if (const int code = Refresh(*opened, false, environment, err); code != 0) return code;
    const std::optional<SearchPage> page = Find(*opened, options, err);
    if (!page) return 1;
    return ExportCalls(page->calls, options.into, environment, out, err);
}

int RunHoldCommand(const std::vector<std::string>& args, bool held, std::ostream& out, std::ostream& err,
                   const ToolEnvironment& environment) {
    const std::string name = held ? "protect" : "unprotect";
    Options options;
    if (const std::string problem = ParseOptions(Command::kHold, args, options); !problem.empty()) {
        return Usage(err, problem);
    }
    // Recordings named by path are taken as they are; folders are record roots for a search.
    std::vector<std::string> files;
    std::vector<std::string> roots;
    for (const std::string& place : options.roots) {
        std::error_code error;
        (std::filesystem::is_regular_file(place, error) ? files : roots).push_back(place);
    }
    if (!files.empty() && (options.anyCriterion || !roots.empty())) {
        return Usage(err, name + " takes FILE... or search criteria with their ROOTs, not both");
    }
    if (files.empty() && !options.anyCriterion) {
        return Usage(err, name + " needs FILE... or search criteria (--number, --from, --line ...) to pick calls");
    }
    if (files.empty()) {
        std::optional<Opened> opened = OpenIndex(options, environment, err);
        if (!opened) return 1;
        if (const int code = Refresh(*opened, false, environment, err); code != 0) return code;
        const std::optional<SearchPage> page = Find(*opened, options, err);
        if (!page) return 1;
        for (const CallRecord& call : page->calls) files.push_back(call.Path());
        if (files.empty()) {
            out << "no call matches; nothing " << (held ? "protected" : "released") << "\n";
            return 0;
        }
    }
    for (const std::string& file : files) {
        if (RecordRootOf(file).empty()) {
            err << "pell-catalogue: " << Field(file) << " is not a recording in a day folder; nothing changed\n";
            return 1;
        }
    }
    const HoldResult result = ChangeHolds(HoldRequest{files, held, kToolProgramName, options.reason});
    for (const std::string& path : result.changed) out << (held ? "protected\t" : "released\t") << Field(path) << "\n";
    for (const std::string& path : result.unchanged) {
        out << (held ? "already protected\t" : "was not protected\t") << Field(path) << "\n";
    }
    for (const std::string& failure : result.failures) err << "pell-catalogue: " << Field(failure) << "\n";
    return result.failures.empty() ? 0 : 1;
}

int RunEraseCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const ToolEnvironment& environment) {
    Options options;
    if (const std::string problem = ParseOptions(Command::kErase, args, options); !problem.empty()) {
        return Usage(err, problem);
    }
    if (options.criteria.number.empty()) return Usage(err, "erase needs --number DIGITS: the caller whose calls go");
    if (!options.exportInto.empty() && !ExportFolderUsable(options.exportInto, err)) return 1;
    std::optional<Opened> opened = OpenIndex(options, environment, err);
    if (!opened) return 1;
    if (const int code = Refresh(*opened, false, environment, err); code != 0) return code;
    const std::optional<SearchPage> page = Find(*opened, options, err);
    if (!page) return 1;
    if (page->calls.empty()) {
        out << "no call of that number; nothing erased\n";
        return 0;
    }
    if (!options.confirmed) {
        for (const CallRecord& call : page->calls) {
            out << (call.facts.isProtected ? "protected, would stay\t" : "would be erased\t") << Field(call.Path())
                << "\n";
        }
        out << page->calls.size() << " calls found; nothing erased yet: run again with --yes to erase them for good\n";
        return 0;
    }
    if (!options.exportInto.empty()) {
        if (const int code = ExportCalls(page->calls, options.exportInto, environment, out, err); code != 0) {
            err << "pell-catalogue: the export is incomplete, so nothing was erased\n";
            return code;
        }
    }
    std::vector<ErasureTarget> targets;
    for (const CallRecord& call : page->calls) targets.push_back({call.Path(), call.facts.line});
    const ErasureReport report = EraseRecordings(targets, kToolProgramName);
    std::size_t erased = 0;
    for (const ErasureOutcome& outcome : report.outcomes) {
        if (outcome.result == ErasureOutcome::Result::kErased) {
            ++erased;
            out << "erased\t" << Field(outcome.path) << "\n";
        } else {
            err << "pell-catalogue: kept " << Field(outcome.path) << ": " << Field(outcome.reason) << "\n";
        }
    }
    for (const std::string& problem : report.auditProblems) {
        err << "pell-catalogue: erased, but not recorded: " << Field(problem) << "\n";
    }
    out << erased << " of " << page->calls.size() << " calls erased for good\n";
    // The index forgets the erased calls now rather than at the next search.
    if (const int code = Refresh(*opened, false, environment, err); code != 0) return code;
    return erased == page->calls.size() && report.auditProblems.empty() ? 0 : 1;
}

}  // namespace pell
