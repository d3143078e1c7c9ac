#include "player/catalogue/record_roots.h"

#include <gtest/gtest.h>

#include "testsupport/temp_dir.h"

namespace pell {
namespace {

struct RootsCase {
    const char* name;
    std::string text;
    std::vector<std::string> roots;
};

class RecordRootsTest : public testing::TestWithParam<RootsCase> {};

TEST_P(RecordRootsTest, OneRootPerNonEmptyLine) { EXPECT_EQ(ParseRecordRoots(GetParam().text), GetParam().roots); }

INSTANTIATE_TEST_SUITE_P(Files, RecordRootsTest,
                         testing::Values(RootsCase{"Empty", "", {}},
                                         RootsCase{"CrLf", "/srv/rec1\r\n/srv/rec2\r\n", {"/srv/rec1", "/srv/rec2"}},
                                         RootsCase{"LfAndNoFinalEnd", "/a\n/b", {"/a", "/b"}},
                                         RootsCase{"EmptyLinesSkipped", "\r\n/a\r\n\r\n\n/b\r\n\r\n", {"/a", "/b"}},
                                         RootsCase{"DuplicatesKept", "/a\r\n/b\r\n/a\r\n", {"/a", "/b", "/a"}},
                                         RootsCase{"DriveRootKeepsItsSeparator", "/\r\nd:\\\r\n", {"/", "d:\\"}},
                                         RootsCase{"BlanksAreKept", " /a b \r\n", {" /a b "}},
                                         RootsCase{"OnlyTheLastCrIsTheLineEnd", "/a\r\r\n", {"/a\r"}}),
                         [](const auto& info) { return info.param.name; });

TEST(LoadRecordRootsTest, ReadsPathsIniInTheProgramFolder) {
    TempDir dir;
    EXPECT_TRUE(LoadRecordRoots(dir.path()).empty());
    dir.Write("paths.ini", "/srv/rec1\r\n\r\n/srv/rec2\r\n");
    EXPECT_EQ(LoadRecordRoots(dir.path()), (std::vector<std::string>{"/srv/rec1", "/srv/rec2"}));
}

}  // namespace
}  // namespace pell

namespace pell {
namespace {

TEST(RecordRootOrderTest, FoldersSortAscendingIgnoringTheCaseOfAToZ) {
    const struct {
        std::vector<std::string> added;
        std::vector<std::string> shown;
    } cases[] = {
        {{"/srv/b", "/srv/a", "/srv/c"}, {"/srv/a", "/srv/b", "/srv/c"}},
        {{"/Srv/b", "/srv/A", "/SRV/C"}, {"/srv/A", "/Srv/b", "/SRV/C"}},
        {{"/data/rec", "/data/rec"}, {"/data/rec", "/data/rec"}},
        {{"/srv/a", "/SRV/A", "/srv/a"}, {"/SRV/A", "/srv/a", "/srv/a"}},
        {{"/mnt/z", "/", "/mnt/Y"}, {"/", "/mnt/Y", "/mnt/z"}},
        {{"/aB", "/a_b"}, {"/a_b", "/aB"}},  // folded, "b" comes after "_" as "B" would not
    };
    for (const auto& c : cases) {
        std::vector<std::string> roots;
        for (const std::string& root : c.added) {
            const std::size_t at = InsertRecordRoot(roots, root);
            EXPECT_EQ(roots.at(at), root);
        }
        EXPECT_EQ(roots, c.shown);
    }
}

TEST(SaveRecordRootsTest, WritesNonEmptyRootsWithCrLfAndReadsBack) {
    const struct {
        std::vector<std::string> roots;
        std::string file;
    } cases[] = {
        {{"/srv/a", "/srv/b"}, "/srv/a\r\n/srv/b\r\n"},
        {{"/srv/a", "", "/srv/a"}, "/srv/a\r\n/srv/a\r\n"},
        {{}, ""},
        {{"/"}, "/\r\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        dir.Write("paths.ini", "/old\r\n");
        ASSERT_TRUE(SaveRecordRoots(dir.path(), c.roots));
        EXPECT_EQ(dir.Read("paths.ini"), c.file);
        std::vector<std::string> expected;
        for (const std::string& root : c.roots) {
            if (!root.empty()) expected.push_back(root);
        }
        EXPECT_EQ(LoadRecordRoots(dir.path()), expected);
    }
}

TEST(SaveRecordRootsTest, MissingProgramFolderFailsAndWritesNothing) {
    TempDir dir;
    EXPECT_FALSE(SaveRecordRoots(dir.File("gone"), {"/srv/a"}));
}

}  // namespace
}  // namespace pell
