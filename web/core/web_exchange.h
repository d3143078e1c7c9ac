// One request and its answer as the web core sees them: the HTTP adapter copies what the core
// needs out of the library's request and writes the response back, nothing more.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "web/core/ports.h"
#include "web/core/search_request.h"

namespace pell::web {

struct WebRequest {
    std::string method;         // "GET", "HEAD", "POST", ...
    std::string path;           // percent-decoded, without the query
    Parameters params;          // the query's, and a form body's, in order
    std::string cookie;         // the Cookie header
    std::string csrfToken;      // X-CSRF-Token
    std::string origin;         // Origin
    std::string fetchSite;      // Sec-Fetch-Site
    std::string host;           // Host
    std::string range;          // Range
    std::string ifNoneMatch;    // If-None-Match
    std::string contentType;    // Content-Type of a body
    std::string remoteAddress;  // the client (or, behind a trusted proxy, the one it names)
    bool secure = false;        // came over TLS, or through a proxy that says so

    const std::string* Param(std::string_view name) const;
};

struct WebResponse {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // A recording's bytes [fileOffset, fileOffset + fileLength) instead of `body`.
    std::shared_ptr<OpenRecording> file;
    int64_t fileOffset = 0;
    int64_t fileLength = 0;

    void Header(std::string name, std::string value) { headers.emplace_back(std::move(name), std::move(value)); }
    const std::string* FindHeader(std::string_view name) const;
};

// The value of one cookie in a Cookie header; empty when it is not there.
std::string CookieValue(std::string_view header, std::string_view name);

// UTF-8 as the standard defines it: no overlong forms, surrogates or code points past U+10FFFF.
bool ValidUtf8(std::string_view text);

// Why a bookmark cannot be stored as typed (empty when it can): the tag holds 30 bytes of
// UTF-8 and one line.
std::string BookmarkProblem(std::string_view text);

// A download's file name: line, start and number of the call, only letters, digits, "-" and "_"
// kept, ending ".mp3".
std::string DownloadName(std::string_view line, std::string_view start, std::string_view number);

}  // namespace pell::web
