// Every address pell-web answers, in one table: its method, what it needs (nothing, a session,
// or a session and the form token) and the right it exercises. Anything not in the table is
// 404 without touching a file: pages and scripts are built into the program and recordings are
// reached only by their index id, so no part of a request's path is ever a file name.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "web/core/access.h"

namespace pell::web {

enum class RouteId {
    kHome,           // GET /           -> the calls page or the log-in page
    kLoginPage,      // GET /login
    kCallsPage,      // GET /calls
    kRecordersPage,  // GET /recorders
    kAsset,          // GET /static/<name>
    kLogin,          // POST /api/login
    kLogout,         // POST /api/logout
    kSessionInfo,    // GET /api/session
    kLines,          // GET /api/lines
    kSearch,         // GET /api/calls
    kCall,           // GET /api/calls/<id>
    kAudio,          // GET /api/calls/<id>/audio
    kDownload,       // GET /api/calls/<id>/download
    kBookmark,       // POST /api/calls/<id>/bookmark
    kProtect,        // POST /api/calls/<id>/protect
    kUnprotect,      // POST /api/calls/<id>/unprotect
    kRecorders,      // GET /api/recorders
};

enum class Needs {
    kNothing,  // reachable before log-in
    kSession,  // a live session
    kChange,   // a live session and its CSRF token: every request that changes something
};

struct RouteSpec {
    RouteId id;
    std::string_view method;   // GET routes answer HEAD too
    std::string_view pattern;  // "{id}" a call's index id, "{name}" an asset's name
    Needs needs;
    std::optional<Action> action;  // the right the route exercises, checked against the role table
    bool page;                     // an HTML page: without a session the browser is sent to the log-in page
};

std::span<const RouteSpec> RouteTable();

struct RouteMatch {
    enum class Outcome { kFound, kNoSuchPath, kWrongMethod };
    Outcome outcome = Outcome::kNoSuchPath;
    const RouteSpec* route = nullptr;
    int64_t callId = 0;
    std::string assetName;
    std::string allow;  // for WrongMethod: the methods the path takes
};

RouteMatch MatchRoute(std::string_view method, std::string_view path);

}  // namespace pell::web
