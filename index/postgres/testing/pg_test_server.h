// A private PostgreSQL server for one test program: initdb in a temporary folder, a free port
// on 127.0.0.1 only, trust authentication, run as an unprivileged user when the tests run as
// root (initdb refuses root). A guardian process stops the server and removes its folder when
// the test program ends in any way, a crash included.
#pragma once

#include <memory>
#include <string>
#include <sys/types.h>

namespace pell::test {

class PgTestServer {
public:
    // A running server, or nothing with the reason in `whyNot` (`missing` is set when the
    // server's programs are not installed, the one reason a test may skip for).
    static std::unique_ptr<PgTestServer> Start(std::string& whyNot, bool& missing);
    ~PgTestServer();
    PgTestServer(const PgTestServer&) = delete;
    PgTestServer& operator=(const PgTestServer&) = delete;

    // libpq connection string of a database on this server.
    std::string Connection(const std::string& database = "postgres") const;
    // A new, empty database; its name.
    std::string CreateDatabase();

    // Stops the server (as a crash or shutdown would look to clients) and starts it again on the
    // same port with the same data.
    bool Stop();
    bool Resume();
    int Port() const { return port_; }

private:
    PgTestServer() = default;
    bool Run(const std::string& command, const std::string& what) const;

    std::string bin_;
    std::string folder_;
    std::string user_;  // runs the server; empty: the current user
    int port_ = 0;
    int databases_ = 0;
    pid_t guardian_ = -1;
    int guardianPipe_ = -1;
    bool running_ = false;
};

}  // namespace pell::test
