// The preferences as INI text (the phone app reads and sends them so) and
// the access point's configuration file written from the stored name and passphrase.

#include "dashrec/core/Pref.h"

#include "dashrec/core/PrefField.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/dvr/CMainDvr.h"

#include <INIReader.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ini.h>
#include <strings.h>

namespace vk {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

const size_t TEXT_BUFFER_SIZE = Pref::READ_BUFFER_SIZE;

const char* const HOSTAPD_TEMPLATE = "##### hostapd configuration file ##############################################\n"
                                     "ssid=%s\n"
                                     "wpa_passphrase=%s\n"
                                     "wpa=2\n"
                                     "wpa_key_mgmt=WPA-PSK\n"
                                     "wpa_pairwise=CCMP\n"
                                     "wpa_group_rekey=86400\n"
                                     "\n"
                                     "#eap_server=1\n"
                                     "wmm_enabled=1\n"
                                     "utf8_ssid=1\n"
                                     "max_num_sta=8\n"
                                     "\n"
                                     "interface=wlan0\n"
                                     "#control_interface=/var/run/hostapd\n"
                                     "driver=nl80211\n"
                                     "\n"
                                     "#ieee80211d=1\n"
                                     "#ieee80211h=1\n"
                                     "#ieee8021x=1\n"
                                     "ieee80211n=1\n"
                                     "ieee80211ac=1\n"
                                     "\n"
                                     "\n"
                                     "###################################################################\n"
                                     "# hw_mode  a (5GHz, 802.11a/n/ac)    b (2.4GHz, 802.11b)\n"
                                     "#            g (2.4 GHz, 802.11g/n)     ad (60GHz, 802.11ad)\n"
                                     "#            any (ACS)\n"
                                     "#\n"
                                     "# channel  2.4GHz (1 ~ 23),  36 ~ 48 (5GHz)\n"
                                     "###################################################################\n"
                                     "#hw_mode=a\n"
                                     "#channel=40\n"
                                     "hw_mode=g\n"
                                     "channel=6\n"
                                     "#acs_num_scans=5\n"
                                     "#acs_chan_bias=1:0.8 6:0.8 11:0.8\n"
                                     "\n"
                                     "country_code=JP\n"
                                     "\n";

// A whole decimal (or 0x hexadecimal) number, as the INI reader would take it.
bool ParseNumber(const std::string& text, long& number)
{
    errno = 0;
    char* end = nullptr;
    number = std::strtol(text.c_str(), &end, 0);
    return !text.empty() && *end == '\0' && errno == 0;
}

bool IsKnownKey(const char* section, const char* key)
{
    if (strcasecmp(section, Pref::STR_Version) == 0)
        return strcasecmp(key, Pref::STR_Version) == 0;
    if (strcasecmp(section, Pref::STR_System) == 0
        && (strcasecmp(key, Pref::STR_ssid) == 0 || strcasecmp(key, Pref::STR_password) == 0))
        return true;
    for (const Pref::Field& field : Pref::Fields()) {
        if ((field.Exported() || field.Imported()) && strcasecmp(section, field.section) == 0
            && strcasecmp(key, field.key) == 0)
            return true;
    }
    return false;
}

int LogUnknownKey(void*, const char* section, const char* key, const char*)
{
    if (!IsKnownKey(section, key))
        Singleton<SDDebug>::Inst()->Print("[Pref]unknown key %s.%s ignored\n", section, key);
    return 1;
}

// The INI reader takes "=" and ":" alike between a key and its value.
const char* const KEY_VALUE_SEPARATORS = "=:";

bool IsPasswordKey(const std::string& line)
{
    size_t separator = line.find_first_of(KEY_VALUE_SEPARATORS);
    if (separator == std::string::npos)
        return false;
    std::string key = line.substr(0, separator);
    key.erase(0, key.find_first_not_of(" \t"));
    key.erase(key.find_last_not_of(" \t") + 1);
    return strcasecmp(key.c_str(), Pref::STR_password) == 0;
}

} // namespace

// Line by line, each kept with its own line end (CR, LF or both, as sent);
// a continuation of the passphrase's value goes with it.
std::string Pref::WithoutPassphrase(const std::string& text)
{
    const char* const LINE_ENDS = "\r\n";
    std::string shown;
    bool hiding = false;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = std::min(text.find_first_of(LINE_ENDS, begin), text.size());
        size_t next = std::min(text.find_first_not_of(LINE_ENDS, end), text.size());
        std::string line = text.substr(begin, end - begin);
        std::string lineEnd = text.substr(end, next - end);
        begin = next;
        bool continuation = !line.empty() && (line[0] == ' ' || line[0] == '\t');
        if (IsPasswordKey(line)) {
            shown += line.substr(0, line.find_first_of(KEY_VALUE_SEPARATORS) + 1) + " " + HIDDEN_VALUE + lineEnd;
            hiding = true;
        } else if (!hiding || !continuation) {
            shown += line + lineEnd;
            hiding = false;
        }
    }
    return shown;
}

// The stored numbers in the order of the text form; the ones it does not carry follow.
const std::vector<Pref::Field>& Pref::Fields()
{
    const int X = Field::EXPORTED;
    const int XI = Field::EXPORTED | Field::IMPORTED;
    const int C = Field::CHECKED;
    static const std::vector<Field> fields = {
        { STR_Recording, STR_video_size, XI, [](Pref& p) -> int32_t& { return p.recording.video_size; }, 0, RECORDING::VIDEO_SIZE::MAX - 1, DEF_VIDEO_SIZE },
        { STR_Recording, STR_gsensor, XI, [](Pref& p) -> int32_t& { return p.recording.sensor; }, 0, RECORDING::GSENSOR::MAX - 1, DEF_NORMAL_GSENSOR },
        { STR_Recording, STR_mic, XI, [](Pref& p) -> int32_t& { return p.recording.mic; }, 0, RECORDING::MIC::MAX - 1, DEF_MIC },
        { STR_Recording, STR_rear, X, [](Pref& p) -> int32_t& { return p.recording.rear; }, 0, RECORDING::REAR::MAX - 1, DEF_REAR },
        { STR_Recording, STR_storage, X, [](Pref& p) -> int32_t& { return p.recording.storage; }, 0, RECORDING::STORAGE::MAX - 1, DEF_STORAGE },
        { STR_Recording, STR_nightvision, X, [](Pref& p) -> int32_t& { return p.recording.nightvision; }, 0, RECORDING::NIGHTVISION::MAX - 1, DEF_NIGHTVISION },
        { STR_Recording, STR_mirror_rear, X, [](Pref& p) -> int32_t& { return p.recording.mirror_rear; }, 0, RECORDING::MIRROR_REAR::MAX - 1, DEF_MIRROR_REAR },
        { STR_Parking, STR_mode, XI, [](Pref& p) -> int32_t& { return p.parking.mode; }, 0, PARKING::MODE::MAX - 1, DEF_MODE },
        { STR_Parking, STR_gsensor, XI, [](Pref& p) -> int32_t& { return p.parking.sensor; }, 0, PARKING::GSENSOR::MAX - 1, DEF_PARKING_GSENSOR },
        { STR_Parking, STR_motion, XI, [](Pref& p) -> int32_t& { return p.parking.motion; }, 0, PARKING::MOTION::MAX - 1, DEF_MOTION },
        { STR_Parking, STR_voltage, XI, [](Pref& p) -> int32_t& { return p.parking.voltage; }, 0, PARKING::VOLTAGE::MAX - 1, DEF_PARKING_VOLTAGE },
        { STR_Parking, STR_temperature, XI, [](Pref& p) -> int32_t& { return p.parking.temperature; }, 0, PARKING::TEMPERATURE::MAX - 1, DEF_TEMPERATURE },
        { STR_Parking, STR_offtimer, XI, [](Pref& p) -> int32_t& { return p.parking.offtimer; }, 0, PARKING::OFFTIMER::MAX - 1, DEF_OFFTIMER },
        { STR_Parking, STR_self_checking, XI, [](Pref& p) -> int32_t& { return p.parking.self_checking; }, 0, PARKING::SELF_CHECKING::MAX - 1, DEF_SELF_CHECKING },
        { STR_System, STR_display, XI, [](Pref& p) -> int32_t& { return p.settings.display; }, 0, SYSTEM::DISPLAY::MAX - 1, DEF_DISPLAY },
        { STR_System, STR_volume, XI, [](Pref& p) -> int32_t& { return p.settings.volume; }, 0, SYSTEM::VOLUME::MAX - 1, DEF_VOLUME },
        { STR_System, STR_voice, XI, [](Pref& p) -> int32_t& { return p.settings.voice; }, 0, SYSTEM::VOICE::MAX - 1, DEF_VOICE },
        { STR_System, STR_safety, XI, [](Pref& p) -> int32_t& { return p.settings.safety; }, 0, SYSTEM::SAFETY::MAX - 1, DEF_SAFETY },
        { STR_System, STR_view, XI, [](Pref& p) -> int32_t& { return p.settings.view; }, 0, SYSTEM::VIEW::MAX - 1, DEF_VIEW },
        { STR_System, STR_language, XI, [](Pref& p) -> int32_t& { return p.settings.language; }, 0, SYSTEM::LANGUAGE::MAX - 1, DEF_LANGUAGE },
        { STR_System, STR_timezone, X, [](Pref& p) -> int32_t& { return p.settings.timezone; }, -12, 12, DEF_TIMEZONE },
        { STR_Alarm, STR_use, X, [](Pref& p) -> int32_t& { return p.alarm.use; }, 0, 1, 0 },
        { STR_Alarm, STR_event, X, [](Pref& p) -> int32_t& { return p.alarm.event; }, 0, INT32_MAX, 0 },
        { STR_Alarm, STR_motion, X, [](Pref& p) -> int32_t& { return p.alarm.motion; }, 0, INT32_MAX, 0 },
        { STR_Recording, "ev", C, [](Pref& p) -> int32_t& { return p.recording.ev; }, 0, RECORDING::EV::MAX - 1, DEF_EV },
        { STR_Recording, STR_longtime, C, [](Pref& p) -> int32_t& { return p.recording.longtime; }, 0, RECORDING::LONGTIME_RECORD::MAX - 1, DEF_LONGTIME_RECORD },
        { STR_System, STR_wifi, C, [](Pref& p) -> int32_t& { return p.settings.wifi; }, 0, SYSTEM::WIFI::MAX - 1, DEF_WIFI },
        { STR_System, "ldws_mode", C, [](Pref& p) -> int32_t& { return p.settings.ldws_mode; }, 0, SYSTEM::LDWS_MODE::MAX - 1, DEF_LDWS_MODE },
        { STR_System, "fcws_mode", C, [](Pref& p) -> int32_t& { return p.settings.fcws_mode; }, 0, SYSTEM::FCWS_MODE::MAX - 1, DEF_FCWS_MODE },
        { STR_System, STR_security, C, [](Pref& p) -> int32_t& { return p.settings.security; }, 0, SYSTEM::SECURITY::MAX - 1, DEF_SECURITY },
        { STR_System, STR_boot_mode, C, [](Pref& p) -> int32_t& { return p.settings.boot_mode; }, 0, SYSTEM::BOOT_MODE::MAX - 1, DEF_BOOT_MODE },
        { STR_System, "self_chk_state", C, [](Pref& p) -> int32_t& { return p.settings.self_chk_state; }, 0, SYSTEM::SELF_CHK_STATE::MAX - 1, DEF_SELF_CHK_STATE },
    };
    return fields;
}

// buf holds READ_BUFFER_SIZE bytes; the callers hold the lock.
void Pref::GetString(char* buf)
{
    VK_ASSERT(buf != nullptr);
    std::string text = std::string("[") + STR_Version + "]\r\n" + STR_Version + " = " + std::to_string(VER) + "\r\n";
    const char* section = STR_Version;
    for (const Field& field : Fields()) {
        if (!field.Exported())
            continue;
        if (std::strcmp(section, field.section) != 0)
            text += std::string("\r\n[") + field.section + "]\r\n";
        section = field.section;
        text += std::string(field.key) + " = " + std::to_string(field.value(*this)) + "\r\n";
    }
    size_t length = std::min(text.size(), TEXT_BUFFER_SIZE - 1);
    std::memcpy(buf, text.c_str(), length);
    buf[length] = '\0';
}

std::string Pref::ToString()
{
    Lock lock(_mutex);
    std::vector<char> buf(TEXT_BUFFER_SIZE);
    GetString(buf.data());
    VK_ASSERT(strlen(buf.data()) < buf.size() - 1);
    return buf.data();
}

bool Pref::Save(const std::string& text)
{
    SDDebug* log = Singleton<SDDebug>::Inst();
    FILE* file = std::fopen(STR_PREF_FILE, "w");
    if (file == nullptr) {
        log->Print("[Pref]%s can't be written\n", STR_PREF_FILE);
        return false;
    }
    size_t written = std::fwrite(text.data(), 1, text.size(), file);
    bool closed = std::fclose(file) == 0;
    if (written != text.size() || !closed) {
        log->Print("[Pref]%s can't be written\n", STR_PREF_FILE);
        return false;
    }
    log->Print("[Pref]App changes save file\n");
    log->Print("%s\n", WithoutPassphrase(text).c_str());
    return true;
}

// A text that cannot be read whole is refused whole: a half-received file
// would otherwise reset every setting it lost to its default.
bool Pref::LoadFromFile()
{
    Lock lock(_mutex);
    SDDebug* log = Singleton<SDDebug>::Inst();
    INIReader reader(STR_PREF_FILE);
    if (reader.ParseError() < 0) {
        log->Print("[Pref]%s not found, error\n", STR_PREF_FILE);
        return false;
    }
    if (reader.ParseError() > 0) {
        log->Print("[Pref]%s line %d unreadable, nothing imported\n", STR_PREF_FILE, reader.ParseError());
        return false;
    }
    long version = reader.GetInteger(STR_Version, STR_Version, 0);
    if (version != VER) {
        log->Print("[Pref]current ver:%d, saved ver:%ld mismatched\n", VER, version);
        return false;
    }
    ini_parse(STR_PREF_FILE, LogUnknownKey, nullptr);
    ImportValues(reader);
    format.mode = parking.mode;
    log->Print("[Pref]Loading from file successful\n");
    Save();
    return true;
}

// A key that is missing takes its default; one whose value is not a valid
// choice keeps the current value.
void Pref::ImportValues(const INIReader& reader)
{
    for (const Field& field : Fields()) {
        if (!field.Imported())
            continue;
        int32_t& value = field.value(*this);
        if (!reader.HasValue(field.section, field.key)) {
            value = field.def;
            continue;
        }
        long number = 0;
        if (ParseNumber(reader.Get(field.section, field.key, ""), number) && field.Accepts(number)) {
            value = static_cast<int32_t>(number);
            continue;
        }
        Singleton<SDDebug>::Inst()->Print("[Pref]%s.%s = %.16s refused, kept %d\n", field.section, field.key,
            reader.Get(field.section, field.key, "").c_str(), value);
    }
    ImportText(reader, STR_ssid, settings.ssid, DEF_SSID, false);
    ImportText(reader, STR_password, settings.password, DEF_PASSWORD, true);
}

void Pref::ImportText(const INIReader& reader, const char* key, char* field, const char* fallback, bool secret)
{
    std::string text = reader.Get(STR_System, key, fallback);
    bool valid = secret ? IsValidPassword(text.c_str()) : IsValidSsid(text.c_str());
    if (!valid) {
        Singleton<SDDebug>::Inst()->Print("[Pref]%s.%s = %.16s refused, kept the old one\n", STR_System, key,
            secret ? HIDDEN_VALUE : text.c_str());
        return;
    }
    std::memset(field, 0, TEXT_FIELD_SIZE);
    std::memcpy(field, text.c_str(), text.size());
}

void Pref::SetHostapd()
{
    std::vector<char> buf(TEXT_BUFFER_SIZE);
    int len = std::snprintf(buf.data(), buf.size(), HOSTAPD_TEMPLATE, settings.ssid, settings.password);
    VK_ASSERT(len < static_cast<int>(buf.size()));
    const std::string& path = CMainDvr::PATH_HOSTAPD_CONF;
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        // Without the file the access point cannot start, but recording goes on.
        Singleton<SDDebug>::Inst()->Print("[Pref]%s can't be written\n", path.c_str());
        return;
    }
    if (std::fwrite(buf.data(), 1, static_cast<size_t>(len), file) < static_cast<size_t>(len))
        std::printf("write hostapd file error");
    std::fclose(file);
}

} // namespace vk
