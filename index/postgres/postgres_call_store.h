// The shared call index: the same tables in one PostgreSQL database (libpq), so several
// recorders and players of a site see one index. pg_trgm indexes the numbers' digits and a
// text-search vector the bookmarks' words. A connection that broke (server restarted, network
// down) is opened again on the next call; meanwhile calls answer Unavailable.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "index/core/call_store.h"

struct pg_conn;

namespace pell {

class PostgresCallStore final : public CallStore {
public:
    struct Opened {
        std::unique_ptr<PostgresCallStore> store;
        StoreStatus status;  // why not, with Unavailable when the server could not be reached
    };
    // Connects with a libpq connection string and creates the tables when they are missing.
    static Opened Open(const std::string& connection);

    ~PostgresCallStore() override;
    PostgresCallStore(const PostgresCallStore&) = delete;
    PostgresCallStore& operator=(const PostgresCallStore&) = delete;

    std::string Describe() const override;
    StoreResult<int64_t> RootId(const std::string& root) override;
    StoreResult<std::vector<StoredFolder>> Folders(int64_t rootId) override;
    StoreResult<int64_t> FolderId(int64_t rootId, const std::string& name) override;
    StoreResult<std::vector<StoredFile>> Files(int64_t folderId) override;
    StoreStatus ApplyFiles(int64_t folderId, const std::vector<CallFacts>& upserts,
                           const std::vector<std::string>& removals, const std::optional<FolderMark>& mark) override;
    StoreStatus RemoveFolder(int64_t folderId) override;
    StoreResult<SearchPage> Search(const StoreQuery& query) override;
    StoreResult<std::optional<CallRecord>> Find(int64_t id) override;
    StoreResult<std::vector<std::string>> Lines(const std::vector<std::string>& roots) override;
    StoreResult<int64_t> CountCalls(const std::vector<std::string>& roots) override;

private:
    class Result;
    PostgresCallStore(pg_conn* connection, std::string description);
    // Opens the connection again when it broke; Unavailable when that fails too.
    StoreStatus Connected();
    Result Run(const std::string& sql, const std::vector<std::string>& parameters);
    StoreStatus Failure(const Result& result, const std::string& doing) const;
    // In one transaction under the schema lock: the tables made when missing, those of the
    // version before brought up to date, any other version refused.
    StoreStatus CreateTables();
    StoreStatus ApplyOnce(int64_t folderId, const std::vector<CallFacts>& upserts,
                          const std::vector<std::string>& removals, const std::optional<FolderMark>& mark);

    pg_conn* connection_;
    std::string description_;
};

// The SQL of a search and its text parameters in order ($1, $2, ...).
struct PostgresQuery {
    std::string sql;
    std::vector<std::string> parameters;
};
PostgresQuery BuildPostgresSearch(const StoreQuery& query);

}  // namespace pell
