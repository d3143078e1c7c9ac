// The call index's own settings, "index.ini" in the reader's program folder (the player's, or
// the recorder's for a recorder that adds its calls to a shared database). Without the file the
// index is an SQLite file in that program folder and numbers match only as written.
//
//   [index]
//   store=postgresql                 ; or sqlite (the default)
//   file=/var/cache/pell/index.sqlite ; sqlite only: where the file lives
//   connection=host=db1 dbname=pell user=pell connect_timeout=5   ; postgresql only (libpq)
//   [numbers]
//   country_code=44
//   national_prefix=0
//   international_prefix=00
#pragma once

#include <string>
#include <string_view>

#include "index/core/call_criteria.h"

namespace pell {

inline constexpr const char* kIndexSettingsFile = "index.ini";
inline constexpr const char* kIndexFileName = "index.sqlite";

enum class IndexStoreKind { kSqlite, kPostgresql };

struct IndexSettings {
    bool fromFile = false;  // index.ini was there
    IndexStoreKind store = IndexStoreKind::kSqlite;
    std::string sqliteFile;  // empty: the default place
    std::string connection;  // libpq connection string
    NumberPlan numbers;
    std::string error;  // a value that cannot be used, in words for the user; empty when fine
};

IndexSettings ParseIndexSettings(std::string_view text);

// index.ini of `programFolder`; defaults when it is missing.
IndexSettings LoadIndexSettings(const std::string& programFolder);

// The per-user cache folder for an index that has no program folder to live in:
// $XDG_CACHE_HOME/pell, else $HOME/.cache/pell; empty when neither is set.
std::string CacheIndexFolder(const char* xdgCacheHome, const char* home);

}  // namespace pell
