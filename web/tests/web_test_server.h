// The pell-web of the HTTP tests: the real server on a free localhost port over real files, an
// index (SQLite, or the database an index.ini names) and Argon2id, and a client that behaves as
// a browser or as an attacker would.
#pragma once

#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/core/clock.h"
#include "common/core/recording_tag_layout.h"
#include "index/open/open_call_index.h"
#include "player/catalogue/catalogue_test_support.h"
#include "player/catalogue/recording_tag.h"
#include "testsupport/temp_dir.h"
#include "web/core/testing/web_fakes.h"
#include "web/server/http_server.h"
#include "web/server/posix_ports.h"

namespace pell::web {

using Json = nlohmann::json;
namespace fs = std::filesystem;

struct ServerSetup {
    bool tls = false;
    // A folder whose index.ini names the index (a PostgreSQL database); empty: an SQLite file.
    std::string indexProgramFolder;
    std::vector<std::string> recorderFolders;
};

inline constexpr const char* kDay = "01.03.2026";
inline constexpr const char* kPassword = "correct horse battery";

inline TagBytes TagOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TagBytes tag{};
    if (bytes.size() >= kTagSize) std::copy(bytes.end() - kTagSize, bytes.end(), tag.begin());
    return tag;
}
inline std::string BookmarkOf(const std::string& path) { return ReadTagText(TagOf(path), tag_offset::kComment); }
inline bool PlayedOf(const std::string& path) { return TagOf(path)[tag_offset::kPlayed] != 0; }

// Fast hashes for the tests' accounts: verification reads the cost from the hash itself.
inline SodiumPasswords::Cost Cheap() { return {1, 8192}; }

struct Server {
    TempDir dir;
    std::string root;
    std::string secret;  // a file outside every root
    test::FakeLog log;
    SystemClock clock;
    KernelRandom random;
    SodiumPasswords passwords{Cheap()};
    std::unique_ptr<UsersFile> users;
    std::unique_ptr<ConfiguredRoots> roots;
    std::unique_ptr<IndexCalls> calls;
    PosixRecordings recordings;
    LibraryCustody custody;
    PosixRecorderFiles recorders;
    BuiltInAssets assets;
    std::unique_ptr<WebApp> app;
    std::unique_ptr<HttpServer> http;
    std::thread thread;
    std::map<std::string, int64_t> ids;  // file name -> index id

    void Recording(const std::string& name, const std::string& number, const std::string& line, int seconds) {
        const std::string bytes =
            pell::test::Layer3Audio(seconds) + pell::test::TagString(pell::test::RecorderTag(number, line));
        std::ofstream(root + "/" + kDay + "/" + name, std::ios::binary) << bytes;
    }

    explicit Server(const ServerSetup& setup = {}) {
        root = dir.File("records");
        fs::create_directories(root + "/" + kDay);
        secret = dir.File("secret.txt");
        std::ofstream(secret) << "the payroll, not a recording";
        Recording("in-1.mp3", "5551234", "Line 1", 4);
        Recording("in-2.mp3", "0123456", "Line 2", 3);
        Recording("in-3.mp3", "7778888", "Line 1", 2);
        UserList list;
        list.users.push_back({"alice", Role::kAdmin, {}, passwords.Hash(kPassword)});
        list.users.push_back({"bob", Role::kListener, {"Line 1"}, passwords.Hash(kPassword)});
        std::ofstream(dir.File("users")) << FormatUsers(list);
        users = std::make_unique<UsersFile>(dir.File("users"), log);
        roots = std::make_unique<ConfiguredRoots>(std::vector<std::string>{root}, "");
        IndexPlace place;
        if (setup.indexProgramFolder.empty()) {
            place.sqliteOverride = dir.File("index.sqlite");
        } else {
            place.programFolder = setup.indexProgramFolder;
        }
        OpenIndexResult opened = OpenCallIndex(place);
        if (!opened.index) {
            ADD_FAILURE() << opened.status.message;
            return;
        }
        opened.index->Index().Refresh({root});
        for (const CallRecord& call :
             opened.index->Index().Search({root}, CallCriteria{}, CallOrder{}, 0).value.calls) {
            ids[call.facts.name] = call.id;
        }
        std::vector<std::unique_ptr<OpenedCallIndex>> indexes;
        indexes.push_back(std::move(opened.index));
        calls = std::make_unique<IndexCalls>(std::move(indexes), log);
        WebAppSettings settings;
        settings.recorderFolders = setup.recorderFolders;
        app = std::make_unique<WebApp>(
            WebAppPorts{clock, random, passwords, *users, *roots, *calls, recordings, custody, recorders, assets, log},
            settings);
        ServerOptions options;
        options.port = 0;
        options.threads = 8;
        if (setup.tls) {
            const std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost -keyout " +
                                     dir.File("key.pem") + " -out " + dir.File("cert.pem") + " 2>/dev/null";
            EXPECT_EQ(std::system(make.c_str()), 0);
            options.certificate = dir.File("cert.pem");
            options.privateKey = dir.File("key.pem");
        }
        http = std::make_unique<HttpServer>(*app, options, log);
        const std::string problem = http->Bind();
        EXPECT_EQ(problem, "");
        thread = std::thread([this] { http->Run(); });
    }
    ~Server() {
        if (!http) return;
        http->Stop();
        thread.join();
    }
    std::string Path(const std::string& name) const { return root + "/" + kDay + "/" + name; }
};

struct Browser {
    httplib::Client client;
    std::string cookie;
    std::string csrf;
    std::string host;

    explicit Browser(int port) : client("127.0.0.1", port), host("127.0.0.1:" + std::to_string(port)) {
        client.set_read_timeout(10, 0);
    }
    httplib::Headers Headers(httplib::Headers extra = {}) const {
        if (!cookie.empty()) extra.emplace("Cookie", cookie);
        return extra;
    }
    httplib::Result Get(const std::string& path, httplib::Headers extra = {}) {
        return client.Get(path, Headers(std::move(extra)));
    }
    // A change as the page sends it: its origin and the form token.
    httplib::Result Post(const std::string& path, const httplib::Params& form, httplib::Headers extra = {},
                         bool withToken = true) {
        extra.emplace("Origin", "http://" + host);
        if (withToken) extra.emplace("X-CSRF-Token", csrf);
        return client.Post(path, Headers(std::move(extra)), form);
    }
    int LogIn(const std::string& name, const std::string& password) {
        auto result = Post("/api/login", {{"name", name}, {"password", password}}, {}, false);
        if (!result) return -1;
        if (result->status == 200) {
            const std::string set = result->get_header_value("Set-Cookie");
            cookie = set.substr(0, set.find(';'));
            csrf = Json::parse(result->body)["csrf"];
        }
        return result->status;
    }
};

}  // namespace pell::web
