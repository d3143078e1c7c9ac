// The recorder's icons, drawn by our own code: the window icon (128) and the notification
// icons for idle (130), recording (131) and problem (132: waiting for the box, a line that
// cannot write). Idle is a slate disk, recording a red one, problem an amber one, so the three
// tell apart at 16 px.
#pragma once

#include <QIcon>
#include <QImage>

namespace pell::recorder {

enum class RecorderIconKind { kApp, kTrayIdle, kTrayRecording, kTrayProblem };

// The artwork at one size.
QImage DrawRecorderIcon(RecorderIconKind kind, int sizePx);

// The artwork at the sizes desktops ask for.
QIcon RecorderIcon(RecorderIconKind kind);

}  // namespace pell::recorder
