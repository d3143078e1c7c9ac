// What the recorder files, the player must read back: the tag the recorder appends and a real
// encoded recording, then the player's own two tag writes on top of it.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <vector>

#include "player/catalogue/record_info.h"
#include "player/catalogue/recording_tag.h"
#include "player/catalogue/tag_writer.h"
#include "recorder/core/mp3_encoder.h"
#include "recorder/core/recording_names.h"
#include "testsupport/temp_dir.h"

namespace pell {
namespace {

struct RoundTripCase {
    const char* name;
    std::string number;
    std::string description;
    char mark;
    std::string expectedNumber;
    std::string expectedChannel;
    CallDirection expectedDirection;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

class RecorderRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RecorderRoundTripTest, PlayerReadsWhatTheRecorderTagged) {
    const RoundTripCase& c = GetParam();
    RecordingTag written{c.number, c.description, c.mark};
    const std::array<uint8_t, RecordingTag::kSize> bytes = written.Bytes();
    TagBytes tag;
    std::copy(bytes.begin(), bytes.end(), tag.begin());

    const std::optional<TagFields> read = ParseRecordingTag(tag);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->number, c.expectedNumber);
    EXPECT_EQ(read->channel, c.expectedChannel);
    EXPECT_EQ(read->direction, c.expectedDirection);
    EXPECT_EQ(read->played, 0);
    EXPECT_EQ(read->bookmark, "");
}

INSTANTIATE_TEST_SUITE_P(
    Tags, RecorderRoundTripTest,
    ::testing::Values(RoundTripCase{"incoming", "5551234", "Line 1 reception", 'I', "5551234", "Line 1 reception",
                                    CallDirection::kIncoming},
                      RoundTripCase{"dialled", "0123456", "Sales", 'O', "0123456", "Sales", CallDirection::kOutgoing},
                      RoundTripCase{"unknown", "", "", 'U', "", "", CallDirection::kUnknown},
                      RoundTripCase{"private", "Private", "Desk", 'I', "Private", "Desk", CallDirection::kIncoming},
                      RoundTripCase{"cutAtThirty", std::string(35, '7'), std::string(40, 'd'), 'I',
                                    std::string(30, '7'), std::string(30, 'd'), CallDirection::kIncoming},
                      RoundTripCase{"utf8CutBetweenCharacters", "5551234", std::string(29, 'd') + "\xC3\xBC", 'I',
                                    "5551234", std::string(29, 'd'), CallDirection::kIncoming},
                      RoundTripCase{"latin1DescriptionStoredAsUtf8", "", "B\xFCro", 'U', "", "B\xC3\xBCro",
                                    CallDirection::kUnknown}),
    [](const auto& info) { return std::string(info.param.name); });

// Three seconds of a 440 Hz tone through the recorder's encoder, as a filed recording.
std::vector<uint8_t> EncodedCall(int seconds) {
    Mp3Encoder encoder;
    EXPECT_EQ(encoder.Open(EncoderConfig{8000, 24, false}), 0u);
    std::vector<int16_t> pcm(static_cast<size_t>(seconds) * 8000);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / 8000));
    std::vector<uint8_t> out;
    for (size_t at = 0; at < pcm.size(); at += encoder.SamplesPerChunk()) {
        EXPECT_EQ(encoder.Encode(pcm.data() + at, std::min(encoder.SamplesPerChunk(), pcm.size() - at), out), 0);
    }
    EXPECT_EQ(encoder.Flush(out), 0);
    return out;
}

TEST(RecorderRoundTripFileTest, EncodedRecordingListsWithItsNumberAndLengthAndTakesThePlayersWrites) {
    TempDir dir;
    std::vector<uint8_t> file = EncodedCall(3);
    const auto tag = RecordingTag{"5551234", "Line 1 reception", 'I'}.Bytes();
    file.insert(file.end(), tag.begin(), tag.end());
    const std::string path = dir.File("in-0000000.mp3");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }

    RecordInfo info = ReadRecordInfo(path);
    EXPECT_EQ(info.number, "5551234");
    EXPECT_EQ(info.channel, "Line 1 reception");
    EXPECT_EQ(info.direction, CallDirection::kIncoming);
    EXPECT_EQ(info.duration, "00:00:03");
    EXPECT_EQ(info.played, 0);

    ASSERT_EQ(MarkPlayed(path), TagWriteResult::kWritten);
    ASSERT_EQ(StoreBookmark(path, "call back"), TagWriteResult::kWritten);
    info = ReadRecordInfo(path);
    EXPECT_EQ(info.played, 1);
    EXPECT_EQ(info.bookmark, "call back");
    EXPECT_EQ(info.number, "5551234");
    EXPECT_EQ(info.direction, CallDirection::kIncoming);

    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(after.size(), file.size()) << "the player's writes change bytes, never the length";
    const size_t tagStart = after.size() - 128;
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(tagStart), after.begin()))
        << "the audio is untouched";
    EXPECT_EQ(after[tagStart + 96], 1);
    EXPECT_EQ(after[tagStart + 127], 101);
}

}  // namespace
}  // namespace pell
