// Filling the record list for a year of recordings against the least any fill must do: list
// each day folder, open each file and read its last 128 bytes.
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "player/catalogue/record_list.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

using std::chrono::year_month_day;

constexpr int kRecordings = 10000;
constexpr int kDays = 365;
const year_month_day kFirstDay{std::chrono::year{2025}, std::chrono::January, std::chrono::day{1}};

year_month_day DayAt(int index) { return year_month_day{std::chrono::sys_days{kFirstDay} + std::chrono::days{index}}; }

// Recordings of 4 KB: an MPEG-2 Layer III frame header, audio bytes, the recorder's tag.
void WriteLibrary(const TempDir& dir) {
    std::string bytes(4096, '\0');
    bytes.replace(0, 4, "\xFF\xF3\x20\xC4", 4);
    bytes.replace(4096 - 128, 3, "TAG");
    bytes.replace(4096 - 125, 7, "0301234");
    bytes.replace(4096 - 95, 6, "Line 1");
    bytes[4096 - 33] = 'I';
    bytes[4096 - 32] = 1;
    bytes[4096 - 1] = 0x65;
    for (int i = 0; i < kRecordings; ++i) {
        const std::string folder = dir.path() + "/" + DayFolderName(DayAt(i % kDays));
        std::filesystem::create_directories(folder);
        char name[32];
        std::snprintf(name, sizeof name, "/a%07d.mp3", i);
        std::ofstream(folder + name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
}

// Made once per run and removed at exit.
const TempDir& Library() {
    static const TempDir kDir;
    static const bool kWritten = (WriteLibrary(kDir), true);
    (void)kWritten;
    return kDir;
}

void BM_FillRecordList(benchmark::State& state) {
    const std::vector<std::string> roots{Library().path()};
    std::size_t rows = 0;
    for (auto _ : state) {
        auto list = FillRecordList(roots, DayAt(0), DayAt(kDays - 1));
        rows = list.size();
        benchmark::DoNotOptimize(list);
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(rows));
}
BENCHMARK(BM_FillRecordList)->Unit(benchmark::kMillisecond);

void BM_BareWalk(benchmark::State& state) {
    const std::string root = Library().path();
    std::size_t files = 0;
    for (auto _ : state) {
        files = 0;
        char tail[128];
        for (int day = 0; day < kDays; ++day) {
            std::error_code error;
            for (const auto& entry :
                 std::filesystem::directory_iterator(root + "/" + DayFolderName(DayAt(day)), error)) {
                const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0) continue;
                const off_t length = ::lseek(fd, 0, SEEK_END);
                benchmark::DoNotOptimize(::pread(fd, tail, sizeof tail, length - 128));
                ::close(fd);
                ++files;
            }
        }
    }
    state.counters["rows"] = static_cast<double>(files);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(files));
}
BENCHMARK(BM_BareWalk)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pell
