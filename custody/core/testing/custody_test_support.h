// Recordings filed into the in-memory file system as the recorder files them: the bytes with
// the recorder's tag, then the manifest entry with the audio's hash.
#pragma once

#include <cstdint>
#include <string>

#include "custody/core/manifest.h"
#include "custody/core/testing/fake_custody_files.h"

namespace pell::test {

// `seconds` of 16 kbit/s audio and the recorder's tag.
std::string RecordingBytes(const std::string& number, const std::string& line, int seconds = 3,
                           const std::string& bookmark = "");

// Writes dayFolder/name and its manifest entry; the call started at `startTime`.
void FileRecording(FakeCustodyFiles& files, const std::string& dayFolder, const std::string& name,
                   const std::string& number, const std::string& line = "Line 1", int64_t startTime = 1'772'712'000);

}  // namespace pell::test
