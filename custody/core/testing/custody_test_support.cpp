#include "custody/core/testing/custody_test_support.h"

#include <gtest/gtest.h>

#include "custody/core/verify.h"
#include "player/catalogue/catalogue_test_support.h"

namespace pell::test {

std::string RecordingBytes(const std::string& number, const std::string& line, int seconds,
                           const std::string& bookmark) {
    return Layer3Audio(seconds, 7) + TagString(RecorderTag(number, line, 'I', 0, bookmark));
}

void FileRecording(FakeCustodyFiles& files, const std::string& dayFolder, const std::string& name,
                   const std::string& number, const std::string& line, int64_t startTime) {
    const std::string bytes = RecordingBytes(number, line);
    files.Write(dayFolder + "/" + name, bytes);
    const AudioHashResult hash = HashAudio(files, dayFolder + "/" + name);
    ASSERT_EQ(hash.error, 0);
    FiledFacts facts{name, startTime, startTime + 3, line, number, 'I', static_cast<int64_t>(bytes.size())};
    ASSERT_EQ(RecordFiled(files, dayFolder, facts, hash.digest), 0);
}

}  // namespace pell::test
