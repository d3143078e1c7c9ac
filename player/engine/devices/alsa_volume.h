#pragma once

// The output volume is the player's own stream volume; the window still includes it by this name.
#include "player/engine/stream_volume.h"
