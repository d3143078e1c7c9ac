// Writes every picture of the artwork table as <name>.png and <name>@2x.png, and the program
// icon at the sizes the desktop asks for (the files under icons/ were made with it):
// pellplayer_draw_art <folder>
#include <QGuiApplication>
#include <QTextStream>

#include "player/ui/artwork.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: pellplayer_draw_art <folder>\n";
        return 2;
    }
    const QString folder = argv[1];
    bool ok = true;
    for (const pell::player::ArtEntry& entry : pell::player::ArtTable()) {
        ok = pell::player::DrawArt(entry.id, 1).save(QString("%1/%2.png").arg(folder, entry.name)) && ok;
        ok = pell::player::DrawArt(entry.id, 2).save(QString("%1/%2@2x.png").arg(folder, entry.name)) && ok;
    }
    for (int size : {16, 32, 48, 64, 128, 256}) {
        ok = pell::player::DrawProgramIcon(size).save(QString("%1/pell-player-%2.png").arg(folder).arg(size)) && ok;
    }
    if (!ok) QTextStream(stderr) << "cannot write every file into " << folder << "\n";
    return ok ? 0 : 1;
}
