// What the window writes beside the equalizer's sliders: each band's centre frequency under its
// slider, and its range in the tool tip, for the sample rate of the record playing.
#pragma once

#include <string>

namespace pell {

// Two significant figures, kilohertz from 1000 Hz: "63", "190", "810", "1.4k", "3.5k", "11k".
std::string FrequencyLabel(double hz);

// "Band 7: 1000 to 1750 Hz".
std::string BandTip(int band, double lowHz, double highHz);

}  // namespace pell
