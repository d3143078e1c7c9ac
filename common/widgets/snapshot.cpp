#include "common/widgets/snapshot.h"

#include <QApplication>
#include <QTextStream>
#include <QWidget>

namespace pell {

void SettleEvents() {
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
}

bool SaveSnapshot(QWidget& widget, const QString& path) {
    widget.show();
    SettleEvents();
    QTextStream(stdout) << path << ": " << widget.width() << "x" << widget.height() << " px, font "
                        << widget.font().family() << " " << widget.font().pointSize() << " pt\n";
    return widget.grab().save(path);
}

QString SnapshotFolder(int argc, char** argv, const char* usage) {
    if (argc >= 2 && argv[1][0] != '\0') return QString::fromLocal8Bit(argv[1]);
    QTextStream(stderr) << "usage: " << usage << "\n";
    return {};
}

}  // namespace pell
