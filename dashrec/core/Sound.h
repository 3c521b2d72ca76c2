#pragma once
// Sound clips and spoken prompts, played in the background by aplay, and the
// speaker volume set with amixer. Spoken prompts exist per language and play
// only while voice guidance is on.

#include "dashrec/core/Pref.h"
#include "dashrec/core/Singleton.h"

#include <string>
#include <vector>

namespace vk {

class Sound : public Singleton<Sound> {
public:
    enum Clip {
        button,
        eventrec,
        power_on,
        power_off,
        system_error,
        system_error_fcws,
        change_storage,
        copy_begin,
        copy_end,
        format_begin,
        format_end,
        gps_lock,
        insert_sd,
        manual_recording_begins,
        mic_off,
        mic_on,
        parking_mode,
        recording_begins,
        recording_ends,
        voice_off,
        voice_on,
        change_sd,
        connect_usb,
        disconnect_usb,
        connect_sd,
        disconnect_sd,
        max_clip
    };

    struct Track {
        bool voice = false;
        unsigned int ms = 0;
        std::string name;
    };

    void Init();
    void Play(Clip clip);
    void SetVolume(SYSTEM::VOLUME::VALUE level);
    void SetUserVolume();
    void GetTrackTime(Track& track, const char* path);

private:
    std::vector<Track> _tracks;
};

} // namespace vk
