// Disk space watch: while a channel's drive is low, delete its oldest day folder, one per pass,
// walking a remembered date forward, and log each deletion in "history.log".
#include <algorithm>
#include <cstdio>
#include <string>

#include "common/core/paths.h"
#include "recorder/core/recorder_core.h"
#include "recorder/core/recording_names.h"

namespace pell {

RemoveDayResult RecorderCore::RemoveOldestDay(const std::string& path, Line line, std::chrono::year_month_day date) {
    FileSystem& fs = services_.fileSystem;
    if (!fs.Exists(path)) return RemoveDayResult::kMissing;
    fs.RemoveTree(path);
    WriteFolderDateFile(line, date);
    // An emptied folder that stays behind is not a removal: cleaning would never move on.
    return fs.Exists(path) ? RemoveDayResult::kRemoveFailed : RemoveDayResult::kRemoved;
}

std::optional<uint32_t> RecorderCore::CleanDisk() {
    if (settings_.cleaning == 0) return std::nullopt;
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
        if (!freeBytes || *freeBytes >= static_cast<uint64_t>(limitBytes)) continue;

        std::chrono::year_month_day persisted = folderDate;
        while (sys_days{folderDate} < stopAt) {
            const std::string path = DayFolderPath(cfg.dropFolder, folderDate);
            const RemoveDayResult result = RemoveOldestDay(path, line, folderDate);
            if (result == RemoveDayResult::kRemoved) {
                AppendHistoryLog(path + " was removed\r\n");
                persisted = folderDate;
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
    }
    ShowPendingMessages();
    return kCleaningPeriodMs;
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
