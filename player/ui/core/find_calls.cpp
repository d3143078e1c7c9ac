#include "player/ui/core/find_calls.h"

#include <utility>
#include <vector>

#include "index/core/criteria_text.h"

namespace pell {
namespace {

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

FindCallsCheck Wrong(FindCallsField field, std::string message) {
    FindCallsCheck check;
    check.field = field;
    check.message = std::move(message);
    return check;
}

// "2026-03-01 14:05" as the list writes dates: "01.03.2026 14:05".
std::string ShownDate(const std::string& text) {
    if (text.size() < 10 || text[4] != '-' || text[7] != '-') return text;
    return text.substr(8, 2) + "." + text.substr(5, 2) + "." + text.substr(0, 4) + text.substr(10);
}

std::string Plural(std::size_t count, const char* one, const char* many) {
    return GroupedCount(count) + " " + (count == 1 ? one : many);
}

}  // namespace

FindCallsCheck CriteriaFromForm(const FindCallsForm& form) {
    CallCriteria criteria;
    const std::string number = Trimmed(form.number);
    if (!number.empty() && NumberDigits(number).empty()) {
        return Wrong(FindCallsField::kNumber,
                     "Number: type at least one digit of the number (spaces and punctuation are ignored), or leave "
                     "it empty.");
    }
    criteria.number = number;
    const std::string text = Trimmed(form.text);
    if (!text.empty() && TextWords(text).empty()) {
        return Wrong(FindCallsField::kText,
                     "Bookmark text: type a word or the beginning of one (letters or digits), or leave it empty.");
    }
    criteria.text = text;
    if (form.from) {
        criteria.startFrom = ParseLocalTime(*form.from, false);
        if (!criteria.startFrom) return Wrong(FindCallsField::kFrom, "From: pick a date and time, or untick From.");
    }
    if (form.to) {
        criteria.startBefore = ParseLocalTime(*form.to, true);
        if (!criteria.startBefore) return Wrong(FindCallsField::kTo, "To: pick a date and time, or untick To.");
    }
    if (criteria.startFrom && criteria.startBefore && *criteria.startBefore <= *criteria.startFrom) {
        return Wrong(FindCallsField::kTo, "To: it is before From; pick a later To, or an earlier From.");
    }
    const auto duration = [](const std::string& typed, const char* name, FindCallsField field,
                             std::optional<int64_t>& into) -> std::optional<FindCallsCheck> {
        const std::string value = Trimmed(typed);
        if (value.empty()) return std::nullopt;
        into = ParseDuration(value);
        if (into) return std::nullopt;
        return Wrong(field, std::string(name) + ": \"" + value +
                                "\" is not a duration; type seconds (95), M:SS (1:35) or H:MM:SS, or leave it empty.");
    };
    if (auto wrong = duration(form.minDuration, "Duration at least", FindCallsField::kMinDuration,
                              criteria.minDurationSeconds)) {
        return *wrong;
    }
    if (auto wrong =
            duration(form.maxDuration, "Duration at most", FindCallsField::kMaxDuration, criteria.maxDurationSeconds)) {
        return *wrong;
    }
    if (criteria.minDurationSeconds && criteria.maxDurationSeconds &&
        *criteria.maxDurationSeconds < *criteria.minDurationSeconds) {
        return Wrong(FindCallsField::kMaxDuration,
                     "Duration at most: it is shorter than \"at least\"; make it longer, or leave one of them empty.");
    }
    const std::string line = Trimmed(form.line);
    if (!line.empty()) criteria.lines = std::vector<std::string>{line};
    criteria.direction = form.direction;
    criteria.played = form.played;
    criteria.isProtected = form.isProtected;
    FindCallsCheck check;
    check.criteria = std::move(criteria);
    return check;
}

std::string DescribeSearch(const FindCallsForm& form) {
    std::vector<std::string> parts;
    if (const std::string number = Trimmed(form.number); !number.empty()) parts.push_back("number " + number);
    if (const std::string text = Trimmed(form.text); !text.empty()) parts.push_back("bookmark \"" + text + "\"");
    if (form.from) parts.push_back("from " + ShownDate(*form.from));
    if (form.to) parts.push_back("to " + ShownDate(*form.to));
    if (const std::string at = Trimmed(form.minDuration); !at.empty()) parts.push_back("at least " + at);
    if (const std::string at = Trimmed(form.maxDuration); !at.empty()) parts.push_back("at most " + at);
    if (const std::string line = Trimmed(form.line); !line.empty()) parts.push_back("line \"" + line + "\"");
    if (form.direction) {
        switch (*form.direction) {
            case CallDirection::kIncoming:
                parts.emplace_back("incoming");
                break;
            case CallDirection::kOutgoing:
                parts.emplace_back("outgoing");
                break;
            case CallDirection::kUnknown:
                parts.emplace_back("direction unknown");
                break;
        }
    }
    if (form.played) parts.emplace_back(*form.played ? "played" : "not played");
    if (form.isProtected) parts.emplace_back(*form.isProtected ? "protected" : "not protected");
    if (parts.empty()) return "all calls";
    std::string joined = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i) joined += ", " + parts[i];
    return joined;
}

std::string SearchCaption(const FindCallsForm& form, std::size_t rows, bool more) {
    const std::string what = DescribeSearch(form);
    if (more) {
        return "Search results: the newest " + Plural(rows, "call", "calls") + " — " + what +
               " (more match: narrow the search)";
    }
    return "Search results: " + (rows == 0 ? std::string("no calls") : Plural(rows, "call", "calls")) + " — " + what;
}

std::string UnreachableNote(std::size_t folders) {
    if (folders == 0) return {};
    return "; " + Plural(folders, "record folder", "record folders") + " could not be read, " +
           (folders == 1 ? "its" : "their") + " calls are as last indexed";
}

std::string RefreshProgressText(const RefreshProgress& progress) {
    std::string text = "Indexing the recordings";
    if (progress.foldersToScan > 0) {
        text =
            "Indexing day folder " + GroupedCount(progress.foldersDone) + " of " + GroupedCount(progress.foldersToScan);
    }
    return text + ": " + Plural(progress.filesRead, "recording", "recordings") + " read";
}

std::string GroupedCount(std::size_t count) {
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

void RecordListMode::ShowResults(FindCallsForm form, bool more) {
    showingResults_ = true;
    more_ = more;
    lastSearch_ = std::move(form);
}

std::string RecordListMode::Caption(std::size_t rows) const {
    if (!showingResults_) return {};
    return SearchCaption(lastSearch_, rows, more_);
}

}  // namespace pell
