#include "recorder/core/recorder_status.h"

#include <cstdio>

namespace pell {
namespace {

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

std::string Join(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : separator) + item;
    return out;
}

std::string Hhmm(const LocalDateTime& at) { return FormatLocal(at, "%H:%M"); }

std::string LineSummary(size_t index, const LineStatus& line, bool withCaller) {
    std::string text = "Line " + std::to_string(index + 1) + ": " + ConditionText(line);
    if (withCaller && !line.lastNumber.empty()) text += ", last " + line.lastNumber;
    return text;
}

std::string DateTimeText(const LocalDateTime& at) { return FormatLocal(at, "%Y-%m-%dT%H:%M:%S"); }

std::string OptionalTime(const std::optional<LocalDateTime>& at) {
    return at ? JsonString(DateTimeText(*at)) : std::string("null");
}

}  // namespace

std::string CutUtf8(const std::string& text, size_t maxCharacters) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        // Continuation bytes belong to the character before them.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (characters == maxCharacters) return text.substr(0, i);
        ++characters;
    }
    return text;
}

std::string WithCause(const std::string& text, const CauseFacts& facts) {
    // Files of the group pell read as missing or empty to a user the group does not hold yet.
    const bool accessText = Contains(text, "Permission denied") || Contains(text, "cannot be read") ||
                            Contains(text, "No drop folder is set") || Contains(text, "could not be created");
    if (facts.inPellGroup == false && accessText) {
        return text +
               " (you are not in the group pell yet: log out and in again; an administrator adds you with "
               "\"sudo adduser $USER pell\")";
    }
    return text;
}

std::string WaitingText(const std::string& specText, const CauseFacts& facts) {
    std::vector<std::string> causes;
    if (!facts.soundPresent) {
        const std::string found = facts.foundDevices.empty() ? "none" : Join(facts.foundDevices, ", ");
        causes.push_back(facts.wantedDevice.empty()
                             ? "no capture device is there; found: " + found
                             : "no capture device's name contains \"" + facts.wantedDevice + "\"; found: " + found);
    }
    if (!facts.lineBoxPresent && (facts.hidControlled || !facts.soundPresent)) {
        causes.push_back(std::string("the line box (") + kLineBoxHidName + ") is not plugged in");
    }
    if (causes.empty()) return specText;
    return specText + " " + Join(causes, "; ") +
           ". The recorder waits for the line box and starts recording as soon as it is plugged in.";
}

void ProblemList::Add(const LocalDateTime& at, std::string text) {
    entries_.push_back({at, std::move(text)});
    while (entries_.size() > capacity_) entries_.pop_front();
}

std::string ProblemList::Row(const Problem& problem) {
    return FormatLocal(problem.at, "%d.%m.%Y %H:%M:%S") + "  " + problem.text;
}

std::string ConditionText(const LineStatus& line) {
    switch (line.condition) {
        case LineCondition::kOff:
            return "off";
        case LineCondition::kIdle:
            return "idle";
        case LineCondition::kRecording:
            return line.callStart ? "recording since " + Hhmm(*line.callStart) : "recording";
        case LineCondition::kCannotWrite:
            return "cannot write";
        case LineCondition::kBoxMissing:
            return "box missing";
    }
    return "idle";
}

const char* ConditionKey(LineCondition condition) {
    switch (condition) {
        case LineCondition::kOff:
            return "off";
        case LineCondition::kIdle:
            return "idle";
        case LineCondition::kRecording:
            return "recording";
        case LineCondition::kCannotWrite:
            return "cannot_write";
        case LineCondition::kBoxMissing:
            return "box_missing";
    }
    return "idle";
}

std::string TrayTip(const std::string& baseTip, const PerLine<LineStatus>& lines, size_t maxCharacters) {
    for (const bool withCallers : {true, false}) {
        std::string tip = baseTip;
        for (size_t n = 0; n < lines.size(); ++n) tip += "\n" + LineSummary(n, lines[n], withCallers);
        if (CutUtf8(tip, maxCharacters).size() == tip.size() || !withCallers) return CutUtf8(tip, maxCharacters);
    }
    return CutUtf8(baseTip, maxCharacters);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[7];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string FormatHealthJson(const HealthReport& report) {
    std::string out = "{\n";
    out += "  \"version\": " + JsonString(report.version) + ",\n";
    out += "  \"written\": " + JsonString(DateTimeText(report.written)) + ",\n";
    out += "  \"state\": " + JsonString(report.state) + ",\n";
    out += std::string("  \"box_present\": ") + (report.boxPresent ? "true" : "false") + ",\n";
    out += std::string("  \"sound_present\": ") + (report.soundPresent ? "true" : "false") + ",\n";
    out += "  \"disk_free_bytes\": " + (report.diskFreeBytes ? std::to_string(*report.diskFreeBytes) : "null") + ",\n";
    out += "  \"lines\": [\n";
    for (size_t n = 0; n < report.lines.size(); ++n) {
        const LineStatus& line = report.lines[n];
        out +=
            "    {\"line\": " + std::to_string(n + 1) + ", \"state\": " + JsonString(ConditionKey(line.condition)) +
            ", \"call_start\": " + OptionalTime(line.callStart) + ", \"last_call\": " + OptionalTime(line.lastFiledAt) +
            ", \"last_file\": " + JsonString(line.lastFiledPath) + ", \"last_number\": " + JsonString(line.lastNumber) +
            ", \"last_problem\": " + JsonString(line.lastProblem) + "}" + (n + 1 < report.lines.size() ? "," : "") +
            "\n";
    }
    out += "  ],\n";
    out += "  \"last_problem\": " + JsonString(report.lastProblem) + ",\n";
    out += "  \"last_problem_at\": " + OptionalTime(report.lastProblemAt) + ",\n";
    out += "  \"alarms\": [";
    for (size_t i = 0; i < report.alarms.size(); ++i) out += (i ? ", " : "") + JsonString(report.alarms[i]);
    out += "]\n}\n";
    return out;
}

}  // namespace pell
