#include "custody/core/manifest.h"

#include <algorithm>
#include <cerrno>
#include <set>

#include "custody/core/utc_time.h"

namespace pell {
namespace {

std::string ManifestPath(const std::string& dayFolder) { return dayFolder + "/" + kManifestFileName; }

std::string_view ReasonName(GoneReason reason) {
    switch (reason) {
        case GoneReason::kRequest:
            return "request";
        case GoneReason::kClean:
            return "clean";
        case GoneReason::kRetention:
            return "retention";
    }
    return "request";
}

int64_t Number(const std::optional<std::string>& text, int64_t fallback) {
    if (!text || text->empty() || text->size() > 18) return fallback;
    int64_t value = 0;
    for (const char c : *text) {
        if (c < '0' || c > '9') return fallback;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

int RecordFiled(CustodyFiles& files, const std::string& dayFolder, const FiledFacts& facts,
                const AudioDigest& audioHash) {
    std::vector<LogField> fields{
        LogField::Plain("kind", "filed"),
        LogField::Plain("name", facts.name),
        LogField::Plain("start", FormatUtc(facts.startTime)),
        LogField::Plain("end", FormatUtc(facts.endTime)),
        LogField::Plain("line", facts.line),
        LogField::Sealed("number", facts.number),
        LogField::Plain("direction", std::string(1, facts.direction)),
        LogField::Plain("size", std::to_string(facts.size)),
        LogField::Plain("audio", audioHash.sha256),
        LogField::Plain("audio-bytes", std::to_string(audioHash.audioBytes)),
    };
    return AppendEntries(files, ManifestPath(dayFolder), {std::move(fields)});
}

ManifestRead ParseManifest(std::string_view text, bool checkChain) {
    ManifestRead out;
    if (checkChain) {
        out.check = CheckLog(text);
    } else {
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            if (auto entry = ParseEntry(text.substr(start, end - start)))
                out.check.entries.push_back(std::move(*entry));
            start = end + 1;
        }
    }
    for (const LogEntry& entry : out.check.entries) {
        const std::optional<std::string> name = entry.Get("name");
        const std::optional<std::string> kind = entry.Get("kind");
        if (!name || name->empty() || !kind || (*kind != "filed" && *kind != "erased" && *kind != "removed")) continue;
        ManifestRecord& record = out.records[*name];
        record.seq = entry.seq;
        if (*kind == "filed") {
            record = ManifestRecord{};
            record.seq = entry.seq;
            record.facts.name = *name;
            record.facts.startTime = ParseUtc(entry.Get("start").value_or("")).value_or(0);
            record.facts.endTime = ParseUtc(entry.Get("end").value_or("")).value_or(0);
            record.facts.line = entry.Get("line").value_or("");
            record.facts.number = entry.Get("number").value_or("");
            record.numberErased = entry.IsRedacted("number");
            const std::string direction = entry.Get("direction").value_or("U");
            record.facts.direction = direction.size() == 1 ? direction[0] : 'U';
            record.facts.size = Number(entry.Get("size"), 0);
            record.audioSha256 = entry.Get("audio").value_or("");
            record.audioBytes = Number(entry.Get("audio-bytes"), -1);
        } else {
            record.state = *kind == "erased" ? ManifestState::kErased : ManifestState::kRemoved;
            record.goneAt = ParseUtc(entry.Get("time").value_or("")).value_or(0);
            record.reason = entry.Get("reason").value_or("");
        }
    }
    return out;
}

ManifestRead ReadManifest(CustodyFiles& files, const std::string& dayFolder, bool checkChain) {
    const FileText text = files.ReadLog(ManifestPath(dayFolder));
    if (text.error != 0) {
        ManifestRead out;
        out.error = text.error;
        return out;
    }
    return ParseManifest(text.text, checkChain);
}

int NoteGone(CustodyFiles& files, Clock& clock, const std::string& dayFolder, const std::vector<std::string>& names,
             GoneReason reason) {
    if (names.empty()) return 0;
    const std::set<std::string> gone(names.begin(), names.end());
    const std::string time = FormatUtc(static_cast<int64_t>(ToTimeT(clock.Now())));
    std::vector<std::vector<LogField>> entries;
    entries.reserve(gone.size());
    for (const std::string& name : gone) {
        entries.push_back({LogField::Plain("kind", reason == GoneReason::kRequest ? "erased" : "removed"),
                           LogField::Plain("name", name), LogField::Plain("time", time),
                           LogField::Plain("reason", std::string(ReasonName(reason)))});
    }
    const auto named = [&gone](const LogEntry& entry) {
        const std::optional<std::string> name = entry.Get("name");
        return name && gone.count(*name) != 0;
    };
    return RedactAndAppend(files, ManifestPath(dayFolder), named, {"number"}, std::move(entries));
}

}  // namespace pell
