// The hash-chained, append-only text logs of a record root (the audit trail) and of each day
// folder (the manifest). One entry per line:
//
//   <seq> TAB <key>=<value> TAB ... TAB chain=<64 hex digits> LF
//
// `seq` counts from 1. `chain` is SHA-256 over the previous entry's chain (64 zeros before the
// first entry), a line feed, and the entry's line up to the tab before "chain=", so an entry
// edited, removed, moved or inserted breaks every chain after it. Values are escaped (\\, \t,
// \n, \r, \xHH for other control bytes), so an entry is always one line.
//
// A value that may have to be erased later (a calling number) is sealed: written as
// "key~=<salt>:<value>" and chained as "key#=<SHA-256 of salt:value>". Erasing it rewrites the
// field to that "key#=..." form: the value and its salt are gone for good, and the chain still
// verifies because it never covered anything else.
//
// A crash in the middle of an append leaves a last line without its line end. A reader
// reports that as an interrupted append, not as tampering, and the next append ends the cut
// line and goes on from the last whole entry: lines between two entries whose chain runs on
// unbroken are such leftovers too. Removing the newest entries cannot be told from never
// having written them; the head (sequence and chain of the last entry) noted elsewhere
// proves that later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "custody/core/custody_files.h"

namespace pell {

inline constexpr const char* kZeroChain = "0000000000000000000000000000000000000000000000000000000000000000";

struct LogField {
    enum class Kind {
        kPlain,     // key=value
        kSealed,    // key~=salt:value, chained through its digest
        kRedacted,  // key#=digest: the value was erased
    };
    std::string key;  // lower-case letters, digits, "_" and "-"
    std::string value;
    Kind kind = Kind::kPlain;
    std::string salt;    // Sealed: 32 hex digits
    std::string digest;  // Redacted: 64 hex digits

    static LogField Plain(std::string key, std::string value);
    static LogField Sealed(std::string key, std::string value);  // the salt is added when appended
};

struct LogEntry {
    uint64_t seq = 0;
    std::vector<LogField> fields;
    std::string chain;
    std::size_t line = 0;  // 1-based line of the file
    bool intact = true;    // false for the entry at which the chain broke

    // The value of a plain or sealed field; nothing when absent or redacted.
    std::optional<std::string> Get(std::string_view key) const;
    bool IsRedacted(std::string_view key) const;
};

struct LogProblem {
    enum class Kind {
        kAltered,     // the entry's chain does not follow from the one before: edited, or re-hashed
        kMissing,     // entries `seq` to `lastSeq` were removed
        kOutOfOrder,  // a sequence number at or below one already seen: moved or repeated
        kUnreadable,  // a line that is no entry, inside the chain
    };
    Kind kind = Kind::kAltered;
    std::size_t line = 0;
    uint64_t seq = 0;
    uint64_t lastSeq = 0;

    std::string Describe() const;
};

struct LogCheck {
    std::vector<LogEntry> entries;         // every readable entry, in file order
    std::vector<LogProblem> problems;      // breaks of the chain: empty when the log is intact
    std::vector<std::size_t> interrupted;  // lines left by appends cut short, which the chain steps over
    bool tornTail = false;                 // the file ends in an append cut short
    uint64_t headSeq = 0;                  // the last entry's sequence number and chain
    std::string headChain = kZeroChain;

    bool Intact() const { return problems.empty(); }
};

// The chain of an entry given the previous one's: what "chain=" must say.
std::string ChainOf(std::string_view previousChain, uint64_t seq, const std::vector<LogField>& fields);

// The line of a new entry (with its line end); every sealed field must carry its salt.
std::string FormatEntry(uint64_t seq, const std::vector<LogField>& fields, std::string_view previousChain);

// One line (without its line end) as an entry; nothing when it is not one.
std::optional<LogEntry> ParseEntry(std::string_view line);

// Reads a whole log and checks its chain.
LogCheck CheckLog(std::string_view text);

// Appends entries to the log at `path` (made when missing) under its lock: salts are drawn for
// sealed fields, a line cut short by a crash is ended first, and the chain goes on from the
// last whole entry. An errno value, 0 when every entry reached the disk.
int AppendEntries(CustodyFiles& files, const std::string& path, std::vector<std::vector<LogField>> entries);

// Under the log's lock: erases the sealed values of the entries `redact` picks (turning them to
// their digests), then appends `entries`, all in one replacement of the file. Lines that are no
// entries are kept as they are. ENOENT when there is no log and nothing to append.
int RedactAndAppend(CustodyFiles& files, const std::string& path, const std::function<bool(const LogEntry&)>& redact,
                    const std::vector<std::string>& keys, std::vector<std::vector<LogField>> entries);

// Log text escaping: every byte stays as it is except \, TAB, LF, CR and other control bytes.
std::string EscapeLogValue(std::string_view value);
std::optional<std::string> UnescapeLogValue(std::string_view text);

}  // namespace pell
