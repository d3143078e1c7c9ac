#include "recorder/devices/line_interface.h"

#include <gtest/gtest.h>

#include "recorder/devices/testing/device_fakes.h"

namespace pell {
namespace {

using testing::FakeHidBackend;

struct StateCase {
    uint8_t state;
    bool line1Active;
    bool line2Active;
};

void PrintTo(const StateCase& c, std::ostream* os) { *os << "State" << int{c.state}; }

class LineStateBitsTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(LineStateBitsTest, ActiveLowBitsGiveTheLineFlags) {
    const StateCase& c = GetParam();
    LineStates lines;
    ApplyLineState(c.state, lines, 5000);
    EXPECT_EQ(lines.lineActive[0], c.line1Active);
    EXPECT_EQ(lines.lineActive[1], c.line2Active);
    EXPECT_EQ(lines.lineSeizedAt[0], c.line1Active ? 5000u : 0u);
    EXPECT_EQ(lines.lineSeizedAt[1], c.line2Active ? 5000u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Reports, LineStateBitsTest,
                         ::testing::Values(StateCase{0x06, false, false}, StateCase{0x00, true, true},
                                           StateCase{0x04, true, false}, StateCase{0x02, false, true},
                                           // Other bits are not examined.
                                           StateCase{0xF9, true, true}, StateCase{0xFF, false, false}));

TEST(LineStateTest, SeizureTickIsSetOnlyOnIdleToActive) {
    struct Step {
        uint8_t state;
        uint32_t tick;
        uint32_t seizedAt;
    };
    const Step steps[] = {{0x06, 100, 0},   {0x04, 200, 200}, {0x04, 300, 200}, {0x00, 400, 200},
                          {0x06, 500, 200}, {0x04, 600, 600}, {0x04, 0, 600}};
    LineStates lines;
    for (const Step& step : steps) {
        ApplyLineState(step.state, lines, step.tick);
        EXPECT_EQ(lines.lineSeizedAt[0], step.seizedAt) << "state " << int{step.state} << " at " << step.tick;
    }
    EXPECT_EQ(lines.lineSeizedAt[1], 400u);
}

TEST(LineStateTest, SeizureAtTickZeroIsStillNoted) {
    LineStates lines;
    ApplyLineState(0x04, lines, 0);
    EXPECT_NE(lines.lineSeizedAt[0], 0u);
}

struct DecodeCase {
    std::vector<uint8_t> report;
    bool decoded;
    uint8_t state;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << "Read" << c.report.size() << "Bytes"; }

class DecodeLineReportTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeLineReportTest, StateIsTheLastByteOfWhatWasRead) {
    const DecodeCase& c = GetParam();
    uint8_t state = 0xAA;
    EXPECT_EQ(DecodeLineReport(c.report.data(), static_cast<int>(c.report.size()), state), c.decoded);
    if (c.decoded) {
        EXPECT_EQ(state, c.state);
    }
}

INSTANTIATE_TEST_SUITE_P(Reads, DecodeLineReportTest,
                         ::testing::Values(DecodeCase{{0x00, 0x06}, true, 0x06},  // report id, state
                                           DecodeCase{{0x04}, true, 0x04},        // zero report id dropped
                                           DecodeCase{{0x01, 0x02}, true, 0x02}, DecodeCase{{}, false, 0}));

HidDeviceInfo Info(const std::string& path, uint16_t vendor = kLineBoxVendorId, uint16_t product = kLineBoxProductId) {
    return {path, vendor, product};
}

struct SearchCase {
    const char* name;
    std::vector<FakeHidBackend::Device> devices;
    bool found;
    std::string path;
    std::vector<std::string> opened;
};

void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

class FindLineInterfaceTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(FindLineInterfaceTest, TakesTheFirstBoxThatOpens) {
    const SearchCase& c = GetParam();
    FakeHidBackend hid;
    hid.devices = c.devices;
    LineInterface line(hid);
    EXPECT_EQ(line.FindLineInterface(), c.found);
    EXPECT_EQ(line.present(), c.found);
    EXPECT_EQ(line.devicePath(), c.path);
    EXPECT_EQ(hid.opened, c.opened);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, FindLineInterfaceTest,
    ::testing::Values(
        SearchCase{"NoDevice", {}, false, "", {}},
        SearchCase{"OneBox", {{Info("/dev/hidraw3")}}, true, "/dev/hidraw3", {"/dev/hidraw3"}},
        SearchCase{
            "TwoBoxes", {{Info("/dev/hidraw1")}, {Info("/dev/hidraw0")}}, true, "/dev/hidraw1", {"/dev/hidraw1"}},
        SearchCase{
            "OtherIdentifiersSkipped",
            {{Info("/dev/hidraw0", 0x046D, 0x2902)}, {Info("/dev/hidraw1", 0x08BB, 0x2912)}, {Info("/dev/hidraw2")}},
            true,
            "/dev/hidraw2",
            {"/dev/hidraw2"}},
        SearchCase{"UnopenableSkipped",
                   {{Info("/dev/hidraw0"), false}, {Info("/dev/hidraw1")}},
                   true,
                   "/dev/hidraw1",
                   {"/dev/hidraw1"}},
        SearchCase{"OnlyOtherDevices", {{Info("/dev/hidraw0", 0x1234, 0x5678)}}, false, "", {}}),
    [](const ::testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.name); });

struct ReadCase {
    const char* name;
    std::vector<uint8_t> report;  // empty: timeout
    bool unplugged;
    bool read;
    uint8_t state;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ReadLineReportTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadLineReportTest, OneReportPerRead) {
    const ReadCase& c = GetParam();
    FakeHidBackend hid;
    hid.devices = {{Info("/dev/hidraw0")}};
    hid.Script("/dev/hidraw0", {c.report});
    if (c.unplugged) hid.Unplug();
    LineInterface line(hid);
    ASSERT_TRUE(line.FindLineInterface());
    uint8_t state = 0xAA;
    EXPECT_EQ(line.ReadLineReport(state), c.read);
    EXPECT_EQ(state, c.read ? c.state : 0xAA);
}

INSTANTIATE_TEST_SUITE_P(Reads, ReadLineReportTest,
                         ::testing::Values(ReadCase{"TwoBytes", {0x00, 0x04}, false, true, 0x04},
                                           ReadCase{"OneByte", {0x02}, false, true, 0x02},
                                           ReadCase{"Timeout", {}, false, false, 0},
                                           ReadCase{"Unplugged", {0x00, 0x00}, true, false, 0}),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(LineInterfaceTest, NoReadWithoutAnOpenDevice) {
    FakeHidBackend hid;
    LineInterface line(hid);
    uint8_t state = 0;
    EXPECT_FALSE(line.ReadLineReport(state));
    hid.devices = {{Info("/dev/hidraw0")}};
    ASSERT_TRUE(line.FindLineInterface());
    line.Close();
    EXPECT_FALSE(line.present());
    EXPECT_FALSE(line.ReadLineReport(state));
    EXPECT_EQ(hid.reads(), 0);
}

TEST(LineInterfaceTest, ANewSearchThatFindsNothingLeavesNoHandle) {
    FakeHidBackend hid;
    hid.devices = {{Info("/dev/hidraw0")}};
    hid.Script("/dev/hidraw0", {{0x00, 0x00}});
    LineInterface line(hid);
    ASSERT_TRUE(line.FindLineInterface());
    hid.devices.clear();
    EXPECT_FALSE(line.FindLineInterface());
    uint8_t state = 0;
    EXPECT_FALSE(line.ReadLineReport(state));
    EXPECT_EQ(hid.reads(), 0);
}

}  // namespace
}  // namespace pell
