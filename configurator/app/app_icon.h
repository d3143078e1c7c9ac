// The configurator's window icon (also shown in the About box), drawn by draw_icon.cpp.
#pragma once

#include <QIcon>
#include <QImage>

namespace pell::configurator {

// From the program's resources; the sizes are those the window manager asks for.
QIcon ConfiguratorIcon();

// The artwork itself: a settings sheet with two line sliders over a telephone handset.
QImage DrawConfiguratorIcon(int sizePx);

}  // namespace pell::configurator
