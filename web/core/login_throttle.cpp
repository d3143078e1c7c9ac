#include "web/core/login_throttle.h"

#include <algorithm>

namespace pell::web {
namespace {

std::string NameKey(std::string_view name) { return "n:" + std::string(name); }
std::string AddressKey(std::string_view address) { return "a:" + std::string(address); }

}  // namespace

LoginThrottle::LoginThrottle(Clock& clock, ThrottleLimits limits) : clock_(clock), limits_(limits) {}

int64_t LoginThrottle::WaitLeft(const Count& count, const ThrottlePolicy& policy, int64_t now) const {
    if (now - count.lastFailureMs >= policy.forgetAfterMs) return 0;
    const int beyond = count.failures - policy.freeFailures;
    if (beyond <= 0) return 0;
    int64_t wait = policy.firstWaitMs;
    for (int i = 1; i < beyond && wait < policy.maxWaitMs; ++i) wait *= 2;
    wait = std::min(wait, policy.maxWaitMs);
    return std::max<int64_t>(0, count.lastFailureMs + wait - now);
}

ThrottleVerdict LoginThrottle::Check(std::string_view name, std::string_view address) {
    std::lock_guard lock(mutex_);
    const int64_t now = clock_.Now();
    int64_t wait = 0;
    if (const auto found = counts_.find(NameKey(name)); found != counts_.end()) {
        wait = std::max(wait, WaitLeft(found->second, limits_.perName, now));
    }
    if (const auto found = counts_.find(AddressKey(address)); found != counts_.end()) {
        wait = std::max(wait, WaitLeft(found->second, limits_.perAddress, now));
    }
    return ThrottleVerdict{wait == 0, wait};
}

void LoginThrottle::Forget(int64_t now) {
    const int64_t quiet = std::max(limits_.perName.forgetAfterMs, limits_.perAddress.forgetAfterMs);
    std::erase_if(counts_, [&](const auto& item) { return now - item.second.lastFailureMs >= quiet; });
    while (counts_.size() >= limits_.maxKeys) {
        const auto stalest = std::min_element(counts_.begin(), counts_.end(), [](const auto& a, const auto& b) {
            return a.second.lastFailureMs < b.second.lastFailureMs;
        });
        counts_.erase(stalest);
    }
}

LoginThrottle::Count& LoginThrottle::Entry(const std::string& key, int64_t now, const ThrottlePolicy& policy) {
    auto found = counts_.find(key);
    if (found == counts_.end()) {
        if (counts_.size() >= limits_.maxKeys) Forget(now);
        found = counts_.emplace(key, Count{}).first;
    } else if (now - found->second.lastFailureMs >= policy.forgetAfterMs) {
        found->second = Count{};
    }
    return found->second;
}

int LoginThrottle::Failed(std::string_view name, std::string_view address) {
    std::lock_guard lock(mutex_);
    const int64_t now = clock_.Now();
    Count& byAddress = Entry(AddressKey(address), now, limits_.perAddress);
    ++byAddress.failures;
    byAddress.lastFailureMs = now;
    Count& byName = Entry(NameKey(name), now, limits_.perName);
    ++byName.failures;
    byName.lastFailureMs = now;
    return byName.failures;
}

int LoginThrottle::Succeeded(std::string_view name) {
    std::lock_guard lock(mutex_);
    const auto found = counts_.find(NameKey(name));
    if (found == counts_.end()) return 0;
    const int failures = found->second.failures;
    counts_.erase(found);
    return failures;
}

}  // namespace pell::web
