#include "web/server/web_command.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <thread>

#include "common/core/clock.h"
#include "common/core/settings_file.h"
#include "web/core/web_settings.h"
#include "web/server/http_server.h"
#include "web/server/posix_ports.h"

namespace pell::web {
namespace {

constexpr const char* kUsage =
    "usage: pell-web [--config FILE]\n"
    "       pell-web [--config FILE] user add NAME --role admin|listener [--line LINE]...\n"
    "       pell-web [--config FILE] user passwd NAME\n"
    "       pell-web [--config FILE] user remove NAME\n"
    "       pell-web [--config FILE] user list\n";
constexpr std::size_t kMinPasswordBytes = 8;
constexpr int kIndexConnections = 4;

std::string FolderOf(const std::string& file) {
    const std::size_t slash = file.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

struct Loaded {
    UserList list;
    std::string error;
};

Loaded LoadUsers(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT) return {};
        return {{}, path + ": " + std::strerror(errno)};
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    UsersParse parse = ParseUsers(text);
    if (!parse.error.empty()) return {{}, path + ": " + parse.error};
    return {std::move(parse.list), {}};
}

// Hides typed characters while it lives.
class NoEcho {
public:
    NoEcho() {
        if (::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~NoEcho() {
        if (active_) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

private:
    termios saved_{};
    bool active_ = false;
};

// The new password, or empty after telling why on err.
std::string ReadPassword(CommandIo& io, const std::string& name) {
    std::string first;
    std::string second;
    if (io.terminal) {
        NoEcho hidden;
        io.err << "Password for " << name << ": " << std::flush;
        std::getline(io.in, first);
        io.err << "\nThe same again: " << std::flush;
        std::getline(io.in, second);
        io.err << '\n';
        if (first != second) {
            io.err << "pell-web: the two passwords differ; nothing changed\n";
            return {};
        }
    } else {
        std::getline(io.in, first);
        if (!first.empty() && first.back() == '\r') first.pop_back();
    }
    if (first.size() < kMinPasswordBytes) {
        io.err << "pell-web: a password needs at least " << kMinPasswordBytes << " characters; nothing changed\n";
        return {};
    }
    return first;
}

std::string Hash(PasswordHasher& passwords, const std::string& password, CommandIo& io) {
    std::string hash = passwords.Hash(password);
    if (hash.empty()) io.err << "pell-web: the password could not be hashed (out of memory); nothing changed\n";
    return hash;
}

int Save(const std::string& path, const UserList& list, CommandIo& io) {
    // The hashes are nobody else's business: a new file is the owner's only.
    if (WriteFileAtomically(path, FormatUsers(list), 0600) != WriteResult::Ok) {
        io.err << "pell-web: cannot write " << path << ": " << std::strerror(errno) << "; nothing changed\n";
        return 1;
    }
    return 0;
}

std::atomic<HttpServer*> gServer{nullptr};

void StopOnSignal(int) {
    if (HttpServer* server = gServer.load()) server->Stop();
}

int Serve(const std::string& configFile, const WebSettings& s, CommandIo io) {
    StderrLog log;
    SystemClock clock;
    KernelRandom random;
    SodiumPasswords passwords;
    UsersFile users(s.usersFile, log);
    ConfiguredRoots roots(s.roots, s.playerFolder);
    IndexPlace place;
    if (!s.indexFile.empty()) {
        place.sqliteOverride = s.indexFile;
    } else {
        place.programFolder = s.playerFolder;
        const char* cache = std::getenv("XDG_CACHE_HOME");
        const char* home = std::getenv("HOME");
        place.sqliteFile = DefaultIndexFile(s.playerFolder, CacheIndexFolder(cache, home));
    }
    OpenIndexResult opened = OpenCallIndex(place);
    if (!opened.index) {
        io.err << "pell-web: the call index cannot be opened: " << opened.status.message << '\n';
        return 1;
    }
    // A few indexes side by side, so one slow search holds up no other request.
    std::vector<std::unique_ptr<OpenedCallIndex>> indexes;
    indexes.push_back(std::move(opened.index));
    for (int i = 1; i < kIndexConnections; ++i) {
        OpenIndexResult more = OpenCallIndex(place);
        if (!more.index) break;
        indexes.push_back(std::move(more.index));
    }
    IndexCalls calls(std::move(indexes), log);
    if (s.refreshSeconds > 0) {
        OpenIndexResult second = OpenCallIndex(place);
        if (second.index) {
            calls.StartRefresh(std::move(second.index), roots, s.refreshSeconds);
        } else {
            log.Write("the index will not be refreshed: " + second.status.message);
        }
    }
    PosixRecordings recordings;
    LibraryCustody custody;
    PosixRecorderFiles recorders;
    BuiltInAssets assets;
    WebAppSettings appSettings;
    appSettings.sessions.idleMs = int64_t{s.sessionIdleMinutes} * 60'000;
    appSettings.sessions.lifetimeMs = int64_t{s.sessionHours} * 3'600'000;
    appSettings.recorderFolders = s.recorderFolders;
    WebApp app(WebAppPorts{clock, random, passwords, users, roots, calls, recordings, custody, recorders, assets, log},
               appSettings);

    HttpServer server(app, ServerOptions{s.listen, s.port, s.certificate, s.privateKey, s.behindProxy, s.threads}, log);
    if (const std::string problem = server.Bind(); !problem.empty()) {
        io.err << "pell-web: " << problem << '\n';
        return 1;
    }
    const std::string scheme = s.Tls() ? "https" : "http";
    const bool ipv6 = s.listen.find(':') != std::string::npos;
    log.Write("serving " + scheme + "://" + (ipv6 ? "[" + s.listen + "]" : s.listen) + ":" +
              std::to_string(server.Port()) + "/ from " + configFile + ", index " + calls.Describe());
    if (s.Exposed() && !s.Tls()) {
        log.Write(
            "listening beyond this machine without TLS: passwords cross the network readable; set "
            "certificate and private_key, or put a reverse proxy in front");
    }
    if (const auto list = users.Users(); list && list->users.empty()) {
        log.Write("no accounts yet: pell-web user add NAME --role admin");
    }

    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    std::thread housekeeping([&] {
        std::unique_lock lock(doneMutex);
        while (!doneSignal.wait_for(lock, std::chrono::minutes(1), [&] { return done; })) app.Housekeeping();
    });
    gServer = &server;
    struct sigaction action {};
    action.sa_handler = StopOnSignal;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    server.Run();
    gServer = nullptr;
    {
        std::lock_guard lock(doneMutex);
        done = true;
    }
    doneSignal.notify_all();
    housekeeping.join();
    log.Write("stopped");
    return 0;
}

}  // namespace

namespace {

// user add NAME --role admin|listener [--line LINE]...
int AddCommand(const std::vector<std::string>& args, UserList& list, const std::string& usersFile,
               PasswordHasher& passwords, CommandIo& io) {
    WebUser user;
    user.name = CanonicalUserName(args[1]);
    bool roleGiven = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--role" && i + 1 < args.size()) {
            const auto role = ParseRole(args[++i]);
            if (!role) {
                io.err << "pell-web: a role is admin or listener\n";
                return 2;
            }
            user.role = *role;
            roleGiven = true;
        } else if (args[i] == "--line" && i + 1 < args.size()) {
            user.lines.push_back(args[++i]);
        } else {
            io.err << kUsage;
            return 2;
        }
    }
    if (!roleGiven) {
        io.err << "pell-web: give --role admin or --role listener\n";
        return 2;
    }
    // Everything but the password is checked before it is asked for.
    WebUser check = user;
    check.passwordHash = "$argon2id$";
    UserList trial = list;
    if (const std::string problem = AddUser(trial, check); !problem.empty()) {
        io.err << "pell-web: " << problem << (list.Find(user.name) ? "; use user passwd to change the password" : "")
               << '\n';
        return 1;
    }
    const std::string password = ReadPassword(io, user.name);
    if (password.empty()) return 1;
    user.passwordHash = Hash(passwords, password, io);
    if (user.passwordHash.empty()) return 1;
    AddUser(list, user);
    if (const int code = Save(usersFile, list, io); code != 0) return code;
    io.out << "added " << user.name << " (" << RoleName(user.role) << ")\n";
    return 0;
}

int PasswdCommand(const std::string& name, UserList& list, const std::string& usersFile, PasswordHasher& passwords,
                  CommandIo& io) {
    if (list.Find(name) == nullptr) {
        io.err << "pell-web: there is no user " << name << '\n';
        return 1;
    }
    const std::string password = ReadPassword(io, name);
    if (password.empty()) return 1;
    const std::string hash = Hash(passwords, password, io);
    if (hash.empty()) return 1;
    SetPassword(list, name, hash);
    if (const int code = Save(usersFile, list, io); code != 0) return code;
    io.out << "new password for " << name << "; their sessions have ended\n";
    return 0;
}

int RemoveCommand(const std::string& name, UserList& list, const std::string& usersFile, CommandIo& io) {
    if (const std::string problem = RemoveUser(list, name); !problem.empty()) {
        io.err << "pell-web: " << problem << '\n';
        return 1;
    }
    if (const int code = Save(usersFile, list, io); code != 0) return code;
    io.out << "removed " << name << "; their sessions have ended\n";
    return 0;
}

void ListCommand(const UserList& list, CommandIo& io) {
    for (const WebUser& user : list.users) {
        io.out << user.name << '\t' << RoleName(user.role);
        for (const std::string& line : user.lines) io.out << '\t' << line;
        io.out << '\n';
    }
}

}  // namespace

int RunUserCommand(const std::vector<std::string>& args, const std::string& usersFile, PasswordHasher& passwords,
                   CommandIo io) {
    const std::string verb = args.empty() ? "" : args[0];
    const bool named = args.size() == 2;
    if (!((verb == "list" && args.size() == 1) || (verb == "add" && args.size() >= 2) ||
          ((verb == "passwd" || verb == "remove") && named))) {
        io.err << kUsage;
        return 2;
    }
    Loaded loaded = LoadUsers(usersFile);
    if (!loaded.error.empty()) {
        io.err << "pell-web: " << loaded.error << "; mend or remove the file\n";
        return 1;
    }
    UserList& list = loaded.list;
    if (verb == "list") {
        ListCommand(list, io);
        return 0;
    }
    if (verb == "add") return AddCommand(args, list, usersFile, passwords, io);
    const std::string name = CanonicalUserName(args[1]);
    if (verb == "passwd") return PasswdCommand(name, list, usersFile, passwords, io);
    return RemoveCommand(name, list, usersFile, io);
}

int RunWebCommand(const std::vector<std::string>& args, CommandIo io) {
    std::string configFile = kDefaultSettingsFile;
    std::size_t at = 0;
    if (at < args.size() && (args[at] == "--help" || args[at] == "-h")) {
        io.out << kUsage;
        return 0;
    }
    if (at + 1 < args.size() && args[at] == "--config") {
        configFile = args[at + 1];
        at += 2;
    }
    std::ifstream in(configFile, std::ios::binary);
    if (!in) {
        io.err << "pell-web: cannot read " << configFile << ": " << std::strerror(errno)
               << " (give the settings with --config FILE)\n";
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Relative paths in web.ini are taken from its folder, named in full in every message.
    std::error_code error;
    const std::string folder = std::filesystem::absolute(FolderOf(configFile), error).lexically_normal().string();
    const SettingsParse parse = ParseWebSettings(
        text, folder.size() > 1 && folder.ends_with('/') ? folder.substr(0, folder.size() - 1) : folder);
    if (!parse.error.empty()) {
        io.err << "pell-web: " << configFile << ": " << parse.error << '\n';
        return 1;
    }
    if (at == args.size()) return Serve(configFile, parse.settings, io);
    if (args[at] == "user") {
        SodiumPasswords passwords;
        return RunUserCommand(std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(at) + 1, args.end()),
                              parse.settings.usersFile, passwords, io);
    }
    io.err << kUsage;
    return 2;
}

}  // namespace pell::web
