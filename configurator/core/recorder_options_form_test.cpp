#include "configurator/core/recorder_options_form.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "testsupport/temp_dir.h"

namespace pell::configurator {
namespace {

RecorderOptionFields Filled() {
    RecorderOptionFields f;
    f.reminderHours = "6";
    f.server = "smtp://127.0.0.1:2525";
    f.from = "recorder@example.com";
    f.to = "office@example.com; it@example.com";
    f.user = "recorder";
    f.password = "s3cret;#=[x]";
    f.lines[0] = {"3", "30", "1825"};
    f.lines[1] = {"0", "", "90"};
    return f;
}

TEST(RecorderOptionsFormTest, SavedFieldsReadBackAsTheRecorderLoadsThem) {
    TempDir dir;
    const OptionsSaveResult result = SaveRecorderOptions(Filled(), RecorderOptions{}, dir.path());
    ASSERT_EQ(result.outcome, OptionsSaveOutcome::kSaved) << result.problem.message;

    const RecorderOptions loaded = LoadRecorderOptions(dir.path());
    EXPECT_TRUE(loaded.messages.empty()) << loaded.messages.front();
    EXPECT_EQ(loaded.reminderHours, 6);
    EXPECT_TRUE(loaded.mail.Enabled());
    EXPECT_EQ(loaded.mail.to, (std::vector<std::string>{"office@example.com", "it@example.com"}));
    EXPECT_EQ(loaded.mail.password, "s3cret;#=[x]");
    EXPECT_EQ(loaded.lines[0].deleteAfterDays, 1825);
    EXPECT_EQ(loaded.lines[1].keepDays, 0);  // an empty day field is off

    // Shown again, the fields hold what was saved, addresses in the file's own spelling.
    const RecorderOptionFields shown = OptionsToFields(loaded);
    EXPECT_EQ(shown.to, "office@example.com, it@example.com");
    EXPECT_EQ(shown.password, "s3cret;#=[x]");
    EXPECT_EQ(shown.lines[1].keepDays, "0");
    EXPECT_EQ(shown.lines[0].noCallDays, "3");
}

TEST(RecorderOptionsFormTest, NoFileShowsEverythingOffAndSavesAsIs) {
    TempDir dir;
    const RecorderOptionFields fields = OptionsToFields(LoadRecorderOptions(dir.path()));
    EXPECT_EQ(fields.reminderHours, "24");
    EXPECT_EQ(fields.server, "");
    EXPECT_EQ(fields.lines[0].deleteAfterDays, "0");
    ASSERT_EQ(SaveRecorderOptions(fields, RecorderOptions{}, dir.path()).outcome, OptionsSaveOutcome::kSaved);
    const RecorderOptions loaded = LoadRecorderOptions(dir.path());
    EXPECT_TRUE(loaded.fromFile);
    EXPECT_FALSE(loaded.mail.Enabled());
    EXPECT_TRUE(loaded.messages.empty());
}

struct RefusalCase {
    const char* behaviour;
    std::function<void(RecorderOptionFields&)> edit;
    OptionField field;
    size_t line;
    const char* says;
};

std::ostream& operator<<(std::ostream& out, const RefusalCase& c) { return out << c.behaviour; }

class RecorderOptionsRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RecorderOptionsRefusalTest, NamesTheFieldAndLeavesTheFileAsItWas) {
    const RefusalCase& c = GetParam();
    TempDir dir;
    dir.Write("recorder.ini", "[alarms]\nreminder_hours=12\n");
    dir.Write("settings.ini", "[common]\r\ndevice=USB Audio\r\n");
    RecorderOptionFields fields = Filled();
    c.edit(fields);

    const OptionsSaveResult result = SaveRecorderOptions(fields, RecorderOptions{}, dir.path());
    EXPECT_EQ(result.outcome, OptionsSaveOutcome::kInvalid);
    EXPECT_EQ(result.problem.field, c.field);
    EXPECT_EQ(result.problem.line, c.line);
    EXPECT_NE(result.problem.message.find(c.says), std::string::npos) << result.problem.message;
    EXPECT_EQ(dir.Read("recorder.ini"), "[alarms]\nreminder_hours=12\n");
    EXPECT_EQ(dir.Read("settings.ini"), "[common]\r\ndevice=USB Audio\r\n");
}

const RefusalCase kRefusals[] = {
    {"a reminder of 0 hours", [](auto& f) { f.reminderHours = "0"; }, OptionField::kReminderHours, 0, "from 1 to 720"},
    {"a reminder with a unit", [](auto& f) { f.reminderHours = "6h"; }, OptionField::kReminderHours, 0, "hours"},
    {"a server of another scheme", [](auto& f) { f.server = "http://mail.example.com"; }, OptionField::kServer, 0,
     "smtp://host:587"},
    {"a server without a host", [](auto& f) { f.server = "smtps://"; }, OptionField::kServer, 0, "smtps://host:465"},
    {"mail without a sender", [](auto& f) { f.from = ""; }, OptionField::kFrom, 0, "recorder@example.com"},
    {"mail to nobody", [](auto& f) { f.to = " , "; }, OptionField::kTo, 0, "names nobody"},
    {"an address without its host", [](auto& f) { f.to = "office@example.com, it@"; }, OptionField::kTo, 0,
     "\"it@\" is not an e-mail address"},
    {"addresses separated by blanks", [](auto& f) { f.to = "a@example.com b@example.com"; }, OptionField::kTo, 0,
     "separate addresses with commas"},
    // A line break would let a password write keys of its own, here a deletion after one day.
    {"a password that would add keys", [](auto& f) { f.password = "x\n[line1]\ndelete_after_days=1"; },
     OptionField::kPassword, 0, "line break"},
    {"a user with a carriage return", [](auto& f) { f.user = "a\rb"; }, OptionField::kUser, 0, "line break"},
    {"a server with a line break", [](auto& f) { f.server = "smtp://a\n"; }, OptionField::kServer, 0, "line break"},
    {"a password the file would trim", [](auto& f) { f.password = " secret"; }, OptionField::kPassword, 0,
     "cannot begin or end with a blank"},
    {"a password beyond a profile string", [](auto& f) { f.password = std::string(5000, 'p'); }, OptionField::kPassword,
     0, "longer than 4095"},
    {"negative days", [](auto& f) { f.lines[1].noCallDays = "-1"; }, OptionField::kNoCallDays, 1,
     "Line 2, \"Alarm after days without a call\""},
    {"days beyond a century", [](auto& f) { f.lines[0].keepDays = "40000"; }, OptionField::kKeepDays, 0,
     "from 0 (off) to 36500"},
    {"days with a fraction", [](auto& f) { f.lines[0].deleteAfterDays = "1.5"; }, OptionField::kDeleteAfterDays, 0,
     "whole number"},
    {"deleting before the days to keep are over",
     [](auto& f) {
         f.lines[1] = {"0", "90", "30"};
     },
     OptionField::kDeleteAfterDays, 1, "make it at least 90"},
};

INSTANTIATE_TEST_SUITE_P(Fields, RecorderOptionsRefusalTest, ::testing::ValuesIn(kRefusals));

TEST(RecorderOptionsFormTest, MailFieldsNeedNotBeValidWhileNoServerIsSet) {
    RecorderOptionFields fields = Filled();
    fields.server = " ";
    fields.from = "";
    fields.to = "not an address";
    const auto read = FieldsToOptions(fields, RecorderOptions{});
    ASSERT_TRUE(std::holds_alternative<RecorderOptions>(read)) << std::get<FieldProblem>(read).message;
    EXPECT_FALSE(std::get<RecorderOptions>(read).mail.Enabled());
}

TEST(RecorderOptionsFormTest, SaveTouchesNeitherSettingsIniNorOtherFiles) {
    TempDir dir;
    const std::string settings = "[common]\r\ndevice=USB Audio\r\nsamplerate=8000\r\n";
    dir.Write("settings.ini", settings);
    ASSERT_EQ(SaveRecorderOptions(Filled(), RecorderOptions{}, dir.path()).outcome, OptionsSaveOutcome::kSaved);
    EXPECT_EQ(dir.Read("settings.ini"), settings);
    // The file holds a mail password: never readable by others.
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("recorder.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0007, 0u);
}

TEST(RecorderOptionsFormTest, AFolderThatCannotTakeTheFileIsReported) {
    TempDir dir;
    const OptionsSaveResult result = SaveRecorderOptions(Filled(), RecorderOptions{}, dir.File("missing/folder"));
    EXPECT_EQ(result.outcome, OptionsSaveOutcome::kCannotCreate);
}

}  // namespace
}  // namespace pell::configurator
