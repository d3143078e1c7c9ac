#include "web/core/users.h"

#include <gtest/gtest.h>

namespace pell::web {
namespace {

constexpr const char* kFile =
    "# a remark\n"
    "[alice]\n"
    "role=admin\n"
    "password=$argon2id$v=19$m=65536,t=2,p=1$c2FsdA$aGFzaA\n"
    "\n"
    "[bob]\r\n"
    "role = listener\r\n"
    "line=Line 1\r\n"
    "line = Sales desk\r\n"
    "password=$argon2id$v=19$m=65536,t=2,p=1$eHl6$aGFzaDI\r\n";

TEST(UsersFileTest, ReadsRolesLinesAndHashesWithEqualsSignsInside) {
    const UsersParse parse = ParseUsers(kFile);
    ASSERT_EQ(parse.error, "");
    ASSERT_EQ(parse.list.users.size(), 2u);
    const WebUser& alice = parse.list.users[0];
    EXPECT_EQ(alice.name, "alice");
    EXPECT_EQ(alice.role, Role::kAdmin);
    EXPECT_EQ(alice.passwordHash, "$argon2id$v=19$m=65536,t=2,p=1$c2FsdA$aGFzaA");
    const WebUser* bob = parse.list.Find("bob");
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(bob->role, Role::kListener);
    EXPECT_EQ(bob->lines, (std::vector<std::string>{"Line 1", "Sales desk"}));
}

TEST(UsersFileTest, WrittenFileReadsBackTheSame) {
    const UsersParse parse = ParseUsers(kFile);
    const UsersParse again = ParseUsers(FormatUsers(parse.list));
    EXPECT_EQ(again.error, "");
    EXPECT_EQ(again.list.users, parse.list.users);
}

struct BadFile {
    const char* name;
    const char* text;
    const char* errorPart;
};

class BadUsersFileTest : public testing::TestWithParam<BadFile> {};

TEST_P(BadUsersFileTest, FaultIsNamedWithItsLineAndNoUserIsTaken) {
    const UsersParse parse = ParseUsers(GetParam().text);
    EXPECT_NE(parse.error.find(GetParam().errorPart), std::string::npos) << parse.error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadUsersFileTest,
    testing::Values(BadFile{"key before user", "role=admin\n", "line 1"},
                    BadFile{"unknown role", "[a]\nrole=root\n", "line 2: role is admin or listener"},
                    BadFile{"no role", "[a]\npassword=x\n", "has no role"},
                    BadFile{"twice", "[a]\nrole=admin\n[a]\nrole=admin\n", "line 3: user \"a\" is listed twice"},
                    BadFile{"bad name", "[a/b]\nrole=admin\n", "not a user name"},
                    BadFile{"unknown key", "[a]\nrole=admin\nshell=/bin/sh\n", "unknown key"},
                    BadFile{"long line name", "[a]\nrole=listener\nline=0123456789012345678901234567890\n",
                            "1 to 30 bytes"},
                    BadFile{"no equals", "[a]\nrole admin\n", "line 2: expected key=value"},
                    BadFile{"open section", "[a\n", "line 1"}));

struct NameCase {
    const char* name;
    bool valid;
};

class UserNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(UserNameTest, NamesAreLowerCaseLettersDigitsAndDotDashUnderscore) {
    EXPECT_EQ(ValidUserName(GetParam().name), GetParam().valid) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Table, UserNameTest,
                         testing::Values(NameCase{"alice", true}, NameCase{"a.b-c_d", true}, NameCase{"7", true},
                                         NameCase{"", false}, NameCase{".hidden", false}, NameCase{"-x", false},
                                         NameCase{"Alice", false}, NameCase{"a b", false}, NameCase{"a]", false},
                                         NameCase{"a\n", false}, NameCase{"0123456789012345678901234567890a", true},
                                         NameCase{"0123456789012345678901234567890ab", false}));

TEST(UserNameTest, TypedNameIsLowerCasedAndTrimmed) { EXPECT_EQ(CanonicalUserName("  Alice "), "alice"); }

TEST(UserChangesTest, AddPasswdRemove) {
    UserList list;
    EXPECT_EQ(AddUser(list, WebUser{"alice", Role::kAdmin, {}, "h1"}), "");
    EXPECT_NE(AddUser(list, WebUser{"alice", Role::kAdmin, {}, "h1"}).find("exists already"), std::string::npos);
    EXPECT_NE(AddUser(list, WebUser{"bob", Role::kListener, {}, "h"}).find("--line"), std::string::npos);
    EXPECT_NE(AddUser(list, WebUser{"bob", Role::kListener, {"Line 1"}, ""}).find("no password"), std::string::npos);
    EXPECT_EQ(AddUser(list, WebUser{"bob", Role::kListener, {"Line 1"}, "h2"}), "");
    EXPECT_EQ(SetPassword(list, "bob", "h3"), "");
    EXPECT_EQ(list.Find("bob")->passwordHash, "h3");
    EXPECT_NE(SetPassword(list, "carol", "h"), "");
    EXPECT_EQ(RemoveUser(list, "alice"), "");
    EXPECT_NE(RemoveUser(list, "alice"), "");
    ASSERT_EQ(list.users.size(), 1u);
    EXPECT_EQ(list.users[0].name, "bob");
}

}  // namespace
}  // namespace pell::web
