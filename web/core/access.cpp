#include "web/core/access.h"

#include <algorithm>

#include "player/catalogue/ascii_case.h"

namespace pell::web {
namespace {

constexpr AccessRule kRules[] = {
    {Role::kAdmin, Action::kSearchCalls, true},     {Role::kListener, Action::kSearchCalls, true},
    {Role::kAdmin, Action::kListen, true},          {Role::kListener, Action::kListen, true},
    {Role::kAdmin, Action::kDownload, true},        {Role::kListener, Action::kDownload, true},
    {Role::kAdmin, Action::kBookmark, true},        {Role::kListener, Action::kBookmark, true},
    {Role::kAdmin, Action::kProtect, true},         {Role::kListener, Action::kProtect, false},
    {Role::kAdmin, Action::kSeeRecorders, true},    {Role::kListener, Action::kSeeRecorders, true},
    {Role::kAdmin, Action::kSeeAllRecorders, true}, {Role::kListener, Action::kSeeAllRecorders, false},
};

}  // namespace

std::span<const AccessRule> AccessRules() { return kRules; }

bool RoleMay(Role role, Action action) {
    // A pair missing from the table is refused: a right exists only where it is written down.
    return std::any_of(std::begin(kRules), std::end(kRules),
                       [&](const AccessRule& r) { return r.role == role && r.action == action && r.allowed; });
}

bool LineAllowed(const WebUser& user, std::string_view line) {
    if (user.role == Role::kAdmin) return true;
    const std::string wanted = LowerAscii(line);
    return std::any_of(user.lines.begin(), user.lines.end(),
                       [&](const std::string& mine) { return LowerAscii(mine) == wanted; });
}

bool MayReachCall(const WebUser& user, const CallRecord& call, const std::vector<std::string>& servedRoots) {
    const std::string root = NormaliseRoot(call.root);
    const bool served = std::any_of(servedRoots.begin(), servedRoots.end(),
                                    [&](const std::string& r) { return NormaliseRoot(r) == root; });
    return served && LineAllowed(user, call.facts.line);
}

std::optional<std::vector<std::string>> SearchLines(const WebUser& user,
                                                    const std::optional<std::vector<std::string>>& requested) {
    if (user.role == Role::kAdmin) return requested;
    if (!requested) return user.lines;
    std::vector<std::string> lines;
    for (const std::string& line : *requested) {
        if (LineAllowed(user, line)) lines.push_back(line);
    }
    return lines;  // possibly empty: matches nothing, never everything
}

}  // namespace pell::web
