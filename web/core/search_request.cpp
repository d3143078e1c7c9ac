#include "web/core/search_request.h"

#include <algorithm>
#include <ctime>
#include <limits>

#include "web/core/ini_text.h"

namespace pell::web {
namespace {

// Exactly `digits` decimal digits at text[at...], or nothing.
std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t digits) {
    if (at + digits > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        const int digit = text[i] - '0';
        if (value > (std::numeric_limits<int>::max() - digit) / 10) return std::nullopt;  // too large to be read
        value = value * 10 + digit;
    }
    return value;
}

std::optional<bool> YesNo(std::string_view text) {
    if (text == "yes") return true;
    if (text == "no") return false;
    return std::nullopt;
}

std::optional<CallDirection> Direction(std::string_view text) {
    if (text == "in") return CallDirection::kIncoming;
    if (text == "out") return CallDirection::kOutgoing;
    if (text == "unknown") return CallDirection::kUnknown;
    return std::nullopt;
}

// The dates and durations a call lies between; the error in words, empty when fine.
std::string ApplySpan(CallCriteria& c, const std::string& name, std::string_view value) {
    if (name == "from" || name == "to") {
        const auto when = ParseLocalMoment(value, name == "to");
        if (!when) return name + ": not a date (YYYY-MM-DD)";
        (name == "from" ? c.startFrom : c.startBefore) = when;
    } else {
        const auto seconds = ParseDurationText(value);
        if (!seconds) return name + ": not a duration (seconds, M:SS or H:MM:SS)";
        (name == "min" ? c.minDurationSeconds : c.maxDurationSeconds) = seconds;
    }
    return {};
}

// The page's order and size; the error in words, empty when fine.
std::string ApplyOrder(SearchRequest& request, const std::string& name, std::string_view value) {
    if (name == "sort") {
        const auto column = ParseSortColumn(value);
        if (!column) return "sort: start, duration, number, line, bookmark, direction or played";
        request.order.column = *column;
    } else if (name == "order") {
        if (value != "asc" && value != "desc") return "order: asc or desc";
        request.order.descending = value == "desc";
    } else if (name == "limit") {
        const auto rows = Digits(value, 0, value.size());
        if (value.size() > 4 || !rows || *rows < 1 || static_cast<std::size_t>(*rows) > kMaxPageRows) {
            return "limit: 1 to " + std::to_string(kMaxPageRows);
        }
        request.limit = static_cast<std::size_t>(*rows);
    }
    return {};
}

// Reads one parameter into the request; the error in words, empty when fine.
std::string Apply(SearchRequest& request, const std::string& name, std::string_view value) {
    CallCriteria& c = request.criteria;
    if (name == "number") {
        c.number = std::string(value);
    } else if (name == "text") {
        c.text = std::string(value);
    } else if (name == "line") {
        if (!c.lines) c.lines.emplace();
        c.lines->emplace_back(value);
    } else if (name == "direction") {
        c.direction = Direction(value);
        if (!c.direction) return "direction: in, out or unknown";
    } else if (name == "played" || name == "protected") {
        const auto flag = YesNo(value);
        if (!flag) return name + ": yes or no";
        (name == "played" ? c.played : c.isProtected) = flag;
    } else if (name == "from" || name == "to" || name == "min" || name == "max") {
        return ApplySpan(c, name, value);
    } else {
        return ApplyOrder(request, name, value);
    }
    return {};
}

}  // namespace

std::optional<int64_t> ParseLocalMoment(std::string_view text, bool end) {
    text = TrimBlanks(text);
    if (text.size() != 10 && text.size() != 16 && text.size() != 19) return std::nullopt;
    if (text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto year = Digits(text, 0, 4);
    const auto month = Digits(text, 5, 2);
    const auto day = Digits(text, 8, 2);
    if (!year || !month || !day || *year < 1970) return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year{*year}, std::chrono::month{static_cast<unsigned>(*month)},
                                           std::chrono::day{static_cast<unsigned>(*day)}};
    if (!date.ok()) return std::nullopt;
    std::tm local{};
    local.tm_year = *year - 1900;
    local.tm_mon = *month - 1;
    local.tm_mday = *day;
    local.tm_isdst = -1;
    bool wholeDay = true;
    if (text.size() > 10) {
        if ((text[10] != 'T' && text[10] != ' ') || text[13] != ':') return std::nullopt;
        const auto hour = Digits(text, 11, 2);
        const auto minute = Digits(text, 14, 2);
        std::optional<int> second = 0;
        if (text.size() == 19) second = text[16] == ':' ? Digits(text, 17, 2) : std::nullopt;
        if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
        local.tm_hour = *hour;
        local.tm_min = *minute;
        local.tm_sec = *second;
        wholeDay = false;
    }
    if (end && wholeDay) ++local.tm_mday;  // mktime carries into the next month or year
    const std::time_t when = std::mktime(&local);
    if (when == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<int64_t>(when) + (end && !wholeDay ? 1 : 0);
}

std::optional<int64_t> ParseDurationText(std::string_view text) {
    text = TrimBlanks(text);
    int64_t total = 0;
    int parts = 0;
    while (true) {
        const std::size_t colon = text.find(':');
        const std::string_view part = text.substr(0, colon);
        if (part.empty() || part.size() > 6) return std::nullopt;
        const auto value = Digits(part, 0, part.size());
        if (!value || (parts > 0 && (part.size() != 2 || *value > 59))) return std::nullopt;
        total = total * 60 + *value;
        if (++parts > 3) return std::nullopt;
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
    }
    return total;
}

std::optional<CallSortColumn> ParseSortColumn(std::string_view text) {
    static constexpr std::pair<std::string_view, CallSortColumn> kColumns[] = {
        {"start", CallSortColumn::kStart},       {"duration", CallSortColumn::kDuration},
        {"number", CallSortColumn::kNumber},     {"line", CallSortColumn::kLine},
        {"bookmark", CallSortColumn::kBookmark}, {"direction", CallSortColumn::kDirection},
        {"played", CallSortColumn::kPlayed}};
    for (const auto& [name, column] : kColumns) {
        if (name == text) return column;
    }
    return std::nullopt;
}

SearchParse ParseSearchParameters(const Parameters& parameters) {
    SearchParse out;
    static constexpr std::string_view kNames[] = {"number",    "text",   "from",      "to",   "min",   "max",  "line",
                                                  "direction", "played", "protected", "sort", "order", "limit"};
    if (parameters.size() > kMaxParameters) {
        out.error = "at most " + std::to_string(kMaxParameters) + " search fields";
        return out;
    }
    for (const auto& [name, value] : parameters) {
        if (std::find(std::begin(kNames), std::end(kNames), name) == std::end(kNames)) {
            out.error = "unknown parameter \"" + name + "\"";
            return out;
        }
        if (value.size() > kMaxValueBytes) {
            out.error = name + ": at most " + std::to_string(kMaxValueBytes) + " characters";
            return out;
        }
        if (TrimBlanks(value).empty()) continue;  // a field left empty asks for nothing
        out.error = Apply(out.request, name, value);
        if (!out.error.empty()) return out;
    }
    return out;
}

}  // namespace pell::web
