#include "index/postgres/testing/pg_test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <glob.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace pell::test {
namespace {

// The newest installed server's programs, or PELL_PG_BIN.
std::string FindServerPrograms() {
    if (const char* bin = std::getenv("PELL_PG_BIN")) return bin;
    glob_t found{};
    std::vector<std::string> folders;
    if (::glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &found) == 0) {
        for (std::size_t i = 0; i < found.gl_pathc; ++i) {
            std::string path = found.gl_pathv[i];
            folders.push_back(path.substr(0, path.size() - std::string("/initdb").size()));
        }
    }
    ::globfree(&found);
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        return std::atoi(a.c_str() + 19) < std::atoi(b.c_str() + 19);
    });
    return folders.empty() ? std::string() : folders.back();
}

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

std::unique_ptr<PgTestServer> PgTestServer::Start(std::string& whyNot, bool& missing) {
    missing = false;
    std::unique_ptr<PgTestServer> server(new PgTestServer());
    server->bin_ = FindServerPrograms();
    if (server->bin_.empty() || ::access((server->bin_ + "/pg_ctl").c_str(), X_OK) != 0) {
        missing = true;
        whyNot = "PostgreSQL's server programs (initdb, pg_ctl) are not installed: apt-get install postgresql";
        return nullptr;
    }
    char folder[] = "/tmp/pell-pg-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        whyNot = "cannot make a temporary folder";
        return nullptr;
    }
    server->folder_ = folder;
    uid_t uid = ::getuid();
    gid_t gid = ::getgid();
    if (::geteuid() == 0) {
        // initdb refuses to run as root: the server runs as an account that owns nothing else.
        const passwd* account = ::getpwnam("nobody");
        if (account == nullptr) {
            whyNot = "running as root and there is no user 'nobody' to run the server as";
            return nullptr;
        }
        server->user_ = "nobody";
        uid = account->pw_uid;
        gid = account->pw_gid;
        if (::chown(folder, uid, gid) != 0) {
            whyNot = "cannot hand the server's folder to 'nobody'";
            return nullptr;
        }
    }
    ::chmod(folder, 0700);
    // The guardian: stops the server and removes its folder when this process ends, however.
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        whyNot = "cannot make the guardian's pipe";
        return nullptr;
    }
    const std::string stopAndRemove = "read _; " + server->bin_ + "/pg_ctl -D " + Quoted(server->folder_ + "/data") +
                                      " -m immediate -w stop >/dev/null 2>&1; rm -rf " + Quoted(server->folder_);
    const std::string asUser = server->user_.empty()
                                   ? stopAndRemove
                                   : "read _; runuser -u " + server->user_ + " -- " + server->bin_ + "/pg_ctl -D " +
                                         Quoted(server->folder_ + "/data") +
                                         " -m immediate -w stop >/dev/null 2>&1; rm -rf " + Quoted(server->folder_);
    const pid_t guardian = ::fork();
    if (guardian == 0) {
        ::dup2(pipeEnds[0], 0);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        // Out of the test's process group, so an interrupt of the tests does not stop it early.
        ::setsid();
        ::execl("/bin/sh", "sh", "-c", asUser.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeEnds[0]);
    server->guardian_ = guardian;
    server->guardianPipe_ = pipeEnds[1];

    const std::string data = server->folder_ + "/data";
    if (!server->Run(server->bin_ + "/initdb -D " + Quoted(data) +
                         " -U postgres --auth=trust --no-sync --encoding=UTF8 --locale=C",
                     "initdb")) {
        whyNot = "initdb failed: " + ReadText(server->folder_ + "/command.log");
        return nullptr;
    }
    for (int attempt = 0; attempt < 3 && !server->running_; ++attempt) {
        server->port_ = FreePort();
        server->Resume();
    }
    if (!server->running_) {
        whyNot = "the server did not start: " + ReadText(server->folder_ + "/server.log");
        return nullptr;
    }
    return server;
}

bool PgTestServer::Run(const std::string& command, const std::string& what) const {
    const std::string log = folder_ + "/command.log";
    const std::string prefix = user_.empty() ? "" : "runuser -u " + user_ + " -- ";
    const std::string line = "cd / && " + prefix + command + " >" + Quoted(log) + " 2>&1";
    (void)what;
    return std::system(line.c_str()) == 0;
}

bool PgTestServer::Resume() {
    const std::string options = "-c listen_addresses=127.0.0.1 -p " + std::to_string(port_) + " -k " + folder_ +
                                " -c fsync=off -c synchronous_commit=off -c full_page_writes=off";
    running_ = Run(bin_ + "/pg_ctl -D " + Quoted(folder_ + "/data") + " -l " + Quoted(folder_ + "/server.log") +
                       " -w -t 60 -o " + Quoted(options) + " start",
                   "pg_ctl start");
    return running_;
}

bool PgTestServer::Stop() {
    const bool stopped = Run(bin_ + "/pg_ctl -D " + Quoted(folder_ + "/data") + " -m fast -w stop", "pg_ctl stop");
    running_ = running_ && !stopped;
    return stopped;
}

PgTestServer::~PgTestServer() {
    if (running_) Stop();
    if (guardianPipe_ >= 0) ::close(guardianPipe_);
    if (guardian_ > 0) {
        int status = 0;
        ::waitpid(guardian_, &status, 0);
    }
}

std::string PgTestServer::Connection(const std::string& database) const {
    return "host=127.0.0.1 port=" + std::to_string(port_) + " user=postgres dbname=" + database + " connect_timeout=5";
}

std::string PgTestServer::CreateDatabase() {
    const std::string name = "calls" + std::to_string(++databases_);
    PGconn* connection = PQconnectdb(Connection().c_str());
    PGresult* result = PQexec(connection, ("CREATE DATABASE " + name).c_str());
    PQclear(result);
    PQfinish(connection);
    return name;
}

}  // namespace pell::test
