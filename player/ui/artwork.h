// The player's artwork: every bitmap, icon and cursor of the window, drawn by our own code at
// the device pixel ratio it is shown at, so it stays sharp at 1x and 2x. The table maps the
// resource ids the window knows its pictures by to their names and sizes; pellplayer_draw_art
// writes each as <name>.png and <name>@2x.png for review and packaging.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <vector>

namespace pell::player {

// Resource ids of the pictures.
enum ArtId : int {
    kArtProgramIcon = 128,
    kArtListBackground = 154,
    kArtPlayHover = 165,
    kArtPlayNormal = 166,
    kArtPlayPressed = 169,
    kArtPausePressed = 171,
    kArtPauseNormal = 172,
    kArtPauseHover = 173,
    kArtNextHover = 174,
    kArtNextNormal = 175,
    kArtNextPressed = 176,
    kArtPreviousHover = 178,
    kArtPreviousNormal = 179,
    kArtPreviousPressed = 180,
    kArtStopNormal = 192,
    kArtStopHover = 193,
    kArtStopPressed = 194,
    kArtSearchNormal = 204,
    kArtRefreshNormal = 206,
    kArtRefreshPressed = 207,
    kArtRefreshHover = 210,
    kArtSearchHover = 211,
    kArtSearchPressed = 212,
    kArtDirectionImages = 230,
    kArtVolumeTwoWaves = 234,
    kArtVolumeThreeWaves = 235,
    kArtVolumeOneWave = 236,
    kArtVolumeMuted = 237,
    kArtDigit0 = 238,
    kArtColon = 239,
    kArtDigit1 = 240,  // digits 1..9 are 240..248
    kArtModeClock = 249,
    kArtModeElapsed = 250,
    kArtPositionCursor = 1000,  // "IDC_POS_TRACK"
};

struct ArtEntry {
    int id;
    const char* name;  // file name without extension
    QSize size;        // logical pixels
};

const std::vector<ArtEntry>& ArtTable();
const ArtEntry* FindArt(int id);

// The picture drawn into an image of size x dpr device pixels (a null image for an unknown id).
QImage DrawArt(int id, qreal devicePixelRatio);
// The same as a pixmap tagged with its ratio, cached per id and ratio.
QPixmap ArtPixmap(int id, qreal devicePixelRatio);
// The digit icon id for 0..9.
int DigitArt(int digit);

// Image i (0 unknown, 1 incoming, 2 outgoing) of the list's direction strip.
QPixmap DirectionImage(int image, qreal devicePixelRatio);

QIcon ProgramIcon();
QImage DrawProgramIcon(int sizePx);
QCursor PositionTrackCursor(qreal devicePixelRatio);

}  // namespace pell::player
