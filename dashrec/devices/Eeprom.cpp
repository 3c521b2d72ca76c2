#include "dashrec/devices/Eeprom.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/devices/I2c.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace vk {

namespace {

const int BASE_ADDRESS = 0x50;
// The 24LC16 alone answers at its eighth block address.
const int PROBE_ADDRESS = 0x57;
const int READ_FAILED_PAUSE_MS = 4;
const char* const BUS = "/dev/i2c-2";

const EepromGeometry GEOMETRY_24LC16 = { "Eeprom_24lc16", 8, 1, 16, 4, 0, true, false };
const EepromGeometry GEOMETRY_AT24CS32 = { "Eeprom_at24cs32", 1, 2, 32, 2, 2, false, true };

void PauseMs(int ms)
{
    if (ms > 0)
        usleep(static_cast<useconds_t>(ms) * 1000);
}

} // namespace

EepromChip::EepromChip(const EepromGeometry& geometry)
    : _geometry(geometry)
{
    std::fill(std::begin(mFd), std::end(mFd), -1);
}

EepromChip::~EepromChip()
{
    CloseAll();
}

void EepromChip::CloseAll()
{
    for (int& fd : mFd) {
        if (fd >= 0)
            I2c::Close(fd);
        fd = -1;
    }
}

int EepromChip::Block(int addr) const
{
    return _geometry.blocks > 1 ? (addr / BLOCK_SIZE) & (MAX_BLOCKS - 1) : 0;
}

int EepromChip::ChipAddress(int addr) const
{
    return BASE_ADDRESS | Block(addr);
}

// The memory address as the chip takes it at the start of a message.
size_t EepromChip::PutAddress(unsigned char* out, int addr) const
{
    if (_geometry.addressBytes == 2)
        *out++ = static_cast<unsigned char>((addr >> 8) & 0x0F);
    *out = static_cast<unsigned char>(addr & 0xFF);
    return _geometry.addressBytes;
}

// A repeated Init opens anew; the descriptors of the last one are closed first.
bool EepromChip::Open()
{
    CloseAll();
    for (int block = 0; block < _geometry.blocks; ++block) {
        mFd[block] = I2c::Open(I2C);
        if (mFd[block] < 0) {
            Singleton<SDDebug>::Inst()->Print("[%s] %s can't be opened\n", _geometry.name, I2C.c_str());
            return false;
        }
        int address = BASE_ADDRESS | block;
        if (!I2c::BindAddress(mFd[block], address)) {
            std::printf("[%s] Open() - Unable I2C_SLAVE 0x%02X\n", _geometry.name, address);
            return false;
        }
        std::printf("[%s] Device Bus = %s, file descriptor = %d\n", _geometry.name, I2C.c_str(), mFd[block]);
    }
    return true;
}

bool EepromChip::ReadBlock(int addr)
{
    unsigned char address[2];
    size_t count = PutAddress(address, addr);
    int fd = mFd[Block(addr)];
    if (fd >= 0 && I2c::WriteRead(fd, ChipAddress(addr), address, count, rx_data, BLOCK_SIZE))
        return true;
    if (_geometry.readErrorText)
        std::printf("[%s] Read() Error - block_addr = 0x%x, error=%s\n", _geometry.name, addr / BLOCK_SIZE,
            std::strerror(errno));
    else
        std::printf("[%s] Read() Error - block_addr = 0x%x\n", _geometry.name, addr / BLOCK_SIZE);
    return false;
}

bool EepromChip::WritePage(int addr)
{
    int fd = mFd[Block(addr)];
    if (fd < 0) {
        std::printf("[%s] Write() - Device is not opened.", _geometry.name);
        return false;
    }
    if (!I2c::BindAddress(fd, ChipAddress(addr))) {
        std::printf("[%s] Write() - Unable I2C_SLAVE_FORCE 0x%02X\n", _geometry.name, ChipAddress(addr));
        return false;
    }
    unsigned char message[2 + MAX_PAGE];
    size_t count = PutAddress(message, addr);
    std::memcpy(message + count, tx_data, _geometry.pageSize);
    count += _geometry.pageSize;
    if (I2c::Write(fd, message, count) != static_cast<ssize_t>(count)) {
        if (_geometry.reportShortWrite)
            std::printf("[%s] Write() Error. addr = 0x%x\n", _geometry.name, addr);
        return false;
    }
    return true;
}

bool EepromChip::Read(unsigned char* buf, int len)
{
    if (len < 0 || len > MAX_TRANSFER) {
        std::printf("%s Read Error...Size too big. data_size = %d / %d\n", _geometry.name, len, MAX_TRANSFER);
        return false;
    }
    for (int offset = 0; offset < len; offset += BLOCK_SIZE) {
        int attempt = 0;
        while (!ReadBlock(offset)) {
            if (++attempt == ATTEMPTS) {
                std::printf("%s Read Error...Retry=%d\n", _geometry.name, ATTEMPTS);
                return false;
            }
            PauseMs(READ_FAILED_PAUSE_MS);
        }
        std::memcpy(buf + offset, rx_data, static_cast<size_t>(std::min(BLOCK_SIZE, len - offset)));
    }
    return true;
}

// Whole pages only: a partial page would have to be read back first, and no caller writes one.
bool EepromChip::Write(unsigned char* buf, int len)
{
    int page = static_cast<int>(_geometry.pageSize);
    if (len < 0 || len > MAX_TRANSFER) {
        std::printf("%s Write Error...Size too big. data_size = %d / %d\n", _geometry.name, len, MAX_TRANSFER);
        return false;
    }
    if (len % page != 0) {
        std::printf("%s Write Error...Size not whole pages. data_size = %d / %d\n", _geometry.name, len, page);
        return false;
    }
    for (int offset = 0; offset < len; offset += page) {
        std::memcpy(tx_data, buf + offset, _geometry.pageSize);
        int attempt = 0;
        for (;;) {
            bool written = WritePage(offset);
            PauseMs(written ? _geometry.writtenPauseMs : _geometry.failedPauseMs);
            if (written)
                break;
            if (++attempt == ATTEMPTS) {
                std::printf("%s Write Error...Retry=%d\n", _geometry.name, ATTEMPTS);
                return false;
            }
        }
    }
    return true;
}

Eeprom_24lc16::Eeprom_24lc16()
    : EepromChip(GEOMETRY_24LC16)
{
}

Eeprom_at24cs32::Eeprom_at24cs32()
    : EepromChip(GEOMETRY_AT24CS32)
{
}

bool Eeprom::AnswersAsLc16(int fd)
{
    unsigned char address = 0x00;
    unsigned char block[EepromChip::BLOCK_SIZE];
    return I2c::BindAddress(fd, PROBE_ADDRESS)
        && I2c::WriteRead(fd, PROBE_ADDRESS, &address, 1, block, sizeof(block));
}

// A chip that does not answer at all is taken for an AT24CS32, whose reads then fail.
bool Eeprom::Init()
{
    int fd = I2c::Open(BUS);
    if (fd < 0) {
        Singleton<SDDebug>::Inst()->Print("[Eeprom] %s can't be opened\n", BUS);
        _dev = NONE; // a repeated probe forgets the chip of the last one
        return false;
    }
    bool lc16 = AnswersAsLc16(fd);
    I2c::Close(fd);
    if (lc16) {
        _dev = LC16;
        Singleton<SDDebug>::Inst()->Print("[Eeprom] 24LC16 detected.\n");
        return _24lc16.Init();
    }
    _dev = AT24CS32;
    Singleton<SDDebug>::Inst()->Print("[Eeprom] AT24CS32 detected.\n");
    return _at24cs32.Init();
}

EepromChip* Eeprom::Driver()
{
    switch (_dev) {
    case LC16:
        return &_24lc16;
    case AT24CS32:
        return &_at24cs32;
    default:
        return nullptr;
    }
}

bool Eeprom::Read(unsigned char* buf, int len)
{
    EepromChip* driver = Driver();
    return driver != nullptr && driver->Read(buf, len);
}

bool Eeprom::Write(unsigned char* buf, int len)
{
    EepromChip* driver = Driver();
    return driver != nullptr && driver->Write(buf, len);
}

} // namespace vk
