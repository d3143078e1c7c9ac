// Runs the built PellRecorder on the simulated line box, as a user would run it without a
// display, and checks what it files.
#include <QCoreApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <csignal>
#include <filesystem>
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

// Without a display a fatal message is only written, so the program ends at once with code 1.
void ExpectRefusal(const QProcessEnvironment& env, const std::string& message) {
    QProcess refused;
    refused.setProcessEnvironment(env);
    refused.start(PELL_RECORDER_PATH, {});
    ASSERT_TRUE(refused.waitForFinished(15000));
    EXPECT_EQ(refused.exitCode(), 1);
    const std::string log = refused.readAllStandardError().toStdString();
    EXPECT_NE(log.find("message: " + message), std::string::npos) << log;
}

TEST(PellRecorderProgramTest, WithoutItsDeviceTheProgramSaysSoAndEndsWithCodeOne) {
    TempDir dir;
    const QProcessEnvironment env = PrepareRun(dir);
    std::string settings = dir.Read("settings.ini");
    settings.replace(settings.find("device=simulated line box"), 25, "device=no such box");
    dir.Write("settings.ini", settings);
    ExpectRefusal(env, "Could not open line source!");
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
    ExpectRefusal(env, "Pell Recorder is already running.");
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
        {"line1", "in-0000000.mp3", kDemoLine1Number, CallDirection::Incoming},
        {"line2", "out-0000000.mp3", kDemoLine2Number, CallDirection::Outgoing},
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

}  // namespace
}  // namespace pell::recorder
