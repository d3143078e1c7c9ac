// The outline of a call under the record list: the loudest sound of each pixel column, so one
// sees where people spoke, with a line where playback stands; a click asks to play from there.
// WaveformLoader computes outlines (through the cache in the program folder) on a thread of its
// own, one at a time, and hands each to the GUI thread. GUI thread only, apart from the work.
#pragma once

#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "player/engine/waveform.h"

namespace pell::player {

class WaveformView : public QWidget {
    Q_OBJECT
public:
    static const QColor kBackground;
    static const QColor kSound;
    static const QColor kPlayed;

    explicit WaveformView(QWidget* parent = nullptr);

    // The outline to draw, or none (an empty band: no record, or still being computed).
    void SetWaveform(std::shared_ptr<const Waveform> waveform);
    const Waveform* Shown() const { return waveform_.get(); }
    // Where playback stands, or none while nothing plays; the part played is drawn darker.
    void SetPositionMs(std::optional<std::uint32_t> ms);
    std::optional<std::uint32_t> PositionMs() const { return positionMs_; }
    // The x of a moment of the call in this widget, -1 without an outline.
    int XOfMs(std::uint32_t ms) const;

signals:
    // A click at a moment of the call, in milliseconds from its start.
    void PlayFromRequested(std::uint32_t ms);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The drawing area inside the frame.
    QRect Inner() const;

    std::shared_ptr<const Waveform> waveform_;
    std::vector<std::uint16_t> columns_;  // ColumnPeaks for the inner width
    std::uint16_t loudest_ = 0;
    std::optional<std::uint32_t> positionMs_;
};

class WaveformLoader : public QObject {
    Q_OBJECT
public:
    // Outlines are kept in programFolder's cache.
    explicit WaveformLoader(const std::string& programFolder, QObject* parent = nullptr);
    ~WaveformLoader() override;
    WaveformLoader(const WaveformLoader&) = delete;
    WaveformLoader& operator=(const WaveformLoader&) = delete;

    // Starts on the record's outline, giving up any earlier one still being computed. The
    // result arrives through Loaded on the GUI thread; a record that cannot be read gives none.
    void Load(const std::string& mp3Path);
    // Gives up the work in hand; nothing arrives for it.
    void Cancel();
    // Waits for the work in hand to end; its result, if still wanted, is queued for the GUI thread.
    void Finish();
    // The record last asked for, empty after Cancel.
    const std::string& Wanted() const { return wanted_; }

signals:
    void Loaded(const QString& mp3Path, std::shared_ptr<const pell::Waveform> waveform);

private:
    void Join();

    WaveformCache cache_;
    std::string wanted_;
    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> cancel_;
};

}  // namespace pell::player
