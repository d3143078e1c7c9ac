#include "recorder/app/recorder_icons.h"

#include <QPainter>
#include <QPainterPath>

namespace pell::recorder {
namespace {

// A telephone handset on the 64 x 64 grid: earpiece top left, mouthpiece bottom right.
void DrawHandset(QPainter& p, const QColor& colour, double scale) {
    p.save();
    p.translate(32, 32);
    p.scale(scale, scale);
    p.translate(-32, -32);
    QPainterPath handle;
    handle.moveTo(20, 20);
    handle.quadTo(14, 50, 44, 44);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(handle);
    p.setPen(QPen(colour, 11, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13, 23), QPointF(24, 12));
    p.drawLine(QPointF(40, 51), QPointF(51, 40));
    p.restore();
}

}  // namespace

QImage DrawRecorderIcon(RecorderIconKind kind, int sizePx) {
    QImage image(sizePx, sizePx, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(sizePx / 64.0, sizePx / 64.0);

    const QColor slate(0x3b, 0x4f, 0x66);
    const QColor red(0xd3, 0x1f, 0x26);
    switch (kind) {
        case RecorderIconKind::kApp: {
            QLinearGradient body(0, 2, 0, 62);
            body.setColorAt(0, QColor(0x4a, 0x63, 0x80));
            body.setColorAt(1, QColor(0x26, 0x35, 0x47));
            p.setPen(QPen(QColor(0x1a, 0x24, 0x30), 2));
            p.setBrush(body);
            p.drawRoundedRect(QRectF(3, 3, 58, 58), 12, 12);
            DrawHandset(p, QColor(0xf4, 0xf6, 0xf8), 0.85);
            // The record lamp.
            p.setPen(QPen(Qt::white, 2.5));
            p.setBrush(red);
            p.drawEllipse(QPointF(47, 17), 9, 9);
            break;
        }
        case RecorderIconKind::kTrayIdle:
            p.setPen(QPen(QColor(0x22, 0x2e, 0x3b), 2.5));
            p.setBrush(slate);
            p.drawEllipse(QPointF(32, 32), 29, 29);
            DrawHandset(p, QColor(0xe8, 0xec, 0xf0), 0.9);
            break;
        case RecorderIconKind::kTrayRecording:
            p.setPen(QPen(QColor(0x7a, 0x0c, 0x10), 2.5));
            p.setBrush(red);
            p.drawEllipse(QPointF(32, 32), 30, 30);
            DrawHandset(p, Qt::white, 0.9);
            break;
        case RecorderIconKind::kTrayProblem:
            p.setPen(QPen(QColor(0x6b, 0x46, 0x00), 2.5));
            p.setBrush(QColor(0xf0, 0xa2, 0x0c));
            p.drawEllipse(QPointF(32, 32), 29, 29);
            DrawHandset(p, QColor(0x2a, 0x1c, 0x00), 0.9);
            break;
    }
    return image;
}

QIcon RecorderIcon(RecorderIconKind kind) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128}) icon.addPixmap(QPixmap::fromImage(DrawRecorderIcon(kind, size)));
    return icon;
}

}  // namespace pell::recorder
