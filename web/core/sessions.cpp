#include "web/core/sessions.h"

#include <vector>

namespace pell::web {
namespace {

constexpr std::size_t kTokenBytes = 32;
constexpr std::size_t kSelectorDigits = 32;

}  // namespace

std::string RandomHex(RandomSource& random, std::size_t bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::vector<uint8_t> raw(bytes);
    random.Fill(raw);
    std::string out;
    out.reserve(bytes * 2);
    for (const uint8_t b : raw) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

bool SessionStore::SameToken(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

SessionStore::SessionStore(Clock& clock, RandomSource& random, SessionLimits limits)
    : clock_(clock), random_(random), limits_(limits) {}

std::string SessionStore::NewToken() { return RandomHex(random_, kTokenBytes); }

bool SessionStore::Expired(const Entry& entry, int64_t now) const {
    return now - entry.usedMs >= limits_.idleMs || now - entry.createdMs >= limits_.lifetimeMs;
}

void SessionStore::DropOldest(const std::string* userName) {
    auto oldest = sessions_.end();
    for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
        if (userName != nullptr && it->second.session.userName != *userName) continue;
        if (oldest == sessions_.end() || it->second.usedMs < oldest->second.usedMs) oldest = it;
    }
    if (oldest != sessions_.end()) sessions_.erase(oldest);
}

Session SessionStore::Create(const std::string& userName, const std::string& userStamp) {
    std::lock_guard lock(mutex_);
    const int64_t now = clock_.Now();
    std::size_t mine = 0;
    for (const auto& [key, entry] : sessions_) mine += entry.session.userName == userName ? 1 : 0;
    if (mine >= limits_.maxPerUser) DropOldest(&userName);
    if (sessions_.size() >= limits_.maxSessions) DropOldest(nullptr);
    Entry entry;
    do {
        entry.session.token = NewToken();
    } while (sessions_.count(entry.session.token.substr(0, kSelectorDigits)) != 0);
    entry.session.csrfToken = NewToken();
    entry.session.userName = userName;
    entry.session.userStamp = userStamp;
    entry.createdMs = entry.usedMs = now;
    Session out = entry.session;
    sessions_.emplace(out.token.substr(0, kSelectorDigits), std::move(entry));
    return out;
}

std::optional<Session> SessionStore::Use(std::string_view token) {
    if (token.size() != kTokenBytes * 2) return std::nullopt;
    std::lock_guard lock(mutex_);
    const int64_t now = clock_.Now();
    const auto found = sessions_.find(token.substr(0, kSelectorDigits));
    if (found == sessions_.end() || !SameToken(found->second.session.token, token)) return std::nullopt;
    if (Expired(found->second, now)) {
        sessions_.erase(found);
        return std::nullopt;
    }
    found->second.usedMs = now;
    return found->second.session;
}

void SessionStore::End(std::string_view token) {
    if (token.size() != kTokenBytes * 2) return;
    std::lock_guard lock(mutex_);
    const auto found = sessions_.find(token.substr(0, kSelectorDigits));
    if (found != sessions_.end() && SameToken(found->second.session.token, token)) sessions_.erase(found);
}

void SessionStore::EndUser(std::string_view userName) {
    std::lock_guard lock(mutex_);
    std::erase_if(sessions_, [&](const auto& item) { return item.second.session.userName == userName; });
}

void SessionStore::Prune() {
    std::lock_guard lock(mutex_);
    const int64_t now = clock_.Now();
    std::erase_if(sessions_, [&](const auto& item) { return Expired(item.second, now); });
}

std::size_t SessionStore::Count() {
    std::lock_guard lock(mutex_);
    return sessions_.size();
}

}  // namespace pell::web
