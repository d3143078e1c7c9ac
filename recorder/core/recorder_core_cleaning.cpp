// Disk space watch: while a channel's drive is low, delete its oldest day folder, one per pass,
// walking a remembered date forward, and log each deletion in "history.log". With retention
// set, cleaning stops short of the days that must be kept, and a daily pass removes the days
// past their keeping time. Protected recordings stay whatever the reason (custody records).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "common/core/paths.h"
#include "player/catalogue/record_list.h"
#include "recorder/core/recorder_core.h"
#include "recorder/core/recording_names.h"

namespace pell {
namespace {

// "dd.mm.yyyy" as the recorder names its day folders; nothing for any other name.
std::optional<std::chrono::year_month_day> ParseDayFolder(const std::string& name) {
    const int32_t key = DayFolderKey(name);
    if (key == 0) return std::nullopt;
    return std::chrono::year_month_day{std::chrono::year{key / 10000},
                                       std::chrono::month{static_cast<unsigned>(key / 100 % 100)},
                                       std::chrono::day{static_cast<unsigned>(key % 100)}};
}

std::string KeptNote(std::size_t kept) {
    if (kept == 0) return {};
    return " (" + std::to_string(kept) + " protected recording" + (kept == 1 ? "" : "s") + " kept)";
}

}  // namespace

LineOptions RecorderCore::DropFolderRetention(const std::string& dropFolder) const {
    LineOptions rules;
    bool anyNeverDeletes = false;
    bool any = false;
    for (const Line each : kLines) {
        if (Config(each).dropFolder != dropFolder) continue;
        const LineOptions& line = retention_[each.index()];
        rules.keepDays = std::max(rules.keepDays, line.keepDays);
        if (line.deleteAfterDays <= 0) anyNeverDeletes = true;
        rules.deleteAfterDays = std::max(rules.deleteAfterDays, line.deleteAfterDays);
        any = true;
    }
    if (!any || anyNeverDeletes) rules.deleteAfterDays = 0;
    // A day may not go by age before keep_days allow it either.
    if (rules.deleteAfterDays > 0) rules.deleteAfterDays = std::max(rules.deleteAfterDays, rules.keepDays);
    return rules;
}

RemoveDayResult RecorderCore::RemoveOldestDay(const std::string& path, Line line, std::chrono::year_month_day date) {
    FileSystem& fs = services_.fileSystem;
    if (!fs.Exists(path)) return RemoveDayResult::kMissing;
    if (services_.custody != nullptr) {
        const DayRemoval removal = services_.custody->RemoveDay(path, RemovalReason::kCleaning);
        if (!removal.auditProblem.empty()) {
            ReportFailure("audit", "The audit trail beside " + path + " could not be written (" + removal.auditProblem +
                                       "); the removals are in history.log only.");
        }
        // A day of protected recordings only frees nothing: cleaning moves on past it.
        if (!removal.existed || (removal.removed.empty() && removal.failures.empty())) return RemoveDayResult::kMissing;
        lastKept_ = removal.kept.size();
        WriteFolderDateFile(line, date);
        return removal.Complete() ? RemoveDayResult::kRemoved : RemoveDayResult::kRemoveFailed;
    }
    fs.RemoveTree(path);
    WriteFolderDateFile(line, date);
    // An emptied folder that stays behind is not a removal: cleaning would never move on.
    return fs.Exists(path) ? RemoveDayResult::kRemoveFailed : RemoveDayResult::kRemoved;
}

std::optional<uint32_t> RecorderCore::CleanDisk() {
    using std::chrono::sys_days;
    const std::chrono::year_month_day today = services_.clock.Now().date;
    // Never walk into today's folder nor into any folder holding a part of a call not yet filed:
    // a call split after midnight still has its first part in the day it began.
    sys_days stopAt{today};
    for (size_t c = 0; c < 2; ++c) {
        const ChannelRuntime& ch = channels_[c];
        if (ch.inCall || ch.recording || ch.finishing) {
            stopAt = std::min({stopAt, sys_days{ch.startedAt.date}, sys_days{ch.fileDate}});
        }
    }
    RemoveAgedDays(today, stopAt);
    if (settings_.cleaning == 0) return std::nullopt;
    const int64_t limitBytes = int64_t{settings_.freeDiskSpace} * 1048576;
    for (const Line line : kLines) {
        const ChannelConfig& cfg = Config(line);
        std::chrono::year_month_day& folderDate = channels_[line].folderDate;
        // A cursor beyond today comes from a clock that was once wrong: waiting for that day
        // would stop cleaning until then.
        if (sys_days{folderDate} > sys_days{today}) {
            folderDate = today;
            WriteFolderDateFile(line, today);
        }
        if (settings_.freeDiskSpace <= 0 || cfg.dropFolder.empty()) continue;
        if (!services_.fileSystem.Exists(cfg.dropFolder)) continue;
        const std::optional<uint64_t> freeBytes = services_.freeSpace.FreeBytes(cfg.dropFolder);
        // A failed query is not a low drive: deleting recordings needs a reason.
        if (!freeBytes) continue;
        const std::string keepKey = "keep" + std::to_string(line.channel());
        if (*freeBytes >= static_cast<uint64_t>(limitBytes)) {
            channels_[line].keepBlocked = false;
            ClearFailure(keepKey);
            continue;
        }
        const int32_t keepDays = DropFolderRetention(cfg.dropFolder).keepDays;
        // The days younger than keep_days stay whatever the drive says.
        const sys_days removableBefore =
            keepDays > 0 ? std::min(stopAt, sys_days{today} - std::chrono::days{keepDays - 1}) : stopAt;

        std::chrono::year_month_day persisted = folderDate;
        bool removed = false;
        while (sys_days{folderDate} < removableBefore) {
            const std::string path = DayFolderPath(cfg.dropFolder, folderDate);
            lastKept_ = 0;
            const RemoveDayResult result = RemoveOldestDay(path, line, folderDate);
            if (result == RemoveDayResult::kRemoved) {
                AppendHistoryLog(path + " was removed" + KeptNote(lastKept_) + "\r\n");
                persisted = folderDate;
                removed = true;
                break;
            }
            if (result == RemoveDayResult::kRemoveFailed) {
                AppendHistoryLog(path + " couldn't remove\r\n");
                persisted = folderDate;
            }
            folderDate = sys_days{folderDate} + std::chrono::days{1};
        }
        // Days skipped in memory are remembered, so a reload does not walk them again.
        if (folderDate != persisted) WriteFolderDateFile(line, folderDate);
        if (!removed && keepDays > 0) {
            channels_[line].keepBlocked = true;
            ReportFailure(keepKey, "Line " + std::to_string(line.channel() + 1) + ": the drive of " + cfg.dropFolder +
                                       " has less than " + std::to_string(settings_.freeDiskSpace) +
                                       " MB free, but every day folder left is younger than the " +
                                       std::to_string(keepDays) +
                                       " days its recordings must be kept, so none was removed. Free space on the "
                                       "drive or move the recordings to a larger one.");
        }
    }
    ShowPendingMessages();
    return kCleaningPeriodMs;
}

void RecorderCore::RemoveAgedDays(std::chrono::year_month_day today, std::chrono::sys_days stopAt) {
    using std::chrono::days;
    using std::chrono::sys_days;
    if (agePassDate_ == today) return;
    const std::optional<std::chrono::year_month_day> previous = agePassDate_;
    agePassDate_ = today;
    // The date leapt ahead between two passes seconds apart: a clock set wrong would remove
    // days by a false age, so the pass waits for the next day and says so.
    if (previous && sys_days{today} - sys_days{*previous} > days{1}) {
        for (const Line line : kLines) {
            if (Config(line).dropFolder.empty() || DropFolderRetention(Config(line).dropFolder).deleteAfterDays <= 0)
                continue;
            services_.notifier.Log("The date moved from " + FormatFolderDate(*previous) + " to " +
                                   FormatFolderDate(today) +
                                   " while the recorder ran; removal by age waits a day in case the clock is wrong.");
            break;
        }
        return;
    }
    FileSystem& fs = services_.fileSystem;
    std::set<std::string> done;
    for (const Line line : kLines) {
        const std::string& dropFolder = Config(line).dropFolder;
        if (dropFolder.empty() || !done.insert(dropFolder).second) continue;
        const int32_t deleteAfterDays = DropFolderRetention(dropFolder).deleteAfterDays;
        if (deleteAfterDays <= 0 || !fs.Exists(dropFolder)) continue;
        std::vector<std::chrono::year_month_day> dayFolders;
        for (const std::string& name : fs.List(dropFolder)) {
            if (const auto date = ParseDayFolder(name)) dayFolders.push_back(*date);
        }
        std::sort(dayFolders.begin(), dayFolders.end());
        const sys_days removeUpTo = sys_days{today} - std::chrono::days{deleteAfterDays};
        for (const std::chrono::year_month_day date : dayFolders) {
            if (sys_days{date} > removeUpTo || sys_days{date} >= stopAt) break;
            const std::string path = DayFolderPath(dropFolder, date);
            const std::string why = " (older than " + std::to_string(deleteAfterDays) + " days)";
            if (services_.custody != nullptr) {
                const DayRemoval removal = services_.custody->RemoveDay(path, RemovalReason::kRetention);
                if (!removal.auditProblem.empty()) {
                    ReportFailure("audit", "The audit trail beside " + path + " could not be written (" +
                                               removal.auditProblem + "); the removals are in history.log only.");
                }
                if (!removal.existed || (removal.removed.empty() && removal.failures.empty())) continue;
                std::string entry = path + (removal.Complete() ? " was removed" : " couldn't remove");
                entry.append(why).append(KeptNote(removal.kept.size())).append("\r\n");
                AppendHistoryLog(entry);
                continue;
            }
            const bool gone = fs.RemoveTree(path) && !fs.Exists(path);
            std::string entry = path + (gone ? " was removed" : " couldn't remove");
            AppendHistoryLog(entry.append(why).append("\r\n"));
        }
    }
    ShowPendingMessages();
}

void RecorderCore::AppendHistoryLog(const std::string& line) {
    const std::string path = JoinPath(settings_.programFolder, "history.log");
    std::string error;
    File file = services_.fileSystem.Open(path, "ab", &error);
    bool written = file && file.Write(line.data(), line.size());
    if (file && !written) error = file.LastError();
    if (file && !file.Close() && written) {
        written = false;
        error = file.LastError();
    }
    if (written) {
        ClearFailure(path);
        return;
    }
    std::string entry = line;
    while (!entry.empty() && (entry.back() == '\n' || entry.back() == '\r')) entry.pop_back();
    ReportFailure(path, "The cleaning log " + path + " could not be written (" + error + "); not logged: " + entry);
}

void RecorderCore::WriteFolderDateFile(Line line, std::chrono::year_month_day date) {
    const std::string path = JoinPath(settings_.programFolder, FolderDateFileName(line.channel()));
    std::string error;
    if (services_.fileSystem.WriteWhole(path, FormatFolderDate(date), &error)) {
        ClearFailure(path);
    } else {
        ReportFailure(path, "The cleaning state file " + path + " could not be written (" + error +
                                "); after a restart cleaning walks again from an older day.");
    }
}

}  // namespace pell
