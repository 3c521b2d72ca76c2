#include "dashrec/modes/ProductionTest.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/Pref.h"
#include "dashrec/ui/UITimer.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/devices/TouchSensor.h"
#include "dashrec/devices/PollingGpio.h"
#include "dashrec/modes/IniValue.h"
#include "dashrec/devices/KeyboardOp.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/devices/Eeprom.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/GSensor.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/menus/EmmcInfo.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace vk {

namespace {

const ProductionTest::AudioTest TONE_AUDIO = {
    "aplay ./rsc/sound/tone440hz.wav",
    "arecord -t raw -c 1 -D hw:0,0 -f S16_LE -d 3 -r 16000 /tmp/tone440hz.pcm",
    "/tmp/tone440hz.pcm",
    4000,
};
// The first second of the recording is skipped; the next one is measured.
const long TONE_SKIP_BYTES = 32000;
const int TONE_SAMPLES = 16000;
const int TONE_PLAY_DELAY_MS = 500;
const int VIEW_SWITCH_PAUSE_MS = 500;
const int MIN_STORAGE_GB = 65;
const int MIN_CLOCK_YEAR = 2016;
const float FIX_TIMER_LIMIT = 3600.0f;

} // namespace

void ProductionTest::Settings::Load(const INIReader& reader)
{
    const char* const section = "settings";
    auto integer = [&](const char* key, int held) {
        return static_cast<int>(IniInteger(reader, section, key, held, INT_MIN, INT_MAX));
    };
    auto ad = [&](const char* key, uint16_t held) {
        return static_cast<uint16_t>(IniInteger(reader, section, key, held, 0, UINT16_MAX));
    };
    micom = integer("micom", micom);
    version = reader.Get(section, "version", version);
    gpslockTime = IniReal(reader, section, "gpslock_time", gpslockTime);
    minVoltage = IniReal(reader, section, "voltage_min", minVoltage);
    maxVoltage = IniReal(reader, section, "voltage_max", maxVoltage);
    minTemperature = integer("temperature_min", minTemperature);
    maxTemperature = integer("temperature_max", maxTemperature);
    minAd = ad("ad_min", minAd);
    maxAd = ad("ad_max", maxAd);
    minAd24 = ad("ad_min_24", minAd24);
    maxAd24 = ad("ad_max_24", maxAd24);
    satellite = integer("gps_nsat", satellite);
    snr = integer("gps_level", snr);
    mic = integer("mic", mic);
}

ProductionTest::ProductionTest(WND::ID window, const char* tag, const PageIds& ids, const std::string& marker,
    const Settings& defaults)
    : ServiceMode(window, tag)
    , _settings(defaults)
    , _ids(ids)
    , _marker(marker)
{
}

ProductionTest::~ProductionTest()
{
    JoinToneWorkers();
}

void ProductionTest::LoadSettings()
{
    INIReader reader(ParameterFile(_marker));
    _loaded = reader.ParseError() >= 0;
    if (_loaded)
        _settings.Load(reader);
    const Settings& s = _settings;
    std::printf("micom:%d, version:%s, voltage:%.1f~%.1f, temp:%d~%d, AD:%d~%d, AD24:%d~%d\n", s.micom, s.version.c_str(),
        s.minVoltage, s.maxVoltage, s.minTemperature, s.maxTemperature, s.minAd, s.maxAd, s.minAd24, s.maxAd24);
}

void ProductionTest::TestEeprom()
{
    _readbuffer.reset(new unsigned char[EEPROM_TEST_SIZE]());
    VK_ASSERT(_readbuffer != nullptr);
    Eeprom* eeprom = Singleton<Eeprom>::Inst();
    _status.eeprom = eeprom->Read(_readbuffer.get(), EEPROM_TEST_SIZE);
    if (_status.eeprom)
        _status.eeprom = eeprom->Write(_readbuffer.get(), EEPROM_TEST_SIZE);
    // A chip can acknowledge a write it does not keep: only reading it back shows that.
    if (_status.eeprom) {
        std::unique_ptr<unsigned char[]> kept(new unsigned char[EEPROM_TEST_SIZE]());
        _status.eeprom = eeprom->Read(kept.get(), EEPROM_TEST_SIZE) &&
                         std::memcmp(kept.get(), _readbuffer.get(), EEPROM_TEST_SIZE) == 0;
        if (!_status.eeprom)
            std::printf("[%s]EEPROM did not keep what was written\n", Tag());
    }
}

void ProductionTest::SetPass(obj_common* item, bool pass)
{
    if (pass)
        item->SetFocus();
    else
        item->SetNormal();
}

bool ProductionTest::Toggle(obj_common* item)
{
    SetPass(item, !item->IsFocused());
    return item->IsFocused();
}

void ProductionTest::BindText(int id, const char* text)
{
    obj_common* item = GetComponent(id);
    VK_ASSERT(item != nullptr);
    if (obj_text* label = GetText(id))
        label->text_ptr = text;
    else if (obj_button* btn = GetButton(id))
        btn->text_ptr = text;
    else
        VK_ASSERT(0 && "a text or a button");
}

void ProductionTest::InitPage()
{
    const PageIds& ids = _ids;
    BindText(ids.gpsTime, _gpstime);
    BindText(ids.clock, _systime);
    BindText(ids.swVersion, _ver);
    BindText(ids.mcuVersion, _micom);
    BindText(ids.totalTime, _totaltime);
    BindText(ids.voltage, _volt);
    BindText(ids.temperature, _temp);
    CheckRtc();
    _start = 0;
    _total = 0;
    obj_image* lang = GetImage(ids.language);
    VK_ASSERT(lang != nullptr);
    LoadVersion(lang);
    lang->SetHide();
    UpdateStrings();
    ShowStorage();
    ShowReferences();
    std::snprintf(_mic, sizeof(_mic), "Mic:0");
    BindText(ids.mic, _mic);
    SendMessage(WM::PAINT);
    SetTimer(TIMER::CFACTORY_MAIN_UPDATE, MAIN_UPDATE_TIME);
}

void ProductionTest::ShowStorage()
{
    obj_common* storage = GetComponent(_ids.storage);
    VK_ASSERT(storage != nullptr);
    EmmcInfo emmc;
    SetPass(storage, std::atoi(emmc.Size()) >= MIN_STORAGE_GB);
}

void ProductionTest::ShowReferences()
{
    Pref* pref = Singleton<Pref>::Inst();
    unsigned short ref12 = 0;
    unsigned short ref24 = 0;
    pref->GetRef12VoltValue(ref12);
    pref->GetRef24VoltValue(ref24);
    int n = std::snprintf(_advalue, sizeof(_advalue), "12V AD:%d, 24V AD:%d", ref12, ref24);
    if (n >= static_cast<int>(sizeof(_advalue)))
        VK_ASSERT_REPORT("strlen(_advalue) < sizeof(_advalue)");
    obj_text* advalue = GetText(_ids.references);
    VK_ASSERT(advalue != nullptr);
    advalue->text_ptr = _advalue;
    const Settings& s = _settings;
    bool inRange = ref12 >= s.minAd && ref12 <= s.maxAd && ref24 >= s.minAd24 && ref24 <= s.maxAd24;
    advalue->color = inRange ? TEXT_OK : TEXT_FAILED;
    std::printf("ref 12V value:%d, 24V value:%d emmc:%s\n", ref12, ref24, "None");
}

void ProductionTest::UpdateTimes()
{
    if (!(_status.gpslock && _status.satlock)) {
        // Held at an hour: a timer that wrapped would take a fix after an hour for one in time.
        _start = std::min(_start + MAIN_UPDATE_TIME / 1000.0f, FIX_TIMER_LIMIT);
    }
    _total = _total + MAIN_UPDATE_TIME / 1000.0f;
    UpdateStrings();
}

void ProductionTest::UpdateStrings()
{
    UpdateClock();
    UpdateSupply();
    int seconds = static_cast<int>(_total);
    std::snprintf(_totaltime, sizeof(_totaltime), "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    UpdateMcu();
    obj_text* swver = GetText(_ids.swVersion);
    VK_ASSERT(swver != nullptr);
    swver->color = _settings.version == _sw ? TEXT_OK : TEXT_FAILED;
    obj_common* acc = GetComponent(_ids.acc);
    VK_ASSERT(acc != nullptr);
    SetPass(acc, Singleton<Micom>::Inst()->GetACCStatus());
    obj_common* gsensor = GetComponent(_ids.gsensor);
    VK_ASSERT(gsensor != nullptr);
    SetPass(gsensor, Singleton<GSensor>::Inst()->CheckDeviceId());
    if (_ids.wifi >= 0) {
        obj_common* wifi = GetComponent(_ids.wifi);
        VK_ASSERT(wifi != nullptr);
        wifi->SetHide();
    }
    obj_common* eeprom = GetComponent(_ids.eeprom);
    VK_ASSERT(eeprom != nullptr);
    SetPass(eeprom, _status.eeprom);
    UpdateGps();
    obj_common* mic = GetComponent(_ids.mic);
    VK_ASSERT(mic != nullptr);
    SetPass(mic, _tone >= _settings.mic);
    std::snprintf(_mic, sizeof(_mic), "Mic:%d", _tone.load());
}

void ProductionTest::UpdateClock()
{
    obj_common* rtc = GetComponent(_ids.rtc);
    VK_ASSERT(rtc != nullptr);
    obj_text* clock = GetText(_ids.clock);
    VK_ASSERT(clock != nullptr);
    Rtc::RtcTime t {};
    _status.rtc = Singleton<Rtc>::Inst()->GetTime(t);
    SetPass(rtc, _status.rtc);
    if (!_status.rtc) {
        clock->color = TEXT_FAILED;
        std::snprintf(_systime, sizeof(_systime), "RTC read ERROR");
        return;
    }
    time_t seconds = Rtc::ToLocalSeconds(t) + Singleton<Pref>::Inst()->GetTimezone() * 3600;
    std::tm local {};
    localtime_r(&seconds, &local);
    int n = std::snprintf(_systime, sizeof(_systime), "%d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900,
        local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    if (n >= static_cast<int>(sizeof(_systime)))
        VK_ASSERT_REPORT("strlen(_systime) < sizeof(_systime)");
    clock->color = local.tm_year + 1900 < MIN_CLOCK_YEAR ? TEXT_FAILED : TEXT_OK;
}

void ProductionTest::UpdateSupply()
{
    Micom* micom = Singleton<Micom>::Inst();
    const Settings& s = _settings;
    float volts = micom->GetVoltage();
    std::snprintf(_volt, sizeof(_volt), "%.1fV", volts);
    obj_common* btnVolt = GetComponent(_ids.voltage);
    VK_ASSERT(btnVolt != nullptr);
    SetPass(btnVolt, volts >= s.minVoltage && volts <= s.maxVoltage);
    int celsius = static_cast<int>(micom->GetTemperature());
    std::snprintf(_temp, sizeof(_temp), "%d°C", celsius);
    obj_common* btnTemp = GetComponent(_ids.temperature);
    VK_ASSERT(btnTemp != nullptr);
    SetPass(btnTemp, celsius >= s.minTemperature && celsius <= s.maxTemperature);
}

void ProductionTest::UpdateMcu()
{
    int version = Singleton<Micom>::Inst()->GetVersion();
    std::snprintf(_micom, sizeof(_micom), "Micom:%d", version);
    obj_text* mcuVersion = GetText(_ids.mcuVersion);
    VK_ASSERT(mcuVersion != nullptr);
    obj_common* mcu = GetComponent(_ids.mcu);
    VK_ASSERT(mcu != nullptr);
    _status.micom = version == _settings.micom;
    SetPass(mcu, _status.micom);
    mcuVersion->color = _status.micom ? TEXT_OK : TEXT_FAILED;
}

void ProductionTest::UpdateGps()
{
    GPS* gps = Singleton<GPS>::Inst();
    int signal = gps->GetSignalAvg();
    int satellites = gps->GetNSat();
    std::snprintf(_gpstime, sizeof(_gpstime), "%d/%ds", signal, static_cast<int>(_start));
    if (signal >= _settings.snr && satellites == _settings.satellite && _start < _settings.gpslockTime)
        _status.satlock = true;
    bool pass = _status.gpslock && _status.satlock;
    obj_common* item = GetComponent(_ids.gps);
    VK_ASSERT(item != nullptr);
    obj_common* time = GetComponent(_ids.gpsTime);
    VK_ASSERT(time != nullptr);
    SetPass(item, pass);
    SetPass(time, pass);
}

void ProductionTest::OnGps(ipc_msg_t& msg)
{
    if (msg.param1 != 0 && _start < _settings.gpslockTime)
        _status.gpslock = true;
}

void ProductionTest::OnInit(ipc_msg_t&)
{
    for (int id : { _ids.keyMenu, _ids.keyUp, _ids.keyDown }) {
        obj_common* btn = GetComponent(id);
        VK_ASSERT(btn != nullptr);
        btn->SetHide();
    }
    InitPage();
}

void ProductionTest::OnTimer(ipc_msg_t& msg)
{
    switch (msg.param1) {
    case TIMER::CFACTORY_MAIN_UPDATE:
        SetTimer(TIMER::CFACTORY_MAIN_UPDATE, MAIN_UPDATE_TIME);
        Update();
        SendMessage(WM::PAINT);
        break;
    case TIMER::TONE_TEST:
        ToneTest();
        break;
    default:
        break;
    }
}

void ProductionTest::FinalizeServices(bool withTouch)
{
    Singleton<GPS>::Inst()->Finalize();
    Singleton<Pref>::Inst()->Finalize();
    Singleton<Micom>::Inst()->Finalize();
    Singleton<GSensor>::Inst()->Finalize();
    if (withTouch)
        Singleton<TouchSensor>::Inst()->Finalize();
    Singleton<UITimer>::Inst()->Finalize();
    UIQueue::Inst()->Finalize();
    Singleton<Resource>::Inst()->Finalize();
    Singleton<PollingGpio>::Inst()->Finalize();
    Singleton<KeyboardOp>::Inst()->Finalize();
    std::this_thread::sleep_for(std::chrono::seconds(1));
}

void ProductionTest::ToneRecord()
{
    StartAudioTest(TONE_AUDIO);
}

void ProductionTest::StartAudioTest(const AudioTest& test)
{
    if (_toneStarted)
        return;
    _toneStarted = true;
    _toneFile = test.file;
    const char* play = test.play;
    _tonePlayer = std::thread([play] {
        std::this_thread::sleep_for(std::chrono::milliseconds(TONE_PLAY_DELAY_MS));
        std::system(play);
    });
    const char* record = test.record;
    _toneRecorder = std::thread([record] { std::system(record); });
    SetTimer(TIMER::TONE_TEST, test.measureAfterMs);
}

void ProductionTest::AlternateLeds()
{
    bool securityOn = _pLedSecurity->IsOn();
    if (securityOn) {
        _pLedSecurity->SetOff();
        _pLedRed->SetOff();
        _pLedBlue->SetOn();
    } else {
        _pLedSecurity->SetOn();
        _pLedRed->SetOn();
        _pLedBlue->SetOff();
    }
}

bool ProductionTest::PressKey(int id)
{
    obj_common* btn = GetComponent(id);
    VK_ASSERT(btn != nullptr);
    // Hidden until first pressed: the operator sees which keys answered.
    btn->SetShow();
    return Toggle(btn);
}

void ProductionTest::PressOk()
{
    _status.keyOk = true;
    if (PressKey(_ids.keyOk)) {
        _pLedRed->SetOn();
        _pLedBlue->SetOn();
    } else {
        _pLedRed->SetOff();
        _pLedBlue->SetOff();
    }
    _rearView = !_rearView;
    BmWorks::Inst()->SetVideoOutConfig(_rearView ? VocRear : VocFront);
    ShowView(_rearView);
}

void ProductionTest::ShowView(bool rear)
{
    obj_common* view = GetComponent(_ids.view);
    VK_ASSERT(view != nullptr);
    SetPass(view, rear);
}

void ProductionTest::ShowCamera(VideoOutConfig config)
{
    BmVideo::SetVisible(false);
    BmWorks::Inst()->SetVideoOutConfig(config);
    std::this_thread::sleep_for(std::chrono::milliseconds(VIEW_SWITCH_PAUSE_MS));
    BmVideo::SetVisible(true);
}

void ProductionTest::JoinToneWorkers()
{
    if (_tonePlayer.joinable())
        _tonePlayer.join();
    if (_toneRecorder.joinable())
        _toneRecorder.join();
}

void ProductionTest::ToneTest()
{
    // The recording is read whole: its worker ends with the recorder.
    if (_toneRecorder.joinable())
        _toneRecorder.join();
    int count = 0;
    long long sum = 0;
    FILE* file = _toneFile != nullptr ? std::fopen(_toneFile, "rb") : nullptr;
    if (file != nullptr) {
        if (std::fseek(file, TONE_SKIP_BYTES, SEEK_SET) == 0) {
            int16_t sample = 0;
            while (count < TONE_SAMPLES && std::fread(&sample, sizeof(sample), 1, file) == 1) {
                sum += std::llabs(sample);
                ++count;
            }
        }
        std::fclose(file);
    }
    if (count != TONE_SAMPLES) {
        std::printf("\n[ToneTest] Error! total count=%d\n", count);
        return;
    }
    _tone = static_cast<int>(sum / TONE_SAMPLES);
    std::printf("\n[ToneTest] OK! total count=%d, sum=%lld, average=%d\n", count, sum, _tone.load());
}

} // namespace vk
