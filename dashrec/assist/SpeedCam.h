#pragma once
// Speed-camera warnings: the database placed and loaded, every RMC sentence
// of the GPS receiver searched against it, speed-limit messages to the live
// view, and voice prompts played one after another by a worker of its own.

#include "dashrec/core/Singleton.h"

#include <atomic>
#include <thread>

namespace vk {

class SpeedCam : public Singleton<SpeedCam> {
public:
    enum SOUND {
        R_alarm = -100,
        R_dingdong,
        R_release,
        R_01_SP_01_8,
        R_01_SP_02_8,
        R_01_SP_03_8,
        R_01_SP_04_8,
        R_01_SP_05_8,
        R_01_SP_06_8,
        R_01_SP_07_8,
        R_01_SP_08_8,
        R_01_SP_09_8,
        R_01_SP_15_8,
        R_01_SP_17_8,
        R_01_SP_18_8,
        R_02_010_01 = 10,
        R_02_020_02 = 20,
        R_02_030_03 = 30,
        R_02_040_04 = 40,
        R_02_050_05 = 50,
        R_02_060_06 = 60,
        R_02_070_07 = 70,
        R_02_080_08 = 80,
        R_02_090_09 = 90,
        R_02_100_10 = 100,
        R_02_110_11 = 110,
        R_02_120_12 = 120,
    };
    static constexpr int GPRMC_BUFFER_SIZE = 1024;

    ~SpeedCam() override;

    void Init();
    bool CheckDataInSDCard();
    void MoveDataToEmmc(const char* dest);
    // True once a database is loaded, by this call or an earlier one.
    bool LoadData(const char* path);
    // Called on the GPS receive thread with the whole sentence, "$" to LF.
    void ParseRMC(const char* sentence, int length);
    void CameraAlram(int kind, int sub);
    void CameraEndAlram(int kind, int sub);
    void SendMessage(int code);
    const char* Version();
    void Finalize();

    // The clip name of a prompt code; nullptr for a code outside the table.
    static const char* SoundName(int code);

    // Sees every sentence handed over; only a test installs one.
    using Observer = void (*)(const char* sentence, int length);
    static void SetObserver(Observer observer) { _observer = observer; }

private:
    friend class Singleton<SpeedCam>;
    SpeedCam();

    void ActOnResult(int result, int kind, int sub, int limit, int speed, double distance);
    void AnnounceLimit(int limit);
    void ReleaseCamera();
    void PlayPrompts();

    char* _buff;
    std::atomic<bool> _loadData{false};
    std::atomic<bool> _running{true};
    std::thread _t;
    static std::atomic<Observer> _observer;
};

} // namespace vk
