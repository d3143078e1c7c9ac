#include "custody/core/audio_hash.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "custody/core/sha256.h"
#include "player/catalogue/catalogue_test_support.h"

namespace pell {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

AudioDigest HashWhole(const std::string& file) {
    AudioHasher hasher;
    hasher.Update(Bytes(file));
    return hasher.Finish();
}

std::string Id3v2(std::size_t bodyBytes, bool footer = false) {
    std::string tag = "ID3";
    tag += '\x04';
    tag += '\x00';
    tag += static_cast<char>(footer ? 0x10 : 0x00);
    for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>((bodyBytes >> shift) & 0x7F);
    tag += std::string(bodyBytes + (footer ? 10 : 0), 'x');
    return tag;
}

TEST(Sha256Test, MatchesThePublishedVectors) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

struct AudioCase {
    const char* name;
    std::string file;
    std::string audio;  // what the digest must cover
};

class AudioHashTest : public testing::TestWithParam<AudioCase> {};

TEST_P(AudioHashTest, CoversTheAudioAloneWhateverTheBlocks) {
    const AudioCase& c = GetParam();
    const std::string expected = Sha256Hex(c.audio);
    EXPECT_EQ(HashWhole(c.file).sha256, expected);
    EXPECT_EQ(HashWhole(c.file).audioBytes, static_cast<int64_t>(c.audio.size()));
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    for (int round = 0; round < 20; ++round) {
        AudioHasher hasher;
        for (std::size_t at = 0; at < c.file.size();) {
            const std::size_t block = std::min<std::size_t>(c.file.size() - at, random() % 300);
            hasher.Update(Bytes(c.file.substr(at, block)));
            at += block;
        }
        ASSERT_EQ(hasher.Finish().sha256, expected) << "seed " << seed;
    }
}

const std::string kAudio = test::Layer3Audio(2, 17);
const std::string kTag = test::TagString(test::RecorderTag("0171 555", "Line 1", 'I'));

INSTANTIATE_TEST_SUITE_P(Files, AudioHashTest,
                         testing::Values(AudioCase{"Tagged", kAudio + kTag, kAudio},
                                         AudioCase{"Untagged", kAudio, kAudio},
                                         AudioCase{"LeadingId3v2", Id3v2(300) + kAudio + kTag, kAudio},
                                         AudioCase{"Id3v2WithFooter", Id3v2(20, true) + kAudio, kAudio},
                                         AudioCase{"ShorterThanATag", "\xff\xf3 short", "\xff\xf3 short"},
                                         AudioCase{"TagAlone", kTag, ""}, AudioCase{"Empty", "", ""},
                                         AudioCase{"Id3v2LongerThanTheFile", Id3v2(50).substr(0, 30), ""}),
                         [](const auto& info) { return info.param.name; });

TEST(AudioHashTest, ATagChangeKeepsTheDigestAndAnAudioByteChangesIt) {
    const std::string tagged = kAudio + kTag;
    const std::string bookmarked = kAudio + test::TagString(test::RecorderTag("0171 555", "Line 1", 'I', 1, "call"));
    EXPECT_EQ(HashWhole(tagged).sha256, HashWhole(bookmarked).sha256);
    std::string changed = tagged;
    changed[1000] ^= 0x01;
    EXPECT_NE(HashWhole(tagged).sha256, HashWhole(changed).sha256);
}

TEST(Id3v2LengthTest, ReadsOnlyWellFormedHeaders) {
    EXPECT_EQ(Id3v2Length(Bytes(Id3v2(300))), 310);
    EXPECT_EQ(Id3v2Length(Bytes(Id3v2(0, true))), 20);
    EXPECT_EQ(Id3v2Length(Bytes(std::string("ID3\x04\x00\x00\x00\x00\x80\x00", 10))), 0);
    EXPECT_EQ(Id3v2Length(Bytes(std::string("ID3\xff\x00\x00\x00\x00\x00\x00", 10))), 0);
    EXPECT_EQ(Id3v2Length(Bytes(kAudio)), 0);
    EXPECT_EQ(Id3v2Length(Bytes("ID3")), 0);
}

}  // namespace
}  // namespace pell
