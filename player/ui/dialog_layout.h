// Building blocks shared by the player's small dialogs: fixed layout in dialog units through
// the dialog font, controls named by id, and the OK/Cancel buttons of a dialog template.
#pragma once

#include <QWidget>

#include "common/widgets/dialog_units.h"
#include "player/ui/dialog_controls.h"

class QDialog;
class QPushButton;

namespace pell::player {

template <class Widget>
Widget* Named(Widget* widget, const DialogControl& control) {
    widget->setObjectName(control.objectName);
    widget->setProperty("controlId", control.id);
    return widget;
}

// Gives `dialog` the dialog font and its fixed size in dialog units; returns the units' scale.
DialogBaseUnits SetUpFixedDialog(QDialog& dialog, const char* title, int widthUnits, int heightUnits);

void Place(QWidget* widget, const DialogBaseUnits& base, int x, int y, int width, int height);

// A push button at its place, default or not.
QPushButton* AddButton(QDialog& dialog, const DialogBaseUnits& base, const DialogControl& control, const char* caption,
                       bool isDefault, int x, int y, int width, int height);

}  // namespace pell::player
