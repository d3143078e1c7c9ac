// settings.ini as a hostile or damaged file: the profile reader's rules and LoadSettings.

#include "common/core/profile.h"
#include "common/core/recorder_settings.h"
#include "fuzz/fuzz_support.h"

using namespace pell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ProfileReader reader = ProfileReader::FromText(text);
    static const char* const kSections[] = {"common", "channel1", "channel2", "COMMON", "", "x"};
    static const char* const kKeys[] = {"device",
                                        "number",
                                        "samplerate",
                                        "cleaning",
                                        "free_disk_space",
                                        "exists",
                                        "preffix",
                                        "gain",
                                        "description",
                                        "drop_folder",
                                        "bitrate",
                                        "clip",
                                        "sensitive_control",
                                        "sensitive_level",
                                        "end_of_file",
                                        "min_file_length",
                                        "max_file_length",
                                        "",
                                        "=",
                                        "[common]"};
    for (const char* section : kSections) {
        for (const char* key : kKeys) {
            const std::string value = reader.ReadString(section, key, "default");
            PELL_FUZZ_CHECK(value.size() <= ProfileReader::kMaxStringChars);
            reader.ReadInt(section, key, -7);
        }
    }
    LeadingDecimal(text);

    // The same bytes as the recorder's settings file.
    fuzz::WriteScratch("settings.ini", text);
    RecorderSettings settings;
    settings.programFolder = fuzz::ScratchFolder();
    ToneTables tones;
    LoadSettings(settings, tones);
    CreateDropFolders(settings, [](const std::string&) {});
    return 0;
}
