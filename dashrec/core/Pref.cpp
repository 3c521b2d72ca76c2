// The preference model: defaults, range-checked accessors and the tables that
// turn stored choices into the thresholds the device services use.

#include "dashrec/core/Pref.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/devices/Micom.h"

#include <cstdio>
#include <cstring>

namespace vk {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

const std::array<float, 6> NORMAL_GSENSOR_G = { 100.0f, 1.2f, 1.0f, 0.9f, 0.8f, 0.7f };
const std::array<float, 5> PARKING_GSENSOR_G = { 0.3f, 0.25f, 0.21f, 0.205f, 0.2f };
const std::array<int, 3> MOTION_SENSITIVITY = { 3, 2, 1 };
// The 12 V cut-offs, then the 24 V ones of a truck.
const std::array<float, 10> CUTOFF_VOLTS = { 11.0f, 11.8f, 12.0f, 12.2f, 12.4f, 22.0f, 23.6f, 24.0f, 24.4f, 24.8f };
const int TRUCK_VOLTAGE_OFFSET = 5;
const std::array<float, 4> CUTOFF_CELSIUS = { 60.0f, 70.0f, 75.0f, 80.0f };
const std::array<int64_t, 5> OFFTIMER_SECONDS = { 10800, 21600, 43200, 86400, 172800 };
const std::array<int, 3> BRIGHTNESS = { -30, 0, +30 };

const int RECORDING_FPS = 30;

template <typename T, size_t N>
T TableValue(const std::array<T, N>& values, int32_t index, const char* expr)
{
    if (index < 0 || static_cast<size_t>(index) >= values.size())
        VK_ASSERT_REPORT(expr);
    return values[static_cast<size_t>(index)];
}

void CopyText(char* field, size_t size, const char* text)
{
    std::memset(field, 0, size);
    std::strncpy(field, text, size - 1);
}

// "longer than 4 characters" for the name; WPA refuses passphrases below 8.
const size_t SSID_MIN_LENGTH = 5;
const size_t PASSWORD_MIN_LENGTH = 8;

// Printable ASCII that fits its field, without the characters a shell acts on inside quotes.
bool IsAccessPointText(const char* text, size_t minLength)
{
    if (text == nullptr)
        return false;
    size_t length = std::strlen(text);
    if (length < minLength || length >= static_cast<size_t>(Pref::TEXT_FIELD_SIZE))
        return false;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < 0x20 || *c > 0x7E || std::strchr("\"'`$\\", *c) != nullptr)
            return false;
    }
    return true;
}

} // namespace

void Pref::PREF_RECORDING::SetDefault()
{
    mic = DEF_MIC;
    rear = DEF_REAR;
    sensor = DEF_NORMAL_GSENSOR;
    storage = DEF_STORAGE;
    video_size = DEF_VIDEO_SIZE;
    ev = DEF_EV;
    nightvision = DEF_NIGHTVISION;
    mirror_rear = DEF_MIRROR_REAR;
    longtime = DEF_LONGTIME_RECORD;
}

void Pref::PREF_PARKING::SetDefault()
{
    mode = DEF_MODE;
    motion = DEF_MOTION;
    sensor = DEF_PARKING_GSENSOR;
    voltage = DEF_PARKING_VOLTAGE;
    temperature = DEF_TEMPERATURE;
    offtimer = DEF_OFFTIMER;
    self_checking = DEF_SELF_CHECKING;
}

Pref::PREF_SYSTEM::PREF_SYSTEM()
    : touch_start_x(DEF_TOUCH_SENSOR_START_X)
    , touch_start_y(DEF_TOUCH_SENSOR_START_Y)
    , touch_end_x(DEF_TOUCH_SENSOR_END_X)
    , touch_end_y(DEF_TOUCH_SENSOR_END_Y)
{
    SetDefault();
}

// The touch box is left alone: it belongs to the panel fitted, not to the user.
void Pref::PREF_SYSTEM::SetDefault()
{
    display = DEF_DISPLAY;
    wifi = DEF_WIFI;
    volume = DEF_VOLUME;
    voice = DEF_VOICE;
    safety = DEF_SAFETY;
    view = DEF_VIEW;
    language = DEF_LANGUAGE;
    ldws_mode = DEF_LDWS_MODE;
    fcws_mode = DEF_FCWS_MODE;
    security = DEF_SECURITY;
    boot_mode = DEF_BOOT_MODE;
    self_chk_state = DEF_SELF_CHK_STATE;
    CopyText(ssid, sizeof(ssid), DEF_SSID);
    CopyText(password, sizeof(password), DEF_PASSWORD);
    CopyText(lockpin, sizeof(lockpin), DEF_PINCODE);
    timezone = DEF_TIMEZONE;
    booting_count = 0;
}

void Pref::PREF_PARKING_ALARM::SetDefault()
{
    use = 0;
    motion = 0;
    event = 0;
}

Pref::PREF_FORMAT::PREF_FORMAT()
    : mode(PARKING::MODE::ON)
    , storage(RECORDING::STORAGE::INTERNAL)
    , video_size(RECORDING::VIDEO_SIZE::WQHD)
    , nightvision(RECORDING::NIGHTVISION::OFF)
    , longtime(RECORDING::LONGTIME_RECORD::OFF)
    , forcedUnlock(false)
    , lockpin1 {}
    , lockpin2 {}
{
}

// ---- recording

bool Pref::IsRearCameraOn()
{
    Lock lock(_mutex);
    return recording.rear == RECORDING::REAR::ON;
}

void Pref::SetRearCameraOn()
{
    Lock lock(_mutex);
    recording.rear = RECORDING::REAR::ON;
}

void Pref::SetRearCameraOff()
{
    Lock lock(_mutex);
    recording.rear = RECORDING::REAR::OFF;
}

RECORDING::GSENSOR::VALUE Pref::GetNormalGsensorSensitivity()
{
    Lock lock(_mutex);
    VK_ASSERT(recording.sensor >= RECORDING::GSENSOR::OFF && recording.sensor < RECORDING::GSENSOR::MAX);
    return RECORDING::GSENSOR::VALUE(recording.sensor);
}

void Pref::SetNormalGsensorSensitivity(RECORDING::GSENSOR::VALUE sensor)
{
    Lock lock(_mutex);
    VK_ASSERT(sensor >= RECORDING::GSENSOR::OFF && sensor < RECORDING::GSENSOR::MAX);
    recording.sensor = sensor;
}

float Pref::GetNormalGsensorValue()
{
    Lock lock(_mutex);
    return TableValue(NORMAL_GSENSOR_G, recording.sensor, "recording.sensor < values.size()");
}

bool Pref::IsInternalStorageUsed()
{
    Lock lock(_mutex);
    return recording.storage == RECORDING::STORAGE::INTERNAL;
}

void Pref::SetInternalStorageRecording()
{
    Lock lock(_mutex);
    recording.storage = RECORDING::STORAGE::INTERNAL;
}

void Pref::SetSdCardRecording()
{
    Lock lock(_mutex);
    recording.storage = RECORDING::STORAGE::SDCARD;
}

int Pref::GetResolutionHeight(RECORDING::VIDEO_SIZE::VALUE size)
{
    switch (size) {
    case RECORDING::VIDEO_SIZE::WQHD:
        return 1440;
    case RECORDING::VIDEO_SIZE::FHD:
        return 1080;
    default:
        return 720;
    }
}

std::string Pref::GetResolutionHeightString(RECORDING::VIDEO_SIZE::VALUE size)
{
    switch (size) {
    case RECORDING::VIDEO_SIZE::WQHD:
        return "wqhd";
    case RECORDING::VIDEO_SIZE::FHD:
        return "fhd";
    default:
        return "hd";
    }
}

int Pref::GetFrontCameraResolutionHeight()
{
    Lock lock(_mutex);
    return GetResolutionHeight(GetVideoSize());
}

std::string Pref::GetFrontCameraResolutionHeightString()
{
    Lock lock(_mutex);
    return GetResolutionHeightString(GetVideoSize());
}

// The rear camera records full HD whatever the front's size.
int Pref::GetRearCameraResolutionHeight()
{
    Lock lock(_mutex);
    return GetResolutionHeight(RECORDING::VIDEO_SIZE::FHD);
}

std::string Pref::GetRearCameraResolutionHeightString()
{
    Lock lock(_mutex);
    return GetResolutionHeightString(RECORDING::VIDEO_SIZE::FHD);
}

int Pref::GetFps()
{
    Lock lock(_mutex);
    return RECORDING_FPS;
}

int Pref::GetParkingFps()
{
    Lock lock(_mutex);
    return IsParkingModeOn() ? RECORDING_FPS : 0;
}

void Pref::WriteIsp()
{
    Lock lock(_mutex);
    SetBrightness();
}

// Applied at once, on the caller's thread: the engine's image tuning is synchronous.
void Pref::SetBrightness()
{
    int32_t ev = Singleton<Pref>::Inst()->GetEV();
    if (ev < 0 || static_cast<size_t>(ev) >= BRIGHTNESS.size())
        VK_ASSERT(0 && "Invalid EV value");
    BmWorks::Inst()->SetBrightness(BRIGHTNESS[static_cast<size_t>(ev)]);
}

// ---- parking

PARKING::MOTION::VALUE Pref::GetMotionSensitivity()
{
    Lock lock(_mutex);
    VK_ASSERT(parking.motion >= PARKING::MOTION::LEVEL_1 && parking.motion < PARKING::MOTION::MAX);
    return PARKING::MOTION::VALUE(parking.motion);
}

void Pref::SetMotionSensitivity(PARKING::MOTION::VALUE motion)
{
    Lock lock(_mutex);
    VK_ASSERT(motion >= PARKING::MOTION::LEVEL_1 && motion < PARKING::MOTION::MAX);
    parking.motion = motion;
    setMotionSensitivity = false; // handed to the media engine at the next parking start
}

int Pref::GetMotionSensitivityValue()
{
    Lock lock(_mutex);
    return MOTION_SENSITIVITY[GetMotionSensitivity()];
}

PARKING::GSENSOR::VALUE Pref::GetParkingGsensorSensitivity()
{
    Lock lock(_mutex);
    VK_ASSERT(parking.sensor >= PARKING::GSENSOR::LEVEL_1 && parking.sensor < PARKING::GSENSOR::MAX);
    return PARKING::GSENSOR::VALUE(parking.sensor);
}

void Pref::SetParkingGsensorSensitivity(PARKING::GSENSOR::VALUE sensor)
{
    Lock lock(_mutex);
    VK_ASSERT(sensor >= PARKING::GSENSOR::LEVEL_1 && sensor < PARKING::GSENSOR::MAX);
    parking.sensor = sensor;
}

float Pref::GetParkingGsensorValue()
{
    Lock lock(_mutex);
    return TableValue(PARKING_GSENSOR_G, parking.sensor, "parking.sensor < values.size()");
}

PARKING::VOLTAGE::VALUE Pref::GetVoltage()
{
    Lock lock(_mutex);
    VK_ASSERT(parking.voltage >= PARKING::VOLTAGE::V11_0 && parking.voltage < PARKING::VOLTAGE::MAX);
    return PARKING::VOLTAGE::VALUE(parking.voltage);
}

void Pref::SetVoltage(PARKING::VOLTAGE::VALUE voltage)
{
    Lock lock(_mutex);
    VK_ASSERT(voltage >= PARKING::VOLTAGE::V11_0 && voltage < PARKING::VOLTAGE::MAX);
    parking.voltage = voltage;
}

float Pref::GetVoltageValue()
{
    Lock lock(_mutex);
    int index = GetVoltage();
    if (Singleton<Micom>::Inst()->IsTruck())
        index += TRUCK_VOLTAGE_OFFSET;
    return CUTOFF_VOLTS[static_cast<size_t>(index)];
}

PARKING::TEMPERATURE::VALUE Pref::GetTemperature()
{
    Lock lock(_mutex);
    VK_ASSERT(parking.temperature >= PARKING::TEMPERATURE::T60 && parking.temperature < PARKING::TEMPERATURE::MAX);
    return PARKING::TEMPERATURE::VALUE(parking.temperature);
}

void Pref::SetTemperature(PARKING::TEMPERATURE::VALUE temperature)
{
    Lock lock(_mutex);
    VK_ASSERT(temperature >= PARKING::TEMPERATURE::T60 && temperature < PARKING::TEMPERATURE::MAX);
    parking.temperature = temperature;
}

float Pref::GetTemperatureValue()
{
    Lock lock(_mutex);
    return CUTOFF_CELSIUS[GetTemperature()];
}

PARKING::OFFTIMER::VALUE Pref::GetOffTimer()
{
    Lock lock(_mutex);
    VK_ASSERT(parking.offtimer >= PARKING::OFFTIMER::H3 && parking.offtimer < PARKING::OFFTIMER::MAX);
    return PARKING::OFFTIMER::VALUE(parking.offtimer);
}

void Pref::SetOffTimer(PARKING::OFFTIMER::VALUE timer)
{
    Lock lock(_mutex);
    VK_ASSERT(timer >= PARKING::OFFTIMER::H3 && timer < PARKING::OFFTIMER::MAX);
    parking.offtimer = timer;
}

int64_t Pref::GetOffTimerValue()
{
    Lock lock(_mutex);
    return OFFTIMER_SECONDS[GetOffTimer()];
}

// ---- system

SYSTEM::DISPLAY::VALUE Pref::GetLCDDisplay()
{
    Lock lock(_mutex);
    VK_ASSERT(settings.display >= SYSTEM::DISPLAY::OFF && settings.display < SYSTEM::DISPLAY::MAX);
    return SYSTEM::DISPLAY::VALUE(settings.display);
}

void Pref::SetLCDDisplay(SYSTEM::DISPLAY::VALUE lcd)
{
    Lock lock(_mutex);
    VK_ASSERT(lcd >= SYSTEM::DISPLAY::OFF && lcd < SYSTEM::DISPLAY::MAX);
    settings.display = lcd;
}

bool Pref::IsSafetyDrivingOn()
{
    Lock lock(_mutex);
    return settings.safety == SYSTEM::SAFETY::ON;
}

void Pref::SetSafetyDrivingOn()
{
    Lock lock(_mutex);
    settings.safety = SYSTEM::SAFETY::ON;
}

void Pref::SetSafetyDrivingOff()
{
    Lock lock(_mutex);
    settings.safety = SYSTEM::SAFETY::OFF;
}

SYSTEM::VOLUME::VALUE Pref::GetVolume()
{
    Lock lock(_mutex);
    VK_ASSERT(settings.volume >= SYSTEM::VOLUME::OFF && settings.volume < SYSTEM::VOLUME::MAX);
    return SYSTEM::VOLUME::VALUE(settings.volume);
}

void Pref::SetVolume(SYSTEM::VOLUME::VALUE vol)
{
    Lock lock(_mutex);
    VK_ASSERT(vol >= SYSTEM::VOLUME::OFF && vol < SYSTEM::VOLUME::MAX);
    settings.volume = vol;
}

SYSTEM::LANGUAGE::VALUE Pref::GetLanguage()
{
    Lock lock(_mutex);
    VK_ASSERT(settings.language >= (SYSTEM::LANGUAGE::VALUE) 0 && settings.language < SYSTEM::LANGUAGE::MAX);
    return SYSTEM::LANGUAGE::VALUE(settings.language);
}

void Pref::SetLanguage(SYSTEM::LANGUAGE::VALUE lang)
{
    Lock lock(_mutex);
    VK_ASSERT(lang >= (SYSTEM::LANGUAGE::VALUE) 0 && lang < SYSTEM::LANGUAGE::MAX);
    settings.language = lang;
}

void Pref::SetSecurity(SYSTEM::SECURITY::VALUE security, const char* lockpin)
{
    Lock lock(_mutex);
    settings.security = security;
    if (lockpin == nullptr)
        return;
    VK_ASSERT(strlen(lockpin) == CODE_LENGTH);
    CopyText(settings.lockpin, sizeof(settings.lockpin), lockpin);
}

bool Pref::DoesLockPinMatch(const char* input)
{
    Lock lock(_mutex);
    VK_ASSERT(input != nullptr);
    return std::strcmp(input, settings.lockpin) == 0;
}

SYSTEM::BOOT_MODE::VALUE Pref::GetBootMode()
{
    Lock lock(_mutex);
    VK_ASSERT(settings.boot_mode >= (SYSTEM::BOOT_MODE::VALUE)0 && settings.boot_mode < SYSTEM::BOOT_MODE::MAX);
    return SYSTEM::BOOT_MODE::VALUE(settings.boot_mode);
}

void Pref::SetBootMode(SYSTEM::BOOT_MODE::VALUE boot_mode)
{
    Lock lock(_mutex);
    VK_ASSERT(boot_mode >= (SYSTEM::BOOT_MODE::VALUE)0 && boot_mode < SYSTEM::BOOT_MODE::MAX);
    settings.boot_mode = boot_mode;
}

SYSTEM::SELF_CHK_STATE::VALUE Pref::GetSelfChkState()
{
    Lock lock(_mutex);
    VK_ASSERT(settings.self_chk_state >= (SYSTEM::SELF_CHK_STATE::VALUE)0 && settings.self_chk_state < SYSTEM::SELF_CHK_STATE::MAX);
    return SYSTEM::SELF_CHK_STATE::VALUE(settings.self_chk_state);
}

void Pref::SetSelfChkState(SYSTEM::SELF_CHK_STATE::VALUE self_chk_state)
{
    Lock lock(_mutex);
    VK_ASSERT(self_chk_state >= (SYSTEM::SELF_CHK_STATE::VALUE)0 && self_chk_state < SYSTEM::SELF_CHK_STATE::MAX);
    settings.self_chk_state = self_chk_state;
    Singleton<SDDebug>::Inst()->Print("Self-Check : %d\n", self_chk_state);
    Save();
}

bool Pref::IsValidSsid(const char* text)
{
    return IsAccessPointText(text, SSID_MIN_LENGTH);
}

bool Pref::IsValidPassword(const char* text)
{
    return IsAccessPointText(text, PASSWORD_MIN_LENGTH);
}

std::string Pref::GetSSID()
{
    Lock lock(_mutex);
    return settings.ssid;
}

std::string Pref::GetPassword()
{
    Lock lock(_mutex);
    return settings.password;
}

bool Pref::SetSSID(const char* ssid)
{
    Lock lock(_mutex);
    if (!IsValidSsid(ssid)) {
        Singleton<SDDebug>::Inst()->Print("[Pref]Wi-Fi name refused, kept %s\n", settings.ssid);
        return false;
    }
    CopyText(settings.ssid, sizeof(settings.ssid), ssid);
    return true;
}

// The passphrase never reaches the log.
bool Pref::SetPassword(const char* pw)
{
    Lock lock(_mutex);
    if (!IsValidPassword(pw)) {
        Singleton<SDDebug>::Inst()->Print("[Pref]Wi-Fi passphrase refused, kept the old one\n");
        return false;
    }
    CopyText(settings.password, sizeof(settings.password), pw);
    return true;
}

void Pref::SetTimezone(int timezone)
{
    Lock lock(_mutex);
    VK_ASSERT(timezone >= -12 && timezone <= 12);
    settings.timezone = timezone;
}

void Pref::GetLcdCalibrationData(int* start_x, int* start_y, int* end_x, int* end_y) const
{
    *start_x = settings.touch_start_x;
    *start_y = settings.touch_start_y;
    *end_x = settings.touch_end_x;
    *end_y = settings.touch_end_y;
}

void Pref::SetLcdCalibrationData(int start_x, int start_y, int end_x, int end_y)
{
    settings.touch_start_x = start_x;
    settings.touch_start_y = start_y;
    settings.touch_end_x = end_x;
    settings.touch_end_y = end_y;
    Singleton<SDDebug>::Inst()->Print("Touch Cal. : %d, %d, %d, %d\n", start_x, start_y, end_x, end_y);
    Save();
}

void Pref::DefaultSetLcdCalibration()
{
    settings.touch_start_x = DEF_TOUCH_SENSOR_START_X;
    settings.touch_start_y = DEF_TOUCH_SENSOR_START_Y;
    settings.touch_end_x = DEF_TOUCH_SENSOR_END_X;
    settings.touch_end_y = DEF_TOUCH_SENSOR_END_Y;
    Singleton<SDDebug>::Inst()->Print("Touch Cal. : default set\n");
    Save();
}

// ---- parking alarm

void Pref::IncreaseEventRecording()
{
    Lock lock(_mutex);
    ++alarm.event;
    std::printf("alarm.event:%d\n", alarm.event);
}

void Pref::IncreaseMotionRecording()
{
    Lock lock(_mutex);
    ++alarm.motion;
    std::printf("alarm.motion:%d\n", alarm.motion);
}

void Pref::ResetParkingAlarmCount()
{
    Lock lock(_mutex);
    alarm.use = 1;
    alarm.motion = 0;
    alarm.event = 0;
    Singleton<SDDebug>::Inst()->Print("[Pref]Reset parking alarm counter\n");
}

void Pref::ResetUseParkingAlarm()
{
    Lock lock(_mutex);
    alarm.SetDefault();
    Save();
}

// ---- pending record

void Pref::SetTempParkingMode(PARKING::MODE::VALUE mode)
{
    Lock lock(_mutex);
    format.mode = mode;
}

void Pref::SetTempStorage(RECORDING::STORAGE::VALUE storage)
{
    Lock lock(_mutex);
    format.storage = storage;
}

void Pref::SetTempValues()
{
    Lock lock(_mutex);
    format.nightvision = recording.nightvision;
    format.video_size = recording.video_size;
    format.longtime = recording.longtime;
    format.mode = IsParkingModeOn() ? PARKING::MODE::ON : PARKING::MODE::OFF;
    format.storage = IsInternalStorageUsed() ? RECORDING::STORAGE::INTERNAL : RECORDING::STORAGE::SDCARD;
}

// Parking mode, video size and long-time recording change the card's layout.
bool Pref::FormatNeeded()
{
    Lock lock(_mutex);
    bool parkingOn = parking.mode == 1;
    bool equal = parkingOn == GetTempParkingMode() && recording.video_size == format.video_size
        && recording.longtime == format.longtime;
    if (equal)
        return false;
    SDDebug* log = Singleton<SDDebug>::Inst();
    log->Print("Parking mode:%d, Temp Parking mode:%d\n", parkingOn ? 1 : 0, GetTempParkingMode() ? 1 : 0);
    log->Print("Video size:%s, Temp Video size:%s\n", GetResolutionHeightString(GetVideoSize()).c_str(),
        GetResolutionHeightString(GetTempVideoSize()).c_str());
    log->Print("longtime:%d, Temp:%d\n", recording.longtime, GetTempLongTimeRecord());
    return true;
}

bool Pref::RebootNeeded()
{
    Lock lock(_mutex);
    return recording.nightvision != format.nightvision;
}

} // namespace vk
