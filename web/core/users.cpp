#include "web/core/users.h"

#include <algorithm>

#include "player/catalogue/ascii_case.h"
#include "web/core/ini_text.h"

namespace pell::web {
namespace {

constexpr std::size_t kMaxNameChars = 32;
constexpr std::size_t kMaxLineBytes = 30;  // the tag's artist field

bool NameChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-'; }

std::string LineError(int line, const std::string& what) { return "line " + std::to_string(line) + ": " + what; }

}  // namespace

const WebUser* UserList::Find(std::string_view name) const {
    const auto found = std::find_if(users.begin(), users.end(), [&](const WebUser& u) { return u.name == name; });
    return found == users.end() ? nullptr : &*found;
}

std::string CanonicalUserName(std::string_view typed) { return LowerAscii(TrimBlanks(typed)); }

bool ValidUserName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameChars || !NameChar(name.front()) || name.front() == '.' ||
        name.front() == '_' || name.front() == '-') {
        return false;
    }
    return std::all_of(name.begin(), name.end(), NameChar);
}

bool ValidLineName(std::string_view line) {
    if (line.empty() || line.size() > kMaxLineBytes || TrimBlanks(line) != line) return false;
    return std::none_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::string RoleName(Role role) { return role == Role::kAdmin ? "admin" : "listener"; }

std::optional<Role> ParseRole(std::string_view text) {
    if (text == "admin") return Role::kAdmin;
    if (text == "listener") return Role::kListener;
    return std::nullopt;
}

UsersParse ParseUsers(std::string_view text) {
    UsersParse out;
    const IniText ini = ParseIniText(text);
    if (!ini.error.empty()) {
        out.error = ini.error;
        return out;
    }
    for (const auto& [name, line] : ini.sections) {
        if (!ValidUserName(name)) {
            out.error = LineError(line, "\"" + name + "\" is not a user name (a-z, 0-9, . _ -, at most 32)");
            return out;
        }
        if (out.list.Find(name) != nullptr) {
            out.error = LineError(line, "user \"" + name + "\" is listed twice");
            return out;
        }
        out.list.users.push_back(WebUser{name, Role::kListener, {}, {}});
    }
    std::vector<bool> hasRole(out.list.users.size(), false);
    for (const IniEntry& entry : ini.entries) {
        const auto user = std::find_if(out.list.users.begin(), out.list.users.end(),
                                       [&](const WebUser& u) { return u.name == entry.section; });
        if (user == out.list.users.end()) {
            out.error = LineError(entry.line, "a key before the first [user]");
            return out;
        }
        if (entry.key == "role") {
            const auto role = ParseRole(entry.value);
            if (!role) {
                out.error = LineError(entry.line, "role is admin or listener");
                return out;
            }
            user->role = *role;
            hasRole[static_cast<std::size_t>(user - out.list.users.begin())] = true;
        } else if (entry.key == "password") {
            user->passwordHash = entry.value;
        } else if (entry.key == "line") {
            if (!ValidLineName(entry.value)) {
                out.error = LineError(entry.line, "a line is its description, 1 to 30 bytes");
                return out;
            }
            user->lines.push_back(entry.value);
        } else {
            out.error = LineError(entry.line, "unknown key \"" + entry.key + "\"");
            return out;
        }
    }
    for (std::size_t i = 0; i < out.list.users.size(); ++i) {
        // A user without a role would silently be a listener of nothing: say so instead.
        if (!hasRole[i]) {
            out.error = "user \"" + out.list.users[i].name + "\" has no role";
            return out;
        }
    }
    return out;
}

std::string FormatUsers(const UserList& list) {
    std::string out = "# pell-web users: change with pell-web user add|passwd|remove\n";
    for (const WebUser& user : list.users) {
        out += "[" + user.name + "]\nrole=" + RoleName(user.role) + "\n";
        if (user.role == Role::kListener) {
            for (const std::string& line : user.lines) out += "line=" + line + "\n";
        }
        out += "password=" + user.passwordHash + "\n";
    }
    return out;
}

std::string AddUser(UserList& list, WebUser user) {
    if (!ValidUserName(user.name)) return "\"" + user.name + "\" is not a user name (a-z, 0-9, . _ -, at most 32)";
    if (list.Find(user.name) != nullptr) return "user \"" + user.name + "\" exists already";
    for (const std::string& line : user.lines) {
        if (!ValidLineName(line)) return "\"" + line + "\" is not a line description (1 to 30 bytes)";
    }
    if (user.role == Role::kListener && user.lines.empty()) return "a listener needs at least one --line";
    if (user.passwordHash.empty()) return "no password";
    list.users.push_back(std::move(user));
    return {};
}

std::string SetPassword(UserList& list, std::string_view name, std::string passwordHash) {
    for (WebUser& user : list.users) {
        if (user.name == name) {
            user.passwordHash = std::move(passwordHash);
            return {};
        }
    }
    return "no user \"" + std::string(name) + "\"";
}

std::string RemoveUser(UserList& list, std::string_view name) {
    const auto before = list.users.size();
    std::erase_if(list.users, [&](const WebUser& u) { return u.name == name; });
    return list.users.size() == before ? "no user \"" + std::string(name) + "\"" : std::string{};
}

}  // namespace pell::web
