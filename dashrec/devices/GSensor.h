#pragma once
// The accelerometer: sampled every 25 ms on its own thread. A large change
// between two consecutive samples is a shock, posted to the live view, which
// starts an event recording; every sample also becomes one record of the
// recordings' subtitle track (GPS fix and axes), handed on once a second.

#include "dashrec/core/Singleton.h"

#include <atomic>
#include <list>
#include <string>
#include <thread>

namespace vk {

class GSensor : public Singleton<GSensor> {
public:
    struct AxisData {
        unsigned char acc_val[3];
    };
    // The two most recent corrected samples, slot 0 and slot 1.
    struct RelativeValue {
        int storePoint;
        int x[2];
        int y[2];
        int z[2];
        int baseX;
        int baseY;
        int baseZ;
        double sinValue;
        double cosValue;
    };

    static constexpr int ADDRESS = 0x4C;
    static constexpr int REG_MODE = 0x07;
    static constexpr int REG_STATUS = 0x05;
    static constexpr int REG_X = 0x0E;
    static constexpr int REG_Y = 0x10;
    static constexpr int REG_Z = 0x12;
    // Axis counts per g.
    static constexpr int COUNTS_PER_G = 64;
    static constexpr int ROUND_MS = 25;
    // Rounds after a shock before the next can be reported (about 1 s).
    static constexpr int COOLDOWN_ROUNDS = 40;
    // Records handed on together: one second of rounds.
    static constexpr size_t SUBTITLE_RECORDS = 40;

    void Init();
    void Start();
    void Finalize();

    bool CheckDeviceId() const { return _checkDeviceId; }
    void GetValue(int& x, int& y, int& z);

    int Open();
    int ReadData(int fd, int reg, unsigned char* buf, int len);
    int WriteDataByte(int fd, int reg, unsigned char value);
    int WriteMaskData(int fd, int reg, unsigned char mask, unsigned char value);
    int CheckDevice(int fd);
    int GetAxisXYZ(int fd, int& x, int& y, int& z);
    int GetInitXYZ(int fd, int& x, int& y, int& z);
    int GetCorXYZ(int fd, int& x, int& y, int& z);
    int ReadInitData(int fd);
    // One round of the sampling thread after its sleep: sample, shock test, subtitle record.
    void SampleRound(int fd);

    static float MagnitudeG(int x, int y, int z);
    float GetAcceSensitivity();
    bool CheckShockOld(float& g);
    bool CheckShock(int x, int y, int z);

    void SetSubTitleText();
    void SetOverlayText();
    // What the media engine is handed: the last second of records, and the overlay.
    std::string GetSubTitleText();
    std::string GetOverlayText();

private:
    void Run();
    void CorrectAxis(int& x, int& y, int& z);
    void Correct1G(int& x, int& y, int& z);
    void CorrectAngle(int& x, int& y, int& z);
    void CorrectZero(int& x, int& y, int& z);
    void InitCorrection(int x, int y, int z);

    AxisData GSensorData {};
    RelativeValue RValue {};
    std::atomic<bool> _running { false };
    std::thread _t;
    std::atomic<bool> _checkDeviceId { false };
    const std::string I2C = "/dev/i2c-2";
    int _cooldown = 0;
    int _counter = 0;
    // The other slot holds a sample: the shock test can compare.
    bool _sampled = false;
    // This round's sample; a failed read keeps the previous one.
    int _x = 0;
    int _y = 0;
    int _z = 0;
    char _overlay[128] {};
    char _subtitle[128] {};
    std::string _strSubTitle;
    std::list<std::string> _listSubtitle;
    float _corTheta = 0;
    float _corSin = 0;
    float _corCos = 0;
};

} // namespace vk
