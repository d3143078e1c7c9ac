#include "index/core/call_record.h"

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
