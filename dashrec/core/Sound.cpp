#include "dashrec/core/Sound.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Shell.h"
#include "dashrec/core/SoundQ.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vk {

namespace {

const char* const SOUND_DIR = "/app/kvo/rsc/sound/";

// In the order of Sound::Clip.
const Sound::Track TRACKS[] = {
    { false, 0, "S_button" },
    { false, 0, "S_eventrec" },
    { false, 0, "S_power_on" },
    { false, 0, "S_power_off" },
    { false, 0, "S_system_error" },
    { false, 0, "fcws_warning" },
    { true, 0, "V_change_storage" },
    { true, 0, "V_copy_begins" },
    { true, 0, "V_copy_ends" },
    { true, 0, "V_format_begins" },
    { true, 0, "V_format_ends" },
    { true, 0, "V_gps_lock" },
    { true, 0, "V_insert_sd" },
    { true, 0, "V_manual_recording_begins" },
    { true, 0, "V_mic_off" },
    { true, 0, "V_mic_on" },
    { true, 0, "V_parking_mode" },
    { true, 0, "V_recording_begins" },
    { true, 0, "V_recording_ends" },
    { true, 0, "V_voice_off" },
    { true, 0, "V_voice_on" },
    { true, 0, "V_change_sd_card" },
    { true, 0, "V_connect_usb" },
    { true, 0, "V_disconnect_usb" },
    { true, 0, "V_connect_sd" },
    { true, 0, "V_disconnect_sd" },
};

const char* LanguageSuffix(SYSTEM::LANGUAGE::VALUE language)
{
    switch (language) {
    case SYSTEM::LANGUAGE::JAPANESE:
        return "_j";
    case SYSTEM::LANGUAGE::KOREAN:
        return "_k";
    default:
        return "_e";
    }
}

int LineOutVolume(SYSTEM::VOLUME::VALUE level)
{
    switch (level) {
    case SYSTEM::VOLUME::OFF:
        return 0;
    case SYSTEM::VOLUME::LEVEL_1:
        return 22;
    case SYSTEM::VOLUME::LEVEL_2:
        return 26;
    case SYSTEM::VOLUME::LEVEL_3:
        return 30;
    default:
        return 26;
    }
}

// The canonical RIFF header of a PCM WAV file.
struct WavHeader {
    char riff[4];
    uint32_t riffSize;
    char wave[4];
    char fmt[4];
    uint32_t fmtSize;
    uint16_t format;
    uint16_t channels;
    uint32_t sampleRate;
    uint32_t byteRate;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    char data[4];
    uint32_t dataSize;
};
static_assert(sizeof(WavHeader) == 44, "the canonical header");

} // namespace

void Sound::Init()
{
    SoundQ::Inst()->Init();
    _tracks.assign(std::begin(TRACKS), std::end(TRACKS));
    VK_ASSERT(_tracks.size() == Clip::max_clip);
}

void Sound::Play(Clip clip)
{
    // Before Init there is no table to play from.
    if (static_cast<size_t>(clip) >= _tracks.size())
        return;
    const Track& track = _tracks[clip];
    char cmd[128];
    if (!track.voice) {
        VK_FORMAT_COMMAND(cmd, "aplay %s%s.wav &", SOUND_DIR, track.name.c_str());
    } else {
        Pref* pref = Singleton<Pref>::Inst();
        if (!pref->IsVoiceGuidanceOn())
            return;
        VK_FORMAT_COMMAND(cmd, "aplay %s%s%s.wav &", SOUND_DIR, track.name.c_str(), LanguageSuffix(pref->GetLanguage()));
    }
    std::system(cmd);
}

void Sound::SetVolume(SYSTEM::VOLUME::VALUE level)
{
    char cmd[64];
    VK_FORMAT_COMMAND(cmd, "amixer sset 'lineout volume' %d", LineOutVolume(level));
    std::system(cmd);
}

void Sound::SetUserVolume()
{
    std::system("amixer sset 'digital volume' 51");
    SetVolume(Singleton<Pref>::Inst()->GetVolume());
}

void Sound::GetTrackTime(Track& track, const char* path)
{
    track.ms = 0;
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        Singleton<SDDebug>::Inst()->Print("%s not opened\n", path);
        return;
    }
    WavHeader header {};
    bool read = std::fread(&header, sizeof(header), 1, file) == 1;
    std::fclose(file);
    if (!read)
        return;
    double seconds = header.byteRate == 0 ? 0.0 : static_cast<double>(header.dataSize) / header.byteRate;
    track.ms = header.byteRate == 0 ? 0 : static_cast<unsigned int>(1000ULL * header.dataSize / header.byteRate);
    std::printf("%s\nNum of channel:%u, sample rate:%u, byte rate:%u, bit per sample:%u data size:%u, playtime:%.3f, "
                "track.ms:%u\n",
        path, header.channels, header.sampleRate, header.byteRate, header.bitsPerSample, header.dataSize, seconds,
        track.ms);
}

} // namespace vk
