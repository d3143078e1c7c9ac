// Writes the recorder's program icon as pell-recorder-<N>.png files into the given folder (the
// files under icons/ were made with it): pellrecorder_draw_icon <folder>
#include <QGuiApplication>
#include <QTextStream>

#include "recorder/app/recorder_icons.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: pellrecorder_draw_icon <folder>\n";
        return 2;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path = QString("%1/pell-recorder-%2.png").arg(argv[1]).arg(size);
        if (!pell::recorder::DrawRecorderIcon(pell::recorder::RecorderIconKind::kApp, size).save(path)) {
            QTextStream(stderr) << "cannot write " << path << "\n";
            return 1;
        }
    }
    return 0;
}
