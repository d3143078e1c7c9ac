#include "index/core/call_record.h"

#include <chrono>

#include "player/catalogue/record_info.h"

namespace pell {

int64_t CallFacts::EndTime() const {
    // Floor, as the file system's seconds field is.
    const int64_t ns = stamp.mtimeNs;
    return ns >= 0 ? ns / 1'000'000'000 : -((-ns + 999'999'999) / 1'000'000'000);
}

std::string CallRecord::Path() const { return CallPath(root, folder, facts.name); }

std::string NormaliseRoot(std::string_view root) {
    while (root.size() > 1 && root.back() == '/') root.remove_suffix(1);
    return std::string(root);
}

std::string CallPath(std::string_view root, std::string_view folder, std::string_view name) {
    return JoinRecordFolder(JoinRecordFolder(std::string(root), std::string(folder)), std::string(name));
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

RecordRow ToRecordRow(const CallRecord& call, std::size_t rowIndex) {
    const CallFacts& facts = call.facts;
    RecordInfo info;
    if (facts.readable) {
        info.channel = facts.line;
        info.number = facts.number;
        info.bookmark = facts.bookmark;
        info.played = facts.played ? 1 : 0;
        info.direction = facts.direction;
        if (facts.timesKnown) {
            info.date = FormatStartTime(static_cast<std::time_t>(facts.startTime));
            info.duration = FormatDuration(facts.durationSeconds);
        }
    }
    return MakeRecordRow(info, facts.name, call.Path(), rowIndex);
}

}  // namespace pell
