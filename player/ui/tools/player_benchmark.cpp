// Times the player window's list and its playback load, and prints the figures:
// pellplayer_benchmark [seconds of playback to measure, default 10]
// pellplayer_benchmark memory INDEX.sqlite
//  - refresh: FillRecordList for a day of 1,000 and of 10,000 recordings, until the list is drawn;
//  - sort: a header click on Date, Number and Duration for each list;
//  - CPU share of the whole process while playing an 8 kHz mono recording with the monitor
//    thread, meters and time display running, the device paced in real time by a fake output;
//  - memory: the resident memory of the window before and after "Find calls" lists 10,000 rows
//    from an index of 1,000,000 calls of the root /srv/rec (made by `index_benchmark search
//    --reuse`; the root is not on disk, so the refresh keeps its calls as last indexed).
#include <QApplication>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <thread>

#include "player/catalogue/record_list.h"
#include "player/engine/queued_wave_out.h"
#include "player/engine/wmp3.h"
#include "player/ui/player_dialog.h"
#include "player/ui/record_list.h"
#include "player/ui/tools/demo_recordings.h"

namespace {

using Clock = std::chrono::steady_clock;

class FixedMixer : public pell::player::VolumeMixer {
public:
    std::uint32_t GetWaveOutVolume() override { return 40000; }
    void SetWaveOutVolume(std::uint32_t) override {}
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The window's own event loop, idle between events as in the program.
void RunEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

void MeasureList(int count, QTextStream& out) {
    QTemporaryDir folder;
    if (pell::player::MakeDemoRecordings(folder.path().toStdString(), count, 1.0).empty()) {
        out << "cannot write " << count << " recordings\n";
        return;
    }
    FixedMixer mixer;
    pell::player::PlayerDialog dialog(folder.path().toStdString(),
                                      {mixer, [] { return std::make_unique<pell::QueuedWaveOut>(); }, false});
    dialog.show();
    Settle();
    for (int run = 0; run < 2; ++run) {
        const auto start = Clock::now();
        dialog.FillRecordList();
        dialog.List().viewport()->repaint();
        out << "refresh " << count << " recordings (" << (run == 0 ? "first" : "again")
            << "): " << Ms(Clock::now() - start) << " ms, " << dialog.List().Model().rowCount() << " rows\n";
    }
    for (int column : {pell::kColumnDate, pell::kColumnNumber, pell::kColumnDuration}) {
        const auto start = Clock::now();
        emit dialog.List().header()->sectionClicked(column);
        dialog.List().viewport()->repaint();
        out << "sort " << count << " by column " << column << ": " << Ms(Clock::now() - start) << " ms\n";
    }
    out.flush();
    dialog.reject();
}

struct Resident {
    double totalMiB = 0;
    double anonMiB = 0;  // the process's own
    double fileMiB = 0;  // file pages mapped: libraries and the index, shared with the page cache
};

Resident ResidentNow() {
    std::ifstream status("/proc/self/status");
    std::string line;
    Resident resident;
    while (std::getline(status, line)) {
        const auto mib = [&line](std::size_t skip) { return std::atof(line.c_str() + skip) / 1024.0; };
        if (line.rfind("VmRSS:", 0) == 0) resident.totalMiB = mib(6);
        if (line.rfind("RssAnon:", 0) == 0) resident.anonMiB = mib(8);
        if (line.rfind("RssFile:", 0) == 0) resident.fileMiB = mib(8);
    }
    return resident;
}

QString Describe(const Resident& r) {
    return QString("%1 MiB resident (%2 MiB private, %3 MiB mapped from files)")
        .arg(r.totalMiB, 0, 'f', 1)
        .arg(r.anonMiB, 0, 'f', 1)
        .arg(r.fileMiB, 0, 'f', 1);
}

int MeasureSearchMemory(const std::string& indexFile, QTextStream& out) {
    if (!std::ifstream(indexFile)) {
        out << "no index at " << QString::fromStdString(indexFile) << ": make it with index_benchmark search --reuse\n";
        return 1;
    }
    QTemporaryDir folder;
    const std::string programFolder = folder.path().toStdString();
    std::ofstream(programFolder + "/paths.ini") << "/srv/rec\r\n";
    std::ofstream(programFolder + "/index.ini")
        << "[index]\nstore=sqlite\nfile=" << indexFile << "\n[numbers]\ncountry_code=44\nnational_prefix=0\n";
    FixedMixer mixer;
    pell::player::PlayerDialog dialog(programFolder,
                                      {mixer, [] { return std::make_unique<pell::QueuedWaveOut>(); }, false});
    dialog.show();
    Settle();
    const Resident before = ResidentNow();
    out << "window with its engine, an empty list: " << Describe(before) << "\n";
    // From 9 February 2025: some 11,000 calls match (index_benchmark memory's search); from the
    // start of 2025: some 200,000, whose order the index sorts from every matching row.
    for (const char* from : {"2025-02-09 00:00", "2025-01-01 00:00"}) {
        pell::FindCallsForm search;
        search.from = from;
        const auto start = Clock::now();
        if (!dialog.FindCalls(search)) {
            out << "the search failed\n";
            return 1;
        }
        dialog.List().viewport()->repaint();
        Settle();
        const double ms = Ms(Clock::now() - start);
        const Resident after = ResidentNow();
        out << "Find calls from " << from << ", " << dialog.List().Model().rowCount() << " rows listed in " << ms
            << " ms: " << Describe(after) << "; " << after.anonMiB - before.anonMiB << " MiB private more\n";
        out << "  (" << dialog.SearchCaption() << ")\n";
    }
    out.flush();
    dialog.reject();
    return 0;
}

void MeasurePlayback(double seconds, QTextStream& out) {
    QTemporaryDir folder;
    if (pell::player::MakeDemoRecordings(folder.path().toStdString(), 1, seconds + 5).empty()) return;
    FixedMixer mixer;
    pell::QueuedWaveOut* output = nullptr;
    pell::player::PlayerDialog dialog(folder.path().toStdString(), {mixer,
                                                                    [&output] {
                                                                        auto made =
                                                                            std::make_unique<pell::QueuedWaveOut>();
                                                                        output = made.get();
                                                                        return made;
                                                                    },
                                                                    true});
    dialog.show();
    Settle();
    dialog.MakeRowCurrent(0);
    dialog.Play();
    // The device: a buffer is done once real time has caught up with what was played.
    std::atomic<bool> running{true};
    const auto started = Clock::now();
    std::thread device([&] {
        while (running.load()) {
            const auto elapsedMs = static_cast<std::uint64_t>(Ms(Clock::now() - started));
            if (output->GetPosition(1) > elapsedMs || !output->CompleteNext()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    });
    RunEventLoopFor(1000);
    const double cpuStart = CpuSeconds();
    const auto wallStart = Clock::now();
    RunEventLoopFor(static_cast<int>(seconds * 1000));
    const double cpu = CpuSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    out << "playing 8 kHz mono for " << wall << " s: CPU " << cpu * 1000 << " ms = " << 100.0 * cpu / wall
        << " % of one core (state " << static_cast<int>(dialog.Transport().State()) << ", position "
        << dialog.Engine()->GetPosition() << " s)\n";
    running = false;
    device.join();
    dialog.reject();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pell::player::SetDialogColours();
    QTextStream out(stdout);
    if (argc > 2 && std::string(argv[1]) == "memory") return MeasureSearchMemory(argv[2], out);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    MeasureList(1000, out);
    MeasureList(10000, out);
    MeasurePlayback(seconds > 0 ? seconds : 10.0, out);
    return 0;
}
