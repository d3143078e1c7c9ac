#include "web/core/routes.h"

#include <algorithm>

namespace pell::web {
namespace {

constexpr RouteSpec kRoutes[] = {
    {RouteId::kHome, "GET", "/", Needs::kNothing, std::nullopt, true},
    {RouteId::kLoginPage, "GET", "/login", Needs::kNothing, std::nullopt, true},
    {RouteId::kCallsPage, "GET", "/calls", Needs::kSession, Action::kSearchCalls, true},
    {RouteId::kRecordersPage, "GET", "/recorders", Needs::kSession, Action::kSeeRecorders, true},
    {RouteId::kAsset, "GET", "/static/{name}", Needs::kNothing, std::nullopt, false},
    {RouteId::kLogin, "POST", "/api/login", Needs::kNothing, std::nullopt, false},
    {RouteId::kLogout, "POST", "/api/logout", Needs::kChange, std::nullopt, false},
    {RouteId::kSessionInfo, "GET", "/api/session", Needs::kSession, std::nullopt, false},
    {RouteId::kLines, "GET", "/api/lines", Needs::kSession, Action::kSearchCalls, false},
    {RouteId::kSearch, "GET", "/api/calls", Needs::kSession, Action::kSearchCalls, false},
    {RouteId::kCall, "GET", "/api/calls/{id}", Needs::kSession, Action::kSearchCalls, false},
    {RouteId::kAudio, "GET", "/api/calls/{id}/audio", Needs::kSession, Action::kListen, false},
    {RouteId::kDownload, "GET", "/api/calls/{id}/download", Needs::kSession, Action::kDownload, false},
    {RouteId::kBookmark, "POST", "/api/calls/{id}/bookmark", Needs::kChange, Action::kBookmark, false},
    {RouteId::kProtect, "POST", "/api/calls/{id}/protect", Needs::kChange, Action::kProtect, false},
    {RouteId::kUnprotect, "POST", "/api/calls/{id}/unprotect", Needs::kChange, Action::kProtect, false},
    {RouteId::kRecorders, "GET", "/api/recorders", Needs::kSession, Action::kSeeRecorders, false},
};

// An asset's name: letters, digits, '-' and one '.' before its extension; never a path.
bool AssetName(std::string_view name) {
    if (name.empty() || name.size() > 64 || name.front() == '.') return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) {
                           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                  c == '-' || c == '.';
                       }) &&
           name.find("..") == std::string_view::npos;
}

std::optional<int64_t> CallId(std::string_view text) {
    if (text.empty() || text.size() > 18 || text.front() == '0') return std::nullopt;
    int64_t id = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        id = id * 10 + (c - '0');
    }
    return id;
}

// Does `path` fit `pattern`? Fills the id or name the pattern holds.
bool Fits(std::string_view pattern, std::string_view path, RouteMatch& match) {
    const std::size_t hole = pattern.find('{');
    if (hole == std::string_view::npos) return pattern == path;
    const std::size_t close = pattern.find('}', hole);
    const std::string_view before = pattern.substr(0, hole);
    const std::string_view after = pattern.substr(close + 1);
    if (path.size() < before.size() + after.size() + 1 || path.substr(0, before.size()) != before ||
        path.substr(path.size() - after.size()) != after) {
        return false;
    }
    const std::string_view value = path.substr(before.size(), path.size() - before.size() - after.size());
    if (value.find('/') != std::string_view::npos) return false;
    if (pattern.substr(hole, close - hole + 1) == "{id}") {
        const auto id = CallId(value);
        if (!id) return false;
        match.callId = *id;
        return true;
    }
    if (!AssetName(value)) return false;
    match.assetName = std::string(value);
    return true;
}

}  // namespace

std::span<const RouteSpec> RouteTable() { return kRoutes; }

RouteMatch MatchRoute(std::string_view method, std::string_view path) {
    const std::string_view asked = method == "HEAD" ? std::string_view("GET") : method;
    RouteMatch match;
    for (const RouteSpec& route : kRoutes) {
        RouteMatch candidate;
        if (!Fits(route.pattern, path, candidate)) continue;
        if (route.method == asked) {
            candidate.outcome = RouteMatch::Outcome::kFound;
            candidate.route = &route;
            return candidate;
        }
        match.outcome = RouteMatch::Outcome::kWrongMethod;
        if (!match.allow.empty()) match.allow += ", ";
        match.allow += std::string(route.method) + (route.method == "GET" ? ", HEAD" : "");
    }
    return match;
}

}  // namespace pell::web
