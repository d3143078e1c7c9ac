#include "player/ui/wmp3_adapter.h"

#include "player/engine/wmp3.h"

namespace pell::player {

int WMp3Adapter::OpenMp3File(const std::string& fileName, int bufferMs) {
    return engine_.OpenMp3File(fileName.c_str(), bufferMs);
}
int WMp3Adapter::Play() { return engine_.Play(); }
int WMp3Adapter::Pause() { return engine_.Pause(); }
int WMp3Adapter::Resume() { return engine_.Resume(); }
int WMp3Adapter::Stop() { return engine_.Stop(); }
int WMp3Adapter::Close() { return engine_.Close(); }
int WMp3Adapter::Seek(int seconds) { return engine_.Seek(seconds); }
std::uint32_t WMp3Adapter::GetLength() { return engine_.GetLength(); }
std::uint32_t WMp3Adapter::GetPosition() { return engine_.GetPosition(); }
int WMp3Adapter::GetVUData(int* left, int* right) { return engine_.GetVUData(left, right); }
// Ended after the last buffer has played; back to Open when the device failed under it.
bool WMp3Adapter::Ended() { return !engine_.IsPlaying(); }

}  // namespace pell::player
