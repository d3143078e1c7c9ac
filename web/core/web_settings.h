// pell-web's own settings, web.ini (the package's is /etc/pell/web.ini):
//
//   [web]
//   listen=127.0.0.1            ; the address to listen on; 0.0.0.0 or :: for every network
//   port=8080
//   certificate=/etc/pell/web.crt   ; PEM chain; with private_key the server speaks HTTPS only
//   private_key=/etc/pell/web.key
//   users=/var/lib/pell/web/users
//   player_folder=/var/lib/pell/player  ; its paths.ini lists the record roots, its index.ini the index
//   root=/srv/rec1              ; record roots instead of paths.ini, one line each
//   index=/var/cache/pell/web.sqlite    ; an SQLite index file, instead of the player folder's
//   recorder=/var/lib/pell/recorder     ; a recorder's program folder; one line each
//   proxy=no                    ; yes: a reverse proxy on this machine passes the requests on
//   session_idle_minutes=30
//   session_hours=12
//   threads=32
//   refresh_seconds=30          ; how often the index is brought up to date; 0: never
//
// Relative paths are taken from the folder that holds web.ini.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pell::web {

inline constexpr const char* kDefaultSettingsFile = "/etc/pell/web.ini";

struct WebSettings {
    std::string listen = "127.0.0.1";
    int port = 8080;
    std::string certificate;
    std::string privateKey;
    std::string usersFile;
    std::string playerFolder;
    std::vector<std::string> roots;
    std::string indexFile;
    std::vector<std::string> recorderFolders;
    bool behindProxy = false;
    int sessionIdleMinutes = 30;
    int sessionHours = 12;
    int threads = 32;
    int refreshSeconds = 30;

    bool Tls() const { return !certificate.empty(); }
    // Listens on more than this machine's loopback.
    bool Exposed() const;
};

struct SettingsParse {
    WebSettings settings;
    std::string error;  // the first fault in words (with its line); empty when fine
};

// `folder` is where the file lies, for relative paths.
SettingsParse ParseWebSettings(std::string_view text, const std::string& folder);

}  // namespace pell::web
