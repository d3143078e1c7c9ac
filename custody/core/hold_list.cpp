#include "custody/core/hold_list.h"

#include <cerrno>
#include <cstring>

#include "custody/core/chained_log.h"

namespace pell {
namespace {

constexpr const char* kHoldHeader =
    "# Recordings of this day kept from every deletion (legal hold), one file name a line.\n"
    "# Change it with pell-catalogue protect and unprotect, which record who did it in audit.log.\n";

std::string ListPath(const std::string& dayFolder) { return dayFolder + "/" + kHoldFileName; }

}  // namespace

std::set<std::string> ParseHoldList(std::string_view text) {
    std::set<std::string> names;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        // A line that does not unescape is taken as written: a hold is never dropped for its spelling.
        names.insert(UnescapeLogValue(line).value_or(std::string(line)));
    }
    return names;
}

std::string FormatHoldList(const std::set<std::string>& names) {
    std::string text = kHoldHeader;
    for (const std::string& name : names) {
        std::string line = EscapeLogValue(name);
        if (!line.empty() && line.front() == '#') line = "\\x23" + line.substr(1);
        text += line;
        text += '\n';
    }
    return text;
}

HoldCheck CheckHold(CustodyFiles& files, const std::string& path) {
    const std::string list = ListPath(ParentOf(path));
    const FileText text = files.ReadWhole(list);
    if (text.error == ENOENT) return {};
    if (text.error != 0) return {HoldState::kUnknown, list + ": " + std::strerror(text.error)};
    return {ParseHoldList(text.text).count(NameOf(path)) != 0 ? HoldState::kHeld : HoldState::kFree, {}};
}

bool IsProtected(CustodyFiles& files, const std::string& path) {
    return CheckHold(files, path).state != HoldState::kFree;
}

HoldChange ChangeHolds(CustodyFiles& files, const std::string& dayFolder, const std::vector<std::string>& names,
                       bool held) {
    HoldChange change;
    const std::string list = ListPath(dayFolder);
    LockedLogResult locked = files.LockLog(list, held);
    if (locked.error == ENOENT && !held) return change;
    if (locked.error != 0) {
        change.error = locked.error;
        return change;
    }
    const FileText text = locked.log->ReadAll();
    if (text.error != 0) {
        change.error = text.error;
        return change;
    }
    std::set<std::string> current = ParseHoldList(text.text);
    for (const std::string& name : names) {
        const bool done = held ? current.insert(name).second : current.erase(name) != 0;
        if (done) change.changed.push_back(name);
    }
    if (change.changed.empty() && !text.text.empty()) return change;
    if (current.empty()) {
        // Removed while still locked: a writer waiting for the lock then finds the name gone and makes a new list.
        const int error = files.RemoveFile(list);
        if (error != 0 && error != ENOENT) {
            change.error = error;
            change.changed.clear();
        }
        return change;
    }
    if (const int error = locked.log->Replace(FormatHoldList(current)); error != 0) {
        change.error = error;
        change.changed.clear();
    }
    return change;
}

}  // namespace pell
