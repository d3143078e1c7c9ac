// The embedded call index: one SQLite file (Debian's libsqlite3) in write-ahead-log mode, so
// searches go on while a refresh writes, with FTS5 tables over the numbers' digits (trigram)
// and the bookmarks' words. A file of another schema version is rebuilt, being only a cache.
#pragma once

#include <memory>
#include <string>

#include "index/core/call_store.h"

struct sqlite3;

namespace pell {

class SqliteCallStore final : public CallStore {
public:
    struct Opened {
        std::unique_ptr<SqliteCallStore> store;
        std::string error;  // why it could not be opened, naming the file
    };
    // Opens or creates the index file (its folder must exist).
    static Opened Open(const std::string& file);

    ~SqliteCallStore() override;
    SqliteCallStore(const SqliteCallStore&) = delete;
    SqliteCallStore& operator=(const SqliteCallStore&) = delete;

    std::string Describe() const override { return "SQLite " + file_; }
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
    class Statement;
    SqliteCallStore(sqlite3* db, std::string file);
    StoreStatus Error(const std::string& doing) const;
    StoreStatus Exec(const char* sql, const std::string& doing);

    sqlite3* db_;
    std::string file_;
};

// The SQL of a search, with its parameters in order (texts and integers), for the store and
// its tests.
struct SqliteQuery {
    std::string sql;
    struct Parameter {
        bool isText = false;
        std::string text;
        int64_t integer = 0;
    };
    std::vector<Parameter> parameters;
};
SqliteQuery BuildSqliteSearch(const StoreQuery& query);

}  // namespace pell
