#include "player/ui/dialog_layout.h"

#include <QDialog>
#include <QPushButton>

namespace pell::player {

DialogBaseUnits SetUpFixedDialog(QDialog& dialog, const char* title, int widthUnits, int heightUnits) {
    dialog.setWindowTitle(title);
    dialog.setFont(DialogFont());
    const DialogBaseUnits base = BaseUnitsOf(dialog.font());
    dialog.setFixedSize(DialogUnitsToPixels(base, widthUnits, heightUnits));
    return base;
}

void Place(QWidget* widget, const DialogBaseUnits& base, int x, int y, int width, int height) {
    widget->setGeometry(DialogRectToPixels(base, x, y, width, height));
}

QPushButton* AddButton(QDialog& dialog, const DialogBaseUnits& base, const DialogControl& control, const char* caption,
                       bool isDefault, int x, int y, int width, int height) {
    auto* button = Named(new QPushButton(caption, &dialog), control);
    button->setAutoDefault(false);
    button->setDefault(isDefault);
    Place(button, base, x, y, width, height);
    return button;
}

}  // namespace pell::player
