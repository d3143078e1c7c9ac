// The sound libraries under PortAudio write to standard error for every device entry they try
// and cannot open: ALSA's library a line per configured device it probes (a hundred on an
// ordinary desktop), JACK's a few when no JACK server runs, each time the sound output starts.
// None of them is the player's failure, which it reports itself. This turns them off.
#pragma once

namespace pell::player {

// Once, before the sound output first opens.
void SilenceSoundLibraryMessages();

}  // namespace pell::player
