#include "index/core/index_settings.h"

#include <gtest/gtest.h>

#include "testsupport/temp_dir.h"

namespace pell {
namespace {

struct SettingsCase {
    const char* name;
    const char* text;
    IndexStoreKind store;
    const char* connection;
    const char* countryCode;
    const char* nationalPrefix;
    const char* internationalPrefix;
    const char* error;
};

class IndexSettingsTest : public testing::TestWithParam<SettingsCase> {};

TEST_P(IndexSettingsTest, ReadsTheStoreAndTheNumberPlan) {
    const IndexSettings settings = ParseIndexSettings(GetParam().text);
    EXPECT_EQ(settings.store, GetParam().store) << GetParam().name;
    EXPECT_EQ(settings.connection, GetParam().connection) << GetParam().name;
    EXPECT_EQ(settings.numbers.countryCode, GetParam().countryCode) << GetParam().name;
    EXPECT_EQ(settings.numbers.nationalPrefix, GetParam().nationalPrefix) << GetParam().name;
    EXPECT_EQ(settings.numbers.internationalPrefix, GetParam().internationalPrefix) << GetParam().name;
    EXPECT_EQ(settings.error, GetParam().error) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Files, IndexSettingsTest,
    testing::Values(
        SettingsCase{"empty", "", IndexStoreKind::kSqlite, "", "", "", "00", ""},
        SettingsCase{"shared server with a plan",
                     "[Index]\r\nStore=PostgreSQL\r\nconnection=host=db1 dbname=pell ; the office server\r\n"
                     "[numbers]\r\ncountry_code=44\r\nnational_prefix=0\r\n",
                     IndexStoreKind::kPostgresql, "host=db1 dbname=pell", "44", "0", "00", ""},
        SettingsCase{"international prefix of North America",
                     "[numbers]\ncountry_code=1\nnational_prefix=1\n"
                     "international_prefix=011\n",
                     IndexStoreKind::kSqlite, "", "1", "1", "011", ""},
        SettingsCase{"server without connection", "[index]\nstore=postgresql\n", IndexStoreKind::kPostgresql, "", "",
                     "", "00", "index.ini: store=postgresql needs connection= (for example host=db1 dbname=pell)"},
        SettingsCase{"unknown store", "[index]\nstore=mysql\n", IndexStoreKind::kSqlite, "", "", "", "00",
                     "index.ini: store=mysql is neither sqlite nor postgresql"},
        SettingsCase{"country code with a plus", "[numbers]\ncountry_code=+44\n", IndexStoreKind::kSqlite, "", "+44",
                     "", "00", "index.ini: [numbers] values are digits only, not \"+44\""}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });

TEST(IndexSettingsFileTest, MissingFileMeansTheEmbeddedIndexWithoutAPlan) {
    TempDir dir;
    const IndexSettings none = LoadIndexSettings(dir.path());
    EXPECT_FALSE(none.fromFile);
    EXPECT_EQ(none.store, IndexStoreKind::kSqlite);
    dir.Write("index.ini", "[index]\nfile=/tmp/x.sqlite\n");
    const IndexSettings some = LoadIndexSettings(dir.path());
    EXPECT_TRUE(some.fromFile);
    EXPECT_EQ(some.sqliteFile, "/tmp/x.sqlite");
}

TEST(CacheIndexFolderTest, FollowsTheXdgCacheHomeThenTheHomeFolder) {
    EXPECT_EQ(CacheIndexFolder("/c", "/home/u"), "/c/pell");
    EXPECT_EQ(CacheIndexFolder("relative", "/home/u"), "/home/u/.cache/pell");
    EXPECT_EQ(CacheIndexFolder(nullptr, "/home/u"), "/home/u/.cache/pell");
    EXPECT_EQ(CacheIndexFolder(nullptr, nullptr), "");
}

}  // namespace
}  // namespace pell
