#include "custody/core/verify.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "custody/core/testing/custody_test_support.h"
#include "player/catalogue/catalogue_test_support.h"
#include "testsupport/manual_clock.h"

namespace pell {
namespace {

using test::FakeCustodyFiles;
using Kind = VerifyFinding::Kind;

constexpr const char* kDay = "/rec/05.03.2026";
std::string At(const std::string& name) { return std::string(kDay) + "/" + name; }

struct VerifyCase {
    const char* name;
    std::function<void(FakeCustodyFiles&)> change;
    std::vector<std::pair<Kind, std::string>> findings;  // kind and the file's name
    std::size_t verified;
};

class VerifyFolderTest : public testing::TestWithParam<VerifyCase> {};

TEST_P(VerifyFolderTest, FindsEveryFileThatIsNotAsFiled) {
    FakeCustodyFiles files;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) test::FileRecording(files, kDay, name, "0171 555");
    GetParam().change(files);
    const FolderVerification result = VerifyDayFolder(files, kDay);
    std::vector<std::pair<Kind, std::string>> found;
    for (const VerifyFinding& finding : result.findings) found.emplace_back(finding.kind, NameOf(finding.path));
    EXPECT_EQ(found, GetParam().findings);
    EXPECT_EQ(result.verified, GetParam().verified);
}

void ChangeByte(FakeCustodyFiles& files, const std::string& name, std::size_t offset) {
    std::string bytes = *files.Read(At(name));
    bytes[offset] = static_cast<char>(bytes[offset] ^ 0x20);
    files.Write(At(name), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, VerifyFolderTest,
    testing::Values(
        VerifyCase{"Untouched", [](FakeCustodyFiles&) {}, {}, 3},
        VerifyCase{"OneAudioByteChanged",
                   [](FakeCustodyFiles& f) { ChangeByte(f, "b.mp3", 4000); },
                   {{Kind::kAltered, "b.mp3"}},
                   2},
        VerifyCase{"FirstFrameHeaderChanged",
                   [](FakeCustodyFiles& f) { ChangeByte(f, "a.mp3", 1); },
                   {{Kind::kAltered, "a.mp3"}},
                   2},
        VerifyCase{"BookmarkAndPlayedMarkSet",
                   [](FakeCustodyFiles& f) {
                       f.Write(At("a.mp3"), test::Layer3Audio(3, 7) +
                                                test::TagString(test::RecorderTag("0171 555", "Line 1", 'I', 1, "ok")));
                   },
                   {},
                   3},
        VerifyCase{"TagCutOff",
                   [](FakeCustodyFiles& f) {
                       const std::string bytes = *f.Read(At("c.mp3"));
                       f.Write(At("c.mp3"), bytes.substr(0, bytes.size() - 128));
                   },
                   {},
                   3},
        VerifyCase{"AudioAppended",
                   [](FakeCustodyFiles& f) { f.Write(At("c.mp3"), test::RecordingBytes("0171 555", "Line 1", 4)); },
                   {{Kind::kAltered, "c.mp3"}},
                   2},
        VerifyCase{"FileMissing", [](FakeCustodyFiles& f) { f.Erase(At("b.mp3")); }, {{Kind::kMissing, "b.mp3"}}, 2},
        VerifyCase{"FileAdded",
                   [](FakeCustodyFiles& f) { f.Write(At("d.mp3"), test::RecordingBytes("1", "L")); },
                   {{Kind::kUnlisted, "d.mp3"}},
                   3},
        VerifyCase{"OtherFilesIgnored", [](FakeCustodyFiles& f) { f.Write(At("notes.txt"), "x"); }, {}, 3},
        VerifyCase{"ErasedAndGone",
                   [](FakeCustodyFiles& f) {
                       ManualClock clock;
                       ASSERT_EQ(NoteGone(f, clock, kDay, {"a.mp3"}, GoneReason::kRequest), 0);
                       f.Erase(At("a.mp3"));
                   },
                   {},
                   2},
        VerifyCase{"ErasedYetBack",
                   [](FakeCustodyFiles& f) {
                       ManualClock clock;
                       ASSERT_EQ(NoteGone(f, clock, kDay, {"a.mp3"}, GoneReason::kRequest), 0);
                   },
                   {{Kind::kUnlisted, "a.mp3"}},
                   2},
        VerifyCase{"Unreadable",
                   [](FakeCustodyFiles& f) { f.SetError(At("c.mp3"), EACCES); },
                   {{Kind::kUnreadable, "c.mp3"}},
                   2},
        VerifyCase{"ManifestEntryEdited",
                   [](FakeCustodyFiles& f) {
                       std::string text = *f.Read(At(kManifestFileName));
                       text.replace(text.find("Line 1"), 6, "Line 9");
                       f.Write(At(kManifestFileName), text);
                   },
                   {{Kind::kManifestBroken, kManifestFileName}},
                   3},
        VerifyCase{"ManifestGone",
                   [](FakeCustodyFiles& f) { f.Erase(At(kManifestFileName)); },
                   {{Kind::kUnlisted, "a.mp3"}, {Kind::kUnlisted, "b.mp3"}, {Kind::kUnlisted, "c.mp3"}},
                   0}),
    [](const auto& info) { return info.param.name; });

TEST(VerifyRecordingTest, SaysVerifiedOrWhatIsWrongInWordsAndAsAFinding) {
    FakeCustodyFiles files;
    test::FileRecording(files, kDay, "a.mp3", "1");
    test::FileRecording(files, kDay, "b.mp3", "2");
    test::ScopedTimeZone utc(test::kUtc);
    const struct {
        const char* name;
        std::function<void(FakeCustodyFiles&)> change;
        std::string path;
        std::string text;
        std::optional<Kind> finding;
    } cases[] = {
        {"as filed", {}, At("a.mp3"), "verified", std::nullopt},
        {"one audio byte changed", [](FakeCustodyFiles& f) { ChangeByte(f, "b.mp3", 200); }, At("b.mp3"),
         "altered: the audio differs from the recording filed 05.03.2026 12:00:00", Kind::kAltered},
        {"filed and gone", [](FakeCustodyFiles& f) { f.Erase(At("a.mp3")); }, At("a.mp3"),
         "missing: listed in the manifest, filed 05.03.2026 12:00:00, and gone", Kind::kMissing},
        {"a day folder without manifest", [](FakeCustodyFiles& f) { f.Write("/rec/06.03.2026/c.mp3", "x"); },
         "/rec/06.03.2026/c.mp3", "not verifiable: its day folder has no manifest", std::nullopt},
        {"never filed", [](FakeCustodyFiles& f) { f.Write(At("c.mp3"), "x"); }, At("c.mp3"),
         "unlisted: not in the day folder's manifest", Kind::kUnlisted},
    };
    for (const auto& c : cases) {
        if (c.change) c.change(files);
        const RecordingVerdict verdict = VerifyRecording(files, c.path);
        EXPECT_EQ(verdict.text, c.text) << c.name;
        EXPECT_EQ(verdict.verified, c.text == "verified") << c.name;
        ASSERT_EQ(verdict.finding.has_value(), c.finding.has_value()) << c.name;
        if (c.finding) {
            EXPECT_EQ(verdict.finding->kind, *c.finding) << c.name;
        }
    }
}

}  // namespace
}  // namespace pell
