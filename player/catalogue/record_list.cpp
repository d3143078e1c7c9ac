#include "player/catalogue/record_list.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "common/core/clock.h"

namespace pell {
namespace {

void ListDayFolder(const std::string& folder, std::vector<std::string>& names, std::vector<RecordRow>& rows) {
    names.clear();
    std::error_code error;
    std::filesystem::directory_iterator entry(folder, error);
    if (error) return;
    for (const std::filesystem::directory_iterator end; entry != end; entry.increment(error)) {
        if (error) break;
        std::string name = entry->path().filename().string();
        if (!HasMp3Extension(name)) continue;
        std::error_code typeError;
        if (entry->is_directory(typeError)) continue;
        names.push_back(std::move(name));
    }
    // The recorder numbers its files with a zero-padded counter, so name order is call order.
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = JoinRecordFolder(folder, name);
        rows.push_back(MakeRecordRow(ReadRecordInfo(path), name, path, rows.size()));
    }
}

}  // namespace

bool HasMp3Extension(std::string_view name) {
    if (name.size() < 4) return false;
    const std::string_view ext = name.substr(name.size() - 4);
    return ext[0] == '.' && (ext[1] | 0x20) == 'm' && (ext[2] | 0x20) == 'p' && ext[3] == '3';
}

std::string JoinRecordFolder(const std::string& folder, const std::string& name) {
    // A root given as "/" (or with a trailing separator) must not produce "//".
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

const std::string& RecordRow::Text(int column) const {
    switch (column) {
        case kColumnChannel:
            return channel;
        case kColumnDate:
            return date;
        case kColumnDuration:
            return duration;
        case kColumnNumber:
            return number;
        case kColumnBookmark:
            return bookmark;
        default:
            return placement;
    }
}

std::string DayFolderName(std::chrono::year_month_day day) {
    LocalDateTime when;
    when.date = day;
    return FormatLocal(when, "%d.%m.%Y");
}

int32_t DayFolderKey(std::string_view name) {
    if (name.size() != 10 || name[2] != '.' || name[5] != '.') return 0;
    int value[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 3, 6};
    const std::size_t lengths[3] = {2, 2, 4};
    for (int part = 0; part < 3; ++part) {
        for (std::size_t k = 0; k < lengths[part]; ++k) {
            const char c = name[starts[part] + k];
            if (c < '0' || c > '9') return 0;
            value[part] = value[part] * 10 + (c - '0');
        }
    }
    const std::chrono::year_month_day date{std::chrono::year{value[2]},
                                           std::chrono::month{static_cast<unsigned>(value[1])},
                                           std::chrono::day{static_cast<unsigned>(value[0])}};
    if (!date.ok()) return 0;
    return value[2] * 10000 + value[1] * 100 + value[0];
}

bool IsDayFolderName(std::string_view name) { return DayFolderKey(name) != 0; }

RecordRow MakeRecordRow(const RecordInfo& info, const std::string& fileName, const std::string& path,
                        std::size_t rowIndex) {
    RecordRow row;
    row.channel = info.channel.empty() ? fileName : info.channel;
    row.date = info.date;
    row.duration = info.duration;
    row.number = info.number;
    row.bookmark = info.bookmark;
    row.placement = path;
    row.image = static_cast<int>(info.direction);
    row.itemData = static_cast<int32_t>(2 * rowIndex + (info.played != 0 ? 1 : 0));
    return row;
}

std::vector<RecordRow> FillRecordList(const std::vector<std::string>& roots, std::chrono::year_month_day from,
                                      std::chrono::year_month_day to) {
    std::vector<RecordRow> rows;
    if (!from.ok() || !to.ok() || from > to) return rows;
    // Whole calendar days, not 86,400-second steps: daylight saving can neither skip nor
    // repeat a day, and the walk stops at the to-date itself, so even the last date ends it.
    const std::chrono::sys_days first{from};
    const std::chrono::sys_days last{to};
    std::vector<std::string> names;
    for (const std::string& root : roots) {
        for (std::chrono::sys_days day = first;; day += std::chrono::days{1}) {
            ListDayFolder(JoinRecordFolder(root, DayFolderName(std::chrono::year_month_day{day})), names, rows);
            if (day == last) break;
        }
    }
    return rows;
}

}  // namespace pell
