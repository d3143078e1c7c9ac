// The main window's controls and where they stand: each is placed in dialog units at the
// window's smallest size, with an anchor that says how it follows when the window grows.
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QSlider>
#include <QToolButton>

#include "common/widgets/dialog_units.h"
#include "player/engine/equalizer.h"
#include "player/ui/core/equalizer_labels.h"
#include "player/ui/player_controls.h"
#include "player/ui/player_dialog.h"
#include "player/ui/record_list.h"
#include "player/ui/skin_controls.h"
#include "player/ui/waveform_view.h"
#include "player/ui/window_widgets.h"

namespace pell::player {
namespace {

// The band sliders' columns, in dialog units: wide enough that "1.4k" and "2.1k" under
// neighbouring sliders stand apart by more than a space.
constexpr int kFirstBandX = 273;
constexpr int kBandPitch = 14;

}  // namespace

void PlayerDialog::Place(QWidget* widget, Anchor anchor, int x, int y, int width, int height) {
    const QRect r = DialogRectToPixels(BaseUnitsOf(font()), x, y, width, height);
    placements_.push_back({widget, Rect{r.x(), r.y(), r.width(), r.height()}, anchor});
    widget->setGeometry(r);
}

void PlayerDialog::BuildControls() {
    auto group = [&](int id, const char* name, Anchor anchor, int x, int y, int width, int height) {
        auto* box = new QGroupBox(this);
        Identify(box, name, id);
        Place(box, anchor, x, y, width, height);
        return box;
    };
    // The equalizer is wider than dialog 102's, so that each band's frequency fits under it; the
    // date row gives up the room.
    group(kIdDateGroup, "dateGroup", Anchor::kTopLeft, 7, 2, 230, 46);
    group(0, "equalizerGroup", Anchor::kTopRight, 240, 2, 182, 46);
    group(0, "transportGroup", Anchor::kBottomLeft, 7, 255, 257, 40);
    group(0, "levelGroup", Anchor::kBottomRight, 267, 255, 155, 40);

    // The long date with short names, so every date fits the picker.
    const QString kDateFormat = "ddd, d MMM yyyy";
    for (auto [edit, id, name, x, width, label] : {std::tuple{&fromDate_, kIdFromDate, "fromDate", 12, 80, "From date"},
                                                   std::tuple{&toDate_, kIdToDate, "toDate", 96, 80, "To date"}}) {
        *edit = new QDateEdit(QDate::currentDate(), this);
        Identify(*edit, name, id);
        (*edit)->setCalendarPopup(true);
        (*edit)->setDisplayFormat(kDateFormat);
        Describe(*edit, label);
        Place(*edit, Anchor::kTopLeft, x, 20, width, 15);
    }

    auto button = [&](SkinButton** out, int id, const char* name, Anchor anchor, int x, int y, int width, int height) {
        *out = new SkinButton(this);
        Identify(*out, name, id);
        Place(*out, anchor, x, y, width, height);
        connect(*out, &SkinButton::Released, this, &PlayerDialog::OnPlayerButton);
    };
    button(&refreshButton_, kIdRefresh, "refreshButton", Anchor::kTopLeft, 180, 12, 26, 29);
    button(&searchButton_, kIdSearch, "searchButton", Anchor::kTopLeft, 207, 12, 26, 29);

    BuildEqualizer();

    list_ = new RecordList(this);
    Identify(list_, "recordList", kIdRecordList);
    list_->setAccessibleName("Recordings");
    Place(list_, Anchor::kFill, 7, 53, 415, 158);

    // Over the list's top while it shows search results: what it shows, and the way back.
    searchBar_ = new QWidget(this);
    searchBar_->setObjectName("searchBar");
    auto* bar = new QHBoxLayout(searchBar_);
    bar->setContentsMargins(0, 0, 0, 0);
    searchCaption_ = new QLabel(searchBar_);
    searchCaption_->setObjectName("searchCaption");
    QFont bold = font();
    bold.setBold(true);
    searchCaption_->setFont(bold);
    searchCaption_->setTextFormat(Qt::PlainText);
    auto* back = new QPushButton("Back to dates", searchBar_);
    back->setObjectName("backToDatesButton");
    back->setAutoDefault(false);
    Describe(back, "The list of the chosen dates again (Alt+Left)");
    bar->addWidget(searchCaption_, 1);
    bar->addWidget(back);
    connect(back, &QPushButton::clicked, this, &PlayerDialog::BackToDates);
    Place(searchBar_, Anchor::kTopWide, 7, 51, 415, 14);
    searchBar_->hide();

    waveform_ = new WaveformView(this);
    waveform_->setObjectName("waveform");
    Describe(waveform_, "The call's sound: click to play from there");
    Place(waveform_, Anchor::kBottomWide, 7, 214, 415, 26);

    position_ = new QSlider(Qt::Horizontal, this);
    Identify(position_, "positionSlider", kIdPosition);
    Describe(position_, "Position");
    position_->setTickPosition(QSlider::NoTicks);
    position_->setRange(0, 0);
    Place(position_, Anchor::kBottomWide, 2, 241, 425, 14);

    button(&playButton_, kIdPlayPause, "playButton", Anchor::kBottomLeft, 12, 263, 25, 27);
    button(&stopButton_, kIdStop, "stopButton", Anchor::kBottomLeft, 40, 263, 25, 27);
    timeDisplay_ = new TimeDisplay(this);
    Identify(timeDisplay_, "timeDisplay", kIdTimeDisplay);
    Describe(timeDisplay_, "Playing time: click for the time of day of the recording");
    Place(timeDisplay_, Anchor::kBottomLeft, 67, 263, 137, 28);
    button(&previousButton_, kIdPrevious, "previousButton", Anchor::kBottomLeft, 206, 263, 25, 27);
    button(&nextButton_, kIdNext, "nextButton", Anchor::kBottomLeft, 233, 263, 25, 27);

    leftMeter_ = new LevelMeter(this);
    Identify(leftMeter_, "leftMeter", kIdLeftMeter);
    Describe(leftMeter_, "Left level");
    Place(leftMeter_, Anchor::kBottomRight, 272, 265, 79, 9);
    rightMeter_ = new LevelMeter(this);
    Identify(rightMeter_, "rightMeter", kIdRightMeter);
    Describe(rightMeter_, "Right level");
    Place(rightMeter_, Anchor::kBottomRight, 272, 279, 79, 9);
    volumeIcon_ = new QLabel(this);
    Identify(volumeIcon_, "volumeIcon", kIdVolumeIcon);
    volumeIcon_->setAlignment(Qt::AlignCenter);
    Place(volumeIcon_, Anchor::kBottomRight, 354, 266, 20, 20);
    volume_ = new QSlider(Qt::Horizontal, this);
    Identify(volume_, "volumeSlider", kIdVolume);
    Describe(volume_, "Volume");
    volume_->setTickPosition(QSlider::TicksAbove);
    Place(volume_, Anchor::kBottomRight, 371, 268, 49, 20);

    summary_ = new QLabel(this);
    summary_->setObjectName("listSummary");
    Place(summary_, Anchor::kBottomLeft, 9, 297, 150, 10);
    playingLabel_ = new QLabel(this);
    playingLabel_->setObjectName("playingRecord");
    playingLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Place(playingLabel_, Anchor::kBottomWide, 160, 297, 260, 10);

    const QSize client = DialogUnitsToPixels(BaseUnitsOf(font()), kWindowWidthUnits, kWindowHeightUnits);
    smallestClient_ = client;
    resize(client);
}

void PlayerDialog::BuildEqualizer() {
    for (int k = 0; k < kEqualizerSliderCount; ++k) {
        auto* slider = new QSlider(Qt::Vertical, this);
        const bool preamp = k == kEqualizerSliderCount - 1;
        Identify(slider, preamp ? "preampSlider" : qPrintable(QString("bandSlider%1").arg(k + 1)), kIdFirstBand + k);
        Describe(slider, preamp ? QString("Preamplifier") : QString("Equalizer band %1").arg(k + 1));
        slider->setTickPosition(QSlider::NoTicks);
        // Position 0 at the top, and up (key, wheel) means more gain.
        slider->setInvertedAppearance(true);
        slider->setInvertedControls(true);
        Place(slider, Anchor::kTopRight, preamp ? 250 : kFirstBandX + kBandPitch * k, 8, 10, 27);
        equalizer_[static_cast<std::size_t>(k)] = slider;
    }
    for (int x : {kFirstBandX - 9, kFirstBandX + kBandPitch * 9 + 11}) {
        for (int y : {8, 17, 27}) {
            auto* mark = new QLabel("-", this);
            mark->setObjectName("scaleMark");
            mark->setAlignment(Qt::AlignCenter);
            Place(mark, Anchor::kTopRight, x, y, 8, 8);
        }
    }
    // Each band's centre frequency under its slider, in a smaller type so "1.4k" fits its column.
    QFont small = font();
    small.setPointSizeF(font().pointSizeF() * 0.8);
    for (int k = 0; k < 10; ++k) {
        auto* label = new QLabel(this);
        label->setObjectName(QString("bandLabel%1").arg(k + 1));
        label->setFont(small);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        Place(label, Anchor::kTopRight, kFirstBandX + 5 - kBandPitch / 2 + kBandPitch * k, 36, kBandPitch, 9);
        bandLabels_[static_cast<std::size_t>(k)] = label;
    }
    equalizerReset_ = new QToolButton(this);
    equalizerReset_->setObjectName("equalizerReset");
    equalizerReset_->setText("Reset");
    equalizerReset_->setFont(small);
    Describe(equalizerReset_, "Reset the equalizer: every band and the preamplifier to 0");
    Place(equalizerReset_, Anchor::kTopRight, 244, 36, 26, 10);
    connect(equalizerReset_, &QToolButton::clicked, this, &PlayerDialog::ResetEqualizer);
    ShowBandLabels(kLabelSampleRate);
}

void PlayerDialog::ShowBandLabels(int sampleRate) {
    for (int k = 0; k < 10; ++k) {
        const BandFrequencies band = BandFrequenciesAt(k, sampleRate);
        QLabel* label = bandLabels_[static_cast<std::size_t>(k)];
        label->setText(QString::fromStdString(FrequencyLabel(band.centreHz)));
        const QString tip = QString::fromStdString(BandTip(k + 1, band.lowHz, band.highHz));
        label->setToolTip(tip);
        Describe(equalizer_[static_cast<std::size_t>(k)], tip);
    }
}

void PlayerDialog::Relayout() {
    const int extraWidth = width() - smallestClient_.width();
    const int extraHeight = height() - smallestClient_.height();
    for (const Placement& p : placements_) {
        const Rect r = PlaceAnchored(p.smallest, p.anchor, extraWidth, extraHeight);
        p.widget->setGeometry(r.x, r.y, r.width, r.height);
    }
    // Search results: the list gives the bar above it its room.
    if (searchBar_ != nullptr && !searchBar_->isHidden()) {
        QRect room = list_->geometry();
        room.setTop(searchBar_->geometry().bottom() + 3);
        list_->setGeometry(room);
    }
}

void PlayerDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Relayout();
}

}  // namespace pell::player
