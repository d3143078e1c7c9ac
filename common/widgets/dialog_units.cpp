#include "common/widgets/dialog_units.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

namespace pell {

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabet = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return {(alphabet / 26 + 1) / 2, metrics.height()};
}

QSize DialogUnitsToPixels(const DialogBaseUnits& base, int xUnits, int yUnits) {
    return {xUnits * base.averageCharWidth / 4, yUnits * base.charHeight / 8};
}

QRect DialogRectToPixels(const DialogBaseUnits& base, int x, int y, int width, int height) {
    // Each edge is converted on its own, as dialog templates are mapped, so neighbours meet exactly.
    const QSize topLeft = DialogUnitsToPixels(base, x, y);
    const QSize bottomRight = DialogUnitsToPixels(base, x + width, y + height);
    return {QPoint(topLeft.width(), topLeft.height()), QPoint(bottomRight.width() - 1, bottomRight.height() - 1)};
}

QFont DialogFont() {
    QFont verdana("Verdana", 8);
    if (QFontInfo(verdana).family().compare("Verdana", Qt::CaseInsensitive) == 0) return verdana;
    QFont sans = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    sans.setPointSize(8);
    return sans;
}

}  // namespace pell
