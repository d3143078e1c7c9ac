#include "index/core/call_criteria.h"

#include <algorithm>
#include <tuple>

#include "player/catalogue/ascii_case.h"

namespace pell {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsWordByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || u >= 0x80;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return !prefix.empty() && text.substr(0, prefix.size()) == prefix;
}

void AddPattern(std::vector<std::string>& patterns, std::string pattern) {
    if (pattern.empty()) return;
    if (std::find(patterns.begin(), patterns.end(), pattern) == patterns.end()) patterns.push_back(std::move(pattern));
}

// A pattern that contains another finds nothing the other does not.
void DropContaining(std::vector<std::string>& patterns) {
    std::vector<std::string> kept;
    for (const std::string& p : patterns) {
        const bool redundant = std::any_of(patterns.begin(), patterns.end(), [&p](const std::string& q) {
            return q.size() < p.size() && p.find(q) != std::string::npos;
        });
        if (!redundant) kept.push_back(p);
    }
    patterns = std::move(kept);
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

bool HasWordStartingWith(const std::vector<std::string>& words, const std::string& prefix) {
    return std::any_of(words.begin(), words.end(),
                       [&prefix](const std::string& word) { return word.compare(0, prefix.size(), prefix) == 0; });
}

}  // namespace

std::string NumberDigits(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (IsDigit(c)) digits += c;
    }
    return digits;
}

std::vector<std::string> NumberPatterns(std::string_view query, const NumberPlan& plan) {
    const std::string digits = NumberDigits(query);
    std::vector<std::string> patterns;
    if (digits.empty()) return patterns;
    AddPattern(patterns, digits);
    const std::string cc = NumberDigits(plan.countryCode);
    const std::string national = NumberDigits(plan.nationalPrefix);
    const std::string international = NumberDigits(plan.internationalPrefix);
    if (!cc.empty()) {
        // The number after its country code, when the query is written internationally.
        std::optional<std::string> afterPlus;
        if (StartsWith(TrimLeft(query), "+")) {
            afterPlus = digits;
        } else if (StartsWith(digits, international)) {
            afterPlus = digits.substr(international.size());
        }
        if (afterPlus) {
            if (StartsWith(*afterPlus, cc)) {
                const std::string rest = afterPlus->substr(cc.size());
                AddPattern(patterns, *afterPlus);
                if (!rest.empty()) AddPattern(patterns, national + rest);
            }
        } else if (StartsWith(digits, national)) {
            // Written nationally: the same number stored with "+" or the international prefix.
            const std::string rest = digits.substr(national.size());
            if (!rest.empty()) AddPattern(patterns, cc + rest);
        }
    }
    DropContaining(patterns);
    return patterns;
}

std::vector<std::string> TextWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text) {
        if (IsWordByte(c)) {
            word += LowerAscii(c);
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

PrepareResult PrepareCriteria(const CallCriteria& criteria, const NumberPlan& plan) {
    PrepareResult result;
    PreparedCriteria& out = result.criteria;
    if (!criteria.number.empty()) {
        out.numberPatterns = NumberPatterns(criteria.number, plan);
        if (out.numberPatterns.empty()) {
            result.error = "the number to search for has no digit";
            return result;
        }
    }
    if (!criteria.text.empty()) {
        out.words = TextWords(criteria.text);
        if (out.words.empty()) {
            result.error = "the text to search for has no word (letters or digits)";
            return result;
        }
        std::sort(out.words.begin(), out.words.end());
        out.words.erase(std::unique(out.words.begin(), out.words.end()), out.words.end());
    }
    out.startFrom = criteria.startFrom;
    out.startBefore = criteria.startBefore;
    out.minDurationSeconds = criteria.minDurationSeconds;
    out.maxDurationSeconds = criteria.maxDurationSeconds;
    if (criteria.lines) {
        out.lines.emplace();
        for (const std::string& line : *criteria.lines) out.lines->push_back(LowerAscii(line));
    }
    out.direction = criteria.direction;
    out.played = criteria.played;
    out.isProtected = criteria.isProtected;
    return result;
}

bool MatchesCall(const CallFacts& facts, const PreparedCriteria& criteria) {
    if (!criteria.numberPatterns.empty()) {
        const std::string digits = NumberDigits(facts.number);
        const bool any = std::any_of(criteria.numberPatterns.begin(), criteria.numberPatterns.end(),
                                     [&digits](const std::string& p) { return digits.find(p) != std::string::npos; });
        if (!any) return false;
    }
    if (!criteria.words.empty()) {
        const std::vector<std::string> words = TextWords(facts.bookmark);
        for (const std::string& wanted : criteria.words) {
            if (!HasWordStartingWith(words, wanted)) return false;
        }
    }
    if (criteria.startFrom && facts.startTime < *criteria.startFrom) return false;
    if (criteria.startBefore && facts.startTime >= *criteria.startBefore) return false;
    if (criteria.minDurationSeconds && facts.durationSeconds < *criteria.minDurationSeconds) return false;
    if (criteria.maxDurationSeconds && facts.durationSeconds > *criteria.maxDurationSeconds) return false;
    if (criteria.lines) {
        const std::string line = LowerAscii(facts.line);
        if (std::find(criteria.lines->begin(), criteria.lines->end(), line) == criteria.lines->end()) return false;
    }
    if (criteria.direction && facts.direction != *criteria.direction) return false;
    if (criteria.played && facts.played != *criteria.played) return false;
    if (criteria.isProtected && facts.isProtected != *criteria.isProtected) return false;
    return true;
}

bool CallBefore(const CallRecord& a, const CallRecord& b, const CallOrder& order) {
    const auto key = [&order](const CallRecord& c) {
        const CallFacts& f = c.facts;
        switch (order.column) {
            case CallSortColumn::kStart:
                return std::tuple<int64_t, std::string>{f.startTime, {}};
            case CallSortColumn::kDuration:
                return std::tuple<int64_t, std::string>{f.durationSeconds, {}};
            case CallSortColumn::kNumber:
                return std::tuple<int64_t, std::string>{0, f.number};
            case CallSortColumn::kLine:
                return std::tuple<int64_t, std::string>{0, f.line};
            case CallSortColumn::kBookmark:
                return std::tuple<int64_t, std::string>{0, f.bookmark};
            case CallSortColumn::kPlacement:
                return std::tuple<int64_t, std::string>{0, c.Path()};
            case CallSortColumn::kSize:
                return std::tuple<int64_t, std::string>{f.stamp.size, {}};
            case CallSortColumn::kDirection:
                return std::tuple<int64_t, std::string>{static_cast<int64_t>(f.direction), {}};
            case CallSortColumn::kPlayed:
                return std::tuple<int64_t, std::string>{f.played ? 1 : 0, {}};
        }
        return std::tuple<int64_t, std::string>{0, {}};
    };
    const auto ka = key(a);
    const auto kb = key(b);
    if (ka != kb) return order.descending ? kb < ka : ka < kb;
    return order.descending ? b.id < a.id : a.id < b.id;
}

std::string StoredWords(std::string_view text) {
    std::string joined;
    for (const std::string& word : TextWords(text)) {
        if (!joined.empty()) joined += ' ';
        joined += word;
    }
    return joined;
}

}  // namespace pell
