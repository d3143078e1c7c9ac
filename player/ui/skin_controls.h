// The window's self-drawn controls: SkinButton (three pictures, reports its release), LevelMeter
// (46 segments, repaints only what changed) and TimeDisplay (hh:mm:ss in seven-segment digits
// with the mode indicator). All live on the GUI thread; none keeps state beyond what is shown.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

#include "player/ui/core/level_meter_model.h"

namespace pell::player {

// What a skinned button does when released; the window acts on it.
enum SkinButtonKind : int {
    kKindPlay = 0,
    kKindPause = 1,
    kKindPrevious = 2,
    kKindNext = 3,
    kKindStop = 4,
    kKindRefresh = 5,
    kKindSearch = 6,
};

struct SkinButtonArt {
    int normal;
    int hover;
    int pressed;
};
// The three picture ids of a kind (all 0 for an unknown kind).
SkinButtonArt ArtOfKind(int kind);

class SkinButton : public QWidget {
    Q_OBJECT
public:
    enum State : int { kNormal = 0, kHover = 1, kPressed = 2 };
    static constexpr int kHoverCheckMs = 25;

    explicit SkinButton(QWidget* parent = nullptr);

    // New pictures, the normal one shown, state normal.
    void SetKind(int kind);
    int Kind() const { return kind_; }
    int CurrentState() const { return state_; }
    int ShownArt() const;
    QSize sizeHint() const override;

    // Where the pointer is, in global coordinates; tests replace it.
    void SetPointerProbe(std::function<QPoint()> probe) { pointer_ = std::move(probe); }
    // One run of the 25 ms check: back to normal once the pointer has left. The check runs only
    // while the button shows hover or pressed, so an idle window wakes for nothing.
    void CheckPointer();
    bool CheckingPointer() const { return hoverTimer_.isActive(); }

signals:
    // The release of the left button over the button.
    void Released(int kind);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Show(State state);

    int kind_ = -1;
    SkinButtonArt art_{0, 0, 0};
    State state_ = kNormal;
    QTimer hoverTimer_;
    std::function<QPoint()> pointer_;
};

class LevelMeter : public QWidget {
    Q_OBJECT
public:
    explicit LevelMeter(QWidget* parent = nullptr);
    void SetLevel(int level);
    void RequestFullRepaint();
    int ShownLevel() const { return model_.ShownLevel(); }

    static QColor BrushColour(MeterBrush brush);
    static const QColor kBackground;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LevelMeterModel model_;
};

class TimeDisplay : public QWidget {
    Q_OBJECT
public:
    static const QColor kBackground;

    explicit TimeDisplay(QWidget* parent = nullptr);
    void SetValue(int seconds);
    void SetMode(int mode);
    int Value() const { return value_; }
    int Mode() const { return mode_; }

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int value_ = 0;
    int mode_ = 0;
};

}  // namespace pell::player
