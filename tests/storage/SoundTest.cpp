// Sound command lines, as the aplay and amixer shims log them, and the clip
// length read from a generated clip's header.

#include "dashrec/core/Pref.h"
#include "dashrec/core/Sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using vk::Sound;
namespace LANGUAGE = vk::SYSTEM::LANGUAGE;
namespace VOLUME = vk::SYSTEM::VOLUME;

std::string ShimLog()
{
    return std::string(std::getenv("DASHREC_HOST_DIR")) + "/shims.log";
}

std::vector<std::string> LoggedLines()
{
    std::vector<std::string> lines;
    std::ifstream file(ShimLog());
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

// Players run in the background: wait for their lines, in any order.
std::vector<std::string> WaitForLines(size_t count)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::vector<std::string> lines = LoggedLines();
    while (lines.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        lines = LoggedLines();
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

class Sounds : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::remove(ShimLog().c_str());
        Sound::Inst()->Init();
    }
};

TEST_F(Sounds, EveryClipPlaysItsFileInTheBackground)
{
    const struct {
        Sound::Clip clip;
        const char* file;
    } clips[] = {
        { Sound::button, "S_button" },
        { Sound::eventrec, "S_eventrec" },
        { Sound::power_on, "S_power_on" },
        { Sound::power_off, "S_power_off" },
        { Sound::system_error, "S_system_error" },
        { Sound::system_error_fcws, "fcws_warning" },
        { Sound::change_storage, "V_change_storage" },
        { Sound::copy_begin, "V_copy_begins" },
        { Sound::copy_end, "V_copy_ends" },
        { Sound::format_begin, "V_format_begins" },
        { Sound::format_end, "V_format_ends" },
        { Sound::gps_lock, "V_gps_lock" },
        { Sound::insert_sd, "V_insert_sd" },
        { Sound::manual_recording_begins, "V_manual_recording_begins" },
        { Sound::mic_off, "V_mic_off" },
        { Sound::mic_on, "V_mic_on" },
        { Sound::parking_mode, "V_parking_mode" },
        { Sound::recording_begins, "V_recording_begins" },
        { Sound::recording_ends, "V_recording_ends" },
        { Sound::voice_off, "V_voice_off" },
        { Sound::voice_on, "V_voice_on" },
        { Sound::change_sd, "V_change_sd_card" },
        { Sound::connect_usb, "V_connect_usb" },
        { Sound::disconnect_usb, "V_disconnect_usb" },
        { Sound::connect_sd, "V_connect_sd" },
        { Sound::disconnect_sd, "V_disconnect_sd" },
    };
    static_assert(std::size(clips) == Sound::max_clip);
    const struct {
        LANGUAGE::VALUE language;
        const char* suffix;
    } languages[] = {
        { LANGUAGE::JAPANESE, "_j" },
        { LANGUAGE::ENGLISH, "_e" },
        { LANGUAGE::KOREAN, "_k" },
    };

    vk::Pref* pref = vk::Pref::Inst();
    std::vector<std::string> expected;
    for (bool voice : { true, false }) {
        voice ? pref->SetVoiceGuidanceOn() : pref->SetVoiceGuidanceOff();
        for (const auto& language : languages) {
            pref->SetLanguage(language.language);
            for (const auto& c : clips) {
                Sound::Inst()->Play(c.clip);
                bool spoken = c.file[0] == 'V';
                if (spoken && !voice)
                    continue;
                expected.push_back(std::string("aplay /app/kvo/rsc/sound/") + c.file + (spoken ? language.suffix : "")
                    + ".wav");
            }
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(WaitForLines(expected.size()), expected);
}

TEST_F(Sounds, VolumeLevelsSetTheLineOut)
{
    const struct {
        VOLUME::VALUE level;
        int volume;
    } levels[] = {
        { VOLUME::OFF, 0 },
        { VOLUME::LEVEL_1, 22 },
        { VOLUME::LEVEL_2, 26 },
        { VOLUME::LEVEL_3, 30 },
        { VOLUME::LEVEL_4, 26 },
    };
    for (const auto& l : levels) {
        std::remove(ShimLog().c_str());
        Sound::Inst()->SetVolume(l.level);
        EXPECT_EQ(LoggedLines(), std::vector<std::string> { "amixer sset lineout volume " + std::to_string(l.volume) });
    }
    std::remove(ShimLog().c_str());
    vk::Pref::Inst()->SetVolume(VOLUME::LEVEL_1);
    Sound::Inst()->SetUserVolume();
    EXPECT_EQ(LoggedLines(),
        (std::vector<std::string> { "amixer sset digital volume 51", "amixer sset lineout volume 22" }));
}

TEST_F(Sounds, TrackTimeComesFromTheWavHeader)
{
    std::string clips = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/rsc/sound/";
    Sound::Track track;
    Sound::Inst()->GetTrackTime(track, (clips + "S_button.wav").c_str());
    EXPECT_EQ(track.ms, 80u);
    Sound::Inst()->GetTrackTime(track, (clips + "V_gps_lock_k.wav").c_str());
    EXPECT_GT(track.ms, 500u);
    EXPECT_LT(track.ms, 5000u);
    Sound::Inst()->GetTrackTime(track, "/app/kvo/rsc/sound/missing.wav");
    EXPECT_EQ(track.ms, 0u);
}

} // namespace
