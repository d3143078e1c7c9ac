#include "recorder/core/callerid/calling_number.h"

#include <gtest/gtest.h>

namespace pell {
namespace {

TEST(CallingNumberTest, AcceptsOnlyWhatACallingNumberMayHold) {
    const struct {
        std::string text;
        bool valid;
    } cases[] = {
        {"5551234", true},   {"0", true},
        {"*31#", true},      {"+4930123", true},
        {"**", true},        {"", false},
        {"+", false},        {"49+30", false},
        {"++49", false},     {"555 1234", false},
        {"A123", false},     {"12-34", false},
        {"Private", false},  {std::string("12\0", 3), false},
        {"\x80\x31", false}, {"1\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsCallingNumber(c.text), c.valid) << "\"" << c.text << "\"";
}

}  // namespace
}  // namespace pell
