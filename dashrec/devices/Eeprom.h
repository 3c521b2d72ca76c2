#pragma once
// The serial EEPROM on "/dev/i2c-2" that keeps the preferences. Boards carry
// one of two chips; vk::Eeprom finds out which and hands every transfer to
// its driver. Callers see one byte array from address 0, at most 2048 bytes a transfer.

#include "dashrec/core/Singleton.h"

#include <cstddef>
#include <string>

namespace vk {

// What tells the two chips apart: how they are addressed and paced.
struct EepromGeometry {
    const char* name;
    int blocks; // descriptors bound to 0x50 | block, one per 256-byte block addressed by chip address
    size_t addressBytes;
    size_t pageSize;
    int failedPauseMs; // after a failed page write
    int writtenPauseMs; // after a successful one
    bool readErrorText; // a failed block read names the system error
    bool reportShortWrite;
};

// The driver both chips share; each is one row of EepromGeometry.
class EepromChip {
public:
    static constexpr int MAX_TRANSFER = 2048;
    static constexpr int BLOCK_SIZE = 256;
    static constexpr int ATTEMPTS = 5;

    explicit EepromChip(const EepromGeometry& geometry);
    ~EepromChip();
    EepromChip(const EepromChip&) = delete;
    EepromChip& operator=(const EepromChip&) = delete;

    bool Init() { return Open(); }
    bool Open();
    bool ReadBlock(int addr);
    bool WritePage(int addr);
    bool Read(unsigned char* buf, int len);
    bool Write(unsigned char* buf, int len);

private:
    static constexpr int MAX_BLOCKS = 8;
    static constexpr size_t MAX_PAGE = 32;

    int Block(int addr) const;
    int ChipAddress(int addr) const;
    size_t PutAddress(unsigned char* out, int addr) const;
    void CloseAll();

    const EepromGeometry& _geometry;
    int mFd[MAX_BLOCKS];
    const std::string I2C = "/dev/i2c-2";
    unsigned char tx_data[MAX_PAGE] = {};
    unsigned char rx_data[BLOCK_SIZE] = {};
};

class Eeprom_24lc16 : public EepromChip {
public:
    Eeprom_24lc16();
};

class Eeprom_at24cs32 : public EepromChip {
public:
    Eeprom_at24cs32();
};

class Eeprom : public Singleton<Eeprom> {
public:
    enum Device { NONE = 0, LC16 = 1, AT24CS32 = 2 };

    // Probes the bus and opens the driver of the chip found; may be called again.
    bool Init();
    bool Read(unsigned char* buf, int len);
    bool Write(unsigned char* buf, int len);

private:
    friend class Singleton<Eeprom>;
    Eeprom() = default;

    bool AnswersAsLc16(int fd);
    // The driver of the chip found, or null before a chip was found.
    EepromChip* Driver();

    Eeprom_24lc16 _24lc16;
    Eeprom_at24cs32 _at24cs32;
    Device _dev = NONE;
};

} // namespace vk
