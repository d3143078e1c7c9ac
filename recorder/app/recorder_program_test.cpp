// Runs the built PellRecorder on the simulated line box, as a user would run it without a
// display, and checks what it files.
#include <QCoreApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include "common/core/paths.h"
#include "recorder/app/filed_check.h"
#include "testsupport/temp_dir.h"
#include "tools/pell-box-scenario/box_scenario.h"

namespace pell::recorder {
namespace {

std::string DayFolder(const QDate& day) { return day.toString("dd.MM.yyyy").toStdString(); }

// Waits for a log line; real time here is the scenario's own pace.
bool AwaitLog(QProcess& recorder, std::string& log, const std::string& line, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (log.find(line) == std::string::npos && !deadline.hasExpired() && recorder.state() == QProcess::Running) {
        recorder.waitForReadyRead(200);
        log += recorder.readAllStandardError().toStdString();
    }
    return log.find(line) != std::string::npos;
}

// A program folder with the box scenario, and the environment that points the recorder at it.
QProcessEnvironment PrepareRun(const TempDir& dir) {
    EXPECT_EQ(WriteBoxScenario(dir.path(), {}), "");
    const std::string xdg = dir.File("xdg");
    std::filesystem::create_directories(xdg + "/Zorvek Software");
    dir.Write("xdg/Zorvek Software/TeluvaRecorder.conf", "[General]\nPathToProg=" + dir.path() + "\n");
    std::filesystem::create_directories(dir.File("run"));
    std::filesystem::permissions(dir.File("run"), std::filesystem::perms::owner_all);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("PELL_LINE_BOX_SCENARIO", QString::fromStdString(dir.path()));
    env.insert("XDG_CONFIG_DIRS", QString::fromStdString(xdg));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.File("run")));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.File("config")));
    return env;
}

// A second start ends at once: with code 1 after a refusal, with 0 after handing over to the first.
void ExpectSecondStartEnds(const QProcessEnvironment& env, const std::string& line, int code) {
    QProcess refused;
    refused.setProcessEnvironment(env);
    refused.start(PELL_RECORDER_PATH, {});
    ASSERT_TRUE(refused.waitForFinished(15000));
    EXPECT_EQ(refused.exitCode(), code);
    const std::string log = refused.readAllStandardError().toStdString();
    EXPECT_NE(log.find(line), std::string::npos) << log;
}

TEST(PellRecorderProgramTest, WithoutItsDeviceTheProgramWaitsForTheBoxAndSaysWhatItFound) {
    TempDir dir;
    const QProcessEnvironment env = PrepareRun(dir);
    std::string settings = dir.Read("settings.ini");
    settings.replace(settings.find("device=simulated line box"), 25, "device=no such box");
    dir.Write("settings.ini", settings);
    QProcess recorder;
    recorder.setProcessEnvironment(env);
    recorder.start(PELL_RECORDER_PATH, {});
    ASSERT_TRUE(recorder.waitForStarted(10000));
    std::string log;
    ASSERT_TRUE(AwaitLog(recorder, log,
                         "message: Could not open line source! no capture device's name contains \"no such box\"; "
                         "found: USB Audio CODEC (simulated line box).",
                         15000))
        << log;
    EXPECT_NE(log.find("waiting for the line box"), std::string::npos) << log;
    ::kill(static_cast<pid_t>(recorder.processId()), SIGTERM);
    ASSERT_TRUE(recorder.waitForFinished(15000));
    EXPECT_EQ(recorder.exitCode(), 0);
}

TEST(PellRecorderProgramTest, RecordsTheBoxScenarioAndFilesTheRunningCallOnSigterm) {
    TempDir dir;
    const QProcessEnvironment env = PrepareRun(dir);
    QProcess recorder;
    recorder.setProcessEnvironment(env);
    recorder.start(PELL_RECORDER_PATH, {});
    ASSERT_TRUE(recorder.waitForStarted(10000));
    const QDate firstDay = QDate::currentDate();

    std::string log;
    ASSERT_TRUE(AwaitLog(recorder, log, "started: device \"simulated line box\" at 8000 Hz", 15000)) << log;
    // A second recorder on the folder, whatever its runtime folder: refused before it touches a file.
    const std::string refusal = "Pell Recorder is already running (process " + std::to_string(recorder.processId()) +
                                ") with the program folder " + dir.path() + "; this one ends without touching it.";
    ExpectSecondStartEnds(env, "already running: asked the running recorder to show its window", 0);
    QProcessEnvironment otherRuntime = env;
    std::filesystem::create_directories(dir.File("run2"));
    std::filesystem::permissions(dir.File("run2"), std::filesystem::perms::owner_all);
    otherRuntime.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.File("run2")));
    ExpectSecondStartEnds(otherRuntime, "message: " + refusal, 1);
    // Line 1's call ends at 10 s; line 2's runs until 15 s, so the stop must finish it.
    ASSERT_TRUE(AwaitLog(recorder, log, "filed: channel 1", 30000)) << log;
    EXPECT_EQ(log.find("filed: channel 2"), std::string::npos) << log;
    ::kill(static_cast<pid_t>(recorder.processId()), SIGTERM);
    ASSERT_TRUE(recorder.waitForFinished(30000));
    log += recorder.readAllStandardError().toStdString();
    EXPECT_EQ(recorder.exitStatus(), QProcess::NormalExit) << log;
    EXPECT_EQ(recorder.exitCode(), 0) << log;
    EXPECT_NE(log.find("filed: channel 2"), std::string::npos) << log;

    const struct {
        std::string folder, file, number;
        CallDirection direction;
    } expected[] = {
        {"line1", "in-0000000.mp3", kDemoLine1Number, CallDirection::kIncoming},
        {"line2", "out-0000000.mp3", kDemoLine2Number, CallDirection::kOutgoing},
    };
    for (const auto& e : expected) {
        // A run across midnight may file in either day's folder.
        std::string path = JoinPath(JoinPath(dir.File(e.folder), DayFolder(firstDay)), e.file);
        if (!std::filesystem::exists(path))
            path = JoinPath(JoinPath(dir.File(e.folder), DayFolder(QDate::currentDate())), e.file);
        ASSERT_TRUE(std::filesystem::exists(path)) << path << "\n" << log;
        ExpectFiled(path, e.number, e.direction);
    }
}

// A private X server on a display of its own, for as long as the object lives.
class PrivateXvfb {
public:
    PrivateXvfb() {
        if (!std::filesystem::exists("/usr/bin/Xvfb")) return;
        int displayPipe[2];
        if (::pipe(displayPipe) != 0) return;
        const std::string fd = std::to_string(displayPipe[1]);
        pid_ = fork();
        if (pid_ == 0) {
            ::close(displayPipe[0]);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            ::execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "800x600x24",
                    static_cast<char*>(nullptr));
            _exit(127);
        }
        ::close(displayPipe[1]);
        char text[32] = {};
        size_t got = 0;
        while (got < sizeof text - 1) {
            const ssize_t n = ::read(displayPipe[0], text + got, sizeof text - 1 - got);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
            if (std::memchr(text, '\n', got) != nullptr) break;
        }
        ::close(displayPipe[0]);
        if (got > 0) display_ = ":" + std::string(text, std::strcspn(text, "\n"));
    }
    ~PrivateXvfb() { Kill(); }
    PrivateXvfb(const PrivateXvfb&) = delete;
    PrivateXvfb& operator=(const PrivateXvfb&) = delete;

    // Empty when no server could be started.
    const std::string& Display() const { return display_; }
    void Kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::string display_;
};

QProcessEnvironment OnDisplay(QProcessEnvironment env, const PrivateXvfb& x) {
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", QString::fromStdString(x.Display()));
    env.remove("WAYLAND_DISPLAY");
    return env;
}

TEST(PellRecorderDisplayTest, WhenTheDisplayGoesAwayTheRunningCallIsFiled) {
    PrivateXvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb (Debian's xvfb) is not installed or does not start";
    TempDir dir;
    const QProcessEnvironment env = OnDisplay(PrepareRun(dir), x);
    QProcess recorder;
    recorder.setProcessEnvironment(env);
    recorder.start(PELL_RECORDER_PATH, {});
    ASSERT_TRUE(recorder.waitForStarted(10000));
    std::string log;
    ASSERT_TRUE(AwaitLog(recorder, log, "started:", 15000)) << log;
    // Line 1 is seized at 3.5 s; a few seconds of the call are on disk by 6 s.
    const std::string journal = dir.File("channel1.journal");
    QDeadlineTimer deadline(20000);
    while (!std::filesystem::exists(journal) && !deadline.hasExpired()) recorder.waitForReadyRead(100);
    ASSERT_TRUE(std::filesystem::exists(journal)) << log;
    recorder.waitForFinished(2500);
    x.Kill();  // the session's display server dies
    ASSERT_TRUE(recorder.waitForFinished(20000));
    log += recorder.readAllStandardError().toStdString();
    EXPECT_NE(log.find("filing the running calls"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(journal)) << log;
    std::string path;
    for (const QDate& day : {QDate::currentDate().addDays(-1), QDate::currentDate()}) {
        const std::string candidate = JoinPath(JoinPath(dir.File("line1"), DayFolder(day)), "in-0000000.mp3");
        if (std::filesystem::exists(candidate)) path = candidate;
    }
    ASSERT_FALSE(path.empty()) << log;
    ExpectFiled(path, kDemoLine1Number, CallDirection::kIncoming);
}

TEST(PellRecorderDisplayTest, AStopSignalAfterAStartUpMessageEndsTheRecorder) {
    PrivateXvfb x;
    if (x.Display().empty()) GTEST_SKIP() << "Xvfb (Debian's xvfb) is not installed or does not start";
    TempDir dir;
    const QProcessEnvironment env = OnDisplay(PrepareRun(dir), x);
    std::string settings = dir.Read("settings.ini");
    const size_t second = settings.find("drop_folder=", settings.find("[channel2]"));
    settings.erase(second, settings.find('\n', second) + 1 - second);
    dir.Write("settings.ini", settings);
    QProcess recorder;
    recorder.setProcessEnvironment(env);
    recorder.start(PELL_RECORDER_PATH, {});
    ASSERT_TRUE(recorder.waitForStarted(10000));
    std::string log;
    ASSERT_TRUE(AwaitLog(recorder, log, "No drop folder is set for channel 2", 15000)) << log;
    ::kill(static_cast<pid_t>(recorder.processId()), SIGTERM);  // a service stop or a logout
    ASSERT_TRUE(recorder.waitForFinished(15000)) << "the stop was swallowed";
    log += recorder.readAllStandardError().toStdString();
    EXPECT_EQ(recorder.exitStatus(), QProcess::NormalExit) << log;
    EXPECT_EQ(recorder.exitCode(), 0) << log;
    EXPECT_NE(log.find("shut down"), std::string::npos) << log;
}

}  // namespace
}  // namespace pell::recorder
