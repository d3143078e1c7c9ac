// Dialog templates are laid out in dialog units, which scale with the dialog's font: a
// horizontal unit is a quarter of the font's average character width, a vertical unit an
// eighth of its height. Every window of the suite sizes itself this way.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace pell {

struct DialogBaseUnits {
    int averageCharWidth;  // px
    int charHeight;        // px
};

DialogBaseUnits BaseUnitsOf(const QFont& font);
QSize DialogUnitsToPixels(const DialogBaseUnits& base, int xUnits, int yUnits);
// A control's rectangle, given as in a dialog template (x, y, width, height in dialog units).
QRect DialogRectToPixels(const DialogBaseUnits& base, int x, int y, int width, int height);

// Verdana 8 where installed, otherwise the desktop's sans serif at 8 points.
QFont DialogFont();

}  // namespace pell
