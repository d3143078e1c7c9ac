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
    Home,           // GET /           -> the calls page or the log-in page
    LoginPage,      // GET /login
    CallsPage,      // GET /calls
    RecordersPage,  // GET /recorders
    Asset,          // GET /static/<name>
    Login,          // POST /api/login
    Logout,         // POST /api/logout
    SessionInfo,    // GET /api/session
    Lines,          // GET /api/lines
    Search,         // GET /api/calls
    Call,           // GET /api/calls/<id>
    Audio,          // GET /api/calls/<id>/audio
    Download,       // GET /api/calls/<id>/download
    Bookmark,       // POST /api/calls/<id>/bookmark
    Protect,        // POST /api/calls/<id>/protect
    Unprotect,      // POST /api/calls/<id>/unprotect
    Recorders,      // GET /api/recorders
};

enum class Needs {
    Nothing,  // reachable before log-in
    Session,  // a live session
    Change,   // a live session and its CSRF token: every request that changes something
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
    enum class Outcome { Found, NoSuchPath, WrongMethod };
    Outcome outcome = Outcome::NoSuchPath;
    const RouteSpec* route = nullptr;
    int64_t callId = 0;
    std::string assetName;
    std::string allow;  // for WrongMethod: the methods the path takes
};

RouteMatch MatchRoute(std::string_view method, std::string_view path);

}  // namespace pell::web
