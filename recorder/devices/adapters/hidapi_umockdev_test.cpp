// hidapi (hidraw) on a recorded box under umockdev-run: each CTest entry runs this program in
// a sandbox with its own device tree and report script (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <cstdlib>

#include "recorder/devices/adapters/hidapi_line.h"
#include "recorder/devices/line_box.h"
#include "recorder/devices/testing/device_fakes.h"

namespace pell {
namespace {

class HidapiSandboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("UMOCKDEV_DIR")) GTEST_SKIP() << "runs only inside umockdev-run (see CTest)";
    }
    HidapiLineBackend hid_;
    LineInterface line_{hid_};
};

TEST_F(HidapiSandboxTest, TwoByteReportsGiveTheLineStates) {
    ASSERT_TRUE(line_.FindLineInterface());
    EXPECT_EQ(line_.devicePath(), "/dev/hidraw0");
    for (const uint8_t expected : {0x06, 0x00, 0x04, 0x02}) {
        uint8_t state = 0xAA;
        ASSERT_TRUE(line_.ReadLineReport(state));
        EXPECT_EQ(state, expected);
    }
    uint8_t state = 0xAA;
    EXPECT_FALSE(line_.ReadLineReport(state)) << "no more reports: the read times out";
    EXPECT_EQ(state, 0xAA);
}

TEST_F(HidapiSandboxTest, OneByteReportsWithoutReportIdGiveTheLineStates) {
    ASSERT_TRUE(line_.FindLineInterface());
    for (const uint8_t expected : {0x06, 0x04, 0x06}) {
        uint8_t state = 0xAA;
        ASSERT_TRUE(line_.ReadLineReport(state));
        EXPECT_EQ(state, expected);
    }
}

TEST_F(HidapiSandboxTest, TheFirstOfSeveralBoxesIsTaken) {
    ASSERT_TRUE(line_.FindLineInterface());
    EXPECT_EQ(line_.devicePath(), "/dev/hidraw1");
}

TEST_F(HidapiSandboxTest, NoBoxMeansNoLineInterface) {
    EXPECT_FALSE(line_.FindLineInterface());
    EXPECT_FALSE(line_.present());
}

TEST_F(HidapiSandboxTest, ThePollThreadSetsSeizureOnce) {
    ASSERT_TRUE(line_.FindLineInterface());
    SystemClock clock;
    LineStates lines;
    SteadyPacer pacer;
    LinePoller poller(line_, lines, clock, pacer);
    poller.Start();
    // The script seizes line 1 at once and keeps it seized; wait (bounded) until the thread saw it.
    for (int wait = 0; wait < 200 && !lines.lineActive[0]; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(lines.lineActive[0]);
    const uint32_t seizedAt = lines.lineSeizedAt[0];
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    poller.Stop();
    EXPECT_TRUE(lines.lineActive[0]);
    EXPECT_FALSE(lines.lineActive[1]);
    EXPECT_EQ(lines.lineSeizedAt[0], seizedAt);
}

}  // namespace
}  // namespace pell
