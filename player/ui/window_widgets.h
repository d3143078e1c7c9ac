// Small helpers the main window's files share to name and describe their widgets.
#pragma once

#include <QString>
#include <QWidget>

namespace pell::player {

// The object name tests and snapshots find a control by, and its control id.
inline void Identify(QWidget* widget, const char* name, int id) {
    widget->setObjectName(name);
    widget->setProperty("controlId", id);
}

// Tool tip and accessible name alike.
inline void Describe(QWidget* widget, const QString& text) {
    widget->setToolTip(text);
    widget->setAccessibleName(text);
}

}  // namespace pell::player
