// The two serial EEPROMs a board may carry. A write message starts with the
// memory address and wraps inside its write page, as the chips do; a read
// goes on from where the last message left the address, across the whole memory.

#include "host/i2c/ChipModel.h"

#include <memory>
#include <set>

namespace vk::host {

namespace {

struct EepromKind {
    const char* name;
    int firstAddress;
    int addressCount; // the 24LC16 answers at eight addresses, one per 256-byte block
    size_t addressBytes;
    size_t pageSize;
    size_t size;
};

const EepromKind EEPROM_24LC16 = { "24lc16", 0x50, 8, 1, 16, 2048 };
const EepromKind EEPROM_AT24CS32 = { "at24cs32", 0x50, 1, 2, 32, 4096 };

const unsigned char ERASED = 0xFF;

class SerialEeprom : public ChipModel {
public:
    explicit SerialEeprom(const EepromKind& kind)
        : ChipModel(kind.name, kind.size, ERASED)
        , _kind(kind)
    {
    }

    bool Answers(int address) const override
    {
        return address >= _kind.firstAddress && address < _kind.firstAddress + _kind.addressCount;
    }

    bool Write(int address, const unsigned char* data, size_t size) override
    {
        if (size < _kind.addressBytes)
            return true;
        _pointer = MemoryAddress(address, data);
        data += _kind.addressBytes;
        size -= _kind.addressBytes;
        if (size == 0)
            return true;
        std::vector<unsigned char> memory = _state.Load();
        std::set<size_t> worn = _state.WornCells();
        size_t page = _pointer - _pointer % _kind.pageSize;
        size_t offset = _pointer % _kind.pageSize;
        for (size_t i = 0; i < size; ++i) {
            memory[page + offset] = worn.count(page + offset) != 0 ? ERASED : data[i];
            offset = (offset + 1) % _kind.pageSize;
        }
        _pointer = page + offset;
        _state.Save(memory);
        return true;
    }

    bool Read(int, unsigned char* data, size_t size) override
    {
        std::vector<unsigned char> memory = _state.Load();
        for (size_t i = 0; i < size; ++i) {
            data[i] = memory[_pointer];
            _pointer = (_pointer + 1) % _kind.size;
        }
        return true;
    }

private:
    size_t MemoryAddress(int address, const unsigned char* data) const
    {
        size_t word = 0;
        for (size_t i = 0; i < _kind.addressBytes; ++i)
            word = word << 8 | data[i];
        size_t block = static_cast<size_t>(address - _kind.firstAddress);
        return (block << (8 * _kind.addressBytes) | word) % _kind.size;
    }

    const EepromKind& _kind;
    size_t _pointer = 0;
};

} // namespace

std::unique_ptr<ChipModel> Make24lc16()
{
    return std::make_unique<SerialEeprom>(EEPROM_24LC16);
}

std::unique_ptr<ChipModel> MakeAt24cs32()
{
    return std::make_unique<SerialEeprom>(EEPROM_AT24CS32);
}

} // namespace vk::host
