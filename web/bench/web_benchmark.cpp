// Figures of pell-web, printed, never asserted (run by scripts/bench-web.sh):
//   search  the calls page's search over an SQLite index of 1,000,000 calls through the real
//           server on localhost: the median time of one request, and wrk's rate with 8
//           connections, against `pell-catalogue search` on the same index (what an office
//           without the web client runs);
//   stream  20 listeners fetching 20 different recordings at once with wrk: the rate each
//           one gets against the 3 KB/s a call needs to play without a stall, the slowest
//           answer, and the server's CPU share.
#include <httplib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "index/core/call_index.h"
#include "index/open/open_call_index.h"
#include "index/sqlite/sqlite_call_store.h"
#include "player/catalogue/record_list.h"
#include "web/server/http_server.h"
#include "web/server/posix_ports.h"

namespace pell::web {
namespace {

using Steady = std::chrono::steady_clock;
namespace fs = std::filesystem;
constexpr int kListeners = 20;
constexpr const char* kPassword = "benchmark password";
constexpr int64_t kOpensAt = 8 * int64_t{3600};  // the office's calls come from 08:00
constexpr unsigned kOpenSeconds = 10 * 3600u;    // for ten hours

double Ms(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double CpuSeconds() {
    rusage use{};
    ::getrusage(RUSAGE_SELF, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

std::string Run(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, got);
        ::pclose(pipe);
    }
    return out;
}

// The line of wrk's report that starts with `label`, as printed.
std::string WrkLine(const std::string& report, const std::string& label) {
    std::size_t at = report.find(label);
    if (at == std::string::npos) return "(not reported)";
    const std::size_t end = report.find('\n', at);
    std::string line = report.substr(at, end - at);
    while (!line.empty() && line.front() == ' ') line.erase(line.begin());
    return line;
}

// Five years of an office's calls, one folder a day, straight into the store.
void Generate(const std::string& indexFile, const std::string& root, int calls) {
    SqliteCallStore::Opened opened = SqliteCallStore::Open(indexFile);
    if (!opened.store) std::abort();
    CallStore& store = *opened.store;
    std::mt19937 random(20261209);
    const int days = 1826;
    const auto first = std::chrono::sys_days{std::chrono::year{2021} / 1 / 1};
    const int64_t rootId = store.RootId(root).value;
    int made = 0;
    for (int day = 0; day < days; ++day) {
        const std::chrono::sys_days date = first + std::chrono::days{day};
        const int64_t dayStart = std::chrono::duration_cast<std::chrono::seconds>(date.time_since_epoch()).count();
        const int64_t folder = store.FolderId(rootId, DayFolderName(std::chrono::year_month_day{date})).value;
        const int count = (calls - made) / (days - day);
        std::vector<CallFacts> rows;
        for (int i = 0; i < count; ++i) {
            CallFacts f;
            f.name = "c" + std::to_string(made + i) + ".mp3";
            f.readable = f.timesKnown = true;
            f.durationSeconds = 5 + static_cast<int64_t>(random() % 900);
            f.startTime = dayStart + kOpensAt + static_cast<int64_t>(random() % kOpenSeconds);
            f.line = random() % 2 == 0 ? "Line 1" : "Line 2";
            f.number = "0" + std::to_string(1'000'000'000 + random() % 1'000'000'000);
            f.direction = random() % 2 == 0 ? CallDirection::kIncoming : CallDirection::kOutgoing;
            if (random() % 10 == 0) f.bookmark = random() % 2 == 0 ? "refund promised" : "call back monday";
            f.stamp = {f.durationSeconds * 3000 + 128, (f.startTime + f.durationSeconds) * 1'000'000'000,
                       (f.startTime + f.durationSeconds) * 1'000'000'000, static_cast<uint64_t>(made + i) + 10};
            f.contentKey = "0123456789abcdef";
            rows.push_back(std::move(f));
        }
        made += count;
        if (!store.ApplyFiles(folder, rows, {}, FolderMark{1, true, 1}).Ok()) std::abort();
    }
}

// `seconds` of 24 kbit/s frames (3,000 bytes a second) and the recorder's tag.
std::string Recording(int seconds) {
    std::string bytes(static_cast<std::size_t>(seconds) * 3000, '\0');
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 72) bytes.replace(at, 4, "\xFF\xF3\x48\xC4");
    std::string tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, 7, "5550000");
    tag.replace(33, 6, "Line 1");
    tag[95] = 'I';
    tag[96] = 1;
    tag[127] = 0x65;
    return bytes + tag;
}

struct Bench {
    httplib::Client& client;
    const httplib::Headers& headers;
    const std::string& cookie;
    const std::string& host;
    const std::string& scratch;
    const std::string& catalogue;
    const std::string& indexFile;
    const std::string& root;
    int seconds;
};

void SearchFigures(const Bench& b, int calls) {
    const std::string& host = b.host;
    const std::string& cookie = b.cookie;
    const int seconds = b.seconds;
    std::printf("\nsearch over %d calls (SQLite), the server on %s\n", calls, host.c_str());
    const struct {
        const char* what;
        std::string query;
        std::string cli;
    } searches[] = {
        {"number 555, first 200", "number=555&limit=200", "--number 555 --limit 200"},
        {"bookmark \"refund\", first 200", "text=refund&limit=200", "--text refund --limit 200"},
        {"one month, longest first, 200", "from=2024-03-01&to=2024-03-31&sort=duration&limit=200",
         "--from 2024-03-01 --to 2024-03-31 --sort duration --limit 200"},
    };
    for (const auto& s : searches) {
        std::vector<double> times;
        std::size_t rows = 0;
        for (int i = 0; i < 21; ++i) {
            const auto start = Steady::now();
            auto result = b.client.Get("/api/calls?" + s.query, b.headers);
            times.push_back(Ms(Steady::now() - start));
            if (result && result->status == 200) rows = nlohmann::json::parse(result->body)["calls"].size();
        }
        std::vector<double> cli;
        for (int i = 0; i < 5; ++i) {
            const auto start = Steady::now();
            std::string command = b.catalogue;
            command += " search " + s.cli;
            command += " --index " + b.indexFile;
            command += " " + b.root + " >/dev/null 2>&1";
            Run(command);
            cli.push_back(Ms(Steady::now() - start));
        }
        const double web = Median(times);
        const double tool = Median(cli);
        std::printf("  %-34s %4zu rows  web %7.1f ms median   pell-catalogue search %7.1f ms   ratio %.1fx\n", s.what,
                    rows, web, tool, tool / web);
    }
    const std::string wrkSearch = Run("wrk -t2 -c8 -d" + std::to_string(seconds) + "s --latency -H 'Cookie: " + cookie +
                                      "' 'http://" + host + "/api/calls?number=555&limit=200' 2>&1");
    std::printf("  wrk, 8 connections, number 555: %s; %s\n", WrkLine(wrkSearch, "Requests/sec").c_str(),
                WrkLine(wrkSearch, "50%").c_str());
}

void StreamFigures(const Bench& b, const std::vector<int64_t>& streamIds) {
    const std::string& host = b.host;
    const std::string& cookie = b.cookie;
    const std::string& scratch = b.scratch;
    const int seconds = b.seconds;
    // Each connection streams its own recording, whole, again and again.
    std::string script = "local ids = {";
    for (const int64_t id : streamIds) script += std::to_string(id) + ",";
    script +=
        "}\nlocal next = 0\nsetup = function(thread) end\nrequest = function()\n  next = next + 1\n"
        "  return wrk.format('GET', '/api/calls/' .. ids[(next % #ids) + 1] .. '/audio')\nend\n";
    std::ofstream(scratch + "/listeners.lua") << script;
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = Steady::now();
    const std::string wrkStream =
        Run("wrk -t2 -c" + std::to_string(kListeners) + " -d" + std::to_string(seconds) +
            "s --latency -H 'Cookie: " + cookie + "' -s " + scratch + "/listeners.lua 'http://" + host + "' 2>&1");
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = Ms(Steady::now() - wallBefore) / 1000;
    std::printf("\n%d listeners, each fetching its own 10-minute recording (1.8 MB) again and again\n", kListeners);
    std::printf("  %s\n  %s\n  %s\n", WrkLine(wrkStream, "Requests/sec").c_str(),
                WrkLine(wrkStream, "Transfer/sec").c_str(), WrkLine(wrkStream, "Latency").c_str());
    const std::string transfer = WrkLine(wrkStream, "Transfer/sec:");
    double rate = 0;
    if (std::sscanf(transfer.c_str(), "Transfer/sec: %lf", &rate) == 1) {
        const double perListenerMBs = (transfer.find("GB") != std::string::npos ? rate * 1024 : rate) / kListeners;
        std::printf("  per listener %.1f MB/s against 0.003 MB/s to play: %.0fx real time\n", perListenerMBs,
                    perListenerMBs / 0.003);
    }
    std::printf("  server CPU %.0f%% of one core over %.1f s (wrk on the same machine)\n", 100 * cpu / wall, wall);
}

int Main(int argc, char** argv) {
    int calls = 1'000'000;
    std::string scratch = "/var/tmp/pell-web-bench";
    std::string catalogue = "build/tools/pell-catalogue/pell-catalogue";
    int seconds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--calls") calls = std::stoi(argv[i + 1]);
        if (flag == "--scratch") scratch = argv[i + 1];
        if (flag == "--catalogue") catalogue = argv[i + 1];
        if (flag == "--seconds") seconds = std::stoi(argv[i + 1]);
    }
    fs::create_directories(scratch);
    const std::string indexFile = scratch + "/index-" + std::to_string(calls) + ".sqlite";
    const std::string root = scratch + "/records";
    const std::string streams = scratch + "/streams";
    if (!fs::exists(indexFile)) {
        std::printf("generating %d calls into %s ...\n", calls, indexFile.c_str());
        std::fflush(stdout);
        const auto start = Steady::now();
        Generate(indexFile + ".new", root, calls);
        fs::rename(indexFile + ".new", indexFile);
        std::printf("  %.0f s\n", Ms(Steady::now() - start) / 1000);
    }
    // Twenty ten-minute recordings, each 1.8 MB, for the listeners.
    fs::create_directories(streams + "/09.12.2026");
    for (int i = 0; i < kListeners; ++i) {
        const std::string path = streams + "/09.12.2026/s" + std::to_string(i) + ".mp3";
        if (!fs::exists(path)) std::ofstream(path, std::ios::binary) << Recording(600);
    }

    StderrLog log;
    SystemClock clock;
    KernelRandom random;
    SodiumPasswords passwords;
    UserList list;
    list.users.push_back({"bench", Role::kAdmin, {}, passwords.Hash(kPassword)});
    std::ofstream(scratch + "/users") << FormatUsers(list);
    UsersFile users(scratch + "/users", log);
    ConfiguredRoots roots({root, streams}, "");
    IndexPlace place;
    place.sqliteOverride = indexFile;
    OpenIndexResult opened = OpenCallIndex(place);
    if (!opened.index) {
        std::fprintf(stderr, "%s\n", opened.status.message.c_str());
        return 1;
    }
    opened.index->Index().Refresh({streams});
    std::vector<int64_t> streamIds;
    for (const CallRecord& call : opened.index->Index().Search({streams}, {}, {}, 0).value.calls) {
        streamIds.push_back(call.id);
    }
    std::vector<std::unique_ptr<OpenedCallIndex>> indexes;
    indexes.push_back(std::move(opened.index));
    for (int i = 1; i < 4; ++i) indexes.push_back(OpenCallIndex(place).index);
    IndexCalls index(std::move(indexes), log);
    PosixRecordings recordings;
    // The server's lines for every request would flood the terminal: they go nowhere here; the
    // audit entries go to the scratch roots' audit.log as they would in use.
    class Quiet final : public EventLog {
    public:
        void Write(const std::string&) override {}
    } quiet;
    LibraryCustody custody;
    PosixRecorderFiles recorders;
    BuiltInAssets assets;
    WebApp app(
        WebAppPorts{clock, random, passwords, users, roots, index, recordings, custody, recorders, assets, quiet},
        WebAppSettings{});
    ServerOptions options;
    options.port = 0;
    HttpServer server(app, options, log);
    if (const std::string problem = server.Bind(); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    std::thread serving([&] { server.Run(); });
    const std::string host = "127.0.0.1:" + std::to_string(server.Port());

    httplib::Client client("127.0.0.1", server.Port());
    auto login = client.Post("/api/login", {{"Origin", "http://" + host}},
                             httplib::Params{{"name", "bench"}, {"password", kPassword}});
    if (!login || login->status != 200) {
        std::fprintf(stderr, "log-in failed\n");
        server.Stop();
        serving.join();
        return 1;
    }
    const std::string setCookie = login->get_header_value("Set-Cookie");
    const std::string cookie = setCookie.substr(0, setCookie.find(';'));
    const httplib::Headers headers{{"Cookie", cookie}};

    SearchFigures({client, headers, cookie, host, scratch, catalogue, indexFile, root, seconds}, calls);
    StreamFigures({client, headers, cookie, host, scratch, catalogue, indexFile, root, seconds}, streamIds);
    server.Stop();
    serving.join();
    return 0;
}

}  // namespace
}  // namespace pell::web

int main(int argc, char** argv) { return pell::web::Main(argc, argv); }
