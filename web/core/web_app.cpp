#include "web/core/web_app.h"

#include <ctime>
#include <nlohmann/json.hpp>

#include "common/core/escape_text.h"
#include "index/core/call_record.h"
#include "player/catalogue/recording_tag.h"
#include "web/core/byte_range.h"
#include "web/core/recorder_status.h"

namespace pell::web {
namespace {

using Json = nlohmann::json;

constexpr const char* kSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; media-src 'self'; "
    "connect-src 'self'; form-action 'self'; frame-ancestors 'none'; base-uri 'none'";
constexpr std::size_t kMaxNameBytes = 64;
constexpr std::size_t kMaxPasswordBytes = 1024;

std::string Dump(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

WebResponse JsonResponse(int status, const Json& json) {
    WebResponse response;
    response.status = status;
    response.contentType = "application/json; charset=utf-8";
    response.body = Dump(json);
    return response;
}

WebResponse Problem(int status, const std::string& message) { return JsonResponse(status, Json{{"error", message}}); }

WebResponse Redirect(const std::string& to) {
    WebResponse response;
    response.status = 303;
    response.Header("Location", to);
    return response;
}

// Names from requests on their way into the log: one line, printable, short.
std::string Logged(std::string_view text) { return EscapeUnprintable(text.substr(0, kMaxNameBytes)); }

std::string LocalText(int64_t seconds) {
    const auto when = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) return {};
    char text[32];
    return std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local) > 0 ? text : "";
}

Json Moment(const std::optional<int64_t>& seconds) { return seconds ? Json(*seconds) : Json(nullptr); }

Json MomentText(const std::optional<int64_t>& seconds) { return seconds ? Json(LocalText(*seconds)) : Json(nullptr); }

const char* DirectionName(CallDirection direction) {
    switch (direction) {
        case CallDirection::kIncoming:
            return "in";
        case CallDirection::kOutgoing:
            return "out";
        case CallDirection::kUnknown:
            break;
    }
    return "unknown";
}

Json CallJson(const CallRecord& call, const ShownHold& hold) {
    const RecordRow row = ToRecordRow(call, 0);
    const CallFacts& f = call.facts;
    return Json{{"id", call.id},
                {"line", row.channel},
                {"start", f.timesKnown ? Json(f.startTime) : Json(nullptr)},
                {"date", row.date},
                {"duration", f.durationSeconds},
                {"durationText", row.duration},
                {"number", f.number},
                {"direction", DirectionName(f.direction)},
                {"bookmark", f.bookmark},
                {"played", f.played},
                {"protected", hold.isProtected},
                {"holdProblem", hold.problem},
                {"readable", f.readable}};
}

int StatusFor(const StoreStatus& status) { return status.code == StoreStatus::Code::kInvalid ? 400 : 503; }

std::string IndexProblem(const StoreStatus& status) { return "The call index cannot answer: " + status.message; }

const char* PresenceName(RecorderStatus::Presence presence) {
    switch (presence) {
        case RecorderStatus::Presence::kAbsent:
            return "absent";
        case RecorderStatus::Presence::kUnreadable:
            return "unreadable";
        case RecorderStatus::Presence::kBroken:
            return "broken";
        case RecorderStatus::Presence::kPresent:
            break;
    }
    return "present";
}

Json RecorderJson(const std::string& folder, const RecorderStatus& status) {
    Json lines = Json::array();
    for (const LineStatus& line : status.lines) {
        lines.push_back(Json{{"line", line.line},
                             {"description", line.description},
                             {"state", line.state},
                             {"callStart", Moment(line.callStart)},
                             {"callStartText", MomentText(line.callStart)},
                             {"lastCallTime", Moment(line.lastCallTime)},
                             {"lastCallText", MomentText(line.lastCallTime)},
                             {"lastCallNumber", line.lastCallNumber},
                             {"lastProblem", line.lastProblem},
                             {"lastProblemText", MomentText(line.lastProblemTime)}});
    }
    Json alarms = Json::array();
    for (const RecorderAlarm& alarm : status.alarms) {
        alarms.push_back(Json{{"condition", alarm.condition},
                              {"message", alarm.message},
                              {"since", Moment(alarm.since)},
                              {"sinceText", MomentText(alarm.since)}});
    }
    return Json{{"folder", folder},
                {"presence", PresenceName(status.presence)},
                {"problem", status.problem},
                {"version", status.version},
                {"state", status.state},
                {"written", Moment(status.written)},
                {"writtenText", MomentText(status.written)},
                {"stale", status.stale},
                {"boxPresent", status.boxPresent ? Json(*status.boxPresent) : Json(nullptr)},
                {"soundPresent", status.soundPresent ? Json(*status.soundPresent) : Json(nullptr)},
                {"diskFreeBytes", status.diskFreeBytes ? Json(*status.diskFreeBytes) : Json(nullptr)},
                {"lastProblem", status.lastProblem},
                {"lastProblemText", MomentText(status.lastProblemTime)},
                {"lines", lines},
                {"alarms", alarms}};
}

void Harden(WebResponse& response) {
    response.Header("Content-Security-Policy", kSecurityPolicy);
    response.Header("X-Content-Type-Options", "nosniff");
    response.Header("X-Frame-Options", "DENY");
    response.Header("Referrer-Policy", "no-referrer");
    response.Header("Cross-Origin-Opener-Policy", "same-origin");
    response.Header("Cross-Origin-Resource-Policy", "same-origin");
    if (response.FindHeader("Cache-Control") == nullptr) response.Header("Cache-Control", "no-store");
}

}  // namespace

std::string WebApp::CookieName(bool secure) { return secure ? "__Host-pell_session" : "pell_session"; }

WebApp::WebApp(WebAppPorts ports, WebAppSettings settings)
    : ports_(ports),
      settings_(std::move(settings)),
      sessions_(ports.clock, ports.random, settings_.sessions),
      throttle_(ports.clock, settings_.throttle),
      playClock_(ports.clock) {
    decoyHash_ = ports_.passwords.Hash(RandomHex(ports_.random, 16));
}

WebResponse WebApp::Handle(const WebRequest& request) {
    WebResponse response = Route(request);
    Harden(response);
    return response;
}

void WebApp::Housekeeping() {
    sessions_.Prune();
    std::lock_guard lock(playsMutex_);
    const int64_t now = playClock_.Now();
    std::erase_if(plays_, [&](const auto& item) { return now - item.second >= settings_.playRepeatMs; });
}

bool WebApp::SameOrigin(const WebRequest& request) const {
    // Browsers name the page a change comes from; a client that names none is no browser page.
    if (request.origin.empty()) return request.fetchSite.empty() || request.fetchSite == "same-origin";
    return request.origin == std::string(request.secure ? "https://" : "http://") + request.host;
}

std::optional<WebApp::Caller> WebApp::SessionOf(const WebRequest& request) {
    const std::string token = CookieValue(request.cookie, CookieName(request.secure));
    if (token.empty()) return std::nullopt;
    std::optional<Session> session = sessions_.Use(token);
    if (!session) return std::nullopt;
    const std::shared_ptr<const UserList> users = ports_.users.Users();
    const WebUser* user = users ? users->Find(session->userName) : nullptr;
    if (user == nullptr || user->passwordHash != session->userStamp) {
        // Removed, or a new password: every session of the old account ends.
        if (users) sessions_.EndUser(session->userName);
        return std::nullopt;
    }
    return Caller{std::move(*session), *user};
}

WebResponse WebApp::Route(const WebRequest& request) {
    const RouteMatch match = MatchRoute(request.method, request.path);
    const bool api = request.path.rfind("/api/", 0) == 0;
    if (match.outcome == RouteMatch::Outcome::kNoSuchPath) {
        if (api) return Problem(404, "No such address.");
        WebResponse response;
        response.status = 404;
        response.contentType = "text/plain; charset=utf-8";
        response.body = "Not found.\n";
        return response;
    }
    if (match.outcome == RouteMatch::Outcome::kWrongMethod) {
        WebResponse response = Problem(405, "This address does not take " + Logged(request.method) + ".");
        response.Header("Allow", match.allow);
        return response;
    }
    const RouteSpec& route = *match.route;
    if (api && request.fetchSite == "cross-site") return Problem(403, "Requests from other sites are refused.");
    std::optional<Caller> caller;
    if (route.needs != Needs::kNothing || route.id == RouteId::kHome) caller = SessionOf(request);
    if (route.needs != Needs::kNothing && !caller) {
        if (route.page) return Redirect("/login");
        return Problem(401, "Log in first.");
    }
    if (route.needs == Needs::kChange &&
        (!SameOrigin(request) || !SessionStore::SameToken(request.csrfToken, caller->session.csrfToken))) {
        ports_.log.Write("refused a change without its form token from " + Logged(request.remoteAddress) + " (" +
                         caller->user.name + ")");
        return Problem(403, "The form token is missing or wrong: reload the page.");
    }
    if (route.action && !RoleMay(caller->user.role, *route.action)) {
        return Problem(403, "Your account may not do this.");
    }
    switch (route.id) {
        case RouteId::kHome:
        case RouteId::kLoginPage:
        case RouteId::kCallsPage:
        case RouteId::kRecordersPage:
            return Page(request, route, caller ? &*caller : nullptr);
        case RouteId::kAsset:
            return Asset(request, match.assetName);
        case RouteId::kLogin:
            return Login(request);
        case RouteId::kLogout:
            return Logout(request, *caller);
        case RouteId::kSessionInfo:
            return SessionInfo(*caller);
        case RouteId::kLines:
            return Lines(*caller);
        case RouteId::kSearch:
            return Search(request, *caller);
        case RouteId::kCall:
            return OneCall(*caller, match.callId);
        case RouteId::kAudio:
            return Stream(request, *caller, match.callId, false);
        case RouteId::kDownload:
            return Stream(request, *caller, match.callId, true);
        case RouteId::kBookmark:
            return Bookmark(request, *caller, match.callId);
        case RouteId::kProtect:
            return Protect(*caller, match.callId, true);
        case RouteId::kUnprotect:
            return Protect(*caller, match.callId, false);
        case RouteId::kRecorders:
            return Recorders(*caller);
    }
    return Problem(500, "Unrouted address.");
}

WebResponse WebApp::Page(const WebRequest& request, const RouteSpec& route, const Caller* caller) {
    if (route.id == RouteId::kHome) return Redirect(caller != nullptr ? "/calls" : "/login");
    const std::optional<StaticAsset> page =
        ports_.assets.Find(route.id == RouteId::kLoginPage ? "login.html" : "app.html");
    if (!page) return Problem(500, "The program was built without its pages.");
    WebResponse response;
    response.contentType = std::string(page->contentType);
    if (request.method != "HEAD") response.body = std::string(page->bytes);
    return response;
}

WebResponse WebApp::Asset(const WebRequest& request, const std::string& name) {
    const std::optional<StaticAsset> asset = ports_.assets.Find(name);
    if (!asset || name.ends_with(".html")) {
        WebResponse response;
        response.status = 404;
        response.contentType = "text/plain; charset=utf-8";
        response.body = "Not found.\n";
        return response;
    }
    WebResponse response;
    response.Header("ETag", std::string(asset->etag));
    response.Header("Cache-Control", "no-cache");
    if (!request.ifNoneMatch.empty() && request.ifNoneMatch == asset->etag) {
        response.status = 304;
        return response;
    }
    response.contentType = std::string(asset->contentType);
    response.body = std::string(asset->bytes);
    return response;
}

std::optional<bool> WebApp::VerifyPassword(const WebUser* user, const std::string& password) {
    {
        std::unique_lock lock(loginMutex_);
        if (!loginTurn_.wait_for(lock, std::chrono::milliseconds(settings_.loginQueueMs),
                                 [&] { return loginsRunning_ < settings_.maxConcurrentLogins; })) {
            return std::nullopt;
        }
        ++loginsRunning_;
    }
    bool ok = false;
    if (user != nullptr && !user->passwordHash.empty()) {
        ok = ports_.passwords.Verify(user->passwordHash, password);
    } else {
        ports_.passwords.Verify(decoyHash_, password);
    }
    {
        std::lock_guard lock(loginMutex_);
        --loginsRunning_;
    }
    loginTurn_.notify_one();
    return ok;
}

WebResponse WebApp::Login(const WebRequest& request) {
    if (!SameOrigin(request)) return Problem(403, "Log-ins from other sites are refused.");
    const std::string* typedName = request.Param("name");
    const std::string* password = request.Param("password");
    if (typedName == nullptr || password == nullptr) return Problem(400, "Give a name and a password.");
    if (typedName->size() > kMaxNameBytes || password->size() > kMaxPasswordBytes) {
        return Problem(400, "That name or password is too long.");
    }
    const std::string name = CanonicalUserName(*typedName);
    const std::string address = request.remoteAddress;
    const ThrottleVerdict verdict = throttle_.Check(name, address);
    if (!verdict.allowed) {
        const int64_t seconds = (verdict.retryAfterMs + 999) / 1000;
        ports_.log.Write("log-in of \"" + Logged(name) + "\" from " + Logged(address) + " held back for " +
                         std::to_string(seconds) + " s after repeated failures");
        WebResponse response = JsonResponse(
            429, Json{{"error", "Too many failed log-ins: try again in " + std::to_string(seconds) + " seconds."},
                      {"retryAfter", seconds}});
        response.Header("Retry-After", std::to_string(seconds));
        return response;
    }
    const std::shared_ptr<const UserList> users = ports_.users.Users();
    if (!users) return Problem(503, "The users file cannot be read: see the server's log.");
    const WebUser* user = users->Find(name);
    const std::optional<bool> ok = VerifyPassword(user, *password);
    if (!ok) {
        WebResponse response = Problem(503, "Too many log-ins at once: try again in a moment.");
        response.Header("Retry-After", "2");
        return response;
    }
    if (!*ok) {
        const int inRow = throttle_.Failed(name, address);
        ports_.log.Write("failed log-in for \"" + Logged(name) + "\" from " + Logged(address) + " (" +
                         std::to_string(inRow) + " in a row)");
        return Problem(401, "Wrong name or password.");
    }
    const int failures = throttle_.Succeeded(name);
    const Session session = sessions_.Create(user->name, user->passwordHash);
    ports_.log.Write(user->name + " logged in from " + Logged(address));
    WebResponse response = JsonResponse(200, Json{{"user", user->name},
                                                  {"role", RoleName(user->role)},
                                                  {"csrf", session.csrfToken},
                                                  {"failedAttempts", failures}});
    response.Header("Set-Cookie", CookieName(request.secure) + "=" + session.token +
                                      "; Path=/; HttpOnly; SameSite=Strict" + (request.secure ? "; Secure" : ""));
    return response;
}

WebResponse WebApp::Logout(const WebRequest& request, const Caller& caller) {
    sessions_.End(caller.session.token);
    WebResponse response = JsonResponse(200, Json::object());
    response.Header("Set-Cookie", CookieName(request.secure) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict" +
                                      (request.secure ? "; Secure" : ""));
    return response;
}

WebResponse WebApp::SessionInfo(const Caller& caller) {
    const bool holds = RoleMay(caller.user.role, Action::kProtect);
    Json lines = Json::array();
    if (caller.user.role == Role::kListener) {
        for (const std::string& line : caller.user.lines) lines.push_back(line);
    }
    return JsonResponse(200, Json{{"user", caller.user.name},
                                  {"role", RoleName(caller.user.role)},
                                  {"csrf", caller.session.csrfToken},
                                  {"lines", lines},
                                  {"mayProtect", holds}});
}

WebResponse WebApp::Lines(const Caller& caller) {
    const auto lines = ports_.calls.Lines(ports_.roots.Roots());
    if (!lines.Ok()) return Problem(StatusFor(lines.status), IndexProblem(lines.status));
    Json out = Json::array();
    for (const std::string& line : lines.value) {
        if (LineAllowed(caller.user, line)) out.push_back(line);
    }
    return JsonResponse(200, Json{{"lines", out}});
}

WebResponse WebApp::Search(const WebRequest& request, const Caller& caller) {
    SearchParse parse = ParseSearchParameters(request.params);
    if (!parse.error.empty()) return Problem(400, parse.error);
    SearchRequest& search = parse.request;
    search.criteria.lines = SearchLines(caller.user, search.criteria.lines);
    const std::vector<std::string> roots = ports_.roots.Roots();
    if (roots.empty()) return JsonResponse(200, Json{{"calls", Json::array()}, {"truncated", false}, {"roots", 0}});
    const auto found = ports_.calls.Search(roots, search.criteria, search.order, search.limit);
    if (!found.Ok())
        return Problem(StatusFor(found.status), found.status.code == StoreStatus::Code::kInvalid
                                                    ? found.status.message
                                                    : IndexProblem(found.status));
    Json calls = Json::array();
    for (const CallRecord& call : found.value.calls) {
        // The store already kept to the permitted lines; the same rule again costs nothing.
        if (!MayReachCall(caller.user, call, roots)) continue;
        calls.push_back(CallJson(call, HoldOf(call)));
    }
    return JsonResponse(200, Json{{"calls", calls}, {"truncated", found.value.truncated}, {"roots", roots.size()}});
}

std::variant<WebApp::Reached, WebResponse> WebApp::Reach(const Caller& caller, int64_t id) {
    const auto found = ports_.calls.Find(id);
    if (!found.Ok()) return Problem(StatusFor(found.status), IndexProblem(found.status));
    std::vector<std::string> roots = ports_.roots.Roots();
    if (!found.value || !MayReachCall(caller.user, *found.value, roots)) {
        if (found.value) {
            ports_.log.Write(caller.user.name + " asked for call " + std::to_string(id) +
                             ", which is outside their lines or record folders");
        }
        return Problem(404, "No such call.");
    }
    return Reached{*found.value, std::move(roots)};
}

ShownHold WebApp::HoldOf(const CallRecord& call) {
    const HoldCheck check = ports_.custody.Hold(call.Path());
    return {check.state != HoldState::kFree, check.reason};
}

CustodyStatus WebApp::Audit(const Caller& caller, const CallRecord& call, AuditAction action, std::string detail) {
    return ports_.custody.AppendAudit(
        call.root, AuditRecord{caller.user.name, kProgramName, action, call.Path(), std::move(detail)});
}

WebResponse WebApp::OneCall(const Caller& caller, int64_t id) {
    auto reached = Reach(caller, id);
    if (auto* refusal = std::get_if<WebResponse>(&reached)) return std::move(*refusal);
    const CallRecord& call = std::get<Reached>(reached).call;
    return JsonResponse(200, CallJson(call, HoldOf(call)));
}

bool WebApp::FirstPlay(const Session& session, int64_t id) {
    std::lock_guard lock(playsMutex_);
    const int64_t now = playClock_.Now();
    auto [at, added] = plays_.try_emplace({session.token.substr(0, 32), id}, now);
    if (!added && now - at->second < settings_.playRepeatMs) return false;
    at->second = now;
    return true;
}

void WebApp::ForgetPlay(const Session& session, int64_t id) {
    std::lock_guard lock(playsMutex_);
    plays_.erase({session.token.substr(0, 32), id});
}

WebResponse WebApp::Stream(const WebRequest& request, const Caller& caller, int64_t id, bool download) {
    auto reached = Reach(caller, id);
    if (auto* refusal = std::get_if<WebResponse>(&reached)) return std::move(*refusal);
    const CallRecord& call = std::get<Reached>(reached).call;
    OpenResult opened = ports_.recordings.Open(call);
    if (!opened.recording) {
        if (opened.problem == RecordingProblem::kNotPlain) {
            ports_.log.Write("refused to serve " + EscapeUnprintable(call.Path()) + ": " + opened.reason);
        }
        if (opened.problem == RecordingProblem::kUnreadable) {
            return Problem(500, "The recording cannot be read: " + opened.reason);
        }
        return Problem(404, "The recording is no longer on disk.");
    }
    const int64_t size = opened.recording->Size();
    const ByteRange range = ParseByteRange(request.range, size);
    if (range.kind == ByteRange::Kind::kUnsatisfiable) {
        WebResponse response = Problem(416, "That range lies past the end of the recording.");
        response.Header("Content-Range", ContentRange(range, size));
        return response;
    }
    const bool fromStart = range.kind == ByteRange::Kind::kWhole || range.first == 0;
    if (request.method == "GET" && fromStart) {
        // Nothing is played or downloaded without its entry in the record folder's audit trail.
        if (download || FirstPlay(caller.session, id)) {
            // A download is a copy leaving the record folder.
            const CustodyStatus audited = download ? Audit(caller, call, AuditAction::kCopy, "download")
                                                   : Audit(caller, call, AuditAction::kPlay, "");
            if (!audited.ok) {
                if (!download) ForgetPlay(caller.session, id);
                ports_.log.Write("refused " + std::string(download ? "a download" : "a play") + " of " +
                                 EscapeUnprintable(call.Path()) +
                                 ": the audit trail cannot be written: " + audited.reason);
                return Problem(503,
                               "The audit trail of this record folder cannot be written, so the call is not "
                               "served: " +
                                   audited.reason);
            }
            if (!download) {
                const TagWrite marked = ports_.recordings.MarkPlayed(call);
                const StoreStatus noted = marked.problem == RecordingProblem::kNone
                                              ? ports_.calls.NoteChanged(call.root, call.Path())
                                              : StoreStatus::Success();
                if (marked.problem != RecordingProblem::kNone || !noted.Ok()) {
                    ports_.log.Write("played mark of " + EscapeUnprintable(call.Path()) +
                                     " not kept: " + (marked.reason.empty() ? noted.message : marked.reason));
                }
            }
        }
    }
    WebResponse response;
    response.contentType = "audio/mpeg";
    response.Header("Accept-Ranges", "bytes");
    response.Header("Cache-Control", "private, no-store");
    if (download) {
        const RecordRow row = ToRecordRow(call, 0);
        response.Header("Content-Disposition",
                        "attachment; filename=\"" + DownloadName(row.channel, row.date, call.facts.number) + "\"");
    }
    response.file = std::move(opened.recording);
    if (range.kind == ByteRange::Kind::kPart) {
        response.status = 206;
        response.Header("Content-Range", ContentRange(range, size));
        response.fileOffset = range.first;
        response.fileLength = range.Length();
    } else {
        response.fileOffset = 0;
        response.fileLength = size;
    }
    return response;
}

WebResponse WebApp::Bookmark(const WebRequest& request, const Caller& caller, int64_t id) {
    const std::string* text = request.Param("text");
    if (text == nullptr) return Problem(400, "Give the bookmark's text.");
    if (const std::string problem = BookmarkProblem(*text); !problem.empty()) return Problem(400, problem);
    auto reached = Reach(caller, id);
    if (auto* refusal = std::get_if<WebResponse>(&reached)) return std::move(*refusal);
    CallRecord call = std::get<Reached>(reached).call;
    const TagWrite written = ports_.recordings.StoreBookmark(call, *text);
    switch (written.problem) {
        case RecordingProblem::kNone:
            break;
        case RecordingProblem::kNoTag:
            return Problem(409, "This recording has no tag to hold a bookmark.");
        case RecordingProblem::kMissing:
        case RecordingProblem::kNotPlain:
            return Problem(404, "The recording is no longer on disk.");
        case RecordingProblem::kUnreadable:
            return Problem(500, "The bookmark could not be written: " + written.reason);
    }
    call.facts.bookmark = BookmarkAsStored(*text);
    if (const StoreStatus noted = ports_.calls.NoteChanged(call.root, call.Path()); !noted.Ok()) {
        ports_.log.Write("the index missed a bookmark of " + EscapeUnprintable(call.Path()) + ": " + noted.message);
    }
    // The trail says that a bookmark changed, never what it says (it may hold a name or a number).
    const CustodyStatus audited = Audit(caller, call, AuditAction::kBookmark, text->empty() ? "cleared" : "set");
    if (!audited.ok) {
        ports_.log.Write("bookmark of " + EscapeUnprintable(call.Path()) +
                         " saved without its audit entry: " + audited.reason);
        return Problem(500, "The bookmark was saved, but the audit trail could not be written: " + audited.reason);
    }
    if (const auto fresh = ports_.calls.Find(id); fresh.Ok() && fresh.value) call = *fresh.value;
    return JsonResponse(200, CallJson(call, HoldOf(call)));
}

WebResponse WebApp::Protect(const Caller& caller, int64_t id, bool isProtected) {
    auto reached = Reach(caller, id);
    if (auto* refusal = std::get_if<WebResponse>(&reached)) return std::move(*refusal);
    CallRecord call = std::get<Reached>(reached).call;
    const HoldOutcome held = ports_.custody.SetProtected(call.Path(), isProtected, caller.user.name);
    if (held.kind == HoldOutcome::Kind::kFailed) {
        ports_.log.Write(caller.user.name + " could not " + (isProtected ? "protect " : "unprotect ") +
                         EscapeUnprintable(call.Path()) + ": " + held.reason);
        return Problem(500, "The hold could not be changed: " + held.reason);
    }
    if (held.kind != HoldOutcome::Kind::kUnchanged) {
        if (const StoreStatus noted = ports_.calls.NoteChanged(call.root, call.Path()); !noted.Ok()) {
            ports_.log.Write("the index missed a hold change of " + EscapeUnprintable(call.Path()) + ": " +
                             noted.message);
        }
    }
    if (held.kind == HoldOutcome::Kind::kUnrecorded) {
        ports_.log.Write("hold change of " + EscapeUnprintable(call.Path()) +
                         " made without its audit entry: " + held.reason);
        return Problem(500, "The hold was changed, but the audit trail could not be written: " + held.reason);
    }
    if (const auto fresh = ports_.calls.Find(id); fresh.Ok() && fresh.value) call = *fresh.value;
    return JsonResponse(200, CallJson(call, HoldOf(call)));
}

WebResponse WebApp::Recorders(const Caller& caller) {
    const bool everything = RoleMay(caller.user.role, Action::kSeeAllRecorders);
    const LocalDateTime nowLocal = ports_.clock.Now();
    const int64_t now = static_cast<int64_t>(ToTimeT(nowLocal));
    Json out = Json::array();
    for (const std::string& folder : settings_.recorderFolders) {
        const std::vector<std::string> names = ports_.recorders.LineNames(folder);
        const auto mine = [&](int line) {
            const auto index = static_cast<std::size_t>(line - 1);
            return everything || (line >= 1 && index < names.size() && !names[index].empty() &&
                                  LineAllowed(caller.user, names[index]));
        };
        if (!everything && !mine(1) && !mine(2)) continue;
        const StatusFile file = ports_.recorders.ReadStatus(folder);
        RecorderStatus status;
        if (!file.error.empty()) {
            status.presence = RecorderStatus::Presence::kUnreadable;
            status.problem = file.error;
        } else if (file.exists) {
            status = ParseRecorderStatus(file.text, file.modifiedSeconds, now);
        }
        for (LineStatus& line : status.lines) {
            const auto index = static_cast<std::size_t>(line.line - 1);
            if (line.line >= 1 && index < names.size()) line.description = names[index];
        }
        std::erase_if(status.lines, [&](const LineStatus& line) { return !mine(line.line); });
        out.push_back(RecorderJson(everything ? folder : std::string{}, status));
    }
    return JsonResponse(200, Json{{"recorders", out}, {"now", now}});
}

}  // namespace pell::web
