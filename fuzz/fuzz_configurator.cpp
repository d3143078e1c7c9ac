// The configurator loading a hostile settings.ini, then taking it through its controls and
// writing it again: whatever it read, the file it writes has exactly its fixed lines.

#include <algorithm>

#include "common/core/profile.h"
#include "common/core/settings_file.h"
#include "configurator/core/config_members.h"
#include "fuzz/fuzz_support.h"

using namespace pell;
using namespace pell::configurator;

namespace {
// [common] and its five keys, then per channel an empty line, the header and thirteen keys.
constexpr long kSettingsLines = 6 + 2 * 15;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::string typed = input.Text();
    const std::string file = input.Rest();

    DialogMembers members = LoadMembers(ProfileReader::FromText(file));
    DialogControls controls = MembersToControls(members);
    // A user's typing into the free-text fields on top of what was loaded.
    controls.device = typed;
    controls.sampleRate = typed;
    controls.minDiskSize = typed;
    controls.channels[0].description = typed;
    controls.channels[1].folder = typed;
    controls.channels[1].stopAfter = typed;
    ControlsToMembers(controls, members);
    StartLevelEnabled(members.channels[0]);
    ParseDialogInteger(typed);
    SelectString({"8000", "11025", "16000", "22050", "32000", "44100", "48000"}, typed);

    const std::string written = FormatSettingsFile(MembersToDocument(members));
    PELL_FUZZ_CHECK(std::count(written.begin(), written.end(), '\n') == kSettingsLines);
    PELL_FUZZ_CHECK(std::count(written.begin(), written.end(), '\r') == kSettingsLines);
    LoadMembers(ProfileReader::FromText(written));
    return 0;
}
