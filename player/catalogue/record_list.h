// The rows of the player's record list for a date range: every root in order, every day of the
// range ascending, the "*.mp3" files of that day's folder in name order (the recorder's counter
// order). The list window only displays what this returns.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "player/catalogue/record_info.h"

namespace pell {

// Column indices of the record list.
enum RecordColumn : int {
    kColumnChannel = 0,
    kColumnDate = 1,
    kColumnDuration = 2,
    kColumnNumber = 3,
    kColumnBookmark = 4,
    kColumnPlacement = 5,
    kRecordColumnCount = 6,
};

struct RecordRow {
    std::string channel;    // tag artist, or the file name when that is empty
    std::string date;       // call start, "%d.%m.%Y %H:%M:%S"
    std::string duration;   // "%02d:%02d:%02d"
    std::string number;     // tag title
    std::string bookmark;   // tag comment
    std::string placement;  // full path of the file
    int image = 0;          // call direction: 0 unknown, 1 incoming, 2 outgoing
    // 2 x (rows in the list when this one was inserted) + played flag: unique per fill, and
    // the lowest bit is what the list's colour and a later played mark read and set.
    int32_t itemData = 0;

    const std::string& Text(int column) const;
    bool Played() const { return (itemData & 1) != 0; }

    friend bool operator==(const RecordRow&, const RecordRow&) = default;
};

// "%d.%m.%Y", the name of a day folder under a root.
std::string DayFolderName(std::chrono::year_month_day day);

// True for a day folder name "%d.%m.%Y" of a real calendar date.
bool IsDayFolderName(std::string_view name);

// The day folder's date as yyyymmdd (20261206), 0 when the name is no day folder.
int32_t DayFolderKey(std::string_view name);

// "*.mp3" as the platform matches it: the extension in any letter case.
bool HasMp3Extension(std::string_view name);

// folder + "/" + name, without doubling the "/" of a folder given as "/" or with a trailing one.
std::string JoinRecordFolder(const std::string& folder, const std::string& name);

// The row for one file found as `fileName` at `path`, inserted when the list holds `rowIndex` rows.
RecordRow MakeRecordRow(const RecordInfo& info, const std::string& fileName, const std::string& path,
                        std::size_t rowIndex);

// All rows for the roots and the dates from `from` to `to` inclusive (only dates matter; a
// from-date after the to-date, or an invalid date, gives no rows).
std::vector<RecordRow> FillRecordList(const std::vector<std::string>& roots, std::chrono::year_month_day from,
                                      std::chrono::year_month_day to);

}  // namespace pell
