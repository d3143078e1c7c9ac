#include "player/ui/waveform_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace pell::player {

const QColor WaveformView::kBackground(215, 215, 240);
const QColor WaveformView::kSound(0x56, 0x5a, 0xe0);
const QColor WaveformView::kPlayed(0x2c, 0x2e, 0x80);

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
}

QRect WaveformView::Inner() const { return rect().adjusted(1, 1, -1, -1); }

void WaveformView::SetWaveform(std::shared_ptr<const Waveform> waveform) {
    waveform_ = std::move(waveform);
    columns_.clear();
    loudest_ = 0;
    if (waveform_) {
        columns_ = ColumnPeaks(*waveform_, Inner().width());
        for (const std::uint16_t peak : columns_) loudest_ = std::max(loudest_, peak);
    }
    update();
}

void WaveformView::resizeEvent(QResizeEvent*) {
    if (waveform_) SetWaveform(waveform_);
}

void WaveformView::SetPositionMs(std::optional<std::uint32_t> ms) {
    if (ms == positionMs_) return;
    const int before = positionMs_ ? XOfMs(*positionMs_) : -1;
    positionMs_ = ms;
    const int after = positionMs_ ? XOfMs(*positionMs_) : -1;
    if (before == after) return;
    // Only the columns between the old line and the new one change colour.
    const int from = before < 0 ? after : (after < 0 ? before : std::min(before, after));
    const int to = std::max(before, after);
    update(QRect(from - 1, 0, to - from + 3, height()));
}

int WaveformView::XOfMs(std::uint32_t ms) const {
    if (!waveform_ || waveform_->DurationMs() <= 0) return -1;
    const QRect inner = Inner();
    const double fraction = std::clamp(ms / waveform_->DurationMs(), 0.0, 1.0);
    return inner.left() + static_cast<int>(fraction * inner.width());
}

void WaveformView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    const QRect inner = Inner();
    if (!columns_.empty()) {
        // Scaled to the call's loudest moment, so a quiet line still shows who spoke when; a
        // floor keeps a silent call flat instead of blowing its noise up.
        const double scale = (inner.height() / 2.0 - 1) / std::max<int>(loudest_, 2048);
        const int middle = inner.top() + inner.height() / 2;
        const int playedTo = positionMs_ ? XOfMs(*positionMs_) : inner.left();
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const int x = inner.left() + static_cast<int>(i);
            const int half = std::max(0, static_cast<int>(columns_[i] * scale));
            p.fillRect(QRect(x, middle - half, 1, 2 * half + 1), x < playedTo ? kPlayed : kSound);
        }
        if (positionMs_) {
            p.fillRect(QRect(playedTo, inner.top(), 1, inner.height()), Qt::white);
        }
    }
    p.setPen(Qt::white);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !waveform_) return;
    const QRect inner = Inner();
    const int column = std::clamp(static_cast<int>(event->position().x()) - inner.left(), 0, inner.width());
    emit PlayFromRequested(MsAtColumn(*waveform_, column, inner.width()));
}

WaveformLoader::WaveformLoader(const std::string& programFolder, QObject* parent)
    : QObject(parent), cache_(programFolder) {}

WaveformLoader::~WaveformLoader() { Cancel(); }

void WaveformLoader::Join() {
    if (cancel_) cancel_->store(true);
    if (worker_.joinable()) worker_.join();
}

void WaveformLoader::Finish() {
    if (worker_.joinable()) worker_.join();
}

void WaveformLoader::Cancel() {
    Join();
    wanted_.clear();
}

void WaveformLoader::Load(const std::string& mp3Path) {
    Join();
    wanted_ = mp3Path;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    worker_ = std::thread([this, mp3Path, cancel = cancel_] {
        std::string error;
        std::optional<Waveform> outline = cache_.Get(mp3Path, &error, cancel.get());
        if (cancel->load()) return;
        std::shared_ptr<const Waveform> result;
        if (outline) result = std::make_shared<const Waveform>(std::move(*outline));
        // Delivered on the GUI thread, and only if still wanted there: the loader may have moved on.
        QMetaObject::invokeMethod(
            this,
            [this, path = QString::fromStdString(mp3Path), result, cancel] {
                if (!cancel->load() && path.toStdString() == wanted_) emit Loaded(path, result);
            },
            Qt::QueuedConnection);
    });
}

}  // namespace pell::player
