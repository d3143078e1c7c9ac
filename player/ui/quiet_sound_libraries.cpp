#include "player/ui/quiet_sound_libraries.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>

#include <initializer_list>

namespace pell::player {
namespace {

// ALSA's handler type is variadic; nothing is printed.
void DiscardAlsa(const char*, int, const char*, int, const char*, ...) {}
void DiscardJack(const char*) {}

// JACK comes with PortAudio when it was built with it, not with the player: looked up, not linked.
void SilenceJack() {
    using SetFunction = void (*)(void (*)(const char*));
    for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
        if (void* symbol = ::dlsym(RTLD_DEFAULT, name)) reinterpret_cast<SetFunction>(symbol)(&DiscardJack);
    }
}

}  // namespace

void SilenceSoundLibraryMessages() {
    snd_lib_error_set_handler(&DiscardAlsa);
    SilenceJack();
}

}  // namespace pell::player
