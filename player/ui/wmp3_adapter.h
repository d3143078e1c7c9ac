// The playback engine as the transport drives it: each operation is WMp3's own.
#pragma once

#include "player/ui/core/transport_ports.h"

namespace pell {
class WMp3;
}

namespace pell::player {

class WMp3Adapter final : public TransportEngine {
public:
    // The engine outlives the adapter.
    explicit WMp3Adapter(WMp3& engine) : engine_(engine) {}

    int OpenMp3File(const std::string& fileName, int bufferMs) override;
    int Play() override;
    int Pause() override;
    int Resume() override;
    int Stop() override;
    int Close() override;
    int Seek(int seconds) override;
    std::uint32_t GetLength() override;
    std::uint32_t GetPosition() override;
    int GetVUData(int* left, int* right) override;
    bool Ended() override;

private:
    WMp3& engine_;
};

}  // namespace pell::player
