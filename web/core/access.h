// Who may do what. Rights come in two parts: what a role may do at all (the table below, the
// one place a right is granted), and which calls a user reaches (an admin every call of the
// served roots, a listener the calls of its lines). Both are checked on every request, also
// for a call id that no page ever showed the user.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "index/core/call_record.h"
#include "web/core/users.h"

namespace pell::web {

enum class Action {
    kSearchCalls,     // the search page and its results
    kListen,          // stream a call to the browser's player (sets the played mark)
    kDownload,        // the recording as a file
    kBookmark,        // change a call's bookmark
    kProtect,         // put a call under legal hold or take it off
    kSeeRecorders,    // each recorder's state and alarms
    kSeeAllRecorders  // the lines of every recorder, not only the user's own
};

struct AccessRule {
    Role role;
    Action action;
    bool allowed;
};

// Every role and action, listed once each.
std::span<const AccessRule> AccessRules();

bool RoleMay(Role role, Action action);

// The call's line is one the user may reach (A to Z in any case, as a search matches lines).
bool LineAllowed(const WebUser& user, std::string_view line);

// The call lies in one of the served record roots and on a line the user may reach.
bool MayReachCall(const WebUser& user, const CallRecord& call, const std::vector<std::string>& servedRoots);

// The `lines` of a search: an admin's request as it is; a listener's request cut down to its
// own lines (all of them when it asked for none), so nothing it asks can widen its rights.
std::optional<std::vector<std::string>> SearchLines(const WebUser& user,
                                                    const std::optional<std::vector<std::string>>& requested);

}  // namespace pell::web
