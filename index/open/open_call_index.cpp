#include "index/open/open_call_index.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <filesystem>
#include <system_error>

#include "common/core/paths.h"
#include "index/postgres/postgres_call_store.h"
#include "index/sqlite/sqlite_call_store.h"

namespace pell {
namespace {

std::string FolderName(const std::string& file) {
    const std::size_t slash = file.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

OpenIndexResult OpenSqlite(const std::string& file, IndexSettings settings) {
    OpenIndexResult result;
    if (file.empty()) {
        result.status = StoreStatus::Failure(
            StoreStatus::Code::kInvalid, "no place for the index: set XDG_CACHE_HOME or HOME, or give --index FILE");
        return result;
    }
    std::error_code error;
    std::filesystem::create_directories(FolderName(file), error);
    SqliteCallStore::Opened opened = SqliteCallStore::Open(file);
    if (!opened.store) {
        result.status = StoreStatus::Failure(StoreStatus::Code::kFailed, opened.error);
        return result;
    }
    result.index = std::make_unique<OpenedCallIndex>(std::move(opened.store), std::move(settings));
    return result;
}

OpenIndexResult OpenPostgres(IndexSettings settings) {
    OpenIndexResult result;
    PostgresCallStore::Opened opened = PostgresCallStore::Open(settings.connection);
    if (!opened.store) {
        result.status = opened.status;
        return result;
    }
    result.index = std::make_unique<OpenedCallIndex>(std::move(opened.store), std::move(settings));
    return result;
}

}  // namespace

OpenedCallIndex::OpenedCallIndex(std::unique_ptr<CallStore> store, IndexSettings settings)
    : store_(std::move(store)), settings_(std::move(settings)), index_(*store_, files_, clock_, settings_.numbers) {}

OpenIndexResult OpenCallIndex(const IndexPlace& place) {
    IndexSettings settings = place.programFolder.empty() ? IndexSettings{} : LoadIndexSettings(place.programFolder);
    if (!settings.error.empty()) {
        return {nullptr,
                StoreStatus::Failure(StoreStatus::Code::kInvalid, JoinPath(place.programFolder, "") + settings.error)};
    }
    if (!place.sqliteOverride.empty()) return OpenSqlite(place.sqliteOverride, std::move(settings));
    if (settings.store == IndexStoreKind::kPostgresql) return OpenPostgres(std::move(settings));
    const std::string file = settings.sqliteFile.empty() ? place.sqliteFile : settings.sqliteFile;
    return OpenSqlite(file, std::move(settings));
}

std::string DefaultIndexFile(const std::string& programFolder, const std::string& cacheFolder) {
    if (!programFolder.empty() && ::access(programFolder.c_str(), W_OK) == 0) {
        return JoinPath(programFolder, kIndexFileName);
    }
    if (cacheFolder.empty()) return {};
    // FNV-1a of the folder's name keeps the indexes of different program folders apart.
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : programFolder) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 0x100000001b3ULL;
    }
    char name[64];
    std::snprintf(name, sizeof name, "index-%016llx.sqlite", static_cast<unsigned long long>(hash));
    return JoinPath(cacheFolder, name);
}

OpenIndexResult OpenRecorderIndex(const std::string& recorderProgramFolder) {
    IndexSettings settings = LoadIndexSettings(recorderProgramFolder);
    if (!settings.error.empty()) {
        return {nullptr, StoreStatus::Failure(StoreStatus::Code::kInvalid,
                                              JoinPath(recorderProgramFolder, "") + settings.error)};
    }
    if (settings.store != IndexStoreKind::kPostgresql) return {};
    return OpenPostgres(std::move(settings));
}

std::unique_ptr<FiledCallFeed> StartRecorderFeed(const std::string& recorderProgramFolder,
                                                 FiledCallFeed::Options options) {
    if (LoadIndexSettings(recorderProgramFolder).store != IndexStoreKind::kPostgresql) return nullptr;
    // Used only on the feed's thread.
    struct State {
        std::string folder;
        std::unique_ptr<OpenedCallIndex> opened;
        StoreStatus Open() {
            if (opened) return StoreStatus::Success();
            OpenIndexResult result = OpenRecorderIndex(folder);
            if (!result.index) return result.status;
            opened = std::move(result.index);
            return StoreStatus::Success();
        }
    };
    auto state = std::make_shared<State>();
    state->folder = recorderProgramFolder;
    auto add = [state](const std::string& root, const std::string& path) {
        if (StoreStatus status = state->Open(); !status.Ok()) return status;
        return state->opened->Index().AddFiled(root, path);
    };
    auto reconcile = [state](const std::vector<std::string>& roots) {
        if (StoreStatus status = state->Open(); !status.Ok()) return status;
        const RefreshReport report = state->opened->Index().Refresh(roots);
        return report.outcome == RefreshReport::Outcome::kDone ? StoreStatus::Success() : report.store;
    };
    return std::make_unique<FiledCallFeed>(std::move(add), std::move(reconcile), options);
}

}  // namespace pell
