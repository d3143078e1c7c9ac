#include "index/postgres/postgres_call_store.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "index/core/schema.h"

namespace pell {
namespace {

// Serialises creating the tables when several programs start at once.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(582410667)";
// A transaction that lost a deadlock or a serialisation race is tried again this often.
constexpr int kTransactionTries = 3;

std::string Bool(bool value) { return value ? "t" : "f"; }

// libpq's messages run over several indented lines; one line reads better in a log or a box.
std::string OneLine(std::string message) {
    std::string out;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] != '\n') {
            out += message[i];
            continue;
        }
        while (i + 1 < message.size() && (message[i + 1] == '\t' || message[i + 1] == ' ')) ++i;
        if (i + 1 < message.size()) out += " ";
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string SortExpression(CallSortColumn column) {
    switch (column) {
        case CallSortColumn::kStart:
            return "c.start_time";
        case CallSortColumn::kDuration:
            return "c.duration";
        case CallSortColumn::kNumber:
            return "c.number COLLATE \"C\"";
        case CallSortColumn::kLine:
            return "c.line COLLATE \"C\"";
        case CallSortColumn::kBookmark:
            return "c.bookmark COLLATE \"C\"";
        case CallSortColumn::kPlacement:
            return "((CASE WHEN r.path = '/' THEN '' ELSE r.path END) || '/' || c.folder || '/' || c.name) COLLATE "
                   "\"C\"";
        case CallSortColumn::kSize:
            return "c.size";
        case CallSortColumn::kDirection:
            return "c.direction";
        case CallSortColumn::kPlayed:
            return "c.played";
    }
    return "c.start_time";
}

// A text-search query: every word, each also as a word's start.
std::string WordsQuery(const std::vector<std::string>& words) {
    std::string query;
    for (const std::string& word : words) query += (query.empty() ? "'" : " & '") + word + "':*";
    return query;
}

}  // namespace

// One query's result, cleared with the object.
class PostgresCallStore::Result {
public:
    explicit Result(PGresult* result) : result_(result) {}
    ~Result() { PQclear(result_); }
    Result(Result&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}
    Result& operator=(Result&&) = delete;
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    bool Ok() const {
        const ExecStatusType status = PQresultStatus(result_);
        return result_ != nullptr && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK);
    }
    int Rows() const { return PQntuples(result_); }
    std::string Text(int row, int column) const {
        return std::string(PQgetvalue(result_, row, column),
                           static_cast<std::size_t>(PQgetlength(result_, row, column)));
    }
    int64_t Int(int row, int column) const { return std::strtoll(PQgetvalue(result_, row, column), nullptr, 10); }
    bool Flag(int row, int column) const { return PQgetvalue(result_, row, column)[0] == 't'; }
    std::string SqlState() const {
        const char* state = result_ != nullptr ? PQresultErrorField(result_, PG_DIAG_SQLSTATE) : nullptr;
        return state != nullptr ? state : "";
    }
    std::string Message() const {
        const char* text = result_ != nullptr ? PQresultErrorMessage(result_) : "";
        std::string message = text != nullptr ? text : "";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
        return message;
    }

    CallRecord Call(int row) const {
        CallRecord call;
        call.id = Int(row, 0);
        call.root = Text(row, 1);
        call.folder = Text(row, 2);
        CallFacts& f = call.facts;
        f.name = Text(row, 3);
        f.readable = Flag(row, 4);
        f.timesKnown = Flag(row, 5);
        f.startTime = Int(row, 6);
        f.durationSeconds = Int(row, 7);
        f.line = Text(row, 8);
        f.number = Text(row, 9);
        f.direction = static_cast<CallDirection>(Int(row, 10));
        f.bookmark = Text(row, 11);
        f.played = Flag(row, 12);
        f.isProtected = Flag(row, 13);
        f.stamp.size = Int(row, 14);
        f.stamp.mtimeNs = Int(row, 15);
        f.stamp.ctimeNs = Int(row, 16);
        f.stamp.inode = static_cast<uint64_t>(Int(row, 17));
        f.contentKey = Text(row, 18);
        f.audioSha256 = Text(row, 19);
        return call;
    }

private:
    PGresult* result_;
};

PostgresQuery BuildPostgresSearch(const StoreQuery& query) {
    PostgresQuery out;
    const auto parameter = [&out](std::string value) {
        out.parameters.push_back(std::move(value));
        return "$" + std::to_string(out.parameters.size());
    };
    const PreparedCriteria& c = query.criteria;
    std::string& sql = out.sql;
    sql = std::string("SELECT ") + kCallColumns + kCallFrom + " WHERE r.path IN (";
    for (std::size_t i = 0; i < query.roots.size(); ++i) sql += (i == 0 ? "" : ", ") + parameter(query.roots[i]);
    sql += ")";
    if (!c.numberPatterns.empty()) {
        // Digits only, so no pattern holds a LIKE wildcard of its own.
        sql += " AND (";
        for (std::size_t i = 0; i < c.numberPatterns.size(); ++i) {
            sql += (i == 0 ? "c.digits LIKE " : " OR c.digits LIKE ") + parameter("%" + c.numberPatterns[i] + "%");
        }
        sql += ")";
    }
    if (!c.words.empty()) sql += " AND c.word_vector @@ to_tsquery('simple', " + parameter(WordsQuery(c.words)) + ")";
    const auto bound = [&](const std::optional<int64_t>& value, const char* condition) {
        if (value) sql += condition + parameter(std::to_string(*value));
    };
    bound(c.startFrom, " AND c.start_time >= ");
    bound(c.startBefore, " AND c.start_time < ");
    bound(c.minDurationSeconds, " AND c.duration >= ");
    bound(c.maxDurationSeconds, " AND c.duration <= ");
    if (c.lines) {
        if (c.lines->empty()) {
            sql += " AND FALSE";
        } else {
            sql += " AND lower(c.line COLLATE \"C\") IN (";
            for (std::size_t i = 0; i < c.lines->size(); ++i) sql += (i == 0 ? "" : ", ") + parameter((*c.lines)[i]);
            sql += ")";
        }
    }
    if (c.direction) bound(static_cast<int64_t>(*c.direction), " AND c.direction = ");
    if (c.played) sql += " AND c.played = " + parameter(Bool(*c.played));
    if (c.isProtected) sql += " AND c.protected = " + parameter(Bool(*c.isProtected));
    const char* direction = query.order.descending ? " DESC" : " ASC";
    sql += " ORDER BY " + SortExpression(query.order.column) + direction + ", c.id" + direction;
    if (query.limit != 0) sql += " LIMIT " + parameter(std::to_string(query.limit + 1));
    return out;
}

PostgresCallStore::Opened PostgresCallStore::Open(const std::string& connection) {
    Opened opened;
    PGconn* raw = PQconnectdb(connection.c_str());
    std::string description = "PostgreSQL";
    if (raw != nullptr && PQstatus(raw) == CONNECTION_OK) {
        description += std::string(" ") + PQdb(raw) + " on " + (PQhost(raw) != nullptr ? PQhost(raw) : "?") + ":" +
                       (PQport(raw) != nullptr ? PQport(raw) : "?");
    }
    std::unique_ptr<PostgresCallStore> store(new PostgresCallStore(raw, description));
    if (raw == nullptr || PQstatus(raw) != CONNECTION_OK) {
        std::string message = raw != nullptr ? PQerrorMessage(raw) : "out of memory";
        while (!message.empty() && message.back() == '\n') message.pop_back();
        opened.status =
            StoreStatus::Failure(StoreStatus::Code::kUnavailable, "cannot reach PostgreSQL: " + OneLine(message));
        return opened;
    }
    PQsetNoticeProcessor(
        raw, [](void*, const char*) {}, nullptr);
    if (StoreStatus created = store->CreateTables(); !created.Ok()) {
        opened.status = std::move(created);
        return opened;
    }
    opened.store = std::move(store);
    return opened;
}

StoreStatus PostgresCallStore::CreateTables() {
    const std::string doing = "creating the index tables";
    Result begin = Run("BEGIN", {});
    Result lock = Run(kSchemaLock, {});
    Result schema = Run(kPostgresSchema, {});
    if (!begin.Ok() || !lock.Ok() || !schema.Ok()) {
        return Failure(!schema.Ok() ? schema : (!lock.Ok() ? lock : begin), doing);
    }
    Result version = Run("INSERT INTO meta(key, value) VALUES ('schema', $1) ON CONFLICT (key) DO NOTHING",
                         {std::to_string(kIndexSchemaVersion)});
    Result stored = Run("SELECT value FROM meta WHERE key = 'schema'", {});
    std::string storedVersion = stored.Ok() && stored.Rows() == 1 ? stored.Text(0, 0) : std::string();
    if (storedVersion == std::to_string(kPostgresUpgradableVersion)) {
        // Under the schema lock, so one program upgrades and the others find it done.
        Result upgrade = Run(kPostgresUpgrade, {});
        if (!upgrade.Ok()) {
            return Failure(upgrade, "upgrading the index tables");
        }
        Result mark = Run("UPDATE meta SET value = $1 WHERE key = 'schema'", {std::to_string(kIndexSchemaVersion)});
        if (!mark.Ok()) {
            return Failure(mark, "upgrading the index tables");
        }
        storedVersion = std::to_string(kIndexSchemaVersion);
    }
    Result commit = Run("COMMIT", {});
    if (!version.Ok() || !stored.Ok() || !commit.Ok() || stored.Rows() != 1) {
        return Failure(!version.Ok() ? version : (!stored.Ok() ? stored : commit), doing);
    }
    if (storedVersion != std::to_string(kIndexSchemaVersion)) {
        // Shared with other programs, so never dropped here: the administrator decides.
        return StoreStatus::Failure(StoreStatus::Code::kFailed,
                                    description_ + " holds call index schema " + storedVersion +
                                        ", this program uses " + std::to_string(kIndexSchemaVersion) +
                                        ": upgrade every program of the site, or drop the index tables to rebuild");
    }
    return StoreStatus::Success();
}

PostgresCallStore::PostgresCallStore(pg_conn* connection, std::string description)
    : connection_(connection), description_(std::move(description)) {}

PostgresCallStore::~PostgresCallStore() { PQfinish(connection_); }

std::string PostgresCallStore::Describe() const { return description_; }

StoreStatus PostgresCallStore::Connected() {
    if (PQstatus(connection_) == CONNECTION_OK) return StoreStatus::Success();
    PQreset(connection_);
    if (PQstatus(connection_) == CONNECTION_OK) return StoreStatus::Success();
    std::string message = PQerrorMessage(connection_);
    while (!message.empty() && message.back() == '\n') message.pop_back();
    return StoreStatus::Failure(StoreStatus::Code::kUnavailable,
                                description_ + ": cannot reach the server: " + OneLine(message));
}

PostgresCallStore::Result PostgresCallStore::Run(const std::string& sql, const std::vector<std::string>& parameters) {
    std::vector<const char*> values;
    values.reserve(parameters.size());
    for (const std::string& p : parameters) values.push_back(p.c_str());
    if (parameters.empty()) return Result(PQexec(connection_, sql.c_str()));
    return Result(PQexecParams(connection_, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                               nullptr, nullptr, 0));
}

StoreStatus PostgresCallStore::Failure(const Result& result, const std::string& doing) const {
    const std::string state = result.SqlState();
    // A broken connection, a server shutting down, or a lost race: all worth trying again.
    const bool retry = PQstatus(connection_) != CONNECTION_OK || state.rfind("08", 0) == 0 ||
                       state.rfind("57P", 0) == 0 || state == "40001" || state == "40P01" || state.empty();
    std::string message = result.Message();
    if (message.empty()) message = PQerrorMessage(connection_);
    while (!message.empty() && message.back() == '\n') message.pop_back();
    return StoreStatus::Failure(retry ? StoreStatus::Code::kUnavailable : StoreStatus::Code::kFailed,
                                description_ + ": " + doing + ": " + OneLine(message));
}

StoreResult<int64_t> PostgresCallStore::RootId(const std::string& root) {
    if (StoreStatus status = Connected(); !status.Ok()) return {status, 0};
    Result insert = Run("INSERT INTO roots(path) VALUES ($1) ON CONFLICT (path) DO NOTHING", {root});
    if (!insert.Ok()) return {Failure(insert, "adding the root " + root), 0};
    Result select = Run("SELECT id FROM roots WHERE path = $1", {root});
    if (!select.Ok() || select.Rows() != 1) return {Failure(select, "finding the root " + root), 0};
    return {StoreStatus::Success(), select.Int(0, 0)};
}

StoreResult<std::vector<StoredFolder>> PostgresCallStore::Folders(int64_t rootId) {
    if (StoreStatus status = Connected(); !status.Ok()) return {status, {}};
    Result select =
        Run("SELECT id, name, complete, mtime_ns, settled, verified_at, file_count FROM folders WHERE root_id = $1",
            {std::to_string(rootId)});
    if (!select.Ok()) return {Failure(select, "reading the day folders"), {}};
    StoreResult<std::vector<StoredFolder>> result;
    for (int row = 0; row < select.Rows(); ++row) {
        result.value.push_back({select.Int(row, 0), select.Text(row, 1), select.Flag(row, 2), select.Int(row, 3),
                                select.Flag(row, 4), select.Int(row, 5), select.Int(row, 6)});
    }
    return result;
}

StoreResult<int64_t> PostgresCallStore::FolderId(int64_t rootId, const std::string& name) {
    if (StoreStatus status = Connected(); !status.Ok()) return {status, 0};
    const std::vector<std::string> parameters = {std::to_string(rootId), name};
    Result insert =
        Run("INSERT INTO folders(root_id, name) VALUES ($1, $2) ON CONFLICT (root_id, name) DO NOTHING", parameters);
    if (!insert.Ok()) return {Failure(insert, "adding the day folder " + name), 0};
    Result select = Run("SELECT id FROM folders WHERE root_id = $1 AND name = $2", parameters);
    if (!select.Ok() || select.Rows() != 1) return {Failure(select, "finding the day folder " + name), 0};
    return {StoreStatus::Success(), select.Int(0, 0)};
}

StoreResult<std::vector<StoredFile>> PostgresCallStore::Files(int64_t folderId) {
    if (StoreStatus status = Connected(); !status.Ok()) return {status, {}};
    Result select =
        Run("SELECT id, name, size, mtime_ns, ctime_ns, inode, protected, start_time, audio_sha256 FROM calls "
            "WHERE folder_id = $1",
            {std::to_string(folderId)});
    if (!select.Ok()) return {Failure(select, "reading a day folder's calls"), {}};
    StoreResult<std::vector<StoredFile>> result;
    for (int row = 0; row < select.Rows(); ++row) {
        result.value.push_back({select.Int(row, 0), select.Text(row, 1),
                                FileStamp{select.Int(row, 2), select.Int(row, 3), select.Int(row, 4),
                                          static_cast<uint64_t>(select.Int(row, 5))},
                                select.Flag(row, 6), select.Int(row, 7), select.Text(row, 8)});
    }
    return result;
}

StoreStatus PostgresCallStore::ApplyFiles(int64_t folderId, const std::vector<CallFacts>& upserts,
                                          const std::vector<std::string>& removals,
                                          const std::optional<FolderMark>& mark) {
    // One order of row locks for every writer, so two refreshes of one folder rarely deadlock.
    std::vector<CallFacts> sorted = upserts;
    std::sort(sorted.begin(), sorted.end(), [](const CallFacts& a, const CallFacts& b) { return a.name < b.name; });
    StoreStatus status;
    for (int attempt = 0; attempt < kTransactionTries; ++attempt) {
        if (status = Connected(); !status.Ok()) return status;
        status = ApplyOnce(folderId, sorted, removals, mark);
        if (status.Ok() || status.code != StoreStatus::Code::kUnavailable || PQstatus(connection_) != CONNECTION_OK) {
            return status;
        }
    }
    return status;
}

StoreStatus PostgresCallStore::ApplyOnce(int64_t folderId, const std::vector<CallFacts>& upserts,
                                         const std::vector<std::string>& removals,
                                         const std::optional<FolderMark>& mark) {
    const std::string doing = "storing calls";
    const std::string folder = std::to_string(folderId);
    const auto fail = [&](const Result& result) {
        StoreStatus status = Failure(result, doing);
        if (PQstatus(connection_) == CONNECTION_OK) Run("ROLLBACK", {});
        return status;
    };
    if (Result begin = Run("BEGIN", {}); !begin.Ok()) return fail(begin);
    for (const CallFacts& f : upserts) {
        Result upsert = Run(
            "INSERT INTO calls(root_id, folder_id, folder, name, readable, times_known, start_time, end_time, "
            "duration, line, "
            "number, digits, direction, bookmark, words, played, protected, size, mtime_ns, ctime_ns, inode, "
            "content_key, audio_sha256) VALUES ((SELECT root_id FROM folders WHERE id = $1), $1, (SELECT name FROM "
            "folders WHERE id = $1), $2, $3, $4, $5, $6, $7, $8, $9, "
            "$10, $11, $12, $13, $14, $15, $16, $17, $18, $19, $20, $21) ON CONFLICT (folder_id, name) DO UPDATE SET "
            "readable = EXCLUDED.readable, times_known = EXCLUDED.times_known, start_time = EXCLUDED.start_time, "
            "end_time = EXCLUDED.end_time, duration = EXCLUDED.duration, line = EXCLUDED.line, "
            "number = EXCLUDED.number, digits = EXCLUDED.digits, direction = EXCLUDED.direction, "
            "bookmark = EXCLUDED.bookmark, words = EXCLUDED.words, played = EXCLUDED.played, "
            "protected = EXCLUDED.protected, size = EXCLUDED.size, mtime_ns = EXCLUDED.mtime_ns, "
            "ctime_ns = EXCLUDED.ctime_ns, inode = EXCLUDED.inode, content_key = EXCLUDED.content_key, "
            "audio_sha256 = EXCLUDED.audio_sha256",
            {folder,
             f.name,
             Bool(f.readable),
             Bool(f.timesKnown),
             std::to_string(f.startTime),
             std::to_string(f.EndTime()),
             std::to_string(f.durationSeconds),
             f.line,
             f.number,
             NumberDigits(f.number),
             std::to_string(static_cast<int>(f.direction)),
             f.bookmark,
             StoredWords(f.bookmark),
             Bool(f.played),
             Bool(f.isProtected),
             std::to_string(f.stamp.size),
             std::to_string(f.stamp.mtimeNs),
             std::to_string(f.stamp.ctimeNs),
             std::to_string(static_cast<int64_t>(f.stamp.inode)),
             f.contentKey,
             f.audioSha256});
        if (!upsert.Ok()) return fail(upsert);
    }
    for (const std::string& name : removals) {
        Result remove = Run("DELETE FROM calls WHERE folder_id = $1 AND name = $2", {folder, name});
        if (!remove.Ok()) return fail(remove);
    }
    Result count = Run(
        "UPDATE folders SET file_count = (SELECT count(*) FROM calls WHERE folder_id = $1) WHERE id = $1", {folder});
    if (!count.Ok()) return fail(count);
    if (mark) {
        Result update =
            Run("UPDATE folders SET complete = TRUE, mtime_ns = $2, settled = $3, verified_at = $4 "
                "WHERE id = $1",
                {folder, std::to_string(mark->mtimeNs), Bool(mark->settled), std::to_string(mark->verifiedAt)});
        if (!update.Ok()) return fail(update);
    }
    if (Result commit = Run("COMMIT", {}); !commit.Ok()) return fail(commit);
    return StoreStatus::Success();
}

StoreStatus PostgresCallStore::RemoveFolder(int64_t folderId) {
    if (StoreStatus status = Connected(); !status.Ok()) return status;
    // The calls go with their folder (ON DELETE CASCADE), in one statement.
    Result remove = Run("DELETE FROM folders WHERE id = $1", {std::to_string(folderId)});
    if (!remove.Ok()) return Failure(remove, "forgetting a removed day folder");
    return StoreStatus::Success();
}

StoreResult<SearchPage> PostgresCallStore::Search(const StoreQuery& query) {
    if (StoreStatus status = Connected(); !status.Ok()) return {status, {}};
    const PostgresQuery built = BuildPostgresSearch(query);
    Result select = Run(built.sql, built.parameters);
    if (!select.Ok()) return {Failure(select, "searching"), {}};
    StoreResult<SearchPage> result;
    for (int row = 0; row < select.Rows(); ++row) {
        if (query.limit != 0 && result.value.calls.size() == query.limit) {
            result.value.truncated = true;
            break;
        }
        result.value.calls.push_back(select.Call(row));
    }
    return result;
}

StoreResult<std::optional<CallRecord>> PostgresCallStore::Find(int64_t id) {
    if (StoreStatus status = Connected(); !status.Ok()) return {status, {}};
    Result select = Run(std::string("SELECT ") + kCallColumns + kCallFrom + " WHERE c.id = $1", {std::to_string(id)});
    if (!select.Ok()) return {Failure(select, "finding a call"), {}};
    StoreResult<std::optional<CallRecord>> result;
    if (select.Rows() == 1) result.value = select.Call(0);
    return result;
}

StoreResult<std::vector<std::string>> PostgresCallStore::Lines(const std::vector<std::string>& roots) {
    if (StoreStatus status = Connected(); !status.Ok()) return {status, {}};
    std::string sql =
        "SELECT DISTINCT c.line COLLATE \"C\" FROM calls c JOIN roots r ON r.id = c.root_id WHERE r.path IN (";
    for (std::size_t i = 0; i < roots.size(); ++i) sql += (i == 0 ? "$" : ", $") + std::to_string(i + 1);
    sql += ") ORDER BY 1";
    if (roots.empty()) return {};
    Result select = Run(sql, roots);
    if (!select.Ok()) return {Failure(select, "listing the lines"), {}};
    StoreResult<std::vector<std::string>> result;
    for (int row = 0; row < select.Rows(); ++row) result.value.push_back(select.Text(row, 0));
    return result;
}

StoreResult<int64_t> PostgresCallStore::CountCalls(const std::vector<std::string>& roots) {
    if (StoreStatus status = Connected(); !status.Ok()) return {status, 0};
    if (roots.empty()) return {};
    std::string sql = "SELECT count(*) FROM calls c JOIN roots r ON r.id = c.root_id WHERE r.path IN (";
    for (std::size_t i = 0; i < roots.size(); ++i) sql += (i == 0 ? "$" : ", $") + std::to_string(i + 1);
    sql += ")";
    Result select = Run(sql, roots);
    if (!select.Ok()) return {Failure(select, "counting the calls"), {}};
    return {StoreStatus::Success(), select.Int(0, 0)};
}

}  // namespace pell
