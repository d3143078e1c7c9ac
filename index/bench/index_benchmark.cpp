// Figures of the call index on 1,000,000 recordings, printed, never asserted:
//   search   rows generated straight into the store (SQLite, or PostgreSQL on a private server),
//            the median of each search, against listing the same calls by date range (each
//            file read, at the cost per file measured on real files here), and the memory of
//            a process holding the index and a 10,000-row result;
//   refresh  real files: the first build of 100,000 recordings cold against `list` cold, then
//            a 1,000,000-recording tree: a refresh with nothing changed and with 100 new calls.
// Run by scripts/bench-index.sh; see docs/developing.md.
#include <fcntl.h>
#include <libpq-fe.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "index/core/call_index.h"
#include "index/postgres/postgres_call_store.h"
#include "index/postgres/testing/pg_test_server.h"
#include "index/sqlite/sqlite_call_store.h"
#include "player/catalogue/record_list.h"
#include "testsupport/manual_clock.h"

namespace pell {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kDays = 1826;  // five years
const std::chrono::sys_days kFirstDay{
    std::chrono::year_month_day{std::chrono::year{2021}, std::chrono::January, std::chrono::day{1}}};
const NumberPlan kPlan{"44", "0", "00"};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double TimeMs(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return Milliseconds(Clock::now() - start);
}

double CpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000 + static_cast<double>(now.tv_nsec) / 1e6;
}

double LoadAverage() {
    double load = 0;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

struct Memory {
    long totalKiB = 0;
    long anonKiB = 0;  // the process's own
    long fileKiB = 0;  // file pages mapped, shared with the page cache
};

Memory ResidentMemory() {
    std::ifstream status("/proc/self/status");
    std::string line;
    Memory memory;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) memory.totalKiB = std::atol(line.c_str() + 6);
        if (line.rfind("RssAnon:", 0) == 0) memory.anonKiB = std::atol(line.c_str() + 8);
        if (line.rfind("RssFile:", 0) == 0) memory.fileKiB = std::atol(line.c_str() + 8);
    }
    return memory;
}

std::string DayName(int day) { return DayFolderName(std::chrono::year_month_day{kFirstDay + std::chrono::days{day}}); }

int64_t DayStart(int day) {
    return std::chrono::duration_cast<std::chrono::seconds>((kFirstDay + std::chrono::days{day}).time_since_epoch())
        .count();
}

// A realistic office: 20 area codes, callers who call again, one call in ten bookmarked.
class CallMaker {
public:
    CallFacts Make(int day, int index) {
        static const char* kAreas[] = {"0171", "0207", "0161", "0113",  "0121", "0131", "0141",
                                       "0151", "0117", "0191", "01632", "0118", "0114", "0115",
                                       "0116", "0239", "0238", "0247",  "0289", "07700"};
        static const char* kWords[] = {"refund", "invoice", "delivery", "complaint", "order",   "callback", "quote",
                                       "monday", "urgent",  "contract", "renewal",   "address", "payment",  "manager"};
        CallFacts f;
        f.name = "a" + std::to_string(1'000'000 + index) + ".mp3";
        f.readable = f.timesKnown = true;
        f.durationSeconds = 5 + static_cast<int64_t>(random_() % 900);
        f.startTime = DayStart(day) + 8 * 3600 + static_cast<int64_t>(random_() % (10 * 3600));
        f.line = random_() % 2 == 0 ? "Line 1" : "Line 2";
        if (!callers_.empty() && random_() % 10 < 3) {
            f.number = callers_[random_() % callers_.size()];
        } else {
            char digits[16];
            std::snprintf(digits, sizeof digits, "%07u", static_cast<unsigned>(random_() % 10'000'000));
            f.number = std::string(kAreas[random_() % 20]) + digits;
            if (callers_.size() < 50'000) callers_.push_back(f.number);
        }
        f.direction = static_cast<CallDirection>(1 + random_() % 2);
        if (random_() % 10 == 0) {
            f.bookmark = std::string(kWords[random_() % 14]) + " " + kWords[random_() % 14];
            if (f.bookmark.size() > 30) f.bookmark.resize(30);
        }
        f.played = random_() % 3 != 0;
        f.stamp = {static_cast<int64_t>(f.durationSeconds * 2000 + 128),
                   (f.startTime + f.durationSeconds) * 1'000'000'000, (f.startTime + f.durationSeconds) * 1'000'000'000,
                   static_cast<uint64_t>(index) + 1000};
        f.contentKey = "0123456789abcdef";
        return f;
    }

private:
    std::mt19937 random_{20260310};
    std::vector<std::string> callers_;
};

// Rows straight into a store, one folder per day; for PostgreSQL through COPY.
void Generate(CallStore& store, PGconn* copyInto, int rows) {
    CallMaker maker;
    const int64_t root = store.RootId("/srv/rec").value;
    int made = 0;
    for (int day = 0; day < kDays; ++day) {
        const int64_t folder = store.FolderId(root, DayName(day)).value;
        const int count = (rows - made) / (kDays - day);
        std::vector<CallFacts> calls;
        for (int i = 0; i < count; ++i) calls.push_back(maker.Make(day, made + i));
        made += count;
        if (copyInto == nullptr) {
            if (!store.ApplyFiles(folder, calls, {}, FolderMark{1, true, 1}).Ok()) std::abort();
        } else {
            std::string data;
            for (const CallFacts& f : calls) {
                std::string words = f.bookmark;
                data += std::to_string(root) + '\t' + std::to_string(folder) + '\t' + DayName(day) + '\t' + f.name +
                        "\tt\tt\t" + std::to_string(f.startTime) + '\t' + std::to_string(f.EndTime()) + '\t' +
                        std::to_string(f.durationSeconds) + '\t' + f.line + '\t' + f.number + '\t' + f.number + '\t' +
                        std::to_string(static_cast<int>(f.direction)) + '\t' + f.bookmark + '\t' + words + '\t' +
                        (f.played ? "t" : "f") + "\tf\t" + std::to_string(f.stamp.size) + '\t' +
                        std::to_string(f.stamp.mtimeNs) + '\t' + std::to_string(f.stamp.ctimeNs) + '\t' +
                        std::to_string(f.stamp.inode) + '\t' + f.contentKey + '\n';
            }
            PQclear(PQexec(
                copyInto,
                "COPY calls(root_id, folder_id, folder, name, readable, times_known, start_time, end_time, duration, "
                "line, number, digits, direction, bookmark, words, played, protected, size, mtime_ns, "
                "ctime_ns, inode, content_key) FROM STDIN"));
            PQputCopyData(copyInto, data.data(), static_cast<int>(data.size()));
            PQputCopyEnd(copyInto, nullptr);
            PQclear(PQgetResult(copyInto));
        }
        if (day % 200 == 0) std::fprintf(stderr, "\r  generating: %d rows", made);
    }
    std::fprintf(stderr, "\r  generated %d rows\n", made);
}

// What listing by date range costs per file on this machine: real 4 KiB recordings, warm.
double ListCostPerFileUs(const std::string& folder) {
    constexpr int kFiles = 20'000;
    std::string bytes(1024, '\0');
    bytes.replace(0, 4, "\xFF\xF3\x20\xC4", 4);
    bytes.replace(1024 - 128, 3, "TAG");
    for (int i = 0; i < kFiles; ++i) {
        const std::string day = folder + "/" + DayName(i / 500);
        std::filesystem::create_directories(day);
        std::ofstream(day + "/a" + std::to_string(1'000'000 + i) + ".mp3", std::ios::binary) << bytes;
    }
    const auto first = std::chrono::year_month_day{kFirstDay};
    const auto last = std::chrono::year_month_day{kFirstDay + std::chrono::days{kFiles / 500}};
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        runs.push_back(TimeMs([&] {
            if (FillRecordList({folder}, first, last).size() != kFiles) std::abort();
        }));
    }
    std::filesystem::remove_all(folder);
    return Median(runs) * 1000.0 / kFiles;
}

struct Query {
    const char* name;
    CallCriteria criteria;
    int listDays;  // the days a user would have to list to answer it today
};

int SearchFigures(const std::string& storeKind, int rows, const std::string& scratch, int runs, bool reuse,
                  const std::string& connection) {
    std::unique_ptr<test::PgTestServer> server;
    std::unique_ptr<CallStore> store;
    PGconn* copy = nullptr;
    if (storeKind == "postgres") {
        std::string target = connection;
        if (target.empty()) {
            std::string whyNot;
            bool missing = false;
            server = test::PgTestServer::Start(whyNot, missing);
            if (!server) {
                std::fprintf(stderr, "no PostgreSQL server: %s\n", whyNot.c_str());
                return 1;
            }
            target = server->Connection(server->CreateDatabase());
        }
        auto opened = PostgresCallStore::Open(target);
        if (!opened.store) return std::fprintf(stderr, "%s\n", opened.status.message.c_str()), 1;
        store = std::move(opened.store);
        if (!reuse || store->CountCalls({"/srv/rec"}).value != rows) copy = PQconnectdb(target.c_str());
    } else {
        std::filesystem::create_directories(scratch);
        const std::string file = scratch + "/bench.sqlite";
        if (!reuse) std::filesystem::remove(file);
        auto opened = SqliteCallStore::Open(file);
        if (!opened.store) return std::fprintf(stderr, "%s\n", opened.error.c_str()), 1;
        store = std::move(opened.store);
    }
    std::printf("== search, %s, %d recordings over %d days\n", store->Describe().c_str(), rows, kDays);
    const bool generate =
        storeKind == "postgres" ? copy != nullptr : !reuse || store->CountCalls({"/srv/rec"}).value != rows;
    const double generateCpu = CpuMs();
    const double generateMs = generate ? TimeMs([&] { Generate(*store, copy, rows); }) : 0.0;
    std::printf("  (%.1f s of CPU)\n", (CpuMs() - generateCpu) / 1000);
    if (copy != nullptr) {
        PQclear(PQexec(copy, "VACUUM ANALYZE calls"));
        PQfinish(copy);
    }
    std::printf("rows generated and indexed in %.1f s\n", generateMs / 1000);
    const double listUs = ListCostPerFileUs(scratch + "/list-sample");
    std::printf("listing by date range today: %.1f us per recording (20,000 real files, warm)\n", listUs);

    SystemClock clock;
    struct NoFiles final : CallFiles {
        FolderListing List(const std::string&, const EntryFilter&) override { return {}; }
        std::optional<CallFacts> Read(const std::string&, const std::string&, const FileStamp&) override { return {}; }
        FolderCustody ReadCustody(const std::string&) override { return {}; }
    } noFiles;
    CallIndex index(*store, noFiles, clock, kPlan);
    const int64_t march = DayStart(4 * 365 + 59);  // a month in the fifth year
    std::vector<Query> queries = {
        {"number substring \"0171 555\"", CallCriteria{.number = "0171 555"}, kDays},
        {"number substring \"5551\"", CallCriteria{.number = "5551"}, kDays},
        {"text word \"refund\"", CallCriteria{.text = "refund"}, kDays},
        {"date range (one month)", CallCriteria{.startFrom = march, .startBefore = march + 31 * 86'400}, 31},
        {"combined (0171, a year, Line 1, incoming)",
         CallCriteria{.number = "0171",
                      .startFrom = march - 365 * 86'400,
                      .startBefore = march,
                      .lines = std::vector<std::string>{"Line 1"},
                      .direction = CallDirection::kIncoming},
         kDays}};
    std::printf("load average %.1f on %u cores (other work shares them: CPU ms is this process's own time)\n",
                LoadAverage(), std::thread::hardware_concurrency());
    std::printf("%-44s %8s %10s %8s %12s %14s %9s\n", "search", "calls", "median ms", "CPU ms", "first 1000 ms",
                "list today ms", "ratio");
    for (const Query& q : queries) {
        std::size_t found = 0;
        std::vector<double> times;
        std::vector<double> cpu;
        for (int run = 0; run < runs; ++run) {
            const double cpuBefore = CpuMs();
            times.push_back(TimeMs([&] {
                auto result = index.Search({"/srv/rec"}, q.criteria);
                if (!result.Ok()) std::fprintf(stderr, "%s\n", result.status.message.c_str()), std::abort();
                found = result.value.calls.size();
            }));
            cpu.push_back(CpuMs() - cpuBefore);
        }
        // What a list or a page shows first: the newest 1,000.
        std::vector<double> page;
        for (int run = 0; run < runs; ++run) {
            page.push_back(TimeMs([&] { index.Search({"/srv/rec"}, q.criteria, CallOrder{}, 1000); }));
        }
        const double median = Median(times);
        const double listMs = listUs * rows / kDays * q.listDays / 1000.0;
        std::printf("%-44s %8zu %10.1f %8.1f %12.1f %14.0f %8.0fx\n", q.name, found, median, Median(cpu), Median(page),
                    listMs, listMs / median);
    }
    if (storeKind != "postgres" && !reuse) std::filesystem::remove_all(scratch);
    return 0;
}

// In a process of its own, so nothing earlier inflates the figure: the index of a search run
// opened, then a search showing 10,000 rows held as the list's rows.
int MemoryFigure(const std::string& scratch) {
    const Memory start = ResidentMemory();
    auto store = SqliteCallStore::Open(scratch + "/bench.sqlite").store;
    if (!store) return std::fprintf(stderr, "no index in %s: run search --reuse first\n", scratch.c_str()), 1;
    SystemClock clock;
    struct NoFiles final : CallFiles {
        FolderListing List(const std::string&, const EntryFilter&) override { return {}; }
        std::optional<CallFacts> Read(const std::string&, const std::string&, const FileStamp&) override { return {}; }
        FolderCustody ReadCustody(const std::string&) override { return {}; }
    } noFiles;
    CallIndex index(*store, noFiles, clock, kPlan);
    const Memory opened = ResidentMemory();
    const int64_t march = DayStart(4 * 365 + 59);
    auto page = index.Search({"/srv/rec"}, CallCriteria{.startFrom = march - 20 * 86'400}, CallOrder{}, 10'000);
    std::vector<RecordRow> shown;
    for (std::size_t i = 0; i < page.value.calls.size(); ++i) shown.push_back(ToRecordRow(page.value.calls[i], i));
    page.value.calls.clear();
    page.value.calls.shrink_to_fit();
    const Memory after = ResidentMemory();
    const int64_t calls = store->CountCalls({"/srv/rec"}).value;
    std::printf(
        "memory, %lld calls indexed, %zu rows shown: %.1f MiB resident (%.1f MiB private, %.1f MiB of index "
        "pages mapped from the file); at start %.1f MiB, with the index open %.1f MiB private\n",
        static_cast<long long>(calls), shown.size(), after.totalKiB / 1024.0, after.anonKiB / 1024.0,
        after.fileKiB / 1024.0, start.anonKiB / 1024.0, opened.anonKiB / 1024.0);
    return 0;
}

// Tiny real recordings: a frame header at byte 0 and the recorder's tag.
void WriteTree(const std::string& root, int files, int days, int firstIndex = 0) {
    std::string bytes(1024, '\0');
    bytes.replace(0, 4, "\xFF\xF3\x20\xC4", 4);
    bytes.replace(1024 - 128, 3, "TAG");
    bytes.replace(1024 - 125, 10, "0171555123");
    bytes.replace(1024 - 95, 6, "Line 1");
    bytes[1024 - 33] = 'I';
    bytes[1024 - 1] = 0x65;
    int written = 0;
    ::mkdir(root.c_str(), 0755);
    for (int day = 0; day < days; ++day) {
        const std::string folder = root + "/" + DayName(day);
        ::mkdir(folder.c_str(), 0755);
        const int count = (files - written) / (days - day);
        const int64_t end = DayStart(day) + 18 * 3600;
        for (int i = 0; i < count; ++i) {
            const std::string path = folder + "/a" + std::to_string(1'000'000 + firstIndex + written + i) + ".mp3";
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
            const struct timespec times[2] = {{end, 0}, {end, 0}};
            ::futimens(fd, times);
            ::close(fd);
        }
        written += count;
        const struct timespec times[2] = {{end, 0}, {end, 0}};
        ::utimensat(AT_FDCWD, folder.c_str(), times, 0);
        if (day % 50 == 0) std::fprintf(stderr, "\r  writing: %d files", written);
    }
    std::fprintf(stderr, "\r  wrote %d files\n", written);
}

// Evicts the tree from the page cache: every file's pages, and with `dropAll` (root) the
// kernel's inode and folder caches too.
void MakeCold(const std::string& root, bool dropAll) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
    if (dropAll) {
        ::sync();
        std::ofstream("/proc/sys/vm/drop_caches") << "3\n";
    }
}

int RefreshFigures(const std::string& scratch, int files, int buildFiles, bool dropAll, bool reuse) {
    if (!reuse) std::filesystem::remove_all(scratch);
    std::filesystem::create_directories(scratch);
    std::printf("== refresh and first build on real files under %s\n", scratch.c_str());
    // Two days from now: the files were all written (their change times) just now, and in use
    // the old day folders have been quiet for much longer.
    const std::time_t inTwoDays = std::time(nullptr) + 2 * 86'400;
    std::tm local{};
    localtime_r(&inTwoDays, &local);
    const LocalDateTime twoDaysOn = MakeLocal(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                              static_cast<unsigned>(local.tm_mday), local.tm_hour, local.tm_min, 0);
    ManualClock later(twoDaysOn);
    PosixCallFiles posix;

    const std::string small = scratch + "/build";
    std::filesystem::remove_all(small);
    std::filesystem::remove(scratch + "/build.sqlite");
    WriteTree(small, buildFiles, buildFiles / 550);
    const auto first = std::chrono::year_month_day{kFirstDay};
    const auto last = std::chrono::year_month_day{kFirstDay + std::chrono::days{buildFiles / 550}};
    MakeCold(small, dropAll);
    std::size_t listed = 0;
    const double listCold = TimeMs([&] { listed = FillRecordList({small}, first, last).size(); });
    MakeCold(small, dropAll);
    auto buildStore = SqliteCallStore::Open(scratch + "/build.sqlite").store;
    CallIndex buildIndex(*buildStore, posix, later, kPlan);
    RefreshReport built;
    const double buildCold = TimeMs([&] { built = buildIndex.Refresh({small}); });
    std::printf("first build of %zu recordings, cold (%s): %.2f s; pell-catalogue list cold: %.2f s; ratio %.2f\n",
                built.added, dropAll ? "page, inode and folder caches dropped" : "file pages evicted", buildCold / 1000,
                listCold / 1000, buildCold / listCold);
    if (listed != built.added) std::printf("  (listed %zu, indexed %zu)\n", listed, built.added);
    const double listWarm = TimeMs([&] { FillRecordList({small}, first, last); });
    buildStore.reset();
    std::filesystem::remove(scratch + "/build.sqlite");
    auto warmStore = SqliteCallStore::Open(scratch + "/build.sqlite").store;
    CallIndex warmIndex(*warmStore, posix, later, kPlan);
    const double buildWarm = TimeMs([&] { warmIndex.Refresh({small}); });
    std::printf("the same warm: build %.2f s, list %.2f s, ratio %.2f\n", buildWarm / 1000, listWarm / 1000,
                buildWarm / listWarm);
    std::filesystem::remove_all(small);

    const std::string big = scratch + "/rec";
    // A tree and index left by an earlier run with --reuse are taken as they are.
    const bool haveTree = reuse && std::filesystem::exists(big + "/" + DayName(kDays - 1));
    if (!haveTree) {
        std::filesystem::remove_all(big);
        std::filesystem::remove(scratch + "/index.sqlite");
        WriteTree(big, files, kDays);
    }
    auto store = SqliteCallStore::Open(scratch + "/index.sqlite").store;
    CallIndex index(*store, posix, later, kPlan);
    RefreshReport full;
    const double fullMs = TimeMs([&] { full = index.Refresh({big}); });
    std::printf(
        "first refresh of the %d-recording tree: %.1f s, %zu recordings read (0 when --reuse found the index)\n", files,
        fullMs / 1000, full.added + full.changed);
    std::vector<double> unchanged;
    for (int run = 0; run < 7; ++run) {
        LocalDateTime next = twoDaysOn;
        next.second = run + 1;
        later.Set(next);
        unchanged.push_back(TimeMs([&] { index.Refresh({big}); }));
    }
    std::printf("refresh of %d recordings, nothing changed: median %.0f ms (20,000 settled files checked each time)\n",
                files, Median(unchanged));
    std::vector<double> hundred;
    for (int run = 0; run < 5; ++run) {
        WriteTree(big + "/../new", 100, 1, 5'000'000 + run * 100);
        // A hundred calls filed into the last day's folder since the last refresh.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(big + "/../new")) {
            if (entry.is_regular_file()) {
                std::filesystem::rename(entry.path(),
                                        big + "/" + DayName(kDays - 1) + "/" + entry.path().filename().string());
            }
        }
        std::filesystem::remove_all(big + "/../new");
        RefreshReport report;
        hundred.push_back(TimeMs([&] { report = index.Refresh({big}); }));
        if (report.added != 100) std::printf("  (added %zu)\n", report.added);
    }
    std::printf("refresh with 100 new calls: median %.0f ms\n", Median(hundred));
    if (!reuse) std::filesystem::remove_all(scratch);
    return 0;
}

int Usage() {
    std::fprintf(
        stderr,
        "usage: index_benchmark search --store sqlite|postgres [--rows N] [--scratch DIR] [--runs N] [--reuse]\n"
        "                        [--connection LIBPQ-STRING]\n"
        "       index_benchmark memory [--scratch DIR]\n"
        "       index_benchmark refresh [--files N] [--build-files N] [--scratch DIR] [--drop-caches] [--reuse]\n");
    return 2;
}

}  // namespace
}  // namespace pell

int main(int argc, char** argv) {
    if (argc < 2) return pell::Usage();
    const std::string command = argv[1];
    std::string store = "sqlite";
    std::string scratch = "/var/tmp/pell-index-bench";
    int rows = 1'000'000;
    int files = 1'000'000;
    int buildFiles = 100'000;
    int runs = 21;
    bool drop = false;
    bool reuse = false;      // keep the generated index for the next run
    std::string connection;  // an existing PostgreSQL database instead of a private server
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (arg == "--store") {
            store = next();
        } else if (arg == "--rows") {
            rows = std::atoi(next().c_str());
        } else if (arg == "--files") {
            files = std::atoi(next().c_str());
        } else if (arg == "--build-files") {
            buildFiles = std::atoi(next().c_str());
        } else if (arg == "--scratch") {
            scratch = next();
        } else if (arg == "--runs") {
            runs = std::max(1, std::atoi(next().c_str()));
        } else if (arg == "--connection") {
            connection = next();
        } else if (arg == "--reuse") {
            reuse = true;
        } else if (arg == "--drop-caches") {
            drop = true;
        } else {
            return pell::Usage();
        }
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    setenv("TZ", "UTC0", 1);
    tzset();
    if (command == "search") return pell::SearchFigures(store, rows, scratch, runs, reuse, connection);
    if (command == "memory") return pell::MemoryFigure(scratch);
    if (command == "refresh") return pell::RefreshFigures(scratch, files, buildFiles, drop, reuse);
    return pell::Usage();
}
