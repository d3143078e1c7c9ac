// Failed log-ins slowed and counted. Failures are counted per account name and per client
// address; after a few free ones each further try must wait, the wait doubling with every
// failure up to a ceiling, so guessing a password takes years while a user who mistyped twice
// notices nothing. A try that must wait is refused before the password is even checked, so
// parallel connections gain nothing. A success clears its name's count (and reports how many
// failures it cleared, for the user to see); an address's count fades after an hour of quiet.
// Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "common/core/clock.h"
#include "web/core/monotonic_ms.h"

namespace pell::web {

struct ThrottlePolicy {
    int freeFailures = 5;               // failures before any wait
    int64_t firstWaitMs = 1000;         // after the first failure beyond the free ones
    int64_t maxWaitMs = 15 * 60'000;    // the wait never grows beyond this
    int64_t forgetAfterMs = 3'600'000;  // a key with no failure for this long starts again
};

struct ThrottleLimits {
    ThrottlePolicy perName{};
    // One office behind one address shares it: more free failures there.
    ThrottlePolicy perAddress{20, 1000, 15 * 60'000, 3'600'000};
    std::size_t maxKeys = 20'000;  // the stalest are forgotten beyond this
};

struct ThrottleVerdict {
    bool allowed = true;
    int64_t retryAfterMs = 0;  // when refused
};

class LoginThrottle {
public:
    explicit LoginThrottle(Clock& clock, ThrottleLimits limits = {});

    // May this name try from this address now?
    ThrottleVerdict Check(std::string_view name, std::string_view address);
    // Records a failure; returns the name's failures in a row, for the log.
    int Failed(std::string_view name, std::string_view address);
    // Clears the name's failures; returns how many there were.
    int Succeeded(std::string_view name);

private:
    struct Count {
        int failures = 0;
        int64_t lastFailureMs = 0;
    };
    int64_t WaitLeft(const Count& count, const ThrottlePolicy& policy, int64_t now) const;
    Count& Entry(const std::string& key, int64_t now, const ThrottlePolicy& policy);
    void Forget(int64_t now);

    std::mutex mutex_;
    MonotonicMs clock_;
    ThrottleLimits limits_;
    std::map<std::string, Count, std::less<>> counts_;  // "n:" + name, "a:" + address
};

}  // namespace pell::web
