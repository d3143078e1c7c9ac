#include "player/ui/quiet_sound_libraries.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "testsupport/temp_dir.h"

namespace pell::player {
namespace {

// What opening a sound device that does not exist writes to standard error.
std::string StderrOfAFailedOpen(const pell::TempDir& dir) {
    const std::string path = dir.File("stderr");
    std::fflush(stderr);
    const int saved = ::dup(2);
    std::FILE* capture = std::fopen(path.c_str(), "w");
    ::dup2(::fileno(capture), 2);
    snd_pcm_t* pcm = nullptr;
    const int result = snd_pcm_open(&pcm, "pell_no_such_device", SND_PCM_STREAM_PLAYBACK, 0);
    if (result == 0) snd_pcm_close(pcm);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::fclose(capture);
    EXPECT_LT(result, 0);
    return dir.Read("stderr");
}

TEST(QuietSoundLibrariesTest, ADeviceEntryThatCannotBeOpenedWritesNothing) {
    const pell::TempDir dir;
    EXPECT_NE(StderrOfAFailedOpen(dir).find("ALSA lib"), std::string::npos) << "the library speaks by default";
    SilenceSoundLibraryMessages();
    EXPECT_EQ(StderrOfAFailedOpen(dir), "");
}

}  // namespace
}  // namespace pell::player
