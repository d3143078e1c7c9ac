#include "web/core/recorder_status.h"

#include <ctime>
#include <nlohmann/json.hpp>

namespace pell::web {
namespace {

using Json = nlohmann::json;

constexpr int kMaxDepth = 32;
constexpr std::size_t kMaxLines = 16;
constexpr std::size_t kMaxAlarms = 64;
constexpr std::size_t kMaxText = 500;

// Deeper nesting than a health file ever has is refused before parsing.
bool ShallowEnough(std::string_view text) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth) return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

std::optional<int> TwoDigits(std::string_view text, std::size_t at) {
    if (at + 2 > text.size() || text[at] < '0' || text[at] > '9' || text[at + 1] < '0' || text[at + 1] > '9') {
        return std::nullopt;
    }
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

std::string Text(const Json& value) {
    if (!value.is_string()) return {};
    std::string text = value.get<std::string>();
    if (text.size() > kMaxText) text.resize(kMaxText);
    return text;
}

std::optional<int64_t> Time(const Json& value) {
    if (value.is_number_integer()) return value.get<int64_t>();
    if (value.is_number_float()) return static_cast<int64_t>(value.get<double>());
    if (value.is_string()) return ParseIsoTime(value.get<std::string>());
    return std::nullopt;
}

const Json& Field(const Json& object, const char* name) {
    static const Json kNull;
    if (!object.is_object()) return kNull;
    const auto found = object.find(name);
    return found == object.end() ? kNull : *found;
}

// "last_call": its time (with "last_number" beside it), or {"time", "number"}.
void ReadLastCall(const Json& value, const Json& number, LineStatus& line) {
    if (value.is_object()) {
        line.lastCallTime = Time(Field(value, "time"));
        line.lastCallNumber = Text(Field(value, "number"));
    } else {
        line.lastCallTime = Time(value);
    }
    if (number.is_string()) line.lastCallNumber = Text(number);
}

void ReadLastProblem(const Json& value, LineStatus& line) {
    if (value.is_string()) {
        line.lastProblem = Text(value);
        return;
    }
    line.lastProblemTime = Time(Field(value, "time"));
    line.lastProblem = Text(Field(value, "message"));
}

LineStatus ReadLine(const Json& value, std::size_t index) {
    LineStatus line;
    const Json& number = Field(value, "line");
    line.line = number.is_number_integer() ? number.get<int>() : static_cast<int>(index) + 1;
    line.state = Text(Field(value, "state"));
    line.callStart = Time(Field(value, "call_start"));
    ReadLastCall(Field(value, "last_call"), Field(value, "last_number"), line);
    ReadLastProblem(Field(value, "last_problem"), line);
    return line;
}

RecorderAlarm ReadAlarm(const Json& value) {
    RecorderAlarm alarm;
    if (value.is_string()) {
        alarm.message = Text(value);
        return alarm;
    }
    alarm.condition = Text(Field(value, "condition"));
    alarm.message = Text(Field(value, "message"));
    alarm.since = Time(Field(value, "since"));
    return alarm;
}

}  // namespace

std::optional<int64_t> ParseIsoTime(std::string_view text) {
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != ' ') ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    const auto century = TwoDigits(text, 0);
    const auto years = TwoDigits(text, 2);
    const auto month = TwoDigits(text, 5);
    const auto day = TwoDigits(text, 8);
    const auto hour = TwoDigits(text, 11);
    const auto minute = TwoDigits(text, 14);
    const auto second = TwoDigits(text, 17);
    if (!century || !years || !month || !day || !hour || !minute || !second) return std::nullopt;
    std::tm parts{};
    parts.tm_year = *century * 100 + *years - 1900;
    parts.tm_mon = *month - 1;
    parts.tm_mday = *day;
    parts.tm_hour = *hour;
    parts.tm_min = *minute;
    parts.tm_sec = *second;
    std::string_view zone = text.substr(19);
    if (!zone.empty() && zone.front() == '.') {
        zone.remove_prefix(1);
        while (!zone.empty() && zone.front() >= '0' && zone.front() <= '9') zone.remove_prefix(1);
    }
    if (zone.empty()) {
        parts.tm_isdst = -1;
        const std::time_t local = std::mktime(&parts);
        if (local == static_cast<std::time_t>(-1)) return std::nullopt;
        return static_cast<int64_t>(local);
    }
    int64_t offset = 0;
    if (zone != "Z") {
        if (zone.front() != '+' && zone.front() != '-') return std::nullopt;
        const auto zoneHours = TwoDigits(zone, 1);
        const auto zoneMinutes = TwoDigits(zone, zone.size() == 6 && zone[3] == ':' ? 4 : 3);
        if (!zoneHours || !zoneMinutes || (zone.size() != 6 && zone.size() != 5)) return std::nullopt;
        offset = (*zoneHours * 3600 + *zoneMinutes * 60) * (zone.front() == '-' ? -1 : 1);
    }
    const std::time_t utc = ::timegm(&parts);
    if (utc == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<int64_t>(utc) - offset;
}

RecorderStatus ParseRecorderStatus(std::string_view text, int64_t modifiedSeconds, int64_t now) {
    RecorderStatus status;
    status.presence = RecorderStatus::Presence::kBroken;
    status.written = modifiedSeconds;
    status.stale = now - modifiedSeconds > kStatusStaleSeconds;
    if (!ShallowEnough(text)) {
        status.problem = "status.json is nested too deeply to be a health file";
        return status;
    }
    const Json root = Json::parse(text, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        status.problem = "status.json is not a JSON object (being written, or damaged)";
        return status;
    }
    status.presence = RecorderStatus::Presence::kPresent;
    status.version = Text(Field(root, "version"));
    status.state = Text(Field(root, "state"));
    if (const auto written = Time(Field(root, "written"))) status.written = written;
    if (const Json& box = Field(root, "box_present"); box.is_boolean()) status.boxPresent = box.get<bool>();
    if (const Json& sound = Field(root, "sound_present"); sound.is_boolean()) status.soundPresent = sound.get<bool>();
    status.lastProblem = Text(Field(root, "last_problem"));
    status.lastProblemTime = Time(Field(root, "last_problem_at"));
    if (const Json& free = Field(root, "disk_free_bytes"); free.is_number()) {
        status.diskFreeBytes =
            free.is_number_integer() ? free.get<int64_t>() : static_cast<int64_t>(free.get<double>());
    }
    if (const Json& lines = Field(root, "lines"); lines.is_array()) {
        for (std::size_t i = 0; i < lines.size() && i < kMaxLines; ++i) status.lines.push_back(ReadLine(lines[i], i));
    }
    if (const Json& alarms = Field(root, "alarms"); alarms.is_array()) {
        for (std::size_t i = 0; i < alarms.size() && i < kMaxAlarms; ++i) status.alarms.push_back(ReadAlarm(alarms[i]));
    }
    return status;
}

}  // namespace pell::web
