// The preference record at the start of the EEPROM, guarded by a CRC-32, and
// the voltage-calibration record behind it, guarded by an XOR check. A save
// writes the first 256 bytes only, so the calibration survives every save
// and every reset to defaults.

#include "dashrec/core/Pref.h"

#include "dashrec/core/PrefField.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/devices/Eeprom.h"

#include <cstring>

namespace vk {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// The record is the in-memory blocks byte for byte; the board and the host are both little-endian.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the record is stored little-endian");

const size_t OFFSET_VERSION = 0;
const size_t OFFSET_RECORDING = 4;
const size_t OFFSET_PARKING = 40;
const size_t OFFSET_SETTINGS = 68;
const size_t OFFSET_ALARM = 188;
const size_t OFFSET_CRC = 200;
const int PACKED_SIZE = 204;
const size_t CALIB_SIZE = sizeof(Pref::PREF_VOLTAGE);
// A fresh calibration record carries this instead of the valid sync word.
const int32_t CALIB_INVALID_SYNC = int32_t(0xC1C2C3C4);
const size_t CALIB_CHECKED_BYTES = 12;
// The touch box is plausible only when it spans more than this in both directions.
const int32_t TOUCH_MIN_SPAN = 256;

static_assert(sizeof(Pref::PREF_RECORDING) == OFFSET_PARKING - OFFSET_RECORDING, "recording block");
static_assert(sizeof(Pref::PREF_PARKING) == OFFSET_SETTINGS - OFFSET_PARKING, "parking block");
static_assert(sizeof(Pref::PREF_SYSTEM) == OFFSET_ALARM - OFFSET_SETTINGS, "system block");
static_assert(sizeof(Pref::PREF_PARKING_ALARM) == OFFSET_CRC - OFFSET_ALARM, "alarm block");
static_assert(CALIB_SIZE == 16, "calibration record");

struct Crc32Table {
    uint32_t entries[256];
    constexpr Crc32Table()
        : entries()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[i] = c;
        }
    }
};

constexpr Crc32Table CRC32_TABLE;

uint32_t StoredWord(const unsigned char* data, size_t offset)
{
    uint32_t word = 0;
    std::memcpy(&word, data + offset, sizeof(word));
    return word;
}

// A text field must end inside the field and hold what its setter would take.
bool RepairText(char* field, size_t size, bool (*valid)(const char*), const char* def, const char* name)
{
    if (std::memchr(field, '\0', size) != nullptr && valid(field))
        return false;
    std::memset(field, 0, size);
    std::strncpy(field, def, size - 1);
    Singleton<SDDebug>::Inst()->Print("[Pref]stored %s invalid, default set\n", name);
    return true;
}

bool IsLockPin(const char* text)
{
    return std::strlen(text) == static_cast<size_t>(Pref::CODE_LENGTH);
}

} // namespace

unsigned int Pref::CalcCRC32(unsigned int crc, const void* data, unsigned int size)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    crc = ~crc;
    for (unsigned int i = 0; i < size; ++i)
        crc = CRC32_TABLE.entries[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

unsigned int Pref::CalcCRC32(const void* data, unsigned int size)
{
    return CalcCRC32(0, data, size);
}

void Pref::PREF_VOLTAGE::Init()
{
    sync = CALIB_INVALID_SYNC;
    ref12Volt = 0;
    ref24Volt = 0;
    checksum = 0;
}

int Pref::PREF_VOLTAGE::CheckSum() const
{
    unsigned char bytes[CALIB_CHECKED_BYTES];
    std::memcpy(bytes, &sync, 4);
    std::memcpy(bytes + 4, &ref12Volt, 4);
    std::memcpy(bytes + 8, &ref24Volt, 4);
    int sum = 0;
    for (unsigned char byte : bytes)
        sum ^= byte;
    return sum;
}

bool Pref::PREF_VOLTAGE::IsValid(int which) const
{
    int computed = CheckSum();
    Singleton<SDDebug>::Inst()->Print("checksum:%x(cs:%x), sync:%x, ref12Volt:%d, ref24Volt:%d\n", checksum,
        computed, sync, ref12Volt, ref24Volt);
    int32_t reference = which == 0 ? ref12Volt : ref24Volt;
    return checksum == computed && uint32_t(sync) == PREF_VOLTAGE_SYNC && reference != 0;
}

void Pref::Init()
{
    Singleton<Eeprom>::Inst()->Init();
    Load();
}

void Pref::Load()
{
    Lock lock(_mutex);
    SDDebug* log = Singleton<SDDebug>::Inst();
    if (!Singleton<Eeprom>::Inst()->Read(_data.data(), TOTAL_DATA_SIZE)) {
        log->Print("[Pref]EEPROM READ ERROR!! load default\n");
        LoadDefault();
        return;
    }
    log->Print("[Pref]EEPROM READ SUCCESSFUL\n");
    LoadCalibration();

    int32_t version = int32_t(StoredWord(_data.data(), OFFSET_VERSION));
    if (version != VER) {
        log->Print("[Pref]current ver:%d, saved ver:%d mismatched, Load default\n", VER, version);
        LoadDefault();
        return;
    }
    uint32_t stored = StoredWord(_data.data(), OFFSET_CRC);
    uint32_t computed = CalcCRC32(_data.data(), OFFSET_CRC);
    if (stored != computed) {
        // The rejected record is not taken in: its storage choice and touch box are as unsure as the rest.
        log->Print("[Pref]CRC ERROR - read:0x%08X, calc:0x%08X\n", stored, computed);
        LoadDefault();
        return;
    }

    TakeRecord();
    settings.wifi = SYSTEM::WIFI::OFF; // the access point is off after every start
    bool repaired = RepairRecord();
    if (settings.touch_end_x <= settings.touch_start_x + TOUCH_MIN_SPAN
        || settings.touch_end_y <= settings.touch_start_y + TOUCH_MIN_SPAN)
        DefaultSetLcdCalibration();
    else if (repaired)
        Save();
    format.video_size = recording.video_size;
    format.nightvision = recording.nightvision;

    log->Print("[Pref]Loading successful, CRC:0x%08X\n", stored);
    log->Print("%s\n", ToString().c_str());
    SetHostapd();
}

void Pref::LoadCalibration()
{
    SDDebug* log = Singleton<SDDebug>::Inst();
    std::memcpy(&calib, _data.data() + DATA_SIZE, CALIB_SIZE);
    if (!calib.IsValid(0) && !calib.IsValid(1)) {
        log->Print("[Pref]12V, 24V AD calib invalid\n");
        calib.Init();
        return;
    }
    if (!calib.IsValid(0)) {
        log->Print("[Pref]12V AD calib invalid\n");
        calib.ref12Volt = 0;
    }
    if (!calib.IsValid(1)) {
        log->Print("[Pref]24V AD calib invalid\n");
        calib.ref24Volt = 0;
    }
}

void Pref::TakeRecord()
{
    std::memcpy(&recording, _data.data() + OFFSET_RECORDING, sizeof(recording));
    std::memcpy(&parking, _data.data() + OFFSET_PARKING, sizeof(parking));
    std::memcpy(&settings, _data.data() + OFFSET_SETTINGS, sizeof(settings));
    std::memcpy(&alarm, _data.data() + OFFSET_ALARM, sizeof(alarm));
}

// A record with a good CRC may still hold what this version cannot use (a
// value out of range, a text without its end): such fields fall back to
// their defaults rather than failing an assertion at every start.
bool Pref::RepairRecord()
{
    bool repaired = false;
    for (const Field& field : Fields()) {
        int32_t& value = field.value(*this);
        if (field.Accepts(value))
            continue;
        Singleton<SDDebug>::Inst()->Print("[Pref]stored %s %s:%d out of range, default %d\n", field.section,
            field.key, value, field.def);
        value = field.def;
        repaired = true;
    }
    repaired |= RepairText(settings.ssid, sizeof(settings.ssid), IsValidSsid, DEF_SSID, STR_ssid);
    repaired |= RepairText(settings.password, sizeof(settings.password), IsValidPassword, DEF_PASSWORD, STR_password);
    repaired |= RepairText(settings.lockpin, sizeof(settings.lockpin), IsLockPin, DEF_PINCODE, STR_lockpin);
    return repaired;
}

unsigned int Pref::CopyUserDataToBuffer(unsigned char* buf, int& written)
{
    int32_t version = VER;
    std::memcpy(buf + OFFSET_VERSION, &version, sizeof(version));
    std::memcpy(buf + OFFSET_RECORDING, &recording, sizeof(recording));
    std::memcpy(buf + OFFSET_PARKING, &parking, sizeof(parking));
    std::memcpy(buf + OFFSET_SETTINGS, &settings, sizeof(settings));
    std::memcpy(buf + OFFSET_ALARM, &alarm, sizeof(alarm));
    uint32_t crc = CalcCRC32(buf, OFFSET_CRC);
    std::memcpy(buf + OFFSET_CRC, &crc, sizeof(crc));
    written = PACKED_SIZE;
    return crc;
}

void Pref::Save()
{
    Lock lock(_mutex);
    std::memset(_data.data(), 0, DATA_SIZE);
    int written = 0;
    unsigned int crc = CopyUserDataToBuffer(_data.data(), written);
    VK_ASSERT(written < DATA_SIZE);
    Singleton<Eeprom>::Inst()->Write(_data.data(), DATA_SIZE);
    SDDebug* log = Singleton<SDDebug>::Inst();
    log->Print("[Pref]Save %d bytes, CRC:0x%08X\n", written, crc);
    SetHostapd();
    log->Print("%s\n", ToString().c_str());
}

void Pref::SaveRefVoltValue()
{
    Lock lock(_mutex);
    std::memset(_data.data(), 0, TOTAL_DATA_SIZE);
    int written = 0;
    unsigned int crc = CopyUserDataToBuffer(_data.data(), written);
    VK_ASSERT(written < DATA_SIZE);
    std::memcpy(_data.data() + DATA_SIZE, &calib, CALIB_SIZE);
    Singleton<Eeprom>::Inst()->Write(_data.data(), TOTAL_DATA_SIZE);
    SDDebug* log = Singleton<SDDebug>::Inst();
    log->Print("[Pref]SaveRef12-24VoltValue(), CRC:0x%08X\n", crc);
    log->Print("%s\n", ToString().c_str());
}

// The recording medium survives: the card or the eMMC is laid out for it.
void Pref::LoadDefault()
{
    Lock lock(_mutex);
    int32_t storage = recording.storage;
    recording.SetDefault();
    parking.SetDefault();
    settings.SetDefault();
    alarm.SetDefault();
    recording.storage = storage;
    Save();
    WriteIsp();
    Singleton<SDDebug>::Inst()->Print("[Pref]Load default successful\n");
}

void Pref::SetRefVoltValue(int which, unsigned short value)
{
    Lock lock(_mutex);
    calib.sync = int32_t(PREF_VOLTAGE_SYNC);
    (which == 0 ? calib.ref12Volt : calib.ref24Volt) = value;
    calib.checksum = calib.CheckSum();
    if (which == 0)
        Singleton<SDDebug>::Inst()->Print("{Pref]SetRef12VoltValue 12V:%d\n", value);
    else
        Singleton<SDDebug>::Inst()->Print("{Pref]SetRef24VoltValue 24V:%d\n", value);
    SaveRefVoltValue();
}

void Pref::SetRef12VoltValue(unsigned short value)
{
    SetRefVoltValue(0, value);
}

void Pref::SetRef24VoltValue(unsigned short value)
{
    SetRefVoltValue(1, value);
}

bool Pref::GetRefVoltValue(int which, unsigned short& value)
{
    Lock lock(_mutex);
    int32_t reference = which == 0 ? calib.ref12Volt : calib.ref24Volt;
    value = calib.IsValid(which) ? static_cast<unsigned short>(reference) : 0;
    if (which == 0)
        Singleton<SDDebug>::Inst()->Print("{Pref]reference 12V:%d\n", value);
    else
        Singleton<SDDebug>::Inst()->Print("{Pref]reference 24V:%d\n", value);
    return value != 0;
}

bool Pref::GetRef12VoltValue(unsigned short& value)
{
    return GetRefVoltValue(0, value);
}

bool Pref::GetRef24VoltValue(unsigned short& value)
{
    return GetRefVoltValue(1, value);
}

} // namespace vk
