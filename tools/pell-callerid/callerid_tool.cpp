#include "tools/pell-callerid/callerid_tool.h"

#include <charconv>
#include <fcntl.h>
#include <filesystem>
#include <optional>

#include "common/core/escape_text.h"
#include "common/core/recorder_settings.h"
#include "common/core/unique_fd.h"
#include "recorder/core/callerid/calling_number.h"
#include "recorder/core/callerid/dtmf_detector.h"
#include "recorder/core/callerid/fsk_decoder.h"
#include "recorder/core/callerid/identify_caller.h"

namespace pell {
namespace {

constexpr const char* kUsage =
    "Usage: pell-callerid [--rate HZ] [--clip N] FILE\n"
    "\n"
    "Reads FILE as a recorder temp file (headerless signed 16-bit little-endian mono samples)\n"
    "and prints one line of four tab-separated fields:\n"
    "  1. the direction mark (I incoming, O dialled, U unknown) the recorder would tag,\n"
    "  2. the number the recorder would tag,\n"
    "  3. the raw FSK caller-ID result with the clip setting's tone pair,\n"
    "  4. the raw DTMF digit string of the whole file.\n"
    "Bytes outside printable ASCII and backslashes in a field are written as \\xNN.\n"
    "\n"
    "Options:\n"
    "  --rate HZ   sample rate of FILE in Hz, 8000 to 192000 (default 8000)\n"
    "  --clip N    caller identification setting: 0 none, 1 tone, 2 FSK Europe (V.23 tones),\n"
    "              3 FSK US (Bell 202 tones); other values behave as 2 and 3 (default 2)\n"
    "  --help      show this text\n";

std::optional<int32_t> ParseInt(const std::string& text) {
    int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

}  // namespace

int RunCallerIdTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    int32_t rate = 8000;
    ClipMode clip = ClipMode::kFskEurope;
    std::optional<std::string> file;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            out << kUsage;
            return 0;
        }
        if (arg == "--rate" || arg == "--clip") {
            if (i + 1 >= args.size()) {
                err << "pell-callerid: " << arg << " needs a value\n" << kUsage;
                return 1;
            }
            const std::string& text = args[++i];
            const std::optional<int32_t> value = ParseInt(text);
            if (!value || (arg == "--rate" && *value <= 0)) {
                err << "pell-callerid: " << arg << " takes " << (arg == "--rate" ? "a positive" : "an")
                    << " integer, not \"" << text << "\"\n";
                return 1;
            }
            if (arg == "--rate" && (*value < kMinCallerIdSampleRate || *value > kMaxCallerIdSampleRate)) {
                err << "pell-callerid: --rate must lie between " << kMinCallerIdSampleRate << " and "
                    << kMaxCallerIdSampleRate << " Hz, not " << *value << "\n";
                return 1;
            }
            if (arg == "--rate") {
                rate = *value;
            } else {
                clip = static_cast<ClipMode>(*value);  // any other number means FSK, as in settings.ini
            }
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            err << "pell-callerid: unknown option \"" << arg << "\"\n" << kUsage;
            return 1;
        }
        if (file) {
            err << "pell-callerid: one FILE only\n" << kUsage;
            return 1;
        }
        file = arg;
    }
    if (!file) {
        err << "pell-callerid: no FILE given\n" << kUsage;
        return 1;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(*file, ec)) {
        err << "pell-callerid: " << *file << " is a directory\n";
        return 1;
    }
    if (!UniqueFd::Open(*file, O_RDONLY)) {
        err << "pell-callerid: cannot read " << *file << "\n";
        return 1;
    }

    const ToneTable tones = BuildToneTable(clip);
    const CallerIdentity identity = IdentifyCaller(*file, clip, rate, tones);
    out << identity.directionMark << '\t' << EscapeUnprintable(identity.number) << '\t'
        << EscapeUnprintable(DecodeFskClip(*file, rate, tones)) << '\t'
        << EscapeUnprintable(DetectDtmfDigits(*file, rate)) << '\n';
    return 0;
}

}  // namespace pell
