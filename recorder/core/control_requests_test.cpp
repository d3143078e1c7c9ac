#include "recorder/core/control_requests.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pell {
namespace {

// Steps: 'r' reload request, 's' stop request, 'u' start-up done, 't' a scheduled run takes its action.
struct RequestCase {
    const char* name;
    std::string steps;
    std::string scheduled;  // per step: '+' the caller must schedule a run, '.' not
    std::string taken;      // per 't': 'R' reload, 'S' stop, '-' nothing
};

void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }

class ControlRequestsTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(ControlRequestsTest, RequestsMergeWaitForStartUpAndAStopGoesFirst) {
    const RequestCase& c = GetParam();
    ControlRequests requests;
    std::string scheduled, taken;
    for (const char step : c.steps) {
        bool schedule = false;
        switch (step) {
            case 'r':
                schedule = requests.Reload();
                break;
            case 's':
                schedule = requests.Stop();
                break;
            case 'u':
                schedule = requests.StartupDone();
                break;
            case 't': {
                const ControlRequests::Action action = requests.Take();
                taken += action == ControlRequests::Action::kReload ? 'R'
                         : action == ControlRequests::Action::kStop ? 'S'
                                                                    : '-';
                break;
            }
        }
        scheduled += schedule ? '+' : '.';
    }
    EXPECT_EQ(scheduled, c.scheduled);
    EXPECT_EQ(taken, c.taken);
}

INSTANTIATE_TEST_SUITE_P(Table, ControlRequestsTest,
                         ::testing::Values(RequestCase{"OneReload", "urt", ".+.", "R"},
                                           RequestCase{"ABurstIsOneReload", "urrrrrt", ".+.....", "R"},
                                           RequestCase{"AReloadDuringAReloadRunsOnceMore", "urtrrtt", ".+.+...", "RR-"},
                                           RequestCase{"HeldDuringStartUp", "rrsu", "...+", ""},
                                           RequestCase{"StopHeldDuringStartUpGoesFirst", "rsut", "..+.", "S"},
                                           RequestCase{"StopAheadOfAQueuedReload", "urst", ".+..", "S"},
                                           RequestCase{"NothingAfterAStop", "ustrt", ".+...", "S-"},
                                           RequestCase{"NothingHeldNothingScheduled", "ut", "..", "-"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pell
