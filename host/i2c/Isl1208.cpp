// The ISL1208 clock: BCD time registers (the hour in 12-hour form with a PM
// flag, or 24-hour form with the MIL bit), a day-of-week counter and a status
// register whose WRTC bit must be set before the time can be written. The
// clock runs from the moment its state file last changed, so a time a test
// writes into the file starts counting from there; all-zero time registers
// are a clock that lost its power and stands still.

#include "host/i2c/ChipModel.h"

#include <memory>

namespace vk::host {

namespace {

const int ADDRESS = 0x6F;
const size_t REGISTER_COUNT = 0x14;
enum Register { SC = 0, MN, HR, DT, MO, YR, DW, SR };
const size_t TIME_REGISTERS = 7;
const unsigned char SR_WRTC = 0x10;
const unsigned char HR_MIL = 0x80;
const unsigned char HR_PM = 0x20;
const long SECONDS_PER_DAY = 86400;

int FromBcd(unsigned char v)
{
    return (v >> 4) * 10 + (v & 0x0F);
}

unsigned char ToBcd(int v)
{
    return static_cast<unsigned char>((v / 10) << 4 | v % 10);
}

class Isl1208 : public ChipModel {
public:
    Isl1208()
        : ChipModel("isl1208", REGISTER_COUNT, 0x00)
    {
    }

    bool Answers(int address) const override { return address == ADDRESS; }

    bool Write(int, const unsigned char* data, size_t size) override
    {
        if (size == 0)
            return true;
        timespec changed {};
        std::vector<unsigned char> regs = Current(changed);
        bool timeSet = false;
        _pointer = data[0] % REGISTER_COUNT;
        for (size_t i = 1; i < size; ++i) {
            bool isTime = _pointer < TIME_REGISTERS;
            if (!isTime || (regs[SR] & SR_WRTC) != 0) {
                regs[_pointer] = data[i];
                timeSet = timeSet || isTime;
            }
            _pointer = (_pointer + 1) % REGISTER_COUNT;
        }
        // A new time starts its seconds now; otherwise the clock keeps its phase.
        _state.Save(regs, timeSet ? nullptr : &changed);
        return true;
    }

    bool Read(int, unsigned char* data, size_t size) override
    {
        timespec changed {};
        std::vector<unsigned char> regs = Current(changed);
        for (size_t i = 0; i < size; ++i) {
            data[i] = regs[_pointer];
            _pointer = (_pointer + 1) % REGISTER_COUNT;
        }
        return true;
    }

private:
    // The registers as the running clock shows them now; `changed` becomes the
    // moment they held, a whole number of seconds after the last change.
    std::vector<unsigned char> Current(timespec& changed) const
    {
        std::vector<unsigned char> regs = _state.Load();
        changed = _state.Changed();
        timespec now {};
        clock_gettime(CLOCK_REALTIME, &now);
        long elapsed = static_cast<long>(now.tv_sec - changed.tv_sec) - (now.tv_nsec < changed.tv_nsec ? 1 : 0);
        bool stopped = true;
        for (size_t i = 0; i < TIME_REGISTERS; ++i)
            stopped = stopped && regs[i] == 0;
        if (stopped || elapsed <= 0)
            return regs;
        Advance(regs, elapsed);
        changed.tv_sec += elapsed;
        return regs;
    }

    static void Advance(std::vector<unsigned char>& regs, long seconds)
    {
        bool military = (regs[HR] & HR_MIL) != 0;
        std::tm t {};
        t.tm_sec = FromBcd(regs[SC]);
        t.tm_min = FromBcd(regs[MN]);
        if (military) {
            t.tm_hour = FromBcd(regs[HR] & 0x3F);
        } else {
            t.tm_hour = FromBcd(regs[HR] & 0x1F) % 12 + ((regs[HR] & HR_PM) != 0 ? 12 : 0);
        }
        t.tm_mday = FromBcd(regs[DT]);
        t.tm_mon = FromBcd(regs[MO]) - 1;
        t.tm_year = FromBcd(regs[YR]) + 100;
        time_t before = timegm(&t);
        time_t after = before + seconds;
        gmtime_r(&after, &t);
        regs[SC] = ToBcd(t.tm_sec);
        regs[MN] = ToBcd(t.tm_min);
        if (military) {
            regs[HR] = static_cast<unsigned char>(HR_MIL | ToBcd(t.tm_hour));
        } else {
            int hour12 = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
            regs[HR] = static_cast<unsigned char>(ToBcd(hour12) | (t.tm_hour >= 12 ? HR_PM : 0));
        }
        regs[DT] = ToBcd(t.tm_mday);
        regs[MO] = ToBcd(t.tm_mon + 1);
        regs[YR] = ToBcd(t.tm_year % 100);
        long days = after / SECONDS_PER_DAY - before / SECONDS_PER_DAY;
        regs[DW] = static_cast<unsigned char>((regs[DW] + days) % 7);
    }

    size_t _pointer = 0;
};

} // namespace

std::unique_ptr<ChipModel> MakeIsl1208()
{
    return std::make_unique<Isl1208>();
}

} // namespace vk::host
