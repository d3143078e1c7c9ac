#include "recorder/core/callerid/tone_reading.h"

#include <gtest/gtest.h>

#include <functional>

namespace pell {
namespace {

constexpr int32_t kRate = 8000;

// The scan a sender's keys give: each key 70 ms, one every 140 ms, from 0.5 s on.
DtmfScan Evenly(const std::string& digits, double periodMs = 140) {
    DtmfScan scan;
    scan.sampleRate = kRate;
    scan.digits = digits;
    for (size_t i = 0; i < digits.size(); ++i) {
        const auto start = static_cast<int64_t>((500 + periodMs * static_cast<double>(i)) * kRate / 1000);
        scan.keys.push_back({digits[i], start, start + 70 * kRate / 1000, 0.0});
    }
    return scan;
}

int64_t Ms(double ms) { return static_cast<int64_t>(ms * kRate / 1000); }

struct ReadingCase {
    const char* behaviour;
    std::function<DtmfScan()> scan;
    ToneReadingKind kind;
    std::string number;
};

std::ostream& operator<<(std::ostream& out, const ReadingCase& c) { return out << c.behaviour; }

class ToneReadingTest : public ::testing::TestWithParam<ReadingCase> {};

TEST_P(ToneReadingTest, TrustsOnlyWhatTheKeysSupport) {
    const ReadingCase& c = GetParam();
    const ToneReading reading = ReadToneScan(c.scan());
    EXPECT_EQ(reading.kind, c.kind);
    EXPECT_EQ(reading.number, c.number);
}

const ReadingCase kReadingCases[] = {
    {"nothing found", [] { return DtmfScan{}; }, ToneReadingKind::kNothing, ""},
    {"a sound frame is the caller", [] { return Evenly("A5551234C"); }, ToneReadingKind::kCallerId, "5551234"},
    {"a D frame", [] { return Evenly("D42C"); }, ToneReadingKind::kCallerId, "42"},
    {"a withheld code", [] { return Evenly("B10C"); }, ToneReadingKind::kCallerId, "Private"},
    {"a two-star frame", [] { return Evenly("**123"); }, ToneReadingKind::kCallerId, "123"},
    {"digits after the frame do not matter", [] { return Evenly("A123C0"); }, ToneReadingKind::kCallerId, "123"},
    {"a frame without its end names no one", [] { return Evenly("A5551234"); }, ToneReadingKind::kUncertain, ""},
    {"a frame around key letters names no one", [] { return Evenly("A5B5C"); }, ToneReadingKind::kUncertain, ""},
    {"a key of the frame beyond the twist band",
     [] {
         DtmfScan s = Evenly("A5551234C");
         s.keys[4].twistDb = -7.5;
         return s;
     },
     ToneReadingKind::kUncertain, ""},
    {"a twist of +6 dB on every key is sound",
     [] {
         DtmfScan s = Evenly("A5551234C");
         for (DtmfKey& k : s.keys) k.twistDb = 6;
         return s;
     },
     ToneReadingKind::kCallerId, "5551234"},
    {"a pair that came and went inside the frame: a key may be lost",
     [] {
         DtmfScan s = Evenly("A555234C");
         s.doubts = {s.keys[4].start - Ms(70)};
         return s;
     },
     ToneReadingKind::kUncertain, ""},
    {"doubts before and after the frame do not matter",
     [] {
         DtmfScan s = Evenly("A5551234C");
         s.doubts = {Ms(100), s.keys.back().end + Ms(300)};
         return s;
     },
     ToneReadingKind::kCallerId, "5551234"},
    {"a gap where a key is missing",
     [] {
         DtmfScan s = Evenly("A5551234C");
         s.digits.erase(4, 1);
         s.keys.erase(s.keys.begin() + 4);
         return s;
     },
     ToneReadingKind::kUncertain, ""},
    {"a key twice as long as the others: two merged",
     [] {
         DtmfScan s = Evenly("A551234C");
         s.keys[2].end += Ms(140);
         return s;
     },
     ToneReadingKind::kUncertain, ""},
    {"a key known only by its character",
     [] {
         DtmfScan s = Evenly("A123C");
         s.keys[2].start = s.keys[2].end = -1;
         return s;
     },
     ToneReadingKind::kUncertain, ""},
    {"jitter of a window is even timing",
     [] {
         DtmfScan s = Evenly("A5551234C", 90);
         s.keys[3].start += Ms(13);
         s.keys[5].end += Ms(13);
         return s;
     },
     ToneReadingKind::kCallerId, "5551234"},
    {"dialled digits", [] { return Evenly("0123"); }, ToneReadingKind::kDialled, "0123"},
    {"a stray key and a stray pair around dialled digits are dropped",
     [] {
         DtmfScan s = Evenly("0123");
         s.digits = "4" + s.digits + "99";
         s.keys.insert(s.keys.begin(), DtmfKey{'4', 0, Ms(50), 0});
         s.keys.push_back({'9', Ms(30000), Ms(30050), 0});
         s.keys.push_back({'9', Ms(30200), Ms(30250), 0});
         for (DtmfKey& k : s.keys) k.start += Ms(60000), k.end += Ms(60000);
         s.keys[0].start -= Ms(60000), s.keys[0].end -= Ms(60000);
         return s;
     },
     ToneReadingKind::kDialled, "0123"},
    {"one or two stray keys are nothing certain",
     [] {
         DtmfScan s = Evenly("4");
         s.digits += "8";
         s.keys.push_back({'8', Ms(40000), Ms(40050), 0});
         return s;
     },
     ToneReadingKind::kUncertain, ""},
    {"a dialled key lost between two keyed after it shows where",
     [] {
         DtmfScan s = Evenly("01234");
         s.doubts = {s.keys[2].end + Ms(20)};
         return s;
     },
     ToneReadingKind::kDialled, "012?34"},
    {"three keys and a lost one are talk-off (repeated notes of music)",
     [] {
         DtmfScan s = Evenly("444");
         s.doubts = {s.keys[1].end + Ms(20)};
         return s;
     },
     ToneReadingKind::kUncertain, ""},
    {"a dialled key beyond the twist band is shown as lost",
     [] {
         DtmfScan s = Evenly("0123");
         s.keys[1].twistDb = 8;
         return s;
     },
     ToneReadingKind::kDialled, "0?23"},
    {"two dialled numbers far apart are both kept",
     [] {
         DtmfScan s = Evenly("012");
         const DtmfScan later = Evenly("789");
         s.digits += later.digits;
         for (DtmfKey k : later.keys) {
             k.start += Ms(20000), k.end += Ms(20000);
             s.keys.push_back(k);
         }
         return s;
     },
     ToneReadingKind::kDialled, "012789"},
};

INSTANTIATE_TEST_SUITE_P(Scans, ToneReadingTest, ::testing::ValuesIn(kReadingCases));

}  // namespace
}  // namespace pell
