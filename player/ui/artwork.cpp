#include "player/ui/artwork.h"

#include <QCoreApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <cmath>

namespace pell::player {
namespace {

// One palette for the whole window: indigo ink on a lavender face, matching the dialog colour.
const QColor kInk(0x2b, 0x2d, 0x6e);
const QColor kAccent(0x56, 0x5a, 0xe0);
const QColor kAccentDark(0x3b, 0x3e, 0xb0);
const QColor kFaceTop(0xff, 0xff, 0xff);
const QColor kFaceBottom(0xe4, 0xe4, 0xfa);
const QColor kRim(0xb4, 0xb6, 0xe0);
const QColor kDisplayUnlit(0xcd, 0xcd, 0xec);
const QColor kIncoming(0x1e, 0x8e, 0x5a);
const QColor kOutgoing(0xd9, 0x6c, 0x12);  // warm, so it stays visible on the indigo selection
const QColor kUnknown(0x8a, 0x8c, 0xa8);

enum class Glyph { kPlay, kPause, kPrevious, kNext, kStop, kRefresh, kSearch };
enum class Face { kNormal, kHover, kPressed };

struct ButtonArt {
    int id;
    Glyph glyph;
    Face face;
};

constexpr QSize kTransportSize(43, 44);
constexpr QSize kListButtonSize(46, 47);

const ButtonArt kButtons[] = {
    {kArtPlayNormal, Glyph::kPlay, Face::kNormal},
    {kArtPlayHover, Glyph::kPlay, Face::kHover},
    {kArtPlayPressed, Glyph::kPlay, Face::kPressed},
    {kArtPauseNormal, Glyph::kPause, Face::kNormal},
    {kArtPauseHover, Glyph::kPause, Face::kHover},
    {kArtPausePressed, Glyph::kPause, Face::kPressed},
    {kArtPreviousNormal, Glyph::kPrevious, Face::kNormal},
    {kArtPreviousHover, Glyph::kPrevious, Face::kHover},
    {kArtPreviousPressed, Glyph::kPrevious, Face::kPressed},
    {kArtNextNormal, Glyph::kNext, Face::kNormal},
    {kArtNextHover, Glyph::kNext, Face::kHover},
    {kArtNextPressed, Glyph::kNext, Face::kPressed},
    {kArtStopNormal, Glyph::kStop, Face::kNormal},
    {kArtStopHover, Glyph::kStop, Face::kHover},
    {kArtStopPressed, Glyph::kStop, Face::kPressed},
    {kArtRefreshNormal, Glyph::kRefresh, Face::kNormal},
    {kArtRefreshHover, Glyph::kRefresh, Face::kHover},
    {kArtRefreshPressed, Glyph::kRefresh, Face::kPressed},
    {kArtSearchNormal, Glyph::kSearch, Face::kNormal},
    {kArtSearchHover, Glyph::kSearch, Face::kHover},
    {kArtSearchPressed, Glyph::kSearch, Face::kPressed},
};

const ButtonArt* FindButton(int id) {
    for (const ButtonArt& b : kButtons) {
        if (b.id == id) return &b;
    }
    return nullptr;
}

void DrawGlyph(QPainter& p, Glyph glyph, QPointF c, double unit, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    auto triangle = [&](double x, double dir) {  // dir +1 points right, -1 left
        QPainterPath path;
        path.moveTo(x - dir * 4.5 * unit, c.y() - 6 * unit);
        path.lineTo(x + dir * 5.5 * unit, c.y());
        path.lineTo(x - dir * 4.5 * unit, c.y() + 6 * unit);
        path.closeSubpath();
        p.drawPath(path);
    };
    switch (glyph) {
        case Glyph::kPlay:
            triangle(c.x() + 1 * unit, 1);
            break;
        case Glyph::kPause:
            p.drawRoundedRect(QRectF(c.x() - 5.5 * unit, c.y() - 6.5 * unit, 4 * unit, 13 * unit), unit, unit);
            p.drawRoundedRect(QRectF(c.x() + 1.5 * unit, c.y() - 6.5 * unit, 4 * unit, 13 * unit), unit, unit);
            break;
        case Glyph::kStop:
            p.drawRoundedRect(QRectF(c.x() - 5.5 * unit, c.y() - 5.5 * unit, 11 * unit, 11 * unit), 1.5 * unit,
                              1.5 * unit);
            break;
        case Glyph::kPrevious:
            p.drawRoundedRect(QRectF(c.x() - 8 * unit, c.y() - 6 * unit, 2.5 * unit, 12 * unit), 0.8 * unit,
                              0.8 * unit);
            triangle(c.x() - 1 * unit, -0.8);
            triangle(c.x() + 5 * unit, -0.8);
            break;
        case Glyph::kNext:
            triangle(c.x() - 5 * unit, 0.8);
            triangle(c.x() + 1 * unit, 0.8);
            p.drawRoundedRect(QRectF(c.x() + 5.5 * unit, c.y() - 6 * unit, 2.5 * unit, 12 * unit), 0.8 * unit,
                              0.8 * unit);
            break;
        case Glyph::kRefresh: {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(colour, 2.6 * unit, Qt::SolidLine, Qt::RoundCap));
            const QRectF ring(c.x() - 7 * unit, c.y() - 7 * unit, 14 * unit, 14 * unit);
            p.drawArc(ring, 100 * 16, 290 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            QPainterPath head;  // arrow head at the arc's start, pointing along the turn
            const QPointF tip(c.x() + 0.5 * unit, c.y() - 7 * unit);
            head.moveTo(tip + QPointF(4.5 * unit, 0));
            head.lineTo(tip + QPointF(-1.5 * unit, -4.5 * unit));
            head.lineTo(tip + QPointF(-1.5 * unit, 4.5 * unit));
            head.closeSubpath();
            p.drawPath(head);
            break;
        }
        case Glyph::kSearch: {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(colour, 2.6 * unit));
            p.drawEllipse(QPointF(c.x() - 2 * unit, c.y() - 2 * unit), 5.5 * unit, 5.5 * unit);
            p.setPen(QPen(colour, 3.4 * unit, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(c.x() + 2.3 * unit, c.y() + 2.3 * unit), QPointF(c.x() + 7 * unit, c.y() + 7 * unit));
            break;
        }
    }
}

void DrawButton(QPainter& p, const ButtonArt& b, QSize size) {
    const QRectF tile = QRectF(QPointF(0, 0), size).adjusted(3, 3, -3, -3);
    const double radius = 9;
    const bool pressed = b.face == Face::kPressed;
    // Soft drop shadow, none when pressed: the tile sits on the face.
    if (!pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2b, 0x2d, 0x6e, 34));
        p.drawRoundedRect(tile.translated(0, 1.5), radius, radius);
    }
    QLinearGradient face(tile.topLeft(), tile.bottomLeft());
    if (pressed) {
        face.setColorAt(0, kAccentDark);
        face.setColorAt(1, kAccent);
    } else if (b.face == Face::kHover) {
        face.setColorAt(0, kFaceTop);
        face.setColorAt(1, QColor(0xee, 0xee, 0xfd));
    } else {
        face.setColorAt(0, kFaceTop);
        face.setColorAt(1, kFaceBottom);
    }
    p.setBrush(face);
    p.setPen(QPen(pressed ? kAccentDark : b.face == Face::kHover ? kAccent : kRim, b.face == Face::kHover ? 1.6 : 1));
    p.drawRoundedRect(tile, radius, radius);
    const QColor glyph = pressed ? QColor(Qt::white) : b.face == Face::kHover ? kAccent : kInk;
    DrawGlyph(p, b.glyph, tile.center() + QPointF(0, pressed ? 1 : 0), 1.0, glyph);
}

// Seven-segment digits: segments a..g as in the usual lettering, lit in ink, unlit as a ghost.
void DrawDigit(QPainter& p, int digit) {
    static const unsigned char kSegments[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};
    const double left = 3, top = 3.5, w = 14, h = 25, t = 3.2;  // glyph box inside the 32 x 32 icon
    const double g = 0.7;                                       // gap at each segment end
    auto horizontal = [&](double y) {
        const double l = left + g, r = left + w - g;
        QPainterPath s;
        s.moveTo(l, y);
        s.lineTo(l + t / 2, y - t / 2);
        s.lineTo(r - t / 2, y - t / 2);
        s.lineTo(r, y);
        s.lineTo(r - t / 2, y + t / 2);
        s.lineTo(l + t / 2, y + t / 2);
        s.closeSubpath();
        return s;
    };
    auto vertical = [&](double x, double y0, double y1) {
        const double a = y0 + g, b = y1 - g;
        QPainterPath s;
        s.moveTo(x, a);
        s.lineTo(x + t / 2, a + t / 2);
        s.lineTo(x + t / 2, b - t / 2);
        s.lineTo(x, b);
        s.lineTo(x - t / 2, b - t / 2);
        s.lineTo(x - t / 2, a + t / 2);
        s.closeSubpath();
        return s;
    };
    const double mid = top + h / 2;
    const QPainterPath segments[7] = {
        horizontal(top),                   // a
        vertical(left + w, top, mid),      // b
        vertical(left + w, mid, top + h),  // c
        horizontal(top + h),               // d
        vertical(left, mid, top + h),      // e
        vertical(left, top, mid),          // f
        horizontal(mid),                   // g
    };
    p.setPen(Qt::NoPen);
    for (int s = 0; s < 7; ++s) {
        p.setBrush((kSegments[digit] >> s) & 1 ? kInk : kDisplayUnlit);
        p.drawPath(segments[s]);
    }
}

void DrawColon(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(7, 10.5, 3, 3), 0.8, 0.8);
    p.drawRoundedRect(QRectF(7, 20.5, 3, 3), 0.8, 0.8);
}

// "real" above "abs"; the emphasised word in ink and bold, the other as a ghost.
void DrawModeIcon(QPainter& p, bool clockMode) {
    QFont font("DejaVu Sans");
    font.setPixelSize(9);
    font.setStyleStrategy(QFont::PreferAntialias);
    const struct {
        const char* word;
        double y;
        bool emphasised;
    } words[2] = {{"real", 4, clockMode}, {"abs", 17, !clockMode}};
    for (const auto& w : words) {
        font.setBold(w.emphasised);
        p.setFont(font);
        if (w.emphasised) {
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawRoundedRect(QRectF(0, w.y, 26, 11), 2.5, 2.5);
        }
        p.setPen(w.emphasised ? QColor(Qt::white) : QColor(0x8a, 0x8c, 0xb8));
        p.drawText(QRectF(0, w.y, 26, 11), Qt::AlignCenter, w.word);
    }
}

void DrawVolumeIcon(QPainter& p, int waves) {
    QPainterPath speaker;
    speaker.moveTo(5, 12.5);
    speaker.lineTo(10, 12.5);
    speaker.lineTo(16, 7);
    speaker.lineTo(16, 25);
    speaker.lineTo(10, 19.5);
    speaker.lineTo(5, 19.5);
    speaker.closeSubpath();
    p.setPen(QPen(kInk, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kInk);
    p.drawPath(speaker);
    p.setBrush(Qt::NoBrush);
    for (int w = 0; w < waves; ++w) {
        const double r = 4.5 + 4.5 * w;
        p.setPen(QPen(w < waves ? kAccent : kDisplayUnlit, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(16 - r, 16 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
    if (waves == 0) {
        p.setPen(QPen(kUnknown, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(20, 12), QPointF(27, 20));
        p.drawLine(QPointF(27, 12), QPointF(20, 20));
    }
}

// Three 8 x 15 images side by side: question mark, arrow left (incoming), arrow right (outgoing).
void DrawDirectionStrip(QPainter& p) {
    QFont font("DejaVu Sans");
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kUnknown);
    p.drawText(QRectF(0, 0, 8, 15), Qt::AlignCenter, "?");
    for (int image = 1; image <= 2; ++image) {
        const double x0 = 8 * image;
        const double dir = image == 1 ? -1 : 1;
        const double cx = x0 + 4;
        QPainterPath arrow;
        arrow.moveTo(cx + dir * 3.8, 7.5);
        arrow.lineTo(cx - dir * 0.2, 3.5);
        arrow.lineTo(cx - dir * 0.2, 6.2);
        arrow.lineTo(cx - dir * 3.8, 6.2);
        arrow.lineTo(cx - dir * 3.8, 8.8);
        arrow.lineTo(cx - dir * 0.2, 8.8);
        arrow.lineTo(cx - dir * 0.2, 11.5);
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(image == 1 ? kIncoming : kOutgoing);
        p.drawPath(arrow);
    }
}

// A pale sheet with faint sound waves, tiled behind the list.
void DrawListBackground(QPainter& p, QSize size) {
    p.fillRect(QRectF(QPointF(0, 0), size), QColor(0xfb, 0xfb, 0xff));
    for (int line = 0; line < 3; ++line) {
        QPainterPath wave;
        const double baseY = 50 + 60 * line;
        wave.moveTo(0, baseY);
        for (int x = 0; x <= size.width(); x += 3) {
            // Whole periods across the width, so the tiles meet without a seam.
            const double phase = 2 * M_PI * x / size.width();
            const double y =
                baseY + (10 + 4 * line) * std::sin(3 * phase + line) * std::sin(phase * (line + 1) / 2 + 0.4);
            wave.lineTo(x, y);
        }
        p.setPen(QPen(QColor(0x56, 0x5a, 0xe0, 18 - 4 * line), 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(wave);
    }
}

void DrawPositionCursor(QPainter& p) {
    QPainterPath arrows;
    arrows.moveTo(2, 16);
    arrows.lineTo(9, 9);
    arrows.lineTo(9, 13.5);
    arrows.lineTo(23, 13.5);
    arrows.lineTo(23, 9);
    arrows.lineTo(30, 16);
    arrows.lineTo(23, 23);
    arrows.lineTo(23, 18.5);
    arrows.lineTo(9, 18.5);
    arrows.lineTo(9, 23);
    arrows.closeSubpath();
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kInk);
    p.drawPath(arrows);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawRect(QRectF(15, 6, 2, 20));
}

void DrawProgramTile(QPainter& p) {  // on a 64 x 64 grid
    QLinearGradient g(0, 0, 0, 64);
    g.setColorAt(0, kAccent);
    g.setColorAt(1, kInk);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(3, 3, 58, 58), 14, 14);
    // A waveform across the tile, the recorded call.
    p.setBrush(QColor(255, 255, 255, 70));
    const int bars[] = {6, 12, 20, 14, 26, 18, 10, 22, 16, 8};
    for (int i = 0; i < 10; ++i) {
        const double h = bars[i];
        p.drawRoundedRect(QRectF(9 + i * 4.8, 32 - h / 2, 3, h), 1.5, 1.5);
    }
    // The play mark in front.
    QPainterPath play;
    play.moveTo(25, 18);
    play.lineTo(47, 32);
    play.lineTo(25, 46);
    play.closeSubpath();
    p.setBrush(Qt::white);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(play);
}

class ArtCache : public QObject {
public:
    using QObject::QObject;
    QHash<QPair<int, int>, QPixmap> pixmaps;
};

std::vector<ArtEntry> MakeTable() {
    std::vector<ArtEntry> table = {
        {kArtProgramIcon, "program-icon", {64, 64}},
        {kArtListBackground, "list-background", {714, 218}},
        {kArtDirectionImages, "direction-images", {24, 15}},
        {kArtVolumeTwoWaves, "volume-two-waves", {32, 32}},
        {kArtVolumeThreeWaves, "volume-three-waves", {32, 32}},
        {kArtVolumeOneWave, "volume-one-wave", {32, 32}},
        {kArtVolumeMuted, "volume-muted", {32, 32}},
        {kArtColon, "time-colon", {32, 32}},
        {kArtModeClock, "mode-clock", {32, 32}},
        {kArtModeElapsed, "mode-elapsed", {32, 32}},
        {kArtPositionCursor, "position-cursor", {32, 32}},
    };
    static const char* const kDigitNames[10] = {"digit-0", "digit-1", "digit-2", "digit-3", "digit-4",
                                                "digit-5", "digit-6", "digit-7", "digit-8", "digit-9"};
    for (int d = 0; d < 10; ++d) table.push_back({DigitArt(d), kDigitNames[d], {32, 32}});
    static const char* const kGlyphNames[] = {"play", "pause", "previous", "next", "stop", "refresh", "search"};
    static const char* const kFaceNames[] = {"normal", "hover", "pressed"};
    static std::vector<std::string> buttonNames;  // kept alive for the table's pointers
    buttonNames.reserve(std::size(kButtons));
    for (const ButtonArt& b : kButtons) {
        buttonNames.push_back(std::string("button-") + kGlyphNames[static_cast<int>(b.glyph)] + "-" +
                              kFaceNames[static_cast<int>(b.face)]);
        const bool listButton = b.glyph == Glyph::kRefresh || b.glyph == Glyph::kSearch;
        table.push_back({b.id, buttonNames.back().c_str(), listButton ? kListButtonSize : kTransportSize});
    }
    return table;
}

}  // namespace

const std::vector<ArtEntry>& ArtTable() {
    static const std::vector<ArtEntry> table = MakeTable();
    return table;
}

const ArtEntry* FindArt(int id) {
    for (const ArtEntry& entry : ArtTable()) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}

int DigitArt(int digit) { return digit <= 0 ? kArtDigit0 : kArtDigit1 + (digit > 9 ? 8 : digit - 1); }

QImage DrawArt(int id, qreal devicePixelRatio) {
    const ArtEntry* entry = FindArt(id);
    if (entry == nullptr) return {};
    QImage image(entry->size * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (const ButtonArt* button = FindButton(id)) {
        DrawButton(p, *button, entry->size);
    } else if (id == kArtDigit0 || (id >= kArtDigit1 && id <= kArtDigit1 + 8)) {
        DrawDigit(p, id == kArtDigit0 ? 0 : id - kArtDigit1 + 1);
    } else {
        switch (id) {
            case kArtProgramIcon:
                p.scale(entry->size.width() / 64.0, entry->size.height() / 64.0);
                DrawProgramTile(p);
                break;
            case kArtListBackground:
                DrawListBackground(p, entry->size);
                break;
            case kArtDirectionImages:
                DrawDirectionStrip(p);
                break;
            case kArtVolumeMuted:
                DrawVolumeIcon(p, 0);
                break;
            case kArtVolumeOneWave:
                DrawVolumeIcon(p, 1);
                break;
            case kArtVolumeTwoWaves:
                DrawVolumeIcon(p, 2);
                break;
            case kArtVolumeThreeWaves:
                DrawVolumeIcon(p, 3);
                break;
            case kArtColon:
                DrawColon(p);
                break;
            case kArtModeClock:
                DrawModeIcon(p, true);
                break;
            case kArtModeElapsed:
                DrawModeIcon(p, false);
                break;
            case kArtPositionCursor:
                DrawPositionCursor(p);
                break;
            default:
                break;
        }
    }
    return image;
}

QPixmap ArtPixmap(int id, qreal devicePixelRatio) {
    // GUI thread only. The cache lives and dies with the application object: pixmaps must not
    // outlive it.
    static QPointer<ArtCache> cache;
    if (cache.isNull()) cache = new ArtCache(QCoreApplication::instance());
    const QPair<int, int> key(id, qRound(devicePixelRatio * 100));
    auto found = cache->pixmaps.find(key);
    if (found == cache->pixmaps.end()) {
        found = cache->pixmaps.insert(key, QPixmap::fromImage(DrawArt(id, devicePixelRatio)));
    }
    return found.value();
}

QPixmap DirectionImage(int image, qreal devicePixelRatio) {
    const QPixmap strip = ArtPixmap(kArtDirectionImages, devicePixelRatio);
    const int index = image < 0 || image > 2 ? 0 : image;
    const int w = qRound(8 * devicePixelRatio);
    QPixmap one = strip.copy(index * w, 0, w, strip.height());
    one.setDevicePixelRatio(devicePixelRatio);
    return one;
}

QImage DrawProgramIcon(int sizePx) {
    QImage image(sizePx, sizePx, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(sizePx / 64.0, sizePx / 64.0);
    DrawProgramTile(p);
    return image;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(DrawProgramIcon(size)));
    return icon;
}

QCursor PositionTrackCursor(qreal devicePixelRatio) {
    return QCursor(ArtPixmap(kArtPositionCursor, devicePixelRatio), 16, 16);
}

}  // namespace pell::player
