#include "player/ui/skin_controls.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

#include "player/ui/artwork.h"
#include "player/ui/core/transport_rules.h"

namespace pell::player {

SkinButtonArt ArtOfKind(int kind) {
    switch (kind) {
        case kKindPlay:
            return {kArtPlayNormal, kArtPlayHover, kArtPlayPressed};
        case kKindPause:
            return {kArtPauseNormal, kArtPauseHover, kArtPausePressed};
        case kKindPrevious:
            return {kArtPreviousNormal, kArtPreviousHover, kArtPreviousPressed};
        case kKindNext:
            return {kArtNextNormal, kArtNextHover, kArtNextPressed};
        case kKindStop:
            return {kArtStopNormal, kArtStopHover, kArtStopPressed};
        case kKindRefresh:
            return {kArtRefreshNormal, kArtRefreshHover, kArtRefreshPressed};
        case kKindSearch:
            return {kArtSearchNormal, kArtSearchHover, kArtSearchPressed};
        default:
            return {0, 0, 0};
    }
}

SkinButton::SkinButton(QWidget* parent) : QWidget(parent), pointer_([] { return QCursor::pos(); }) {
    setMouseTracking(true);
    hoverTimer_.setInterval(kHoverCheckMs);
    connect(&hoverTimer_, &QTimer::timeout, this, &SkinButton::CheckPointer);
}

void SkinButton::SetKind(int kind) {
    kind_ = kind;
    art_ = ArtOfKind(kind);
    Show(kNormal);
}

int SkinButton::ShownArt() const {
    switch (state_) {
        case kHover:
            return art_.hover;
        case kPressed:
            return art_.pressed;
        default:
            return art_.normal;
    }
}

QSize SkinButton::sizeHint() const {
    const ArtEntry* entry = FindArt(art_.normal);
    return entry != nullptr ? entry->size : QSize(43, 44);
}

void SkinButton::CheckPointer() {
    if (state_ != kNormal && !rect().contains(mapFromGlobal(pointer_()))) Show(kNormal);
}

void SkinButton::Show(State state) {
    state_ = state;
    if (state == kNormal) {
        hoverTimer_.stop();
    } else if (!hoverTimer_.isActive()) {
        hoverTimer_.start();
    }
    update();
}

void SkinButton::paintEvent(QPaintEvent*) {
    if (kind_ < 0) return;
    QPainter p(this);
    const QPixmap art = ArtPixmap(ShownArt(), devicePixelRatioF());
    const QSizeF size = art.deviceIndependentSize();
    p.drawPixmap(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), art);
}

void SkinButton::mouseMoveEvent(QMouseEvent*) {
    if (state_ == kNormal) Show(kHover);
}

// The pointer left: normal at once; the timer covers a leave the window system never sent.
void SkinButton::leaveEvent(QEvent*) {
    if (state_ != kNormal) Show(kNormal);
}

void SkinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Show(kPressed);
}

void SkinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
    Show(kNormal);
    emit Released(kind_);
}

const QColor LevelMeter::kBackground(215, 215, 240);

QColor LevelMeter::BrushColour(MeterBrush brush) {
    switch (brush) {
        case MeterBrush::kLow:
            return QColor(0, 100, 15);
        case MeterBrush::kMiddle:
            return QColor(200, 200, 0);
        default:
            return QColor(150, 0, 0);
    }
}

LevelMeter::LevelMeter(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void LevelMeter::SetLevel(int level) {
    if (const auto span = model_.SetLevel(level)) update(QRect(span->fromX, 0, span->toX - span->fromX, height()));
}

void LevelMeter::RequestFullRepaint() {
    model_.RequestFullRepaint();
    update();
}

void LevelMeter::paintEvent(QPaintEvent*) {
    // The whole bar for the level, clipped by Qt to what was invalidated: the backing store holds
    // no earlier bar to draw over.
    const int level = model_.TakeLevelToPaint();
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    for (int j = 0; j < level; ++j) {
        p.fillRect(QRect(kMeterSegmentPitchPx * j, 0, kMeterSegmentWidthPx, height()), BrushColour(SegmentBrush(j)));
    }
    p.setPen(Qt::white);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

const QColor TimeDisplay::kBackground(215, 215, 240);

TimeDisplay::TimeDisplay(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
    // It fills itself: the group box beneath is not repainted (and its frame's artwork looked up
    // again, with the time zone) at every tick of the clock.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TimeDisplay::SetValue(int seconds) {
    const int value = SecondsOfDay(seconds);
    if (value == value_) return;
    value_ = value;
    update();
}

void TimeDisplay::SetMode(int mode) {
    mode_ = mode;
    update();  // the indicator answers the click at once; the digits follow at the next refresh
}

void TimeDisplay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    p.setPen(Qt::white);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    const qreal dpr = devicePixelRatioF();
    p.drawPixmap(10, 7, ArtPixmap(mode_ == 1 ? kArtModeClock : kArtModeElapsed, dpr));
    const std::array<int, 6> digits = TimeDigits(value_);
    const int digitX[6] = {40, 62, 94, 116, 146, 168};
    for (int i = 0; i < 6; ++i)
        p.drawPixmap(digitX[i], 7, ArtPixmap(DigitArt(digits[static_cast<std::size_t>(i)]), dpr));
    p.drawPixmap(78, 7, ArtPixmap(kArtColon, dpr));
    p.drawPixmap(130, 7, ArtPixmap(kArtColon, dpr));
}

void TimeDisplay::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit Clicked();
}

}  // namespace pell::player
