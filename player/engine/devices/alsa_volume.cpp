#include "player/engine/devices/alsa_volume.h"

#include <alsa/asoundlib.h>

namespace pell {

namespace {

// The open mixer and its volume element, closed on every path.
class MasterMixer {
public:
    MasterMixer() {
        if (snd_mixer_open(&mixer_, 0) < 0) {
            mixer_ = nullptr;
            return;
        }
        if (snd_mixer_attach(mixer_, "default") < 0 || snd_mixer_selem_register(mixer_, nullptr, nullptr) < 0 ||
            snd_mixer_load(mixer_) < 0)
            return;
        opened_ = true;
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_index(id, 0);
        snd_mixer_selem_id_set_name(id, "Master");
        snd_mixer_elem_t* elem = snd_mixer_find_selem(mixer_, id);
        if (elem != nullptr && snd_mixer_selem_has_playback_volume(elem) &&
            snd_mixer_selem_get_playback_volume_range(elem, &min_, &max_) == 0 && max_ > min_)
            elem_ = elem;
    }
    ~MasterMixer() {
        if (mixer_ != nullptr) snd_mixer_close(mixer_);
    }
    MasterMixer(const MasterMixer&) = delete;
    MasterMixer& operator=(const MasterMixer&) = delete;

    bool Opened() const { return opened_; }
    snd_mixer_elem_t* Element() const { return elem_; }
    long Min() const { return min_; }
    long Max() const { return max_; }

private:
    snd_mixer_t* mixer_ = nullptr;
    snd_mixer_elem_t* elem_ = nullptr;
    bool opened_ = false;
    long min_ = 0;
    long max_ = 0;
};

}  // namespace

std::uint32_t GetWaveOutVolume() {
    MasterMixer mixer;
    if (!mixer.Opened()) return ResolveVolumeRead(MixerRead::NoMixer, 0);
    if (mixer.Element() == nullptr) return ResolveVolumeRead(MixerRead::NoVolumeControl, 0);
    long value = 0;
    if (snd_mixer_selem_get_playback_volume(mixer.Element(), SND_MIXER_SCHN_FRONT_LEFT, &value) < 0)
        return ResolveVolumeRead(MixerRead::ReadFailed, 0);
    return ResolveVolumeRead(MixerRead::Ok, MixerToVolume(value, mixer.Min(), mixer.Max()));
}

void SetWaveOutVolume(std::uint32_t volume) {
    MasterMixer mixer;
    if (mixer.Element() == nullptr) return;
    snd_mixer_selem_set_playback_volume_all(mixer.Element(), VolumeToMixer(volume, mixer.Min(), mixer.Max()));
}

}  // namespace pell
