// pell-web's HTTP adapter on cpp-httplib: copies each request into a WebRequest, hands it to
// the core and writes the WebResponse back, streaming a recording's bytes from the file.
#pragma once

#include <memory>
#include <string>

#include "web/core/web_app.h"

namespace httplib {
class Request;
class Server;
}  // namespace httplib

namespace pell::web {

struct ServerOptions {
    std::string listen = "127.0.0.1";
    int port = 8080;  // 0: any free port (tests)
    std::string certificate;
    std::string privateKey;
    bool behindProxy = false;
    int threads = 32;
};

// What the core needs of one request. Behind a proxy on this machine the client's address,
// host and scheme come from its X-Forwarded-* headers; from anywhere else they are ignored.
WebRequest ToWebRequest(const httplib::Request& request, bool tls, bool behindProxy);

class HttpServer {
public:
    HttpServer(WebApp& app, ServerOptions options, EventLog& log);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Loads the certificate and binds; the fault in words (with a remedy) when it cannot.
    std::string Bind();
    int Port() const { return port_; }
    // Serves until Stop(); call after Bind.
    void Run();
    void Stop();

private:
    WebApp& app_;
    ServerOptions options_;
    EventLog& log_;
    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
};

}  // namespace pell::web
