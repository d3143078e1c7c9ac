#include "configurator/core/recorder_options_form.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "common/core/paths.h"
#include "common/core/profile.h"
#include "common/core/settings_file.h"
#include "configurator/core/config_controls.h"

namespace pell::configurator {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The caption without its colon, as a message names the field.
std::string Caption(const char* label) {
    std::string_view text(label);
    if (!text.empty() && text.back() == ':') text.remove_suffix(1);
    return "\"" + std::string(text) + "\"";
}

std::string LineCaption(size_t line, const char* label) {
    return "Line " + std::to_string(line + 1) + ", " + Caption(label);
}

std::optional<int32_t> WholeNumber(std::string_view text, int32_t low, int32_t high) {
    text = Trimmed(text);
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < low || value > high) return std::nullopt;
    return value;
}

bool HasControlCharacter(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
    }
    return false;
}

// What keeps a text from surviving a write and a read of recorder.ini unchanged, or empty.
std::string Unwritable(std::string_view text, const std::string& caption) {
    if (HasControlCharacter(text)) return caption + " cannot hold a line break or control character.";
    if (text.size() > ProfileReader::kMaxStringChars) {
        return caption + " is longer than " + std::to_string(ProfileReader::kMaxStringChars) + " characters.";
    }
    return {};
}

// An address as a mail server takes it: something@host, without blanks or angle brackets.
bool LooksLikeAddress(std::string_view address) {
    const size_t at = address.find('@');
    if (at == 0 || at == std::string_view::npos || at + 1 >= address.size()) return false;
    return address.find_first_of(" \t<>,;") == std::string_view::npos;
}

// A day count of one line's rule; empty is 0 (off).
std::optional<FieldProblem> ReadDays(const std::string& text, OptionField field, size_t line, const char* label,
                                     int32_t& days) {
    if (Trimmed(text).empty()) {
        days = 0;
        return std::nullopt;
    }
    const std::optional<int32_t> value = WholeNumber(text, 0, kMaxRetentionDays);
    if (!value) {
        return FieldProblem{field, line,
                            LineCaption(line, label) + " must be a whole number of days from 0 (off) to " +
                                std::to_string(kMaxRetentionDays) + "."};
    }
    days = *value;
    return std::nullopt;
}

std::optional<FieldProblem> ReadLine(const LineOptionFields& fields, size_t line, LineOptions& out) {
    if (auto p = ReadDays(fields.noCallDays, OptionField::kNoCallDays, line, text::kNoCallDays, out.noCallDays)) {
        return p;
    }
    if (auto p = ReadDays(fields.keepDays, OptionField::kKeepDays, line, text::kKeepDays, out.keepDays)) return p;
    if (auto p = ReadDays(fields.deleteAfterDays, OptionField::kDeleteAfterDays, line, text::kDeleteAfterDays,
                          out.deleteAfterDays)) {
        return p;
    }
    // Deleting a recording that must still be kept cannot both hold; the user decides which.
    if (out.deleteAfterDays != 0 && out.keepDays != 0 && out.deleteAfterDays < out.keepDays) {
        return FieldProblem{OptionField::kDeleteAfterDays, line,
                            LineCaption(line, text::kDeleteAfterDays) + " (" + std::to_string(out.deleteAfterDays) +
                                ") is shorter than " + Caption(text::kKeepDays) + " (" + std::to_string(out.keepDays) +
                                "): make it at least " + std::to_string(out.keepDays) +
                                ", or 0 to keep recordings until cleaning."};
    }
    return std::nullopt;
}

std::optional<FieldProblem> ReadMail(const RecorderOptionFields& fields, MailOptions& mail) {
    const struct {
        const std::string& text;
        OptionField field;
        const char* label;
    } texts[] = {{fields.server, OptionField::kServer, text::kMailServer},
                 {fields.from, OptionField::kFrom, text::kMailFrom},
                 {fields.to, OptionField::kTo, text::kMailTo},
                 {fields.user, OptionField::kUser, text::kMailUser},
                 {fields.password, OptionField::kPassword, text::kMailPassword}};
    for (const auto& t : texts) {
        if (std::string why = Unwritable(t.text, Caption(t.label)); !why.empty()) return FieldProblem{t.field, 0, why};
    }
    if (Trimmed(fields.password).size() != fields.password.size()) {
        return FieldProblem{
            OptionField::kPassword, 0,
            Caption(text::kMailPassword) + " cannot begin or end with a blank: recorder.ini would lose it."};
    }
    mail.server = std::string(Trimmed(fields.server));
    mail.from = std::string(Trimmed(fields.from));
    mail.to = SplitMailAddresses(fields.to);
    mail.user = std::string(Trimmed(fields.user));
    mail.password = fields.password;
    if (mail.server.empty()) return std::nullopt;
    const bool plain = mail.server.starts_with("smtp://");
    const bool secure = mail.server.starts_with("smtps://");
    const size_t hostStart = plain ? 7 : 8;
    if ((!plain && !secure) || mail.server.size() <= hostStart || mail.server.find(' ') != std::string::npos) {
        return FieldProblem{OptionField::kServer, 0,
                            Caption(text::kMailServer) +
                                " must be smtp://host:587 (encrypted when the server offers it) or smtps://host:465, "
                                "or empty for no e-mail."};
    }
    if (!LooksLikeAddress(mail.from)) {
        return FieldProblem{OptionField::kFrom, 0,
                            Caption(text::kMailFrom) +
                                " needs the address the alarms come from, such as "
                                "recorder@example.com."};
    }
    if (mail.to.empty()) {
        return FieldProblem{
            OptionField::kTo, 0,
            Caption(text::kMailTo) + " names nobody: enter at least one address, or empty the mail server."};
    }
    for (const std::string& address : mail.to) {
        if (!LooksLikeAddress(address)) {
            return FieldProblem{OptionField::kTo, 0,
                                Caption(text::kMailTo) + ": \"" + address +
                                    "\" is not an e-mail address; separate addresses with commas."};
        }
    }
    return std::nullopt;
}

std::string Count(int32_t value) { return std::to_string(value); }

}  // namespace

RecorderOptionFields OptionsToFields(const RecorderOptions& options) {
    RecorderOptionFields fields;
    fields.reminderHours = Count(options.reminderHours);
    fields.server = options.mail.server;
    fields.from = options.mail.from;
    for (const std::string& address : options.mail.to) {
        if (!fields.to.empty()) fields.to += ", ";
        fields.to += address;
    }
    fields.user = options.mail.user;
    fields.password = options.mail.password;
    for (size_t i = 0; i < fields.lines.size(); ++i) {
        const LineOptions& line = options.lines[i];
        fields.lines[i] = {Count(line.noCallDays), Count(line.keepDays), Count(line.deleteAfterDays)};
    }
    return fields;
}

std::variant<RecorderOptions, FieldProblem> FieldsToOptions(const RecorderOptionFields& fields,
                                                            const RecorderOptions& base) {
    RecorderOptions options = base;
    options.messages.clear();
    if (Trimmed(fields.reminderHours).empty()) {
        options.reminderHours = kDefaultReminderHours;
    } else if (const std::optional<int32_t> hours = WholeNumber(fields.reminderHours, 1, kMaxReminderHours)) {
        options.reminderHours = *hours;
    } else {
        return FieldProblem{OptionField::kReminderHours, 0,
                            Caption(text::kReminderHours) + " must be a whole number of hours from 1 to " +
                                std::to_string(kMaxReminderHours) + "."};
    }
    if (std::optional<FieldProblem> problem = ReadMail(fields, options.mail)) return *problem;
    for (size_t i = 0; i < options.lines.size(); ++i) {
        if (std::optional<FieldProblem> problem = ReadLine(fields.lines[i], i, options.lines[i])) return *problem;
    }
    return options;
}

OptionsSaveResult SaveRecorderOptions(const RecorderOptionFields& fields, const RecorderOptions& base,
                                      const std::string& programFolder) {
    std::variant<RecorderOptions, FieldProblem> read = FieldsToOptions(fields, base);
    if (const FieldProblem* problem = std::get_if<FieldProblem>(&read)) {
        return {OptionsSaveOutcome::kInvalid, *problem};
    }
    const std::string path = JoinPath(programFolder, kRecorderOptionsFile);
    switch (WriteFileAtomically(path, FormatRecorderOptions(std::get<RecorderOptions>(read)), 0660)) {
        case WriteResult::kOk:
            return {OptionsSaveOutcome::kSaved, {}};
        case WriteResult::kCannotCreate:
            return {OptionsSaveOutcome::kCannotCreate, {}};
        case WriteResult::kWriteFailed:
            break;
    }
    return {OptionsSaveOutcome::kWriteFailed, {}};
}

}  // namespace pell::configurator
