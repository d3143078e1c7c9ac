// pell-web's accounts, kept in a file of its own (never in a record root), one section a user:
//
//   [alice]
//   role=admin
//   password=$argon2id$v=19$m=65536,t=2,p=1$...
//   [bob]
//   role=listener
//   line=Line 1
//   line=Sales
//
// An admin reaches every call; a listener only the calls of its lines (the line's description,
// A to Z in any case, as the tag's artist field holds it). The password is an Argon2id hash
// string: the cost it was made with travels inside it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pell::web {

enum class Role { kAdmin, kListener };

struct WebUser {
    std::string name;  // lower-case letters, digits, '.', '_', '-'; 1 to 32 characters, a letter or digit first
    Role role = Role::kListener;
    std::vector<std::string> lines;  // a listener's lines; an admin's are not used
    std::string passwordHash;

    friend bool operator==(const WebUser&, const WebUser&) = default;
};

struct UserList {
    std::vector<WebUser> users;  // in the file's order

    const WebUser* Find(std::string_view name) const;
};

struct UsersParse {
    UserList list;
    std::string error;  // the first fault, with its line; empty when the file is sound
};

UsersParse ParseUsers(std::string_view text);
std::string FormatUsers(const UserList& list);

// A typed name as the accounts keep it: A to Z lower-cased, blanks at the ends removed.
std::string CanonicalUserName(std::string_view typed);
bool ValidUserName(std::string_view name);
// A line description that fits a tag's artist field and one line of the file.
bool ValidLineName(std::string_view line);

std::string RoleName(Role role);
std::optional<Role> ParseRole(std::string_view text);

// The command line's changes; each returns why it cannot be done, empty when done.
std::string AddUser(UserList& list, WebUser user);
std::string SetPassword(UserList& list, std::string_view name, std::string passwordHash);
std::string RemoveUser(UserList& list, std::string_view name);

}  // namespace pell::web
