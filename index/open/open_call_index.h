// Opening the call index that a program's settings name. "index.ini" in the program folder
// chooses the store (SQLite by default, or a shared PostgreSQL database); the SQLite file is
// `index.sqlite` in the program folder, or in the per-user cache folder when the program folder
// cannot be written. The player, pell-catalogue and a web server open their index here; the
// recorder opens one only when its index.ini names a shared database.
#pragma once

#include <memory>
#include <string>

#include "common/core/clock.h"
#include "index/core/call_files.h"
#include "index/core/call_index.h"
#include "index/core/filed_call_feed.h"
#include "index/core/index_settings.h"

namespace pell {

struct IndexPlace {
    std::string programFolder;   // whose index.ini is read; empty: none, the defaults
    std::string sqliteFile;      // the SQLite file unless index.ini names one
    std::string sqliteOverride;  // wins over index.ini and means SQLite (pell-catalogue --index)
};

// A store, the real file system, the system clock and the index over them, owned together.
class OpenedCallIndex {
public:
    OpenedCallIndex(std::unique_ptr<CallStore> store, IndexSettings settings);
    OpenedCallIndex(const OpenedCallIndex&) = delete;
    OpenedCallIndex& operator=(const OpenedCallIndex&) = delete;

    CallIndex& Index() { return index_; }
    const IndexSettings& Settings() const { return settings_; }
    // "SQLite /path/index.sqlite" or "PostgreSQL pell on db1:5432".
    std::string Describe() const { return store_->Describe(); }

private:
    std::unique_ptr<CallStore> store_;
    IndexSettings settings_;
    PosixCallFiles files_;
    SystemClock clock_;
    CallIndex index_;
};

struct OpenIndexResult {
    std::unique_ptr<OpenedCallIndex> index;
    StoreStatus status;  // why there is none: a bad index.ini, an unreadable file, a server down
};

// Opens (creating the SQLite file and its folder when missing) the index `place` names.
OpenIndexResult OpenCallIndex(const IndexPlace& place);

// The SQLite file of a program folder: index.sqlite there when the folder can be written, else
// index-<16 hex digits of the folder's name>.sqlite in `cacheFolder` (see CacheIndexFolder);
// empty when neither will do.
std::string DefaultIndexFile(const std::string& programFolder, const std::string& cacheFolder);

// The recorder, at start and after each reload: an index to add its calls to when its own
// index.ini says store=postgresql; nothing (and Ok) otherwise, so nothing changes without one.
// Opening waits on the server: the recorder's main thread uses StartRecorderFeed instead.
OpenIndexResult OpenRecorderIndex(const std::string& recorderProgramFolder);

// The recorder's feed into the shared index its index.ini names, or nothing without one. The
// recorder calls Filed(dropFolder, mp3Path) right after a recording is filed (tag written); the
// index is opened on the feed's thread at the first call and every later one until it opens,
// and a root whose calls could not be added is refreshed once the server answers again.
std::unique_ptr<FiledCallFeed> StartRecorderFeed(const std::string& recorderProgramFolder,
                                                 FiledCallFeed::Options options = {});

}  // namespace pell
