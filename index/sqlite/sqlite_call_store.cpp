#include "index/sqlite/sqlite_call_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "index/core/schema.h"

namespace pell {
namespace {

// Two months: a longer time range holds more calls than a typical number or word matches.
constexpr int64_t kDrivingRangeSeconds = 62 * 86'400;

std::string SortExpression(CallSortColumn column) {
    switch (column) {
        case CallSortColumn::kStart:
            return "c.start_time";
        case CallSortColumn::kDuration:
            return "c.duration";
        case CallSortColumn::kNumber:
            return "c.number";
        case CallSortColumn::kLine:
            return "c.line";
        case CallSortColumn::kBookmark:
            return "c.bookmark";
        case CallSortColumn::kPlacement:
            return "(CASE WHEN r.path = '/' THEN '' ELSE r.path END || '/' || c.folder || '/' || c.name)";
        case CallSortColumn::kSize:
            return "c.size";
        case CallSortColumn::kDirection:
            return "c.direction";
        case CallSortColumn::kPlayed:
            return "c.played";
    }
    return "c.start_time";
}

}  // namespace

// One prepared statement, finalized with the object.
class SqliteCallStore::Statement {
public:
    Statement(sqlite3* db, const std::string& sql) {
        prepared_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return prepared_ == SQLITE_OK; }
    void Bind(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    void Bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    void Bind(const SqliteQuery::Parameter& p, int index) {
        if (p.isText) {
            Bind(index, p.text);
        } else {
            Bind(index, p.integer);
        }
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return sqlite3_step(stmt_); }
    void Reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return text == nullptr ? std::string()
                               : std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
    }

    CallRecord Call() const {
        CallRecord call;
        call.id = Int(0);
        call.root = Text(1);
        call.folder = Text(2);
        CallFacts& f = call.facts;
        f.name = Text(3);
        f.readable = Int(4) != 0;
        f.timesKnown = Int(5) != 0;
        f.startTime = Int(6);
        f.durationSeconds = Int(7);
        f.line = Text(8);
        f.number = Text(9);
        f.direction = static_cast<CallDirection>(Int(10));
        f.bookmark = Text(11);
        f.played = Int(12) != 0;
        f.isProtected = Int(13) != 0;
        f.stamp.size = Int(14);
        f.stamp.mtimeNs = Int(15);
        f.stamp.ctimeNs = Int(16);
        f.stamp.inode = static_cast<uint64_t>(Int(17));
        f.contentKey = Text(18);
        f.audioSha256 = Text(19);
        return call;
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int prepared_ = SQLITE_ERROR;
};

SqliteQuery BuildSqliteSearch(const StoreQuery& query) {
    SqliteQuery out;
    const auto text = [&out](std::string value) { out.parameters.push_back({true, std::move(value), 0}); };
    const auto integer = [&out](int64_t value) { out.parameters.push_back({false, {}, value}); };
    const PreparedCriteria& c = query.criteria;
    std::string& sql = out.sql;
    const bool digitsIndexed =
        !c.numberPatterns.empty() && std::all_of(c.numberPatterns.begin(), c.numberPatterns.end(),
                                                 [](const std::string& p) { return p.size() >= 3; });
    // Over a long time a full-text match is the smaller set: it drives the search, each of its
    // calls looked up once. A short time range is smaller still and left to the planner.
    const bool longRange = !c.startFrom || !c.startBefore || *c.startBefore - *c.startFrom > kDrivingRangeSeconds;
    const char* driver = nullptr;
    if (digitsIndexed && longRange) {
        driver = "call_digits";
    } else if (!c.words.empty() && longRange && c.numberPatterns.empty()) {
        driver = "call_words";
    }
    sql = std::string("SELECT ") + kCallColumns;
    sql += driver != nullptr ? std::string(" FROM ") + driver + " CROSS JOIN calls c ON c.id = " + driver +
                                   ".rowid JOIN roots r ON r.id = c.root_id"
                             : std::string(kCallFrom);
    sql += " WHERE r.path IN (";
    for (std::size_t i = 0; i < query.roots.size(); ++i) {
        sql += i == 0 ? "?" : ", ?";
        text(query.roots[i]);
    }
    sql += ")";
    if (!c.numberPatterns.empty()) {
        if (digitsIndexed) {
            // The trigram index finds any substring of three or more digits.
            std::string match;
            for (const std::string& p : c.numberPatterns) match += (match.empty() ? "\"" : " OR \"") + p + "\"";
            sql += driver != nullptr ? " AND call_digits MATCH ?"
                                     : " AND c.id IN (SELECT rowid FROM call_digits WHERE call_digits MATCH ?)";
            text(match);
        } else {
            sql += " AND (";
            for (std::size_t i = 0; i < c.numberPatterns.size(); ++i) {
                sql += i == 0 ? "instr(c.digits, ?) > 0" : " OR instr(c.digits, ?) > 0";
                text(c.numberPatterns[i]);
            }
            sql += ")";
        }
    }
    if (!c.words.empty()) {
        std::string match;
        for (const std::string& w : c.words) match += (match.empty() ? "\"" : " AND \"") + w + "\"*";
        sql += driver != nullptr && std::string(driver) == "call_words"
                   ? " AND call_words MATCH ?"
                   : " AND c.id IN (SELECT rowid FROM call_words WHERE call_words MATCH ?)";
        text(match);
    }
    const auto bound = [&](const std::optional<int64_t>& value, const char* condition) {
        if (!value) return;
        sql += condition;
        integer(*value);
    };
    bound(c.startFrom, " AND c.start_time >= ?");
    bound(c.startBefore, " AND c.start_time < ?");
    bound(c.minDurationSeconds, " AND c.duration >= ?");
    bound(c.maxDurationSeconds, " AND c.duration <= ?");
    if (c.lines) {
        if (c.lines->empty()) {
            sql += " AND 0";
        } else {
            sql += " AND c.line COLLATE NOCASE IN (";
            for (std::size_t i = 0; i < c.lines->size(); ++i) {
                sql += i == 0 ? "?" : ", ?";
                text((*c.lines)[i]);
            }
            sql += ")";
        }
    }
    if (c.direction) bound(static_cast<int64_t>(*c.direction), " AND c.direction = ?");
    if (c.played) bound(*c.played ? 1 : 0, " AND c.played = ?");
    if (c.isProtected) bound(*c.isProtected ? 1 : 0, " AND c.protected = ?");
    const char* direction = query.order.descending ? " DESC" : " ASC";
    sql += " ORDER BY " + SortExpression(query.order.column) + direction + ", c.id" + direction;
    if (query.limit != 0) {
        sql += " LIMIT ?";
        integer(static_cast<int64_t>(query.limit) + 1);
    }
    return out;
}

SqliteCallStore::Opened SqliteCallStore::Open(const std::string& file) {
    Opened opened;
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        opened.error =
            "cannot open the index " + file + ": " + (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return opened;
    }
    std::unique_ptr<SqliteCallStore> store(new SqliteCallStore(db, file));
    // A second reader or a refresh in another process holds the write lock only briefly.
    sqlite3_busy_timeout(db, 10'000);
    sqlite3_extended_result_codes(db, 1);
    StoreStatus status = store->Exec("PRAGMA journal_mode=WAL", "switching to write-ahead logging");
    if (status.Ok()) status = store->Exec("PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON", "setting up");
    // Searches jump between rows all over the file: reading it through a mapping saves a system
    // call and a copy per page (the pages stay the kernel's, shared and reclaimable).
    if (status.Ok()) status = store->Exec("PRAGMA mmap_size=1073741824", "mapping the index");
    if (!status.Ok()) {
        opened.error = status.message + " (is " + file + " an index? Delete it or choose another file)";
        return opened;
    }
    int64_t version = 0;
    {
        Statement meta(db, "SELECT value FROM meta WHERE key = 'schema'");
        if (meta.Ok() && meta.Step() == SQLITE_ROW) version = std::strtoll(meta.Text(0).c_str(), nullptr, 10);
    }
    const bool hasTables = [&] {
        Statement any(db, "SELECT 1 FROM sqlite_schema WHERE name = 'calls'");
        return any.Ok() && any.Step() == SQLITE_ROW;
    }();
    if (hasTables && version != kIndexSchemaVersion) {
        // Another version's cache: rebuilt from the files rather than converted.
        status = store->Exec(
            "DROP TABLE IF EXISTS call_digits; DROP TABLE IF EXISTS call_words; DROP TABLE IF EXISTS calls; "
            "DROP TABLE IF EXISTS folders; DROP TABLE IF EXISTS roots; DROP TABLE IF EXISTS meta",
            "dropping an index of another version");
    }
    if (status.Ok()) status = store->Exec("BEGIN IMMEDIATE", "creating the tables");
    if (status.Ok()) status = store->Exec(kSqliteSchema, "creating the tables");
    if (status.Ok()) {
        status = store->Exec(
            ("INSERT OR REPLACE INTO meta(key, value) VALUES ('schema', '" + std::to_string(kIndexSchemaVersion) + "')")
                .c_str(),
            "writing the schema version");
    }
    if (status.Ok()) status = store->Exec("COMMIT", "creating the tables");
    if (!status.Ok()) {
        opened.error = status.message;
        return opened;
    }
    opened.store = std::move(store);
    return opened;
}

SqliteCallStore::SqliteCallStore(sqlite3* db, std::string file) : db_(db), file_(std::move(file)) {}

SqliteCallStore::~SqliteCallStore() { sqlite3_close_v2(db_); }

StoreStatus SqliteCallStore::Error(const std::string& doing) const {
    const int code = sqlite3_errcode(db_) & 0xFF;
    const bool retry = code == SQLITE_BUSY || code == SQLITE_LOCKED;
    return StoreStatus::Failure(retry ? StoreStatus::Code::kUnavailable : StoreStatus::Code::kFailed,
                                "SQLite " + file_ + ": " + doing + ": " + sqlite3_errmsg(db_));
}

StoreStatus SqliteCallStore::Exec(const char* sql, const std::string& doing) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        StoreStatus status = Error(doing);
        if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return status;
    }
    return StoreStatus::Success();
}

StoreResult<int64_t> SqliteCallStore::RootId(const std::string& root) {
    StoreResult<int64_t> result;
    Statement insert(db_, "INSERT OR IGNORE INTO roots(path) VALUES (?)");
    insert.Bind(1, root);
    if (!insert.Ok() || insert.Step() != SQLITE_DONE) return {Error("adding the root " + root), 0};
    Statement select(db_, "SELECT id FROM roots WHERE path = ?");
    select.Bind(1, root);
    if (!select.Ok() || select.Step() != SQLITE_ROW) return {Error("finding the root " + root), 0};
    result.value = select.Int(0);
    return result;
}

StoreResult<std::vector<StoredFolder>> SqliteCallStore::Folders(int64_t rootId) {
    StoreResult<std::vector<StoredFolder>> result;
    Statement select(
        db_, "SELECT id, name, complete, mtime_ns, settled, verified_at, file_count FROM folders WHERE root_id = ?");
    if (!select.Ok()) return {Error("reading the day folders"), {}};
    select.Bind(1, rootId);
    int rc = 0;
    while ((rc = select.Step()) == SQLITE_ROW) {
        result.value.push_back({select.Int(0), select.Text(1), select.Int(2) != 0, select.Int(3), select.Int(4) != 0,
                                select.Int(5), select.Int(6)});
    }
    if (rc != SQLITE_DONE) return {Error("reading the day folders"), {}};
    return result;
}

StoreResult<int64_t> SqliteCallStore::FolderId(int64_t rootId, const std::string& name) {
    StoreResult<int64_t> result;
    Statement insert(db_, "INSERT OR IGNORE INTO folders(root_id, name) VALUES (?, ?)");
    insert.Bind(1, rootId);
    insert.Bind(2, name);
    if (!insert.Ok() || insert.Step() != SQLITE_DONE) return {Error("adding the day folder " + name), 0};
    Statement select(db_, "SELECT id FROM folders WHERE root_id = ? AND name = ?");
    select.Bind(1, rootId);
    select.Bind(2, name);
    if (!select.Ok() || select.Step() != SQLITE_ROW) return {Error("finding the day folder " + name), 0};
    result.value = select.Int(0);
    return result;
}

StoreResult<std::vector<StoredFile>> SqliteCallStore::Files(int64_t folderId) {
    StoreResult<std::vector<StoredFile>> result;
    Statement select(db_,
                     "SELECT id, name, size, mtime_ns, ctime_ns, inode, protected, start_time, audio_sha256 FROM calls "
                     "WHERE folder_id = ?");
    if (!select.Ok()) return {Error("reading a day folder's calls"), {}};
    select.Bind(1, folderId);
    int rc = 0;
    while ((rc = select.Step()) == SQLITE_ROW) {
        result.value.push_back(
            {select.Int(0), select.Text(1),
             FileStamp{select.Int(2), select.Int(3), select.Int(4), static_cast<uint64_t>(select.Int(5))},
             select.Int(6) != 0, select.Int(7), select.Text(8)});
    }
    if (rc != SQLITE_DONE) return {Error("reading a day folder's calls"), {}};
    return result;
}

StoreStatus SqliteCallStore::ApplyFiles(int64_t folderId, const std::vector<CallFacts>& upserts,
                                        const std::vector<std::string>& removals,
                                        const std::optional<FolderMark>& mark) {
    const std::string doing = "storing calls";
    StoreStatus status = Exec("BEGIN IMMEDIATE", doing);
    if (!status.Ok()) return status;
    const auto fail = [this, &doing]() {
        StoreStatus failed = Error(doing);
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return failed;
    };
    {
        Statement upsert(
            db_,
            "INSERT INTO calls(root_id, folder_id, folder, name, readable, times_known, start_time, end_time, "
            "duration, line, number, digits, direction, bookmark, words, played, protected, size, "
            "mtime_ns, ctime_ns, inode, content_key, audio_sha256) VALUES ((SELECT root_id FROM folders WHERE id = "
            "?1), "
            "?1, (SELECT name FROM folders WHERE id = ?1), ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, "
            "?15, ?16, ?17, ?18, ?19, ?20, ?21) "
            "ON CONFLICT(folder_id, name) DO UPDATE SET readable = excluded.readable, "
            "times_known = excluded.times_known, start_time = excluded.start_time, "
            "end_time = excluded.end_time, duration = excluded.duration, line = excluded.line, "
            "number = excluded.number, digits = excluded.digits, direction = excluded.direction, "
            "bookmark = excluded.bookmark, words = excluded.words, played = excluded.played, "
            "protected = excluded.protected, size = excluded.size, mtime_ns = excluded.mtime_ns, "
            "ctime_ns = excluded.ctime_ns, inode = excluded.inode, content_key = excluded.content_key, "
            "audio_sha256 = excluded.audio_sha256");
        if (!upsert.Ok()) return fail();
        for (const CallFacts& f : upserts) {
            upsert.Bind(1, folderId);
            upsert.Bind(2, f.name);
            upsert.Bind(3, f.readable ? 1 : 0);
            upsert.Bind(4, f.timesKnown ? 1 : 0);
            upsert.Bind(5, f.startTime);
            upsert.Bind(6, f.EndTime());
            upsert.Bind(7, f.durationSeconds);
            upsert.Bind(8, f.line);
            upsert.Bind(9, f.number);
            upsert.Bind(10, NumberDigits(f.number));
            upsert.Bind(11, static_cast<int64_t>(f.direction));
            upsert.Bind(12, f.bookmark);
            upsert.Bind(13, StoredWords(f.bookmark));
            upsert.Bind(14, f.played ? 1 : 0);
            upsert.Bind(15, f.isProtected ? 1 : 0);
            upsert.Bind(16, f.stamp.size);
            upsert.Bind(17, f.stamp.mtimeNs);
            upsert.Bind(18, f.stamp.ctimeNs);
            upsert.Bind(19, static_cast<int64_t>(f.stamp.inode));
            upsert.Bind(20, f.contentKey);
            upsert.Bind(21, f.audioSha256);
            if (upsert.Step() != SQLITE_DONE) return fail();
            upsert.Reset();
        }
        Statement remove(db_, "DELETE FROM calls WHERE folder_id = ? AND name = ?");
        if (!remove.Ok()) return fail();
        for (const std::string& name : removals) {
            remove.Bind(1, folderId);
            remove.Bind(2, name);
            if (remove.Step() != SQLITE_DONE) return fail();
            remove.Reset();
        }
        Statement count(db_,
                        "UPDATE folders SET file_count = (SELECT count(*) FROM calls WHERE folder_id = ?1) "
                        "WHERE id = ?1");
        count.Bind(1, folderId);
        if (!count.Ok() || count.Step() != SQLITE_DONE) return fail();
        if (mark) {
            Statement update(
                db_, "UPDATE folders SET complete = 1, mtime_ns = ?, settled = ?, verified_at = ? WHERE id = ?");
            update.Bind(1, mark->mtimeNs);
            update.Bind(2, mark->settled ? 1 : 0);
            update.Bind(3, mark->verifiedAt);
            update.Bind(4, folderId);
            if (!update.Ok() || update.Step() != SQLITE_DONE) return fail();
        }
    }
    return Exec("COMMIT", doing);
}

StoreStatus SqliteCallStore::RemoveFolder(int64_t folderId) {
    const std::string doing = "forgetting a removed day folder";
    StoreStatus status = Exec("BEGIN IMMEDIATE", doing);
    if (!status.Ok()) return status;
    for (const char* sql : {"DELETE FROM calls WHERE folder_id = ?", "DELETE FROM folders WHERE id = ?"}) {
        Statement remove(db_, sql);
        remove.Bind(1, folderId);
        if (!remove.Ok() || remove.Step() != SQLITE_DONE) {
            status = Error(doing);
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            return status;
        }
    }
    return Exec("COMMIT", doing);
}

StoreResult<SearchPage> SqliteCallStore::Search(const StoreQuery& query) {
    StoreResult<SearchPage> result;
    const SqliteQuery built = BuildSqliteSearch(query);
    Statement select(db_, built.sql);
    if (!select.Ok()) return {Error("searching"), {}};
    for (std::size_t i = 0; i < built.parameters.size(); ++i) select.Bind(built.parameters[i], static_cast<int>(i + 1));
    int rc = 0;
    while ((rc = select.Step()) == SQLITE_ROW) {
        if (query.limit != 0 && result.value.calls.size() == query.limit) {
            result.value.truncated = true;
            break;
        }
        result.value.calls.push_back(select.Call());
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return {Error("searching"), {}};
    return result;
}

StoreResult<std::optional<CallRecord>> SqliteCallStore::Find(int64_t id) {
    StoreResult<std::optional<CallRecord>> result;
    Statement select(db_, std::string("SELECT ") + kCallColumns + kCallFrom + " WHERE c.id = ?");
    if (!select.Ok()) return {Error("finding a call"), {}};
    select.Bind(1, id);
    const int rc = select.Step();
    if (rc == SQLITE_ROW) {
        result.value = select.Call();
    } else if (rc != SQLITE_DONE) {
        return {Error("finding a call"), {}};
    }
    return result;
}

StoreResult<std::vector<std::string>> SqliteCallStore::Lines(const std::vector<std::string>& roots) {
    StoreResult<std::vector<std::string>> result;
    std::string sql = "SELECT DISTINCT c.line FROM calls c JOIN roots r ON r.id = c.root_id WHERE r.path IN (";
    for (std::size_t i = 0; i < roots.size(); ++i) sql += i == 0 ? "?" : ", ?";
    sql += ") ORDER BY c.line";
    Statement select(db_, sql);
    if (!select.Ok()) return {Error("listing the lines"), {}};
    for (std::size_t i = 0; i < roots.size(); ++i) select.Bind(static_cast<int>(i + 1), roots[i]);
    int rc = 0;
    while ((rc = select.Step()) == SQLITE_ROW) result.value.push_back(select.Text(0));
    if (rc != SQLITE_DONE) return {Error("listing the lines"), {}};
    return result;
}

StoreResult<int64_t> SqliteCallStore::CountCalls(const std::vector<std::string>& roots) {
    StoreResult<int64_t> result;
    std::string sql = "SELECT count(*) FROM calls c JOIN roots r ON r.id = c.root_id WHERE r.path IN (";
    for (std::size_t i = 0; i < roots.size(); ++i) sql += i == 0 ? "?" : ", ?";
    sql += ")";
    Statement select(db_, sql);
    if (!select.Ok()) return {Error("counting the calls"), {}};
    for (std::size_t i = 0; i < roots.size(); ++i) select.Bind(static_cast<int>(i + 1), roots[i]);
    if (select.Step() != SQLITE_ROW) return {Error("counting the calls"), {}};
    result.value = select.Int(0);
    return result;
}

}  // namespace pell
