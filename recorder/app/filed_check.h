// Test check shared by the window and program tests: a filed recording plays to its end and
// the player reads the number and direction mark the recorder found for it.
#pragma once

#include <gtest/gtest.h>
#include <string>

#include "player/catalogue/record_info.h"
#include "recorder/core/testing/mp3_decode.h"

namespace pell::recorder {

inline void ExpectFiled(const std::string& path, const std::string& number, CallDirection direction) {
    const DecodedMp3 decoded = DecodeMp3File(path);
    ASSERT_TRUE(decoded.opened) << path;
    EXPECT_FALSE(decoded.decodeError) << path;
    EXPECT_GT(decoded.samplesDecoded, 0) << path;
    const RecordInfo info = ReadRecordInfo(path);
    EXPECT_EQ(info.number, number) << path;
    EXPECT_EQ(info.direction, direction) << path;
}

}  // namespace pell::recorder
