#include "common/core/recorder_options.h"

#include <charconv>
#include <fstream>

#include "common/core/paths.h"
#include "common/core/profile.h"

namespace pell {
namespace {

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// A whole decimal number in [low, high], or the fallback with a message: a day count that reads
// as 0 by accident would switch a rule off without anybody noticing.
int32_t ReadCount(const ProfileReader& profile, std::string_view section, std::string_view key, int32_t fallback,
                  int32_t low, int32_t high, std::vector<std::string>& messages) {
    if (!profile.HasKey(section, key)) return fallback;
    const std::string raw = profile.ReadString(section, key);
    const std::string_view text = Trimmed(raw);
    if (text.empty()) return fallback;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        messages.push_back("recorder.ini: [" + std::string(section) + "] " + std::string(key) + "=" + raw +
                           " is not a whole number from " + std::to_string(low) + " to " + std::to_string(high) + "; " +
                           std::to_string(fallback) + " is used.");
        return fallback;
    }
    return value;
}

bool HasMailScheme(std::string_view url) { return url.substr(0, 7) == "smtp://" || url.substr(0, 8) == "smtps://"; }

void ReadMail(const ProfileReader& profile, RecorderOptions& options) {
    MailOptions& mail = options.mail;
    mail.server = std::string(Trimmed(profile.ReadString("mail", "server")));
    mail.from = std::string(Trimmed(profile.ReadString("mail", "from")));
    mail.to = SplitMailAddresses(profile.ReadString("mail", "to"));
    mail.user = profile.ReadString("mail", "user");
    mail.password = profile.ReadString("mail", "password");
    if (mail.server.empty()) return;
    if (!HasMailScheme(mail.server)) {
        options.messages.push_back("recorder.ini: [mail] server=" + mail.server +
                                   " must begin with smtp:// or smtps://; no e-mail is sent.");
        mail.server.clear();
    } else if (mail.to.empty()) {
        options.messages.push_back("recorder.ini: [mail] server is set but \"to\" names nobody; no e-mail is sent.");
    }
}

void ReadLine(const ProfileReader& profile, size_t index, RecorderOptions& options) {
    const std::string section = "line" + std::to_string(index + 1);
    LineOptions& line = options.lines[index];
    std::vector<std::string>& messages = options.messages;
    line.noCallDays = ReadCount(profile, section, "no_call_days", 0, 0, kMaxRetentionDays, messages);
    line.keepDays = ReadCount(profile, section, "keep_days", 0, 0, kMaxRetentionDays, messages);
    line.deleteAfterDays = ReadCount(profile, section, "delete_after_days", 0, 0, kMaxRetentionDays, messages);
    // Deleting before the days that must be kept are over cannot both hold: keeping wins, since a
    // recording removed too early cannot be brought back.
    if (line.deleteAfterDays != 0 && line.keepDays != 0 && line.deleteAfterDays < line.keepDays) {
        messages.push_back("recorder.ini: [" + section + "] delete_after_days=" + std::to_string(line.deleteAfterDays) +
                           " is shorter than keep_days=" + std::to_string(line.keepDays) + "; recordings are kept " +
                           std::to_string(line.keepDays) + " days before they are deleted.");
        line.deleteAfterDays = line.keepDays;
    }
}

}  // namespace

std::vector<std::string> SplitMailAddresses(std::string_view text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(",;", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view one = Trimmed(text.substr(start, end - start));
        if (!one.empty()) out.emplace_back(one);
        start = end + 1;
    }
    return out;
}

RecorderOptions ParseRecorderOptions(std::string_view text) {
    const ProfileReader profile = ProfileReader::FromText(text);
    RecorderOptions options;
    options.reminderHours =
        ReadCount(profile, "alarms", "reminder_hours", kDefaultReminderHours, 1, kMaxReminderHours, options.messages);
    ReadMail(profile, options);
    for (size_t i = 0; i < options.lines.size(); ++i) ReadLine(profile, i, options);
    return options;
}

RecorderOptions LoadRecorderOptions(const std::string& programFolder) {
    const std::string path = JoinPath(programFolder, kRecorderOptionsFile);
    std::ifstream in(path, std::ios::binary);
    if (!in) return RecorderOptions{};
    // The file is a few hundred bytes; more than 64 KiB is not ours and is read no further.
    std::string text;
    char chunk[4096];
    while (text.size() < 65536 && in.read(chunk, sizeof chunk).gcount() > 0) {
        text.append(chunk, static_cast<size_t>(in.gcount()));
    }
    RecorderOptions options = ParseRecorderOptions(text);
    options.fromFile = true;
    return options;
}

std::string FormatRecorderOptions(const RecorderOptions& options) {
    std::string to;
    for (const std::string& address : options.mail.to) {
        if (!to.empty()) to += ", ";
        to += address;
    }
    std::string out =
        "; The recorder's alarms, e-mail and retention, beside settings.ini. Edited by Pell2CFG.\n"
        "[alarms]\n"
        "; A standing alarm is repeated at most this often (hours).\n"
        "reminder_hours=" +
        std::to_string(options.reminderHours) +
        "\n"
        "\n[mail]\n"
        "; smtp://host:587 (STARTTLS when the server offers it) or smtps://host:465; empty: no e-mail.\n"
        "server=" +
        options.mail.server + "\nfrom=" + options.mail.from + "\nto=" + to + "\nuser=" + options.mail.user +
        "\npassword=" + options.mail.password + "\n";
    for (size_t i = 0; i < options.lines.size(); ++i) {
        const LineOptions& line = options.lines[i];
        out += "\n[line" + std::to_string(i + 1) +
               "]\n"
               "; Days without a call before an alarm; 0: off.\n"
               "no_call_days=" +
               std::to_string(line.noCallDays) +
               "\n"
               "; Cleaning for space never removes a day younger than this; 0: off.\n"
               "keep_days=" +
               std::to_string(line.keepDays) +
               "\n"
               "; Recordings older than this many days are removed by a daily pass; 0: off.\n"
               "delete_after_days=" +
               std::to_string(line.deleteAfterDays) + "\n";
    }
    return out;
}

}  // namespace pell
