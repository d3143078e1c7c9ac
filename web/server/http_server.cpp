#include "web/server/http_server.h"

#include <httplib.h>

#include <algorithm>
#include <vector>

namespace pell::web {
namespace {

constexpr std::size_t kMaxBodyBytes = 16'384;  // a log-in or a bookmark; nothing larger is taken
constexpr std::size_t kStreamChunk = 65'536;

std::string Header(const httplib::Request& request, const char* name) { return request.get_header_value(name); }

bool Loopback(const std::string& address) {
    return address == "::1" || address.rfind("127.", 0) == 0 || address.rfind("::ffff:127.", 0) == 0;
}

// The last hop of X-Forwarded-For: the address the proxy itself saw.
std::string LastForwarded(const std::string& header) {
    const std::size_t comma = header.find_last_of(',');
    std::string last = comma == std::string::npos ? header : header.substr(comma + 1);
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!last.empty() && blank(last.front())) last.erase(last.begin());
    while (!last.empty() && blank(last.back())) last.pop_back();
    return last;
}

void Answer(const httplib::Request& request, httplib::Response& response, WebApp& app, bool tls, bool behindProxy) {
    // The core answers ranges itself (Content-Range, 416, the audit rule for a first play);
    // the library must not cut the answer a second time.
    const_cast<httplib::Request&>(request).ranges.clear();
    WebResponse answer = app.Handle(ToWebRequest(request, tls, behindProxy));
    response.status = answer.status;
    for (auto& [name, value] : answer.headers) response.set_header(name, value);
    if (answer.file && answer.fileLength > 0) {
        std::shared_ptr<OpenRecording> file = std::move(answer.file);
        const int64_t first = answer.fileOffset;
        response.set_content_provider(static_cast<std::size_t>(answer.fileLength), answer.contentType,
                                      [file, first](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                          std::vector<uint8_t> buffer(std::min(length, kStreamChunk));
                                          const std::size_t got =
                                              file->ReadAt(first + static_cast<int64_t>(offset), buffer);
                                          // A file that shrank or failed to read ends the connection short, never
                                          // padded.
                                          if (got == 0) return false;
                                          return sink.write(reinterpret_cast<const char*>(buffer.data()), got);
                                      });
    } else if (!answer.body.empty() || !answer.contentType.empty()) {
        response.set_content(answer.body, answer.contentType.c_str());
    }
}

}  // namespace

WebRequest ToWebRequest(const httplib::Request& request, bool tls, bool behindProxy) {
    WebRequest out;
    out.method = request.method;
    out.path = request.path;
    for (const auto& [name, value] : request.params) out.params.emplace_back(name, value);
    out.cookie = Header(request, "Cookie");
    out.csrfToken = Header(request, "X-CSRF-Token");
    out.origin = Header(request, "Origin");
    out.fetchSite = Header(request, "Sec-Fetch-Site");
    out.host = Header(request, "Host");
    out.range = Header(request, "Range");
    out.ifNoneMatch = Header(request, "If-None-Match");
    out.contentType = Header(request, "Content-Type");
    out.remoteAddress = request.remote_addr;
    out.secure = tls;
    if (behindProxy && Loopback(request.remote_addr)) {
        if (const std::string forwarded = LastForwarded(Header(request, "X-Forwarded-For")); !forwarded.empty()) {
            out.remoteAddress = forwarded;
        }
        if (const std::string host = Header(request, "X-Forwarded-Host"); !host.empty()) out.host = host;
        out.secure = tls || Header(request, "X-Forwarded-Proto") == "https";
    }
    return out;
}

HttpServer::HttpServer(WebApp& app, ServerOptions options, EventLog& log)
    : app_(app), options_(std::move(options)), log_(log) {}

HttpServer::~HttpServer() { Stop(); }

std::string HttpServer::Bind() {
    const bool tls = !options_.certificate.empty();
    if (tls) {
        auto secure = std::make_unique<httplib::SSLServer>(options_.certificate.c_str(), options_.privateKey.c_str());
        if (!secure->is_valid()) {
            return "the certificate " + options_.certificate + " or its key " + options_.privateKey +
                   " cannot be read (PEM files, readable by this user, the key matching the certificate)";
        }
        server_ = std::move(secure);
    } else {
        server_ = std::make_unique<httplib::Server>();
    }
    const int threads = options_.threads;
    server_->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
    server_->set_payload_max_length(kMaxBodyBytes);
    server_->set_read_timeout(10, 0);
    server_->set_write_timeout(30, 0);
    server_->set_keep_alive_max_count(100);
    server_->set_keep_alive_timeout(10);
    const bool proxy = options_.behindProxy;
    const auto handler = [this, tls, proxy](const httplib::Request& request, httplib::Response& response) {
        Answer(request, response, app_, tls, proxy);
    };
    server_->Get(".*", handler);
    server_->Post(".*", handler);
    server_->Put(".*", handler);
    server_->Patch(".*", handler);
    server_->Delete(".*", handler);
    server_->Options(".*", handler);
    server_->set_exception_handler([this](const httplib::Request&, httplib::Response& response,
                                          const std::exception_ptr&) {
        log_.Write("a request failed inside the server");
        response.status = 500;
        response.set_content("{\"error\":\"The server failed on this request.\"}", "application/json; charset=utf-8");
    });
    if (options_.port == 0) {
        port_ = server_->bind_to_any_port(options_.listen.c_str());
        if (port_ < 0) return "cannot listen on " + options_.listen;
    } else {
        if (!server_->bind_to_port(options_.listen.c_str(), options_.port)) {
            return "cannot listen on " + options_.listen + " port " + std::to_string(options_.port) +
                   " (in use by another program, or a port below 1024 without the right)";
        }
        port_ = options_.port;
    }
    return {};
}

void HttpServer::Run() {
    if (server_) server_->listen_after_bind();
}

void HttpServer::Stop() {
    if (server_) server_->stop();
}

}  // namespace pell::web
