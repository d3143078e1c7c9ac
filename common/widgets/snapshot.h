// What the snapshot tools share: they render windows to PNG files so that a person can review
// layout and artwork without a desktop (under Xvfb or the offscreen platform).
#pragma once

#include <QString>

class QWidget;

namespace pell {

// Lets queued layout and paint events run, as a shown window gets them on a desktop.
void SettleEvents();

// Shows the widget, lets it settle, saves it as a PNG and prints its size and font on stdout;
// false when the file could not be written.
bool SaveSnapshot(QWidget& widget, const QString& path);

// The output folder named by the first argument, or empty after printing "usage: <usage>".
QString SnapshotFolder(int argc, char** argv, const char* usage);

}  // namespace pell
