// The accelerometer: a small register file. The status register always reads
// "present"; the axis registers hold whatever the simulator or a test put there.

#include "host/i2c/ChipModel.h"
#include "host/i2c/ChipStateEdit.h"
#include "host/i2c/Mc3416.h"

#include <memory>

namespace vk::host {

namespace {

const char* const NAME = "mc3416";
const int ADDRESS = 0x4C;
const size_t REGISTER_COUNT = 0x20;
const size_t REG_STATUS = 0x05;
const size_t REG_X = 0x0E; // then Y at 0x10 and Z at 0x12
const unsigned char PRESENT = 0x01;

class Mc3416 : public ChipModel {
public:
    Mc3416()
        : ChipModel(NAME, REGISTER_COUNT, 0x00)
    {
    }

    bool Answers(int address) const override { return address == ADDRESS; }

    bool Write(int, const unsigned char* data, size_t size) override
    {
        if (size == 0)
            return true;
        _pointer = data[0] % REGISTER_COUNT;
        if (size == 1)
            return true;
        std::vector<unsigned char> regs = _state.Load();
        for (size_t i = 1; i < size; ++i) {
            regs[_pointer] = data[i];
            _pointer = (_pointer + 1) % REGISTER_COUNT;
        }
        _state.Save(regs);
        return true;
    }

    bool Read(int, unsigned char* data, size_t size) override
    {
        std::vector<unsigned char> regs = _state.Load();
        regs[REG_STATUS] = PRESENT;
        for (size_t i = 0; i < size; ++i) {
            data[i] = regs[_pointer];
            _pointer = (_pointer + 1) % REGISTER_COUNT;
        }
        return true;
    }

private:
    size_t _pointer = 0;
};

unsigned char Byte(int value)
{
    return static_cast<unsigned char>(static_cast<signed char>(value));
}

} // namespace

std::unique_ptr<ChipModel> MakeMc3416()
{
    return std::make_unique<Mc3416>();
}

bool mc3416::SetAxes(int x, int y, int z)
{
    return EditChipState(NAME, REGISTER_COUNT, 0x00, REG_X, { Byte(x), 0, Byte(y), 0, Byte(z) });
}

} // namespace vk::host
