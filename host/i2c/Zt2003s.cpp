// The touch controller: each command byte selects a measurement, and the next
// two-byte read answers it as a 12-bit value in the top bits. The readings are
// the state file's three big-endian 16-bit words x, y, z.

#include "host/i2c/ChipModel.h"
#include "host/i2c/ChipStateEdit.h"
#include "host/i2c/Zt2003s.h"

#include <memory>

namespace vk::host {

namespace {

const char* const NAME = "zt2003s";
const int ADDRESS = 0x48;
const size_t STATE_SIZE = 6;

struct Command {
    unsigned char code;
    size_t offset;
};

const Command COMMANDS[] = {
    { 0xD8, 0 }, // x
    { 0xC8, 2 }, // y
    { 0xE8, 4 }, // z
};

class Zt2003s : public ChipModel {
public:
    Zt2003s()
        : ChipModel(NAME, STATE_SIZE, 0x00)
    {
    }

    bool Answers(int address) const override { return address == ADDRESS; }

    bool Write(int, const unsigned char* data, size_t size) override
    {
        _selected = nullptr;
        for (const Command& command : COMMANDS) {
            if (size == 1 && data[0] == command.code)
                _selected = &command;
        }
        return _selected != nullptr;
    }

    bool Read(int, unsigned char* data, size_t size) override
    {
        if (_selected == nullptr || size != 2)
            return false;
        std::vector<unsigned char> state = _state.Load();
        unsigned value = (state[_selected->offset] << 8 | state[_selected->offset + 1]) & 0x0FFF;
        data[0] = static_cast<unsigned char>(value >> 4);
        data[1] = static_cast<unsigned char>((value & 0x0F) << 4);
        return true;
    }

private:
    const Command* _selected = nullptr;
};

} // namespace

std::unique_ptr<ChipModel> MakeZt2003s()
{
    return std::make_unique<Zt2003s>();
}

bool zt2003s::SetReadings(unsigned x, unsigned y, unsigned z)
{
    std::vector<unsigned char> bytes;
    for (unsigned value : { x, y, z }) {
        bytes.push_back(static_cast<unsigned char>(value >> 8));
        bytes.push_back(static_cast<unsigned char>(value));
    }
    return EditChipState(NAME, STATE_SIZE, 0x00, 0, bytes);
}

} // namespace vk::host
