#include "web/core/web_settings.h"

#include <gtest/gtest.h>

namespace pell::web {
namespace {

TEST(WebSettingsTest, DefaultsListenOnThisMachineOnly) {
    const SettingsParse parse = ParseWebSettings("[web]\nplayer_folder=/var/lib/pell/player\n", "/etc/pell");
    ASSERT_EQ(parse.error, "");
    EXPECT_EQ(parse.settings.listen, "127.0.0.1");
    EXPECT_EQ(parse.settings.port, 8080);
    EXPECT_FALSE(parse.settings.Exposed());
    EXPECT_FALSE(parse.settings.Tls());
    EXPECT_EQ(parse.settings.usersFile, "/etc/pell/users");
}

TEST(WebSettingsTest, ReadsEveryKeyAndTakesRelativePathsFromTheFilesFolder) {
    const SettingsParse parse = ParseWebSettings(
        "[web]\nlisten=0.0.0.0\nport=8443\ncertificate=tls/web.crt\nprivate_key=/etc/ssl/web.key\nusers=users.txt\n"
        "root=/srv/rec1\nroot=./rec2\nindex=web.sqlite\nrecorder=/var/lib/pell/recorder\nrecorder=/srv/r2\nrecorder=.\n"
        "session_idle_minutes=15\nsession_hours=8\nthreads=64\nrefresh_seconds=0\n",
        "/opt/pell");
    ASSERT_EQ(parse.error, "");
    const WebSettings& s = parse.settings;
    EXPECT_TRUE(s.Exposed());
    EXPECT_TRUE(s.Tls());
    EXPECT_EQ(s.port, 8443);
    EXPECT_EQ(s.certificate, "/opt/pell/tls/web.crt");
    EXPECT_EQ(s.privateKey, "/etc/ssl/web.key");
    EXPECT_EQ(s.usersFile, "/opt/pell/users.txt");
    EXPECT_EQ(s.roots, (std::vector<std::string>{"/srv/rec1", "/opt/pell/rec2"}));
    EXPECT_EQ(s.indexFile, "/opt/pell/web.sqlite");
    EXPECT_EQ(s.recorderFolders, (std::vector<std::string>{"/var/lib/pell/recorder", "/srv/r2", "/opt/pell"}));
    EXPECT_EQ(s.sessionIdleMinutes, 15);
    EXPECT_EQ(s.sessionHours, 8);
    EXPECT_EQ(s.threads, 64);
    EXPECT_EQ(s.refreshSeconds, 0);
}

struct BadSettings {
    const char* text;
    const char* errorPart;
};

class BadWebSettingsTest : public testing::TestWithParam<BadSettings> {};

TEST_P(BadWebSettingsTest, FaultIsNamedSoTheServerRefusesToStart) {
    const SettingsParse parse = ParseWebSettings(GetParam().text, "/etc/pell");
    EXPECT_NE(parse.error.find(GetParam().errorPart), std::string::npos) << parse.error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadWebSettingsTest,
    testing::Values(BadSettings{"[web]\nplayer_folder=/p\nport=0\n", "line 3: port is a number from 1 to 65535"},
                    BadSettings{"[web]\nplayer_folder=/p\nport=80x\n", "port"},
                    BadSettings{"[web]\nplayer_folder=/p\nthreads=1\n", "threads"},
                    BadSettings{"[web]\nplayer_folder=/p\ncertificate=/c\n", "go together"},
                    BadSettings{"[web]\nroot=/srv/rec\n", "give player_folder"},
                    BadSettings{"[web]\nplayer_folder=/p\nlisten=0.0.0.0\nproxy=yes\n", "listens on this machine"},
                    BadSettings{"[web]\nplayer_folder=/p\nproxy=maybe\n", "proxy is yes or no"},
                    BadSettings{"[web]\nplayer_folder=/p\nlisten=\n", "listen needs an address"},
                    BadSettings{"player_folder=/p\n", "under [web]"},
                    BadSettings{"[web]\nplayer_folder=/p\nprot=8080\n", "unknown key \"prot\""}));

}  // namespace
}  // namespace pell::web
