#include "configurator/app/app_icon.h"

#include <QPainter>
#include <QPainterPath>

// The artwork sits in a static library, whose resource registration the linker would drop.
static void RegisterIconResources() { Q_INIT_RESOURCE(pell2cfg); }

namespace pell::configurator {

QIcon ConfiguratorIcon() {
    RegisterIconResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addFile(QString(":/configurator/icons/pell2cfg-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QImage DrawConfiguratorIcon(int sizePx) {
    QImage image(sizePx, sizePx, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(sizePx / 64.0, sizePx / 64.0);  // drawn on a 64 x 64 grid

    // The sheet of settings.
    QLinearGradient paper(0, 4, 0, 60);
    paper.setColorAt(0, QColor(0xfd, 0xfd, 0xfb));
    paper.setColorAt(1, QColor(0xdc, 0xe3, 0xea));
    p.setPen(QPen(QColor(0x4a, 0x5a, 0x6e), 2.5));
    p.setBrush(paper);
    p.drawRoundedRect(QRectF(6, 4, 44, 54), 5, 5);

    // Two sliders, one per line, in the suite's channel colours.
    const QColor channel[2] = {QColor(0x1f, 0x78, 0xc8), QColor(0xe0, 0x7b, 0x1a)};
    for (int n = 0; n < 2; ++n) {
        const double y = 17 + n * 15;
        p.setPen(QPen(QColor(0x8a, 0x97, 0xa6), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(13, y), QPointF(43, y));
        p.setPen(QPen(channel[n].darker(140), 1.5));
        p.setBrush(channel[n]);
        p.drawEllipse(QPointF(n == 0 ? 34 : 22, y), 5, 5);
    }

    // The handset in front, lower right.
    QPainterPath handset;
    handset.moveTo(36, 62);
    handset.cubicTo(33, 52, 44, 40, 56, 37);
    handset.lineTo(61, 43);
    handset.lineTo(55, 48);
    handset.cubicTo(51, 48, 46, 52, 45, 56);
    handset.lineTo(49, 61);
    handset.closeSubpath();
    p.setPen(QPen(QColor(0x1d, 0x2b, 0x3a), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0x2e, 0x40, 0x54));
    p.drawPath(handset);
    return image;
}

}  // namespace pell::configurator
