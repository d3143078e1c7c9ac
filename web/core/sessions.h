// Logged-in browsers. A session is a random token in an HttpOnly, SameSite=Strict cookie and a
// second random token that every change must carry (the CSRF token, which a page of another
// site cannot read). A session ends after a time without use, after a longest life whatever
// its use, at log-out, and when its user's account changes (password, role, removal): the
// account's password hash at log-in is kept and compared on every request.
//
// Tokens are 32 random bytes as 64 hex digits; the first 32 digits find the session, the whole
// token is compared in constant time. Sessions live in memory: a restart logs everyone out.
// Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "common/core/clock.h"
#include "web/core/monotonic_ms.h"
#include "web/core/ports.h"

namespace pell::web {

struct SessionLimits {
    int64_t idleMs = 30LL * 60 * 1000;        // no request for this long ends it
    int64_t lifetimeMs = 12LL * 3600 * 1000;  // log in again after this long, whatever the use
    std::size_t maxSessions = 10'000;         // the oldest go first beyond this
    std::size_t maxPerUser = 20;
};

struct Session {
    std::string token;
    std::string csrfToken;
    std::string userName;
    std::string userStamp;  // the account's password hash at log-in
};

class SessionStore {
public:
    SessionStore(Clock& clock, RandomSource& random, SessionLimits limits = {});

    Session Create(const std::string& userName, const std::string& userStamp);
    // The live session of a cookie's token, its idle time restarted; nothing when unknown or over.
    std::optional<Session> Use(std::string_view token);
    void End(std::string_view token);
    // Ends every session of a user (removed, or its password changed).
    void EndUser(std::string_view userName);
    // Drops expired sessions; the server calls it every minute.
    void Prune();
    std::size_t Count();

    static bool SameToken(std::string_view a, std::string_view b);

private:
    struct Entry {
        Session session;
        int64_t createdMs = 0;
        int64_t usedMs = 0;
    };
    bool Expired(const Entry& entry, int64_t now) const;
    void DropOldest(const std::string* userName);
    std::string NewToken();

    std::mutex mutex_;
    MonotonicMs clock_;
    RandomSource& random_;
    SessionLimits limits_;
    std::map<std::string, Entry, std::less<>> sessions_;  // by the token's first half
};

// Hex digits of random bytes.
std::string RandomHex(RandomSource& random, std::size_t bytes);

}  // namespace pell::web
