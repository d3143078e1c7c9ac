#include "configurator/core/exit_sequence.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "testsupport/temp_dir.h"

namespace pell::configurator {
namespace {

std::string Joined(const std::vector<std::string>& arguments) {
    std::string out;
    for (const std::string& a : arguments) out += (out.empty() ? "" : " ") + a;
    return out;
}

// Records every call; the stop run can remove the marker the way a supervisor might.
class FakeSignals : public RecorderSignalPort {
public:
    RunOutcome RunRestartProgram(const std::vector<std::string>& arguments, const std::string& folder) override {
        calls.push_back("run " + Joined(arguments) + (folder == expectedFolder ? "" : " elsewhere"));
        if (removeMarkerOnRun) std::filesystem::remove(markerPath);
        return runOutcome;
    }
    bool StartRestartProgram(const std::vector<std::string>& arguments, const std::string& folder) override {
        calls.push_back("start " + Joined(arguments) + (folder == expectedFolder ? "" : " elsewhere"));
        return true;
    }
    bool SendReload() override {
        calls.push_back("reload");
        return recorderListening;
    }

    std::vector<std::string> calls;
    std::string expectedFolder;
    std::string markerPath;
    bool removeMarkerOnRun = false;
    RunOutcome runOutcome = RunOutcome::kFinished;
    bool recorderListening = true;
};

struct ExitCase {
    const char* name;
    bool saved;
    bool marker;
    bool removeMarkerOnRun;
    RunOutcome runOutcome;
    bool recorderListening;
    std::vector<std::string> expectedCalls;
    ExitOutcome expectedOutcome;
};

void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }

class ExitSequenceTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitSequenceTest, SignalsTheRecorderOnlyAfterASave) {
    const ExitCase& c = GetParam();
    TempDir dir;
    FakeSignals signals;
    signals.expectedFolder = dir.path();
    signals.markerPath = dir.File("PellRecorder.sys");
    signals.removeMarkerOnRun = c.removeMarkerOnRun;
    signals.runOutcome = c.runOutcome;
    signals.recorderListening = c.recorderListening;
    if (c.marker) dir.Write("PellRecorder.sys", "");

    EXPECT_EQ(ExitConfigurator(c.saved, dir.path(), signals), c.expectedOutcome) << c.name;
    EXPECT_EQ(signals.calls, c.expectedCalls) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExitSequenceTest,
    ::testing::Values(
        ExitCase{
            "no save, no marker", false, false, false, RunOutcome::kFinished, true, {}, ExitOutcome::kNothingSaved},
        ExitCase{"no save, marker", false, true, false, RunOutcome::kFinished, true, {}, ExitOutcome::kNothingSaved},
        ExitCase{
            "save, no marker", true, false, false, RunOutcome::kFinished, true, {"reload"}, ExitOutcome::kReloadSent},
        ExitCase{"save, no marker, no recorder",
                 true,
                 false,
                 false,
                 RunOutcome::kFinished,
                 false,
                 {"reload"},
                 ExitOutcome::kNoRecorderListening},
        ExitCase{"save, marker",
                 true,
                 true,
                 false,
                 RunOutcome::kFinished,
                 true,
                 {"run -k _PellRecorder", "start -r _PellRecorder"},
                 ExitOutcome::kRestarted},
        ExitCase{"save, marker gone after stop",
                 true,
                 true,
                 true,
                 RunOutcome::kFinished,
                 true,
                 {"run -k _PellRecorder", "reload"},
                 ExitOutcome::kReloadSent},
        ExitCase{"save, marker, restart program missing",
                 true,
                 true,
                 false,
                 RunOutcome::kFailedToStart,
                 true,
                 {"run -k _PellRecorder", "start -r _PellRecorder"},
                 ExitOutcome::kRestarted},
        ExitCase{"save, marker, stop never ends",
                 true,
                 true,
                 false,
                 RunOutcome::kTimedOut,
                 true,
                 {"run -k _PellRecorder"},
                 ExitOutcome::kRestartStuck}));

}  // namespace
}  // namespace pell::configurator
