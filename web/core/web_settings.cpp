#include "web/core/web_settings.h"

#include <charconv>

#include "web/core/ini_text.h"

namespace pell::web {
namespace {

std::string Absolute(const std::string& path, const std::string& folder) {
    if (path.empty() || path.front() == '/' || folder.empty()) return path;
    if (path == ".") return folder;
    return folder + "/" + (path.starts_with("./") ? path.substr(2) : path);
}

bool Number(const std::string& text, int low, int high, int& out) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high) return false;
    out = value;
    return true;
}

struct NumberKey {
    const char* key;
    int WebSettings::*field;
    int low;
    int high;
};

constexpr NumberKey kNumbers[] = {
    {"port", &WebSettings::port, 1, 65535},
    {"session_idle_minutes", &WebSettings::sessionIdleMinutes, 1, 24 * 60},
    {"session_hours", &WebSettings::sessionHours, 1, 7 * 24},
    {"threads", &WebSettings::threads, 4, 512},
    {"refresh_seconds", &WebSettings::refreshSeconds, 0, 86'400},
};

struct PathKey {
    const char* key;
    std::string WebSettings::*field;
};

constexpr PathKey kPaths[] = {
    {"certificate", &WebSettings::certificate}, {"private_key", &WebSettings::privateKey},
    {"users", &WebSettings::usersFile},         {"player_folder", &WebSettings::playerFolder},
    {"index", &WebSettings::indexFile},
};

// Applies one key; the fault in words, empty when fine.
std::string Apply(const IniEntry& entry, const std::string& folder, WebSettings& s) {
    for (const NumberKey& number : kNumbers) {
        if (entry.key != number.key) continue;
        if (!Number(entry.value, number.low, number.high, s.*number.field)) {
            return entry.key + " is a number from " + std::to_string(number.low) + " to " + std::to_string(number.high);
        }
        return {};
    }
    for (const PathKey& path : kPaths) {
        if (entry.key == path.key) {
            s.*path.field = Absolute(entry.value, folder);
            return {};
        }
    }
    if (entry.key == "listen") {
        if (entry.value.empty()) return "listen needs an address";
        s.listen = entry.value;
    } else if (entry.key == "root") {
        s.roots.push_back(Absolute(entry.value, folder));
    } else if (entry.key == "recorder") {
        s.recorderFolders.push_back(Absolute(entry.value, folder));
    } else if (entry.key == "proxy") {
        if (entry.value != "yes" && entry.value != "no") return "proxy is yes or no";
        s.behindProxy = entry.value == "yes";
    } else {
        return "unknown key \"" + entry.key + "\"";
    }
    return {};
}

}  // namespace

bool WebSettings::Exposed() const {
    return listen != "127.0.0.1" && listen != "::1" && listen != "localhost" && listen.rfind("127.", 0) != 0;
}

SettingsParse ParseWebSettings(std::string_view text, const std::string& folder) {
    SettingsParse out;
    WebSettings& s = out.settings;
    s.usersFile = Absolute("users", folder);
    const IniText ini = ParseIniText(text);
    if (!ini.error.empty()) {
        out.error = ini.error;
        return out;
    }
    for (const IniEntry& entry : ini.entries) {
        if (entry.section != "web") {
            out.error = "line " + std::to_string(entry.line) + ": settings belong under [web]";
            return out;
        }
        if (std::string problem = Apply(entry, folder, s); !problem.empty()) {
            out.error = "line " + std::to_string(entry.line) + ": " + problem;
            return out;
        }
    }
    if (s.certificate.empty() != s.privateKey.empty()) {
        out.error = "certificate and private_key go together: give both for HTTPS, or neither";
    } else if (s.playerFolder.empty() && (s.roots.empty() || s.indexFile.empty())) {
        out.error = "give player_folder (its paths.ini and index.ini), or root lines and an index file";
    } else if (s.behindProxy && s.Exposed()) {
        out.error =
            "with proxy=yes pell-web listens on this machine only (listen=127.0.0.1): the proxy faces the network";
    }
    return out;
}

}  // namespace pell::web
