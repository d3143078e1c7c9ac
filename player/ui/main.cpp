// PellPlayer: lists the recordings of a date range and plays them.
#include <QApplication>
#include <QScreen>

#include "common/platform/program_folder.h"
#include "player/engine/stream_volume.h"
#include "player/engine/devices/wwaveout.h"
#include "player/ui/player_dialog.h"
#include "player/ui/quiet_sound_libraries.h"

namespace {

// The volume slider sets the player's own stream, never the desktop's.
class StreamMixer : public pell::player::VolumeMixer {
public:
    std::uint32_t GetWaveOutVolume() override { return pell::GetWaveOutVolume(); }
    void SetWaveOutVolume(std::uint32_t volume) override { pell::SetWaveOutVolume(volume); }
};

}  // namespace

int main(int argc, char** argv) {
    pell::player::SilenceSoundLibraryMessages();
    QApplication app(argc, argv);
    QApplication::setApplicationName("PellPlayer");
    const std::string programFolder =
        pell::LookupProgramFolder(pell::kPlayerAppName, pell::ProgramFolderFallback::kCurrentDirectory);
    pell::player::SetDialogColours();

    StreamMixer mixer;
    pell::player::PlayerDialog dialog(programFolder, {mixer, [] { return std::make_unique<pell::WWaveOut>(); }, true});
    QObject::connect(&dialog, &QDialog::finished, &app, &QApplication::quit);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        dialog.move(screen->availableGeometry().center() - dialog.rect().center());
    }
    dialog.show();
    return app.exec();
}
