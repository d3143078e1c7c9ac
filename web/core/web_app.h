// pell-web's decisions for every request: which route, whose session, whether the form token
// is right, whether the role and the call's line allow it, what goes into the audit trail, and
// the answer. The HTTP adapter only copies a request in and the response out, so everything a
// browser or an attacker can send is tested here and in the HTTP tests alike.
//
// Called from the server's request threads at once; every member is thread-safe.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/core/clock.h"
#include "web/core/login_throttle.h"
#include "web/core/ports.h"
#include "web/core/routes.h"
#include "web/core/sessions.h"
#include "web/core/web_exchange.h"

namespace pell::web {

struct WebAppPorts {
    Clock& clock;
    RandomSource& random;
    PasswordHasher& passwords;
    UsersSource& users;
    RootsSource& roots;
    CallsPort& calls;
    RecordingFiles& recordings;
    CustodyPort& custody;
    RecorderFiles& recorders;
    AssetSource& assets;
    EventLog& log;
};

struct WebAppSettings {
    SessionLimits sessions;
    ThrottleLimits throttle;
    std::vector<std::string> recorderFolders;  // program folders whose status.json is shown
    int maxConcurrentLogins = 2;               // password checks at once (each takes tens of MiB)
    int64_t loginQueueMs = 10'000;             // a log-in waits this long for its turn, then 503
    int64_t playRepeatMs = 10 * 60'000;        // one play entry per session and call within this
};

inline constexpr const char* kProgramName = "pell-web";

// The hold shown for a call: its day folder's hold list, which a program other than this
// server may have changed since the index read it. A list that cannot be read counts as a
// hold, as it does for every deleter.
struct ShownHold {
    bool isProtected = false;
    std::string problem;  // why the list cannot be read
};

class WebApp {
public:
    WebApp(WebAppPorts ports, WebAppSettings settings);

    WebResponse Handle(const WebRequest& request);
    // Ends expired sessions and forgets old play marks; the server calls it every minute.
    void Housekeeping();

    SessionStore& Sessions() { return sessions_; }

    // The session cookie's name: "__Host-" in front under TLS, so no other site can set it.
    static std::string CookieName(bool secure);

private:
    struct Caller {
        Session session;
        WebUser user;
    };
    struct Reached {
        CallRecord call;
        std::vector<std::string> roots;
    };
    WebResponse Route(const WebRequest& request);
    WebResponse Page(const WebRequest& request, const RouteSpec& route, const Caller* caller);
    WebResponse Asset(const WebRequest& request, const std::string& name);
    WebResponse Login(const WebRequest& request);
    WebResponse Logout(const WebRequest& request, const Caller& caller);
    WebResponse SessionInfo(const Caller& caller);
    WebResponse Lines(const Caller& caller);
    WebResponse Search(const WebRequest& request, const Caller& caller);
    WebResponse OneCall(const Caller& caller, int64_t id);
    WebResponse Stream(const WebRequest& request, const Caller& caller, int64_t id, bool download);
    WebResponse Bookmark(const WebRequest& request, const Caller& caller, int64_t id);
    WebResponse Protect(const Caller& caller, int64_t id, bool isProtected);
    WebResponse Recorders(const Caller& caller);

    std::optional<Caller> SessionOf(const WebRequest& request);
    bool SameOrigin(const WebRequest& request) const;
    // The call `id` if it exists, lies in a served root and on the caller's lines; otherwise
    // the response to send (404 either way, so a guessed id tells nothing).
    std::variant<Reached, WebResponse> Reach(const Caller& caller, int64_t id);
    bool FirstPlay(const Session& session, int64_t id);
    // Nothing when no turn came in time (too many log-ins at once).
    std::optional<bool> VerifyPassword(const WebUser* user, const std::string& password);
    void ForgetPlay(const Session& session, int64_t id);
    // Whether the call is protected now, from its day folder's hold list.
    ShownHold HoldOf(const CallRecord& call);
    CustodyStatus Audit(const Caller& caller, const CallRecord& call, AuditAction action, std::string detail);

    WebAppPorts ports_;
    WebAppSettings settings_;
    SessionStore sessions_;
    LoginThrottle throttle_;

    std::mutex loginMutex_;
    std::condition_variable loginTurn_;
    int loginsRunning_ = 0;
    std::string decoyHash_;  // checked for unknown names, so they take as long as known ones

    std::mutex playsMutex_;
    MonotonicMs playClock_;
    std::map<std::pair<std::string, int64_t>, int64_t> plays_;  // (session, call) -> last play
};

}  // namespace pell::web
