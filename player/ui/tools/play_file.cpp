// Plays one MP3 through the player's own window and sound output, as a person would: the file
// is listed (a copy in today's day folder of a temporary record root, so its tag stays as it
// is), becomes the current row and plays until the window sees its end, then the program quits.
// For measuring the window's cost and what reaches the sound server (scripts/playback-measure.sh):
// pellplayer_play_file FILE
#include <QApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "common/core/clock.h"
#include "player/catalogue/record_list.h"
#include "player/engine/stream_volume.h"
#include "player/engine/devices/wwaveout.h"
#include "player/ui/player_dialog.h"
#include "player/ui/quiet_sound_libraries.h"
#include "player/ui/record_list.h"

namespace {

class StreamMixer : public pell::player::VolumeMixer {
public:
    std::uint32_t GetWaveOutVolume() override { return pell::GetWaveOutVolume(); }
    void SetWaveOutVolume(std::uint32_t volume) override { pell::SetWaveOutVolume(volume); }
};

// A program folder whose one record root holds the file in today's day folder.
bool ListFile(const std::string& programFolder, const std::string& file) {
    namespace fs = std::filesystem;
    const std::chrono::year_month_day today = pell::SystemClock().Now().date;
    const std::string root = programFolder + "/records";
    const std::string day = root + "/" + pell::DayFolderName(today);
    std::error_code error;
    fs::create_directories(day, error);
    if (error) return false;
    fs::copy_file(file, day + "/" + fs::path(file).filename().string(), error);
    if (error) return false;
    std::ofstream(programFolder + "/paths.ini", std::ios::binary) << root << "\r\n";
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    pell::player::SilenceSoundLibraryMessages();
    QApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: pellplayer_play_file FILE\n";
        return 2;
    }
    QTemporaryDir folder;
    if (!folder.isValid() || !ListFile(folder.path().toStdString(), argv[1])) {
        err << "cannot list " << argv[1] << " in a temporary folder\n";
        return 1;
    }
    pell::player::SetDialogColours();
    StreamMixer mixer;
    pell::player::PlayerDialog dialog(folder.path().toStdString(),
                                      {mixer, [] { return std::make_unique<pell::WWaveOut>(); }, true});
    dialog.show();
    if (dialog.List().Model().rowCount() != 1) {
        err << "the window does not list " << argv[1] << "\n";
        return 1;
    }
    dialog.MakeRowCurrent(0);
    dialog.Play();
    if (dialog.Transport().State() != pell::player::PlayState::kPlaying) {
        err << "the window does not play " << argv[1] << "\n";
        return 1;
    }
    // The window's own end of record is what ends the program.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (dialog.Transport().State() == pell::player::PlayState::kStopped) dialog.reject();
    });
    watch.start(250);
    QObject::connect(&dialog, &QDialog::finished, &app, &QApplication::quit);
    return app.exec();
}
