// The "Alarms and e-mail" dialog without its window: recorder.ini's values as its fields show
// them, the checks its "Save" makes, and the write. settings.ini is never touched here.
//
// Every field is text as typed. A save either writes the whole file or names the first field
// that cannot be written, with what to type instead; nothing is half saved. A value the file
// format cannot carry (a line break, blanks around a password, more than a profile string holds)
// is refused rather than written: a line break in a password would add keys of its own.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <variant>

#include "common/core/recorder_options.h"

namespace pell::configurator {

struct LineOptionFields {
    std::string noCallDays;
    std::string keepDays;
    std::string deleteAfterDays;
};

struct RecorderOptionFields {
    std::string reminderHours;
    std::string server;
    std::string from;
    std::string to;  // addresses separated by commas or semicolons
    std::string user;
    std::string password;
    std::array<LineOptionFields, 2> lines;  // index 0 = line 1
};

enum class OptionField {
    kReminderHours,
    kServer,
    kFrom,
    kTo,
    kUser,
    kPassword,
    kNoCallDays,
    kKeepDays,
    kDeleteAfterDays,
};

// The field a save refused (line: 0 or 1 for the per-line fields) and the message to show.
struct FieldProblem {
    OptionField field = OptionField::kReminderHours;
    size_t line = 0;
    std::string message;
};

RecorderOptionFields OptionsToFields(const RecorderOptions& options);

// The options the fields hold, on top of base (so whatever else base carries is kept), or the
// first field that cannot be written. An empty day field is 0 (off), an empty reminder the default.
std::variant<RecorderOptions, FieldProblem> FieldsToOptions(const RecorderOptionFields& fields,
                                                            const RecorderOptions& base);

enum class OptionsSaveOutcome { kSaved, kInvalid, kCannotCreate, kWriteFailed };

struct OptionsSaveResult {
    OptionsSaveOutcome outcome = OptionsSaveOutcome::kSaved;
    FieldProblem problem;  // kInvalid only
};

// Checks the fields and writes recorder.ini in programFolder whole (atomically; a new file is
// readable and writable by the owner and the group, which the recorder's service belongs to).
OptionsSaveResult SaveRecorderOptions(const RecorderOptionFields& fields, const RecorderOptions& base,
                                      const std::string& programFolder);

}  // namespace pell::configurator
