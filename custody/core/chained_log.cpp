#include "custody/core/chained_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "custody/core/sha256.h"

namespace pell {
namespace {

constexpr std::string_view kChainKey = "chain=";
constexpr std::size_t kSaltHexDigits = 32;
// The last entry is looked for in this much of the log's end first; entries are far shorter.
constexpr std::size_t kTailBytes = std::size_t{64} * 1024;

bool IsKeyChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-'; }

bool IsHex(std::string_view text, std::size_t digits) {
    if (text.size() != digits) return false;
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string SealDigest(std::string_view salt, std::string_view value) {
    std::string input(salt);
    input += ':';
    input += value;
    return Sha256Hex(input);
}

// The field as the chain covers it: a sealed value by its digest.
std::string ChainedText(const LogField& field) {
    switch (field.kind) {
        case LogField::Kind::kPlain:
            return field.key + "=" + EscapeLogValue(field.value);
        case LogField::Kind::kSealed:
            return field.key + "#=" + SealDigest(field.salt, field.value);
        case LogField::Kind::kRedacted:
            return field.key + "#=" + field.digest;
    }
    return {};
}

std::string WrittenText(const LogField& field) {
    if (field.kind == LogField::Kind::kSealed) return field.key + "~=" + field.salt + ":" + EscapeLogValue(field.value);
    return ChainedText(field);
}

std::optional<LogField> ParseField(std::string_view text) {
    std::size_t k = 0;
    while (k < text.size() && IsKeyChar(text[k])) ++k;
    if (k == 0 || k >= text.size()) return std::nullopt;
    LogField field;
    field.key = std::string(text.substr(0, k));
    std::string_view rest = text.substr(k);
    if (rest.starts_with("=")) {
        auto value = UnescapeLogValue(rest.substr(1));
        if (!value) return std::nullopt;
        field.value = std::move(*value);
        return field;
    }
    if (rest.starts_with("#=")) {
        if (!IsHex(rest.substr(2), 64)) return std::nullopt;
        field.kind = LogField::Kind::kRedacted;
        field.digest = std::string(rest.substr(2));
        return field;
    }
    if (rest.starts_with("~=") && rest.size() > 2 + kSaltHexDigits && rest[2 + kSaltHexDigits] == ':' &&
        IsHex(rest.substr(2, kSaltHexDigits), kSaltHexDigits)) {
        auto value = UnescapeLogValue(rest.substr(3 + kSaltHexDigits));
        if (!value) return std::nullopt;
        field.kind = LogField::Kind::kSealed;
        field.salt = std::string(rest.substr(2, kSaltHexDigits));
        field.value = std::move(*value);
        return field;
    }
    return std::nullopt;
}

std::string EntryBody(uint64_t seq, const std::vector<LogField>& fields, bool chained) {
    std::string body = std::to_string(seq);
    for (const LogField& field : fields) {
        body += '\t';
        body += chained ? ChainedText(field) : WrittenText(field);
    }
    return body;
}

// The lines of a text; the last one is `cut` when the text does not end with a line end.
struct Lines {
    std::vector<std::string_view> lines;
    bool cut = false;
};

Lines SplitLines(std::string_view text) {
    Lines out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            out.lines.push_back(text.substr(start));
            out.cut = true;
            break;
        }
        out.lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

struct Head {
    uint64_t seq = 0;
    std::string chain = kZeroChain;
};

// The newest whole entry of a log's end, trusted as it stands: appending never rereads the chain.
std::optional<Head> LastEntry(std::string_view text) {
    const Lines lines = SplitLines(text);
    for (auto it = lines.lines.rbegin(); it != lines.lines.rend(); ++it) {
        if (auto entry = ParseEntry(*it)) return Head{entry->seq, entry->chain};
    }
    return std::nullopt;
}

std::string FormatEntries(const Head& head, std::vector<std::vector<LogField>>& entries, CustodyFiles& files) {
    std::string out;
    uint64_t seq = head.seq;
    std::string chain = head.chain;
    for (std::vector<LogField>& fields : entries) {
        for (LogField& field : fields) {
            if (field.kind == LogField::Kind::kSealed && field.salt.empty()) field.salt = files.RandomHex(16);
        }
        ++seq;
        out += FormatEntry(seq, fields, chain);
        chain = ChainOf(chain, seq, fields);
    }
    return out;
}

}  // namespace

LogField LogField::Plain(std::string key, std::string value) {
    LogField field;
    field.key = std::move(key);
    field.value = std::move(value);
    return field;
}

LogField LogField::Sealed(std::string key, std::string value) {
    LogField field = Plain(std::move(key), std::move(value));
    field.kind = Kind::kSealed;
    return field;
}

std::optional<std::string> LogEntry::Get(std::string_view key) const {
    for (const LogField& field : fields) {
        if (field.key == key && field.kind != LogField::Kind::kRedacted) return field.value;
    }
    return std::nullopt;
}

bool LogEntry::IsRedacted(std::string_view key) const {
    return std::any_of(fields.begin(), fields.end(), [key](const LogField& field) {
        return field.key == key && field.kind == LogField::Kind::kRedacted;
    });
}

std::string LogProblem::Describe() const {
    std::string at = "line " + std::to_string(line);
    switch (kind) {
        case Kind::kAltered:
            return at + ": entry " + std::to_string(seq) + " was changed (or the entry before it re-hashed)";
        case Kind::kMissing:
            if (seq == lastSeq) return at + ": entry " + std::to_string(seq) + " was removed";
            return at + ": entries " + std::to_string(seq) + " to " + std::to_string(lastSeq) + " were removed";
        case Kind::kOutOfOrder:
            return at + ": entry " + std::to_string(seq) + " is out of order (moved or repeated)";
        case Kind::kUnreadable:
            return at + ": not an entry (edited by hand?)";
    }
    return at;
}

std::string ChainOf(std::string_view previousChain, uint64_t seq, const std::vector<LogField>& fields) {
    std::string input(previousChain);
    input += '\n';
    input += EntryBody(seq, fields, true);
    return Sha256Hex(input);
}

std::string FormatEntry(uint64_t seq, const std::vector<LogField>& fields, std::string_view previousChain) {
    std::string line = EntryBody(seq, fields, false);
    line += '\t';
    line += kChainKey;
    line += ChainOf(previousChain, seq, fields);
    line += '\n';
    return line;
}

std::optional<LogEntry> ParseEntry(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    if (parts.size() < 2) return std::nullopt;
    const std::string_view seqText = parts.front();
    if (seqText.empty() || seqText.size() > 19 || seqText[0] == '0') return std::nullopt;
    LogEntry entry;
    for (const char c : seqText) {
        if (c < '0' || c > '9') return std::nullopt;
        entry.seq = entry.seq * 10 + static_cast<uint64_t>(c - '0');
    }
    const std::string_view chain = parts.back();
    if (!chain.starts_with(kChainKey) || !IsHex(chain.substr(kChainKey.size()), 64)) return std::nullopt;
    entry.chain = std::string(chain.substr(kChainKey.size()));
    for (std::size_t i = 1; i + 1 < parts.size(); ++i) {
        auto field = ParseField(parts[i]);
        if (!field) return std::nullopt;
        entry.fields.push_back(std::move(*field));
    }
    return entry;
}

LogCheck CheckLog(std::string_view text) {
    LogCheck check;
    const Lines lines = SplitLines(text);
    std::vector<std::size_t> strays;  // lines that are no entries since the last entry
    for (std::size_t i = 0; i < lines.lines.size(); ++i) {
        const std::size_t lineNumber = i + 1;
        std::optional<LogEntry> entry = ParseEntry(lines.lines[i]);
        if (!entry) {
            strays.push_back(lineNumber);
            continue;
        }
        entry->line = lineNumber;
        const bool follows =
            entry->seq == check.headSeq + 1 && entry->chain == ChainOf(check.headChain, entry->seq, entry->fields);
        if (follows) {
            // The chain runs on over them: what is left of appends cut short.
            check.interrupted.insert(check.interrupted.end(), strays.begin(), strays.end());
        } else {
            for (const std::size_t stray : strays)
                check.problems.push_back({LogProblem::Kind::kUnreadable, stray, 0, 0});
            LogProblem problem{LogProblem::Kind::kAltered, lineNumber, entry->seq, entry->seq};
            if (entry->seq > check.headSeq + 1) {
                problem = {LogProblem::Kind::kMissing, lineNumber, check.headSeq + 1, entry->seq - 1};
            } else if (entry->seq <= check.headSeq) {
                problem.kind = LogProblem::Kind::kOutOfOrder;
            }
            check.problems.push_back(problem);
            entry->intact = false;
        }
        strays.clear();
        // Later entries are checked against this one, so one break is reported once.
        check.headSeq = entry->seq;
        check.headChain = entry->chain;
        check.entries.push_back(std::move(*entry));
    }
    // Lines after the newest entry are the remains of an append that never finished.
    if (!strays.empty()) check.tornTail = true;
    return check;
}

int AppendEntries(CustodyFiles& files, const std::string& path, std::vector<std::vector<LogField>> entries) {
    if (entries.empty()) return 0;
    LockedLogResult locked = files.LockLog(path, true);
    if (locked.error != 0) return locked.error;
    FileText tail = locked.log->ReadTail(kTailBytes);
    if (tail.error != 0) return tail.error;
    std::optional<Head> head = LastEntry(tail.text);
    if (!head && tail.text.size() >= kTailBytes) {
        tail = locked.log->ReadAll();
        if (tail.error != 0) return tail.error;
        head = LastEntry(tail.text);
    }
    std::string text = !tail.text.empty() && tail.text.back() != '\n' ? "\n" : "";
    text += FormatEntries(head.value_or(Head{}), entries, files);
    return locked.log->Append(text);
}

int RedactAndAppend(CustodyFiles& files, const std::string& path, const std::function<bool(const LogEntry&)>& redact,
                    const std::vector<std::string>& keys, std::vector<std::vector<LogField>> entries) {
    LockedLogResult locked = files.LockLog(path, !entries.empty());
    if (locked.error != 0) return locked.error;
    const FileText current = locked.log->ReadAll();
    if (current.error != 0) return current.error;
    const Lines lines = SplitLines(current.text);
    std::string text;
    bool changed = false;
    for (const std::string_view line : lines.lines) {
        std::optional<LogEntry> entry = ParseEntry(line);
        bool erase = entry && redact && redact(*entry);
        if (erase) {
            erase = false;
            for (LogField& field : entry->fields) {
                if (field.kind != LogField::Kind::kSealed ||
                    std::find(keys.begin(), keys.end(), field.key) == keys.end()) {
                    continue;
                }
                field.digest = SealDigest(field.salt, field.value);
                field.kind = LogField::Kind::kRedacted;
                field.value.clear();
                field.salt.clear();
                erase = true;
            }
        }
        if (erase) {
            text += EntryBody(entry->seq, entry->fields, false) + "\t" + std::string(kChainKey) + entry->chain;
            changed = true;
        } else {
            text += line;
        }
        text += '\n';
    }
    if (!changed && entries.empty()) return 0;
    const std::optional<Head> head = LastEntry(current.text);
    text += FormatEntries(head.value_or(Head{}), entries, files);
    return locked.log->Replace(text);
}

std::string EscapeLogValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    char escaped[5];
                    std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::optional<std::string> UnescapeLogValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\t' || c == '\n') return std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= text.size()) return std::nullopt;
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 'x': {
                if (i + 2 >= text.size()) return std::nullopt;
                const auto digit = [](char h) -> int {
                    if (h >= '0' && h <= '9') return h - '0';
                    if (h >= 'A' && h <= 'F') return h - 'A' + 10;
                    if (h >= 'a' && h <= 'f') return h - 'a' + 10;
                    return -1;
                };
                const int high = digit(text[i + 1]);
                const int low = digit(text[i + 2]);
                if (high < 0 || low < 0) return std::nullopt;
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

}  // namespace pell
