#include "custody/core/audit_trail.h"

#include <array>
#include <utility>

#include "custody/core/utc_time.h"
#include "player/catalogue/record_list.h"

namespace pell {
namespace {

constexpr std::array<std::pair<AuditAction, std::string_view>, 11> kActionNames = {{
    {AuditAction::kPlay, "play"},
    {AuditAction::kCopy, "copy"},
    {AuditAction::kExport, "export"},
    {AuditAction::kDelete, "delete"},
    {AuditAction::kErase, "erase"},
    {AuditAction::kBookmark, "bookmark"},
    {AuditAction::kMarkPlayed, "mark-played"},
    {AuditAction::kProtect, "protect"},
    {AuditAction::kUnprotect, "unprotect"},
    {AuditAction::kClean, "clean"},
    {AuditAction::kRetention, "retention"},
}};

// Cut to `bytes`, never inside a UTF-8 character.
std::string Capped(std::string text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

std::string JoinedPath(std::string_view root, std::string_view relative) {
    if (relative.empty() || relative.front() == '/') return std::string(relative);
    std::string out(root);
    if (out.empty() || out.back() != '/') out += '/';
    out += relative;
    return out;
}

}  // namespace

std::string_view AuditActionName(AuditAction action) {
    for (const auto& [value, name] : kActionNames) {
        if (value == action) return name;
    }
    return "unknown";
}

std::optional<AuditAction> ParseAuditAction(std::string_view name) {
    for (const auto& [value, text] : kActionNames) {
        if (text == name) return value;
    }
    return std::nullopt;
}

std::string RecordRootOf(const std::string& path) {
    const std::string dayFolder = ParentOf(path);
    if (!IsDayFolderName(NameOf(dayFolder))) return {};
    const std::string root = ParentOf(dayFolder);
    return root.empty() ? std::string(".") : root;
}

std::string PathInRoot(std::string_view root, std::string_view path) {
    std::string_view base = root;
    while (base.size() > 1 && base.back() == '/') base.remove_suffix(1);
    if (base.empty()) return std::string(path);
    if (base == "/") return std::string(path.size() > 1 && path.front() == '/' ? path.substr(1) : path);
    if (path.size() > base.size() + 1 && path.substr(0, base.size()) == base && path[base.size()] == '/') {
        return std::string(path.substr(base.size() + 1));
    }
    return std::string(path);
}

int AuditTrail::Append(const std::string& root, const std::vector<AuditRecord>& records) {
    const std::string time = FormatUtc(static_cast<int64_t>(ToTimeT(clock_.Now())));
    std::vector<std::vector<LogField>> entries;
    entries.reserve(records.size());
    for (const AuditRecord& record : records) {
        entries.push_back({
            LogField::Plain("time", time),
            LogField::Plain("user", Capped(record.user, 256)),
            LogField::Plain("program", Capped(record.program, 256)),
            LogField::Plain("action", std::string(AuditActionName(record.action))),
            LogField::Plain("recording", Capped(PathInRoot(root, record.recording), kAuditPathBytes)),
            LogField::Plain("detail", Capped(record.detail, kAuditDetailBytes)),
        });
    }
    return AppendEntries(files_, JoinedPath(root, kAuditFileName), std::move(entries));
}

AuditRead AuditTrail::Read(const std::string& root) {
    AuditRead out;
    const FileText text = files_.ReadLog(JoinedPath(root, kAuditFileName));
    out.error = text.error;
    if (text.error != 0) return out;
    out.check = CheckLog(text.text);
    for (const LogEntry& raw : out.check.entries) {
        AuditEntry entry;
        entry.seq = raw.seq;
        entry.line = raw.line;
        entry.intact = raw.intact;
        entry.time = ParseUtc(raw.Get("time").value_or("")).value_or(0);
        entry.user = raw.Get("user").value_or("");
        entry.program = raw.Get("program").value_or("");
        entry.action = raw.Get("action").value_or("");
        entry.recording = JoinedPath(root, raw.Get("recording").value_or(""));
        entry.detail = raw.Get("detail").value_or("");
        out.entries.push_back(std::move(entry));
    }
    return out;
}

}  // namespace pell
