// Writes the configurator's icon artwork as PNG files into the given folder (the files under
// icons/ were made with it; the desktop menu also takes 128 and 256 px): pell2cfg_draw_icon <folder>
#include <QGuiApplication>
#include <QTextStream>

#include "configurator/app/app_icon.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: pell2cfg_draw_icon <folder>\n";
        return 2;
    }
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = QString("%1/pell2cfg-%2.png").arg(argv[1]).arg(size);
        if (!pell::configurator::DrawConfiguratorIcon(size).save(path)) {
            QTextStream(stderr) << "cannot write " << path << "\n";
            return 1;
        }
    }
    return 0;
}
