#pragma once
// The user preferences of the recorder: kept in the EEPROM as one CRC-guarded
// record with the voltage calibration behind it, exported and imported as INI
// text for the phone app, and turned into the thresholds the device services use.
// Setters change memory only; a caller that wants a change kept calls Save.

#include "dashrec/core/Singleton.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class INIReader;

namespace vk {

// Every stored value is a signed 32-bit integer; MAX closes each list and is never stored.
namespace RECORDING {
namespace MIC { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
namespace REAR { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
namespace GSENSOR { enum VALUE : int32_t { OFF = 0, LEVEL_1 = 1, LEVEL_2 = 2, LEVEL_3 = 3, LEVEL_4 = 4, LEVEL_5 = 5, MAX = 6 }; }
namespace STORAGE { enum VALUE : int32_t { INTERNAL = 0, SDCARD = 1, MAX = 2 }; }
namespace VIDEO_SIZE { enum VALUE : int32_t { WQHD = 0, FHD = 1, HD = 2, MAX = 3 }; }
namespace EV { enum VALUE : int32_t { LEVEL_1 = 0, LEVEL_2 = 1, LEVEL_3 = 2, MAX = 3 }; }
namespace NIGHTVISION { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
namespace MIRROR_REAR { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
namespace LONGTIME_RECORD { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
} // namespace RECORDING

namespace PARKING {
namespace MODE { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
namespace MOTION { enum VALUE : int32_t { LEVEL_1 = 0, LEVEL_2 = 1, LEVEL_3 = 2, MAX = 3 }; }
namespace GSENSOR { enum VALUE : int32_t { LEVEL_1 = 0, LEVEL_2 = 1, LEVEL_3 = 2, LEVEL_4 = 3, LEVEL_5 = 4, MAX = 5 }; }
namespace VOLTAGE { enum VALUE : int32_t { V11_0 = 0, V11_8 = 1, V12_0 = 2, V12_2 = 3, V12_4 = 4, MAX = 5 }; }
namespace TEMPERATURE { enum VALUE : int32_t { T60 = 0, T70 = 1, T75 = 2, T80 = 3, MAX = 4 }; }
namespace OFFTIMER { enum VALUE : int32_t { H3 = 0, H6 = 1, H12 = 2, H24 = 3, H48 = 4, MAX = 5 }; }
namespace SELF_CHECKING { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
} // namespace PARKING

namespace SYSTEM {
namespace DISPLAY { enum VALUE : int32_t { OFF = 0, SEC30 = 1, SEC60 = 2, SEC120 = 3, MAX = 4 }; }
namespace WIFI { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
namespace VOLUME { enum VALUE : int32_t { OFF = 0, LEVEL_1 = 1, LEVEL_2 = 2, LEVEL_3 = 3, LEVEL_4 = 4, MAX = 5 }; }
namespace VOICE { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
namespace SAFETY { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
namespace VIEW { enum VALUE : int32_t { FRONT = 0, REAR = 1, FRONT_REAR = 2, REAR_FRONT = 3, MAX = 4 }; }
namespace LANGUAGE { enum VALUE : int32_t { JAPANESE = 0, ENGLISH = 1, KOREAN = 2, MAX = 3 }; }
namespace LDWS_MODE { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
namespace FCWS_MODE { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
namespace SECURITY { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
namespace BOOT_MODE { enum VALUE : int32_t { ANNOUNCE_N_MESSAGE = 0, ANNOUNCE_ONLY = 1, MESSAGE_ONLY = 2, NOTING = 3, MAX = 4 }; }
namespace SELF_CHK_STATE { enum VALUE : int32_t { OFF = 0, ON = 1, MAX = 2 }; }
} // namespace SYSTEM

class Pref : public Singleton<Pref> {
public:
    // The stored records hold plain 32-bit fields in their EEPROM order; the
    // accessors below hand them out as their enumerations.
    struct PREF_RECORDING {
        int32_t mic, rear, sensor, storage, video_size, ev, nightvision, mirror_rear, longtime;
        PREF_RECORDING() { SetDefault(); }
        void SetDefault();
    };
    struct PREF_PARKING {
        int32_t mode, motion, sensor, voltage, temperature, offtimer, self_checking;
        PREF_PARKING() { SetDefault(); }
        void SetDefault();
    };
    static constexpr int TEXT_FIELD_SIZE = 16;
    struct PREF_SYSTEM {
        int32_t display, wifi, volume, voice, safety, view, language, ldws_mode, fcws_mode, security,
            boot_mode, self_chk_state;
        char ssid[TEXT_FIELD_SIZE];
        char password[TEXT_FIELD_SIZE];
        char lockpin[TEXT_FIELD_SIZE];
        int32_t timezone, booting_count;
        int32_t touch_start_x, touch_start_y, touch_end_x, touch_end_y;
        PREF_SYSTEM();
        void SetDefault();
    };
    struct PREF_PARKING_ALARM {
        int32_t use, motion, event;
        PREF_PARKING_ALARM() { SetDefault(); }
        void SetDefault();
    };
    // Pending choices of the menus that take effect only after a card format or a reboot.
    struct PREF_FORMAT {
        int32_t mode, storage, video_size, nightvision, longtime;
        bool forcedUnlock;
        char lockpin1[8];
        char lockpin2[8];
        PREF_FORMAT();
    };
    // The A/D references of the battery-voltage calibration, behind the preference record.
    struct PREF_VOLTAGE {
        int32_t sync, ref12Volt, ref24Volt, checksum;
        PREF_VOLTAGE() { Init(); }
        void Init();
        int CheckSum() const;
        // 0 asks for the 12 V reference, anything else for the 24 V one.
        bool IsValid(int which) const;
    };

    static constexpr int32_t VER = 99;
    static constexpr int DATA_SIZE = 256;
    static constexpr int AD_CALIB_SIZE = 256;
    static constexpr int TOTAL_DATA_SIZE = DATA_SIZE + AD_CALIB_SIZE;
    static constexpr int READ_BUFFER_SIZE = 2048;
    static constexpr int CODE_LENGTH = 4;
    static constexpr int LCD_OFF_TIME_MS = 30000;
    static constexpr uint32_t PREF_VOLTAGE_SYNC = 0xFACEFACE;

    static constexpr RECORDING::MIC::VALUE DEF_MIC = RECORDING::MIC::ON;
    static constexpr RECORDING::REAR::VALUE DEF_REAR = RECORDING::REAR::ON;
    static constexpr RECORDING::GSENSOR::VALUE DEF_NORMAL_GSENSOR = RECORDING::GSENSOR::LEVEL_3;
    static constexpr RECORDING::STORAGE::VALUE DEF_STORAGE = RECORDING::STORAGE::INTERNAL;
    static constexpr RECORDING::VIDEO_SIZE::VALUE DEF_VIDEO_SIZE = RECORDING::VIDEO_SIZE::WQHD;
    static constexpr RECORDING::EV::VALUE DEF_EV = RECORDING::EV::LEVEL_2;
    static constexpr RECORDING::NIGHTVISION::VALUE DEF_NIGHTVISION = RECORDING::NIGHTVISION::OFF;
    static constexpr RECORDING::MIRROR_REAR::VALUE DEF_MIRROR_REAR = RECORDING::MIRROR_REAR::ON;
    static constexpr RECORDING::LONGTIME_RECORD::VALUE DEF_LONGTIME_RECORD = RECORDING::LONGTIME_RECORD::OFF;
    static constexpr PARKING::MODE::VALUE DEF_MODE = PARKING::MODE::ON;
    static constexpr PARKING::GSENSOR::VALUE DEF_PARKING_GSENSOR = PARKING::GSENSOR::LEVEL_3;
    static constexpr PARKING::MOTION::VALUE DEF_MOTION = PARKING::MOTION::LEVEL_2;
    static constexpr PARKING::VOLTAGE::VALUE DEF_PARKING_VOLTAGE = PARKING::VOLTAGE::V12_2;
    static constexpr PARKING::TEMPERATURE::VALUE DEF_TEMPERATURE = PARKING::TEMPERATURE::T70;
    static constexpr PARKING::OFFTIMER::VALUE DEF_OFFTIMER = PARKING::OFFTIMER::H3;
    static constexpr PARKING::SELF_CHECKING::VALUE DEF_SELF_CHECKING = PARKING::SELF_CHECKING::ON;
    static constexpr SYSTEM::VOLUME::VALUE DEF_VOLUME = SYSTEM::VOLUME::LEVEL_2;
    static constexpr SYSTEM::VIEW::VALUE DEF_VIEW = SYSTEM::VIEW::FRONT_REAR;
    static constexpr SYSTEM::WIFI::VALUE DEF_WIFI = SYSTEM::WIFI::OFF;
    static constexpr SYSTEM::VOICE::VALUE DEF_VOICE = SYSTEM::VOICE::ON;
    static constexpr SYSTEM::SAFETY::VALUE DEF_SAFETY = SYSTEM::SAFETY::ON;
    static constexpr SYSTEM::DISPLAY::VALUE DEF_DISPLAY = SYSTEM::DISPLAY::OFF;
    static constexpr SYSTEM::LANGUAGE::VALUE DEF_LANGUAGE = SYSTEM::LANGUAGE::KOREAN;
    static constexpr SYSTEM::LDWS_MODE::VALUE DEF_LDWS_MODE = SYSTEM::LDWS_MODE::OFF;
    static constexpr SYSTEM::FCWS_MODE::VALUE DEF_FCWS_MODE = SYSTEM::FCWS_MODE::OFF;
    static constexpr SYSTEM::SECURITY::VALUE DEF_SECURITY = SYSTEM::SECURITY::OFF;
    static constexpr SYSTEM::BOOT_MODE::VALUE DEF_BOOT_MODE = SYSTEM::BOOT_MODE::ANNOUNCE_N_MESSAGE;
    static constexpr SYSTEM::SELF_CHK_STATE::VALUE DEF_SELF_CHK_STATE = SYSTEM::SELF_CHK_STATE::OFF;
    static constexpr int32_t DEF_TIMEZONE = 9;
    static constexpr int32_t DEF_TOUCH_SENSOR_START_X = 320;
    static constexpr int32_t DEF_TOUCH_SENSOR_START_Y = 228;
    static constexpr int32_t DEF_TOUCH_SENSOR_END_X = 3953;
    static constexpr int32_t DEF_TOUCH_SENSOR_END_Y = 3881;
    static constexpr char DEF_SSID[] = "ZR5120";
    static constexpr char DEF_PASSWORD[] = "48150726";
    static constexpr char DEF_PINCODE[] = "7294";

    // The text form: the import file and the names of its sections and keys.
    static constexpr char STR_PATH[] = "/tmp/";
    static constexpr char STR_PREF_FILE[] = "/tmp/_user.ini";
    static constexpr char STR_Version[] = "Version";
    static constexpr char STR_Recording[] = "Recording";
    static constexpr char STR_Parking[] = "Parking";
    static constexpr char STR_System[] = "System";
    static constexpr char STR_Alarm[] = "Alarm";
    static constexpr char STR_mic[] = "mic";
    static constexpr char STR_rear[] = "rear";
    static constexpr char STR_gsensor[] = "g-sensor";
    static constexpr char STR_video_size[] = "video_size";
    static constexpr char STR_longtime[] = "longtime";
    static constexpr char STR_nightvision[] = "nightvision";
    static constexpr char STR_mirror_rear[] = "mirror_rear";
    static constexpr char STR_mode[] = "mode";
    static constexpr char STR_motion[] = "motion";
    static constexpr char STR_temperature[] = "temperature";
    static constexpr char STR_voltage[] = "voltage";
    static constexpr char STR_offtimer[] = "offtimer";
    static constexpr char STR_self_checking[] = "self_checking";
    static constexpr char STR_storage[] = "storage";
    static constexpr char STR_volume[] = "volume";
    static constexpr char STR_view[] = "view";
    static constexpr char STR_wifi[] = "wifi";
    static constexpr char STR_voice[] = "voice";
    static constexpr char STR_safety[] = "safety";
    static constexpr char STR_display[] = "display";
    static constexpr char STR_language[] = "language";
    static constexpr char STR_ssid[] = "ssid";
    static constexpr char STR_password[] = "password";
    static constexpr char STR_lockpin[] = "lockpin";
    static constexpr char STR_security[] = "security";
    static constexpr char STR_boot_mode[] = "boot_mode";
    static constexpr char STR_event[] = "event";
    static constexpr char STR_use[] = "use";
    static constexpr char STR_timezone[] = "timezone";

    // Life cycle and the EEPROM record.
    void Init();
    void Finalize() {}
    void Load();
    void Save();
    void SaveRefVoltValue();
    void LoadDefault();
    unsigned int CopyUserDataToBuffer(unsigned char* buf, int& written);
    void SetRef12VoltValue(unsigned short value);
    void SetRef24VoltValue(unsigned short value);
    bool GetRef12VoltValue(unsigned short& value);
    bool GetRef24VoltValue(unsigned short& value);
    static unsigned int CalcCRC32(unsigned int crc, const void* data, unsigned int size);
    static unsigned int CalcCRC32(const void* data, unsigned int size);

    // The text form and the access-point configuration. GetString fills
    // READ_BUFFER_SIZE bytes at most; its callers hold the lock.
    void GetString(char* buf);
    std::string ToString();
    // Writes a text received from the phone app to the import file; false when it could not be written.
    bool Save(const std::string& text);
    // Imports the import file; false when nothing was taken.
    bool LoadFromFile();
    void SetHostapd();
    // The stored numbers with their place in the text form, their ranges and defaults.
    struct Field;
    static const std::vector<Field>& Fields();

    // Recording record.
    bool IsMicOn() const { return recording.mic == RECORDING::MIC::ON; }
    void SetMicOn() { recording.mic = RECORDING::MIC::ON; }
    void SetMicOff() { recording.mic = RECORDING::MIC::OFF; }
    bool IsRearCameraOn();
    void SetRearCameraOn();
    void SetRearCameraOff();
    RECORDING::GSENSOR::VALUE GetNormalGsensorSensitivity();
    void SetNormalGsensorSensitivity(RECORDING::GSENSOR::VALUE sensor);
    float GetNormalGsensorValue();
    bool IsInternalStorageUsed();
    void SetInternalStorageRecording();
    void SetSdCardRecording();
    RECORDING::VIDEO_SIZE::VALUE GetVideoSize() const { return RECORDING::VIDEO_SIZE::VALUE(recording.video_size); }
    void SetVideoSize(RECORDING::VIDEO_SIZE::VALUE size) { recording.video_size = size; }
    static int GetResolutionHeight(RECORDING::VIDEO_SIZE::VALUE size);
    static std::string GetResolutionHeightString(RECORDING::VIDEO_SIZE::VALUE size);
    int GetFrontCameraResolutionHeight();
    std::string GetFrontCameraResolutionHeightString();
    int GetRearCameraResolutionHeight();
    std::string GetRearCameraResolutionHeightString();
    RECORDING::EV::VALUE GetEV() const { return RECORDING::EV::VALUE(recording.ev); }
    void SetEV(RECORDING::EV::VALUE ev) { recording.ev = ev; }
    RECORDING::NIGHTVISION::VALUE GetNightvision() const { return RECORDING::NIGHTVISION::VALUE(recording.nightvision); }
    void SetNightvision(RECORDING::NIGHTVISION::VALUE value) { recording.nightvision = value; }
    RECORDING::MIRROR_REAR::VALUE GetMirrorRear() const { return RECORDING::MIRROR_REAR::VALUE(recording.mirror_rear); }
    void SetMirrorRear(RECORDING::MIRROR_REAR::VALUE value) { recording.mirror_rear = value; }
    RECORDING::LONGTIME_RECORD::VALUE GetLongTimeRecord() const { return RECORDING::LONGTIME_RECORD::VALUE(recording.longtime); }
    void SetLongTimeRecord(RECORDING::LONGTIME_RECORD::VALUE value) { recording.longtime = value; }
    int GetFps();
    int GetParkingFps();
    void WriteIsp();
    static void SetBrightness();

    // Parking record.
    PARKING::MODE::VALUE GetParkingMode() const { return PARKING::MODE::VALUE(parking.mode); }
    bool IsParkingModeOn() const { return parking.mode == PARKING::MODE::ON; }
    void SetParkingModeOn() { parking.mode = PARKING::MODE::ON; }
    void SetParkingModeOff() { parking.mode = PARKING::MODE::OFF; }
    PARKING::MOTION::VALUE GetMotionSensitivity();
    void SetMotionSensitivity(PARKING::MOTION::VALUE motion);
    int GetMotionSensitivityValue();
    PARKING::GSENSOR::VALUE GetParkingGsensorSensitivity();
    void SetParkingGsensorSensitivity(PARKING::GSENSOR::VALUE sensor);
    float GetParkingGsensorValue();
    PARKING::VOLTAGE::VALUE GetVoltage();
    void SetVoltage(PARKING::VOLTAGE::VALUE voltage);
    float GetVoltageValue();
    PARKING::TEMPERATURE::VALUE GetTemperature();
    void SetTemperature(PARKING::TEMPERATURE::VALUE temperature);
    float GetTemperatureValue();
    PARKING::OFFTIMER::VALUE GetOffTimer();
    void SetOffTimer(PARKING::OFFTIMER::VALUE timer);
    int64_t GetOffTimerValue();
    bool IsSelfCheckingOn() const { return parking.self_checking == PARKING::SELF_CHECKING::ON; }
    void SetSelfCheckingOn() { parking.self_checking = PARKING::SELF_CHECKING::ON; }
    void SetSelfCheckingOff() { parking.self_checking = PARKING::SELF_CHECKING::OFF; }

    // System record.
    SYSTEM::DISPLAY::VALUE GetLCDDisplay();
    void SetLCDDisplay(SYSTEM::DISPLAY::VALUE lcd);
    bool IsWiFiOn() const { return settings.wifi == SYSTEM::WIFI::ON; }
    void SetWiFiOn() { settings.wifi = SYSTEM::WIFI::ON; }
    void SetWiFiOff() { settings.wifi = SYSTEM::WIFI::OFF; }
    SYSTEM::VOLUME::VALUE GetVolume();
    void SetVolume(SYSTEM::VOLUME::VALUE vol);
    bool IsVoiceGuidanceOn() const { return settings.voice == SYSTEM::VOICE::ON; }
    void SetVoiceGuidanceOn() { settings.voice = SYSTEM::VOICE::ON; }
    void SetVoiceGuidanceOff() { settings.voice = SYSTEM::VOICE::OFF; }
    // Read by the speed camera's prompt thread while the menus set it.
    bool IsSafetyDrivingOn();
    void SetSafetyDrivingOn();
    void SetSafetyDrivingOff();
    SYSTEM::VIEW::VALUE GetView() const { return SYSTEM::VIEW::VALUE(settings.view); }
    void SetView(SYSTEM::VIEW::VALUE view) { settings.view = view; }
    void SetFrontView() { settings.view = SYSTEM::VIEW::FRONT; }
    void SetRearView() { settings.view = SYSTEM::VIEW::REAR; }
    bool IsFrontView() const { return settings.view == SYSTEM::VIEW::FRONT; }
    SYSTEM::LANGUAGE::VALUE GetLanguage();
    void SetLanguage(SYSTEM::LANGUAGE::VALUE lang);
    bool IsLdwsModeOn() const { return settings.ldws_mode == SYSTEM::LDWS_MODE::ON; }
    void SetLdwsModeOn() { settings.ldws_mode = SYSTEM::LDWS_MODE::ON; }
    void SetLdwsModeOff() { settings.ldws_mode = SYSTEM::LDWS_MODE::OFF; }
    bool IsFcwsModeOn() const { return settings.fcws_mode == SYSTEM::FCWS_MODE::ON; }
    void SetFcwsModeOn() { settings.fcws_mode = SYSTEM::FCWS_MODE::ON; }
    void SetFcwsModeOff() { settings.fcws_mode = SYSTEM::FCWS_MODE::OFF; }
    bool GetSecurity() const { return settings.security == SYSTEM::SECURITY::ON; }
    void SetSecurity(SYSTEM::SECURITY::VALUE security, const char* lockpin);
    bool DoesLockPinMatch(const char* input);
    SYSTEM::BOOT_MODE::VALUE GetBootMode();
    void SetBootMode(SYSTEM::BOOT_MODE::VALUE boot_mode);
    SYSTEM::SELF_CHK_STATE::VALUE GetSelfChkState();
    void SetSelfChkState(SYSTEM::SELF_CHK_STATE::VALUE self_chk_state);
    std::string GetSSID();
    std::string GetPassword();
    // The access point's name and passphrase go into its configuration file
    // and into shell commands: a text that is not safe there is refused
    // (false) and the old value kept.
    bool SetSSID(const char* ssid);
    bool SetPassword(const char* pw);
    // What a log shows in place of the passphrase; the card leaves the car.
    static constexpr char HIDDEN_VALUE[] = "********";
    // A text in the preferences' text form as a log may show it: the
    // passphrase's value hidden, everything else byte for byte.
    static std::string WithoutPassphrase(const std::string& text);
    int GetTimezone() const { return settings.timezone; }
    void SetTimezone(int timezone);
    void IncreaseBootingCount() { ++settings.booting_count; }
    int GetBootingCount() const { return settings.booting_count; }
    void ResetBootingCount() { settings.booting_count = 0; }
    void GetLcdCalibrationData(int* start_x, int* start_y, int* end_x, int* end_y) const;
    void SetLcdCalibrationData(int start_x, int start_y, int end_x, int end_y);
    void DefaultSetLcdCalibration();

    // Parking-alarm record.
    bool IsParkingAlarmUsed() const { return alarm.use == 1; }
    int EventCounterInParking() const { return alarm.event; }
    int MotionCounterInParking() const { return alarm.motion; }
    void IncreaseEventRecording();
    void IncreaseMotionRecording();
    void ResetParkingAlarmCount();
    void ResetUseParkingAlarm();

    // Pending record.
    void SetTempVideoSize(RECORDING::VIDEO_SIZE::VALUE size) { format.video_size = size; }
    RECORDING::VIDEO_SIZE::VALUE GetTempVideoSize() const { return RECORDING::VIDEO_SIZE::VALUE(format.video_size); }
    void SetTempNightvision(RECORDING::NIGHTVISION::VALUE value) { format.nightvision = value; }
    RECORDING::NIGHTVISION::VALUE GetTempNightvision() const { return RECORDING::NIGHTVISION::VALUE(format.nightvision); }
    void SetTempLongTimeRecord(RECORDING::LONGTIME_RECORD::VALUE value) { format.longtime = value; }
    RECORDING::LONGTIME_RECORD::VALUE GetTempLongTimeRecord() const { return RECORDING::LONGTIME_RECORD::VALUE(format.longtime); }
    void SetTempParkingMode(PARKING::MODE::VALUE mode);
    bool GetTempParkingMode() const { return format.mode == PARKING::MODE::ON; }
    void SetTempStorage(RECORDING::STORAGE::VALUE storage);
    RECORDING::STORAGE::VALUE GetTempStorage() const { return RECORDING::STORAGE::VALUE(format.storage); }
    void SetTempValues();
    bool FormatNeeded();
    bool RebootNeeded();
    char* GetTempLockPinBuffer1() { return format.lockpin1; }
    char* GetTempLockPinBuffer2() { return format.lockpin2; }
    void SetForcedUnlock() { format.forcedUnlock = true; }
    bool GetForcedUnlock() const { return format.forcedUnlock; }

    // Run-time flags, never stored.
    void SetBootAnnounce(bool on) { _boot_announce = on; }
    bool GetBootAnnounce() const { return _boot_announce; }
    void SetBootMessage(bool on) { _boot_message = on; }
    bool GetBootMessage() const { return _boot_message; }
    void SetBootStatus(SYSTEM::BOOT_MODE::VALUE status) { _boot_status = status; }
    SYSTEM::BOOT_MODE::VALUE GetBootStatus() const { return _boot_status; }
    bool needMotionSensitivity() const { return setMotionSensitivity; }
    void alreadySetMotionSensitivity() { setMotionSensitivity = true; }
    void SetPowerStatus(bool on) { _power_status = on; }
    bool GetPowerStatus() const { return _power_status; }
    void TurnOnPower() { _had_turned_on = true; }
    bool HadTurnedOn() const { return _had_turned_on; }

private:
    friend class Singleton<Pref>;
    Pref() = default;

    // The access point's name and passphrase: texts that are safe in its configuration and in shell commands.
    static bool IsValidSsid(const char* text);
    static bool IsValidPassword(const char* text);

    void LoadCalibration();
    void TakeRecord();
    bool RepairRecord();
    void ImportValues(const INIReader& reader);
    void ImportText(const INIReader& reader, const char* key, char* field, const char* fallback, bool secret);
    void SetRefVoltValue(int which, unsigned short value);
    bool GetRefVoltValue(int which, unsigned short& value);

    bool _boot_announce = true;
    bool _boot_message = true;
    SYSTEM::BOOT_MODE::VALUE _boot_status = SYSTEM::BOOT_MODE::MAX;
    bool setMotionSensitivity = false;
    PREF_RECORDING recording;
    PREF_PARKING parking;
    PREF_SYSTEM settings;
    PREF_PARKING_ALARM alarm;
    PREF_FORMAT format;
    PREF_VOLTAGE calib;
    std::array<unsigned char, READ_BUFFER_SIZE> _data {}; // the EEPROM transfer buffer
    // Set by the supply's poller, read by the run mode's loop.
    std::atomic<bool> _power_status{true};
    std::atomic<bool> _had_turned_on{false};
};

} // namespace vk
