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

TEST_P(RecordRootsTest, OneRootPerNonEmptyLine) {
    EXPECT_EQ(ParseRecordRoots(GetParam().text), GetParam().roots);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RecordRootsTest,
    testing::Values(
        RootsCase{"Empty", "", {}},
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
